#!/usr/bin/env bash
# Installs the headless component of a build into a temporary root, as its
# package holds it, and checks the system unit there (verify_system_unit.sh).
#   tests/packaging/installed_system_unit.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
DESTDIR=$dest cmake --install "$1" --component headless --prefix /usr >/dev/null
bash "$here/verify_system_unit.sh" "$dest"
