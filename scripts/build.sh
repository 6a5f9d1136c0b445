#!/usr/bin/env bash
# Configures (once) and builds Auravox into build/ with Ninja and ccache.
# Extra arguments go to CMake's configure step.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${AURAVOX_BUILD_DIR:-$root/build}
if [ ! -f "$build/build.ninja" ] || [ $# -gt 0 ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=${AURAVOX_BUILD_TYPE:-RelWithDebInfo} "$@"
fi
cmake --build "$build" -j"$(nproc)"
