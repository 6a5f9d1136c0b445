#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
cd "${AURAVOX_BUILD_DIR:-$root/build}"
ctest --output-on-failure -j"$(nproc)" --timeout 300
