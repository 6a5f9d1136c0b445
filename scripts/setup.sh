#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Auravox need,
# when they are missing. Works as root or through sudo.
#   scripts/setup.sh [--no-browser-test]
# --no-browser-test: without the browser test's node modules (npm ci), for a
# package build, which runs no test and may have no npm registry to reach.
set -euo pipefail
browser_test=1
[ "${1:-}" != --no-browser-test ] || browser_test=0

packages=(
    build-essential cmake ninja-build ccache pkg-config python3
    qt6-base-dev qt6-base-dev-tools qt6-webengine-dev
    qt6-httpserver-dev qt6-websockets-dev
    libasound2-dev
    libgpiod-dev libhamlib-dev libhamlib-utils
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev
    chromium
    libfaketime
    systemd
    xvfb openbox xdotool x11-utils
)
# The browser test of the station page runs on node; a node from elsewhere
# (with its own npm) is kept.
command -v npm >/dev/null 2>&1 || packages+=(nodejs npm)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
root=$(cd "$(dirname "$0")/.." && pwd)
# puppeteer-core for the browser test, as the lock file pins it (it downloads no browser).
install_browser_test() {
    [ "$browser_test" -eq 1 ] || return 0
    local dir="$root/tests/browser"
    if [ ! -d "$dir/node_modules/puppeteer-core" ] || [ "$dir/package-lock.json" -nt "$dir/node_modules/.package-lock.json" ]; then
        echo "setup: npm ci in tests/browser"
        (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error)
    fi
}
if [ ${#missing[@]} -eq 0 ]; then
    install_browser_test
    exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
    as_root=()
elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
else
    echo "setup: these packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
    exit 1
fi

echo "setup: installing ${missing[*]}"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
install_browser_test
