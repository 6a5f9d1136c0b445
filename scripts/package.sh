#!/usr/bin/env bash
# Installs what is missing, builds a release and makes the Debian packages:
#   build/auravox_<version>_<arch>.deb            the program
#   build/auravox-webengine_<version>_<arch>.deb  the APRS login page's embedded
#                                                 browser (when Qt WebEngine is there)
# then checks them with lintian, which must report nothing at all.
# Install with: sudo apt install ./build/auravox_*.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
# lintian is needed for packaging only.
if ! command -v lintian >/dev/null 2>&1; then
    as_root=()
    [ "$(id -u)" -eq 0 ] || as_root=(sudo)
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends lintian
fi
AURAVOX_BUILD_TYPE=${AURAVOX_BUILD_TYPE:-RelWithDebInfo} "$root/scripts/build.sh"
cd "${AURAVOX_BUILD_DIR:-$root/build}"
rm -f auravox_*.deb auravox-webengine_*.deb
cpack -G DEB
shopt -s nullglob
debs=(auravox_*.deb auravox-webengine_*.deb)
echo "== lintian ${debs[*]}"
# Every tag counts, information tags included: the report must be empty. (lintian's
# own remarks, such as its warning about running as root, go to stderr and are not tags.)
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
status=0
report=$(lintian --display-info --fail-on error,warning,info "${debs[@]}" 2>"$errors") || status=$?
if [ "$status" -ne 0 ] || [ -n "$report" ]; then
    printf '%s\n' "$report"
    cat "$errors" >&2
    echo "package.sh: lintian reported the tags above" >&2
    exit 1
fi
ls -1 "$PWD"/auravox*.deb
