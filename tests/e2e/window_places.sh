#!/usr/bin/env bash
# Auravox under a real window manager (its own Xvfb display and openbox):
# every window comes back where it was left, at each restart, and carries its
# own title. Usage: window_places.sh PROGRAM HISTORY_FILE
#
# Positions are the frames' top-left corners, as the configuration keeps them
# (TOP=, LEFT=, METEO_TOP=, METEO_LEFT=). Nothing here sleeps: each wait blocks
# on an event (the X server's display number, openbox's start-up command, the
# program's "running in" line, its exit) or on xdotool's --sync, always under
# a time limit.
set -euo pipefail
program=$1
history=$2
limit=30

for tool in Xvfb openbox xdotool xwininfo xprop; do
    if ! command -v "$tool" >/dev/null; then
        echo "window_places: $tool is missing (scripts/setup.sh installs xvfb, openbox, xdotool, x11-utils)" >&2
        exit 1
    fi
done

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "window_places: $*" >&2
    exit 1
}

# An X server on a free display: Xvfb writes its number once it accepts clients.
exec {xfd}< <(exec Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp 2>"$work/xvfb.log")
pids+=($!)
read -r -t "$limit" -u "$xfd" number || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$number"

# openbox runs its start-up command once it manages the screen.
mkfifo "$work/wm"
exec {wmfd}<>"$work/wm"
HOME=$work openbox --sm-disable --startup "sh -c 'echo up > $work/wm'" >"$work/openbox.log" 2>&1 &
pids+=($!)
read -r -t "$limit" -u "$wmfd" _ || fail "openbox did not start: $(cat "$work/openbox.log")"

home=$work/home
mkdir -p "$home/auravox" "$home/public"
cp "$history" "$home/history.dat"
ini=$home/auravox/auravox.ini
printf '%s\r\n' "[AURAVOX V2.2.3]" "TOP=200" "LEFT=300" "METEO_TOP=150" "METEO_LEFT=700" \
    "METEO_WIDTH=330" "METEO_HEIGHT=420" "METEO=W23" "W23_TEMPEXT=Y" "W23_DAT=$home/history.dat" >"$ini"

main_title='^AURAVOX V2\.2\.3$'
source_title='^Lacrosse WS-2310 / 2315 / 2355\+$'

key() { tr -d '\r' <"$ini" | sed -n "s/^$1=//p"; }

# The top-left corner of the window manager's frame around a client window.
frame_of() {
    local x y extents left top
    x=$(xwininfo -id "$1" | sed -n 's/^ *Absolute upper-left X: *//p')
    y=$(xwininfo -id "$1" | sed -n 's/^ *Absolute upper-left Y: *//p')
    extents=$(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.* = //p')
    [ -n "$extents" ] || fail "no frame around window $1"
    IFS=', ' read -r left _ top _ <<<"$extents"
    echo "$((x - left)) $((y - top))"
}

find_window() {
    timeout "$limit" xdotool search --sync --onlyvisible --name "$1" | head -n 1
}

# Starts the program and waits until both windows are mapped in their frames.
start() {
    exec {outfd}< <(exec env HOME="$home" AURAVOX_HOME="$home/auravox" AURAVOX_PUBLIC_DIR="$home/public" \
        XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$work" \
        AURAVOX_SIBLING_SUFFIX="places$$" QT_QPA_PLATFORM=xcb "$program" 2>&1)
    running=$!
    pids+=("$running")
    local line
    while read -r -t "$limit" -u "$outfd" line; do
        case "$line" in *"running in"*) break ;; esac
    done
    case "$line" in *"running in"*) ;; *) fail "the program did not start" ;; esac
    main=$(find_window "$main_title") || fail "no main window titled ${main_title//\\/}"
    source=$(find_window "$source_title") || fail "no source window titled ${source_title//\\/}"
    # Both titles are the windows' own: nothing appended.
    [ "$(xdotool getwindowname "$main")" = "AURAVOX V2.2.3" ] || fail "main window title: $(xdotool getwindowname "$main")"
}

stop() {
    kill -TERM "$running"
    timeout "$limit" tail --pid="$running" -f /dev/null || fail "the program did not stop"
    exec {outfd}<&-
}

expect_at() { # what, actual "x y", expected x, expected y
    [ "$2" = "$3 $4" ] || fail "$1 is at $2, expected $3 $4"
}

# 1. Placed from the configuration, then saved as it was placed.
start
expect_at "main window" "$(frame_of "$main")" 300 200
expect_at "source window" "$(frame_of "$source")" 700 150
stop
expect_at "saved main window" "$(key LEFT) $(key TOP)" 300 200
expect_at "saved source window" "$(key METEO_LEFT) $(key METEO_TOP)" 700 150
size="$(key METEO_WIDTH) $(key METEO_HEIGHT)"

# 2. Moved by the user through the window manager: saved where it was left.
start
timeout "$limit" xdotool windowmove --sync "$main" 420 260 || fail "the main window did not move"
timeout "$limit" xdotool windowmove --sync "$source" 640 330 || fail "the source window did not move"
read -r main_x main_y <<<"$(frame_of "$main")"
read -r source_x source_y <<<"$(frame_of "$source")"
stop
expect_at "saved main window" "$(key LEFT) $(key TOP)" "$main_x" "$main_y"
expect_at "saved source window" "$(key METEO_LEFT) $(key METEO_TOP)" "$source_x" "$source_y"

# 3. And twice more, untouched: back at the same place, nothing drifts.
for run in 3 4; do
    start
    expect_at "main window (run $run)" "$(frame_of "$main")" "$main_x" "$main_y"
    expect_at "source window (run $run)" "$(frame_of "$source")" "$source_x" "$source_y"
    stop
    expect_at "saved main window (run $run)" "$(key LEFT) $(key TOP)" "$main_x" "$main_y"
    expect_at "saved source window (run $run)" "$(key METEO_LEFT) $(key METEO_TOP)" "$source_x" "$source_y"
    [ "$(key METEO_WIDTH) $(key METEO_HEIGHT)" = "$size" ] || fail "the source window's size changed: $(key METEO_WIDTH) $(key METEO_HEIGHT), was $size"
done
echo "window_places: every window came back where it was left"
