#!/usr/bin/env bash
# Idle cost of Auravox, the desktop program (auravox) and the headless one
# (auravoxd), against the floor (bench/floor_clock.cpp: a label set by a 1 s
# timer), offscreen, side by side over the same window of time.
#
#   bench/idle_vs_floor.sh [seconds per case, default 120] [build folder, default build]
#
# Two cases: no weather source, and a WS-23xx history file read every minute
# (its window shown once, as a user leaves it). Auravox runs in a folder of its
# own (AURAVOX_HOME) with ALSA's default device sent to "null". For each
# program: processor time (utime + stime from /proc/<pid>/stat, and the exact
# run time from /proc/<pid>/task/*/schedstat), wake-ups (voluntary and
# involuntary context switches of all its threads, /proc/<pid>/task/*/status)
# and resident memory (VmRSS); then Auravox's ratios to the floor. The
# headless program (auravoxd) runs beside them in a folder of its own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-120}
build=${2:-$root/build}
auravox=$build/auravox
auravoxd=$build/auravoxd
floor=$build/bench/floor_clock
warmup=${AURAVOX_BENCH_WARMUP:-10}
for p in "$auravox" "$auravoxd" "$floor"; do
    [ -x "$p" ] || { echo "missing $p: build it first (cmake --build build --target auravox auravoxd floor_clock)" >&2; exit 1; }
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
    local home=$work/$name homed=$work/$name.d
    mkdir -p "$home" "$homed"
    if [ -n "$ini" ]; then
        printf '%b' "$ini" >"$home/auravox.ini"
        printf '%b' "$ini" >"$homed/auravox.ini"
    fi
    AURAVOX_HOME=$home "$auravox" >"$work/$name.out" 2>&1 &
    local a=$!
    # The headless program's page on a port of its own (the desktop one has 8073).
    [ -f "$homed/auravox.ini" ] || printf '[AURAVOX V2.2.3]\r\n' >"$homed/auravox.ini"
    printf 'WEB_PORT=8074\r\n' >>"$homed/auravox.ini"
    AURAVOX_HOME=$homed "$auravoxd" >"$work/$name.d.out" 2>&1 &
    local d=$!
    "$floor" >"$work/$name.floor.out" 2>&1 &
    local f=$!
    pids=("$a" "$d" "$f")
    sleep "$warmup"
    local -A t0 n0 s0 t1 n1 s1 rss
    for p in $a $d $f; do
        t0[$p]=$(cpu_ticks $p); n0[$p]=$(run_ns $p); s0[$p]=$(switches $p)
    done
    sleep "$seconds"
    for p in $a $d $f; do
        t1[$p]=$(cpu_ticks $p); n1[$p]=$(run_ns $p); s1[$p]=$(switches $p); rss[$p]=$(rss_kb $p)
    done
    kill "$a" "$d" "$f"
    wait "$a" "$d" "$f" 2>/dev/null || true
    pids=()
    printf '%s, %d s:\n' "$name" "$seconds"
    for row in "auravox $a" "auravoxd $d" "floor $f"; do
        set -- $row
        awk -v who="$1" -v secs="$seconds" -v hz="$hz" -v t=$((t1[$2] - t0[$2])) -v n=$((n1[$2] - n0[$2])) \
            -v s=$((s1[$2] - s0[$2])) -v r="${rss[$2]}" -v fn=$((n1[$f] - n0[$f])) -v fs=$((s1[$f] - s0[$f])) \
            -v fr="${rss[$f]}" 'BEGIN {
            printf "  %-8s cpu %7.1f ms (stat %5.0f ms)  %5.2f ms/min  wake-ups %6d (%.2f/s)  rss %6d kB", \
                who, n / 1e6, t * 1000 / hz, n / 1e6 * 60 / secs, s, s / secs, r
            if (who != "floor")
                printf "   vs floor: cpu %.2fx  wake-ups %.2fx  rss %.2fx", (fn ? n / fn : 0), (fs ? s / fs : 0), (fr ? r / fr : 0)
            printf "\n"
        }'
    done
}

run_case no-source ""
run_case ws23-every-minute "[AURAVOX V2.2.3]\r\nMETEO=W23\r\nW23_TEMPEXT=Y\r\nW23_PRESATM=Y\r\nW23_METPERI=1\r\nW23_DAT=$work/history.dat\r\n"
