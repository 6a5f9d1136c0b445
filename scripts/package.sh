#!/usr/bin/env bash
# Installs what is missing, builds a release without tests or benchmarks in a
# folder of its own and makes the Debian packages:
#   build-package/auravox-headless_<version>_<arch>.deb   auravoxd, its units, the
#                                                         udev rule, the shared data
#   build-package/auravox_<version>_<arch>.deb            the desktop program
#   build-package/auravox-webengine_<version>_<arch>.deb  the APRS login page's embedded
#                                                         browser (when Qt WebEngine is there)
# then checks them: lintian must report nothing at all, the AppStream entry
# validates, the system unit passes systemd-analyze verify, and the packages
# share no file and the headless one pulls no graphical library
# (tests/packaging/check_packages.sh). Needs no npm registry.
# Install with: sudo apt install ./build-package/auravox-headless_*.deb
#          (and ./build-package/auravox_*.deb for the desktop program)
#   scripts/package.sh --arch arm64|armhf   the same packages cross-built for a
#       Raspberry Pi in a Debian 12 chroot, in build-cross/<arch>/ (scripts/cross.sh)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1:-}" = --arch ]; then
    [ $# -eq 2 ] || { echo "usage: package.sh [--arch arm64|armhf]" >&2; exit 2; }
    exec "$root/scripts/cross.sh" package "$2"
fi
build=${AURAVOX_PACKAGE_DIR:-$root/build-package}
"$root/scripts/setup.sh" --no-browser-test
# The checkers are needed for packaging only.
need=()
command -v lintian >/dev/null 2>&1 || need+=(lintian)
command -v appstreamcli >/dev/null 2>&1 || need+=(appstream)
command -v systemd-analyze >/dev/null 2>&1 || need+=(systemd)
if [ ${#need[@]} -gt 0 ]; then
    as_root=()
    [ "$(id -u)" -eq 0 ] || as_root=(sudo)
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${need[@]}"
fi
AURAVOX_BUILD_DIR=$build AURAVOX_BUILD_TYPE=${AURAVOX_BUILD_TYPE:-RelWithDebInfo} \
    "$root/scripts/build.sh" -DAURAVOX_TESTS=OFF -DAURAVOX_BENCH=OFF "$@"
cd "$build"
rm -f auravox_*.deb auravox-headless_*.deb auravox-webengine_*.deb
cpack -G DEB
shopt -s nullglob
debs=(auravox-headless_*.deb auravox_*.deb auravox-webengine_*.deb)
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
echo "== packages"
bash "$root/tests/packaging/check_packages.sh" "${debs[@]}"
ls -1 "$PWD"/auravox*.deb
