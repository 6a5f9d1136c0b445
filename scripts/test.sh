#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   scripts/test.sh              the test suite
#   scripts/test.sh --hardening  also the suite under AddressSanitizer and
#                                UndefinedBehaviorSanitizer (build-asan/), and
#                                every fuzz target for a bounded time on its
#                                corpus (AURAVOX_FUZZ_SECONDS, default 10)
#   scripts/test.sh --cross ARCH the common, engine, transmitter and configuration
#                                tests cross-built for arm64 or armhf and run
#                                under qemu-user (scripts/cross.sh), alone
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1:-}" = --cross ]; then
    [ $# -eq 2 ] || { echo "usage: test.sh --cross arm64|armhf" >&2; exit 2; }
    exec "$root/scripts/cross.sh" test "$2"
fi
hardening=0
for arg in "$@"; do
    case "$arg" in
    --hardening) hardening=1 ;;
    *) echo "test.sh: unknown option $arg" >&2; exit 2 ;;
    esac
done
"$root/scripts/setup.sh"
# Warnings are errors here (and so in CI); a plain build.sh only shows them.
"$root/scripts/build.sh" -DAURAVOX_WERROR=ON
export QT_QPA_PLATFORM=offscreen
(cd "${AURAVOX_BUILD_DIR:-$root/build}" && ctest --output-on-failure -j"$(nproc)" --timeout 300)

if [ "$hardening" -eq 1 ]; then
    echo "== the test suite under AddressSanitizer and UndefinedBehaviorSanitizer"
    AURAVOX_BUILD_DIR=$root/build-asan AURAVOX_BUILD_TYPE=Debug "$root/scripts/build.sh" \
        -DAURAVOX_SANITIZE=ON -DAURAVOX_WERROR=ON -DAURAVOX_BENCH=OFF -DAURAVOX_WEBENGINE=OFF
    # The soak, and the two real-time runs that take the machine's one UART or
    # run alone (the port's clip end on both programs, the page's whole set-up
    # in a browser), have had their plain run above; under the sanitizers they
    # would only add minutes.
    (cd "$root/build-asan" &&
        ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        LSAN_OPTIONS=suppressions=$root/tests/lsan.supp \
        ctest --output-on-failure -j"$(nproc)" --timeout 600 -E 'MonthSoak|UartClipEnd|^browser\.station_setup$')
    echo "== fuzz targets"
    "$root/scripts/fuzz.sh" "${AURAVOX_FUZZ_SECONDS:-10}"
fi
