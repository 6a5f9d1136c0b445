#!/usr/bin/env bash
# Checks the system unit as installed under ROOT (a package's files, or a
# DESTDIR of the headless component) with systemd-analyze verify, against the
# machine's own system units: it must pass with no message at all (an unknown
# key is only a warning to systemd, but is a fault here), and run auravoxd as
# the package's user.
#   tests/packaging/verify_system_unit.sh ROOT
set -euo pipefail
root=$1
unit=$root/lib/systemd/system/auravox.service
[ -f "$unit" ] || { echo "verify_system_unit: no $unit" >&2; exit 1; }
command -v systemd-analyze >/dev/null 2>&1 || { echo "verify_system_unit: no systemd-analyze" >&2; exit 77; }
[ -d /lib/systemd/system ] || { echo "verify_system_unit: no system units on this machine" >&2; exit 77; }
check=$(mktemp -d)
trap 'rm -rf "$check"' EXIT
mkdir -p "$check/lib/systemd/system" "$check/usr/bin"
cp -a /lib/systemd/system/. "$check/lib/systemd/system/"
cp "$unit" "$check/lib/systemd/system/auravox.service"
cp "$root/usr/bin/auravoxd" "$check/usr/bin/auravoxd"
status=0
report=$(systemd-analyze verify --root="$check" --man=no auravox.service 2>&1) || status=$?
if [ "$status" -ne 0 ] || [ -n "$report" ]; then
    printf '%s\n' "$report" >&2
    echo "verify_system_unit: systemd-analyze verify failed (status $status)" >&2
    exit 1
fi
fail=0
grep -qx 'ExecStart=/usr/bin/auravoxd' "$unit" || { echo "verify_system_unit: ExecStart is not /usr/bin/auravoxd" >&2; fail=1; }
grep -qx 'User=auravox' "$unit" || { echo "verify_system_unit: not run as the auravox user" >&2; fail=1; }
grep -qx 'Environment=AURAVOX_HOME=/var/lib/auravox' "$unit" ||
    { echo "verify_system_unit: the working folder is not /var/lib/auravox" >&2; fail=1; }
exit "$fail"
