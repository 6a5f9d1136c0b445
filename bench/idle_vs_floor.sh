#!/usr/bin/env bash
# Idle cost of Auravox against the floor (bench/floor_clock.cpp: a label set by
# a 1 s timer), both offscreen, side by side over the same window of time.
#
#   bench/idle_vs_floor.sh [seconds per case, default 120] [build folder, default build]
#
# Two cases: no weather source, and a WS-23xx history file read every minute
# (its window shown once, as a user leaves it). Auravox runs in a folder of its
# own (AURAVOX_HOME) with ALSA's default device sent to "null". For each
# program: processor time (utime + stime from /proc/<pid>/stat, and the exact
# run time from /proc/<pid>/task/*/schedstat), wake-ups (voluntary and
# involuntary context switches of all its threads, /proc/<pid>/task/*/status)
# and resident memory (VmRSS); then Auravox's ratios to the floor.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-120}
build=${2:-$root/build}
auravox=$build/auravox
floor=$build/bench/floor_clock
warmup=${AURAVOX_BENCH_WARMUP:-10}
for p in "$auravox" "$floor"; do
    [ -x "$p" ] || { echo "missing $p: build it first (cmake --build build --target auravox floor_clock)" >&2; exit 1; }
done

work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

printf 'pcm.!default {\n    type null\n}\n' >"$work/.asoundrc"
export HOME=$work QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$work/config AURAVOX_PUBLIC_DIR=$work/public
unset DISPLAY WAYLAND_DISPLAY

# A WS-23xx history file: 1000 records ten minutes apart (36 bytes each).
python3 - "$work/history.dat" <<'PY'
import struct, sys
with open(sys.argv[1], 'wb') as f:
    for i in range(1000):
        f.write(struct.pack('<4xIffifffbxbx', 3477367440 + i * 600, 1000 + (i % 200) * 0.1, float(i % 7), 0,
                            i * 0.01, 21.0, 12.0, 50, 70))
PY

# cpu_ticks pid: utime + stime in clock ticks.
cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }
# run_ns pid: time on a processor of all threads, in nanoseconds.
run_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%d\n", s }'; }
# switches pid: voluntary + involuntary context switches of all threads.
switches() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/ctxt_switches/ { s += $2 } END { print s }'; }
rss_kb() { awk '/^VmRSS/ { print $2 }' "/proc/$1/status"; }

hz=$(getconf CLK_TCK)

run_case() {
    local name=$1 ini=$2
    local home=$work/$name
    mkdir -p "$home"
    [ -n "$ini" ] && printf '%b' "$ini" >"$home/auravox.ini"
    AURAVOX_HOME=$home "$auravox" >"$work/$name.out" 2>&1 &
    local a=$!
    "$floor" >"$work/$name.floor.out" 2>&1 &
    local f=$!
    pids=("$a" "$f")
    sleep "$warmup"
    local a_t0 a_n0 a_s0 f_t0 f_n0 f_s0
    a_t0=$(cpu_ticks $a); a_n0=$(run_ns $a); a_s0=$(switches $a)
    f_t0=$(cpu_ticks $f); f_n0=$(run_ns $f); f_s0=$(switches $f)
    sleep "$seconds"
    local a_t1 a_n1 a_s1 f_t1 f_n1 f_s1 a_rss f_rss
    a_t1=$(cpu_ticks $a); a_n1=$(run_ns $a); a_s1=$(switches $a); a_rss=$(rss_kb $a)
    f_t1=$(cpu_ticks $f); f_n1=$(run_ns $f); f_s1=$(switches $f); f_rss=$(rss_kb $f)
    kill "$a" "$f"
    wait "$a" "$f" 2>/dev/null || true
    pids=()
    awk -v name="$name" -v secs="$seconds" -v hz="$hz" \
        -v at=$((a_t1 - a_t0)) -v an=$((a_n1 - a_n0)) -v as=$((a_s1 - a_s0)) -v ar="$a_rss" \
        -v ft=$((f_t1 - f_t0)) -v fn=$((f_n1 - f_n0)) -v fs=$((f_s1 - f_s0)) -v fr="$f_rss" 'BEGIN {
        printf "%s, %d s:\n", name, secs
        printf "  %-8s cpu %7.1f ms (stat %5.0f ms)  %5.2f ms/min  wake-ups %6d (%.2f/s)  rss %6d kB\n", \
            "auravox", an / 1e6, at * 1000 / hz, an / 1e6 * 60 / secs, as, as / secs, ar
        printf "  %-8s cpu %7.1f ms (stat %5.0f ms)  %5.2f ms/min  wake-ups %6d (%.2f/s)  rss %6d kB\n", \
            "floor", fn / 1e6, ft * 1000 / hz, fn / 1e6 * 60 / secs, fs, fs / secs, fr
        printf "  ratio    cpu %.2fx  wake-ups %.2fx  rss %.2fx\n", (fn ? an / fn : 0), (fs ? as / fs : 0), (fr ? ar / fr : 0)
    }'
}

run_case no-source ""
run_case ws23-every-minute "[AURAVOX V2.2.3]\r\nMETEO=W23\r\nW23_TEMPEXT=Y\r\nW23_PRESATM=Y\r\nW23_METPERI=1\r\nW23_DAT=$work/history.dat\r\n"
