#!/usr/bin/env bash
# Installs what is missing, builds and starts Auravox. Without a display it
# runs on Qt's offscreen platform (a headless repeater box).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
fi
exec "${AURAVOX_BUILD_DIR:-$root/build}/auravox" "$@"
