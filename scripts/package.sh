#!/usr/bin/env bash
# Installs what is missing, builds a release and makes the Debian package
# (build/auravox_<version>_<arch>.deb). Install it with: sudo apt install ./build/auravox_*.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
AURAVOX_BUILD_TYPE=${AURAVOX_BUILD_TYPE:-RelWithDebInfo} "$root/scripts/build.sh"
cd "${AURAVOX_BUILD_DIR:-$root/build}"
cpack -G DEB
ls -1 "$PWD"/auravox_*.deb
