#!/usr/bin/env bash
# Idle processor time of the program with and without the station page, no
# browser connected: two programs side by side on the same machine, one with
# WEB=N, each in a working folder of its own; the CPU time (user + system,
# from /proc/<pid>/stat) they use over the same window after they have settled.
# Usage: bench/web_idle.sh [seconds]   (prints figures; never fails a build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
program=${AURAVOX_PROGRAM:-$root/build/auravox}
window=${1:-60}
tmp=$(mktemp -d)
trap 'kill $pid_on $pid_off 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$tmp"' EXIT

start() { # folder, extra ini line
    mkdir -p "$tmp/$1/home" "$tmp/$1/run" "$tmp/$1/public"
    printf '[AURAVOX V2.2.3]\r\nWEB_PORT=0\r\n%s' "$2" > "$tmp/$1/home/auravox.ini"
    printf 'pcm.!default {\n type file\n slave.pcm "null"\n file "/dev/null"\n format "raw"\n}\n' > "$tmp/$1/.asoundrc"
    HOME="$tmp/$1" AURAVOX_HOME="$tmp/$1/home" XDG_RUNTIME_DIR="$tmp/$1/run" AURAVOX_PUBLIC_DIR="$tmp/$1/public" \
        AURAVOX_SIBLING_SUFFIX="idle$1$$" QT_QPA_PLATFORM=offscreen "$program" 2>"$tmp/$1/stderr" &
}
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

start on ''
pid_on=$!
start off $'WEB=N\r\n'
pid_off=$!
sleep 5 # settle: the configuration load, the first ticks
on0=$(ticks $pid_on); off0=$(ticks $pid_off)
sleep "$window"
on1=$(ticks $pid_on); off1=$(ticks $pid_off)
hz=$(getconf CLK_TCK)
grep -q "station page at" "$tmp/on/stderr" || { echo "the program with the page did not listen"; cat "$tmp/on/stderr"; }
awk -v a=$((on1 - on0)) -v b=$((off1 - off0)) -v hz="$hz" -v w="$window" 'BEGIN {
    printf "idle over %d s: with the station page %.2f s CPU (%.3f%%), without %.2f s CPU (%.3f%%)\n",
           w, a / hz, 100 * a / hz / w, b / hz, 100 * b / hz / w }'
