#!/usr/bin/env bash
# Checks a set of Auravox packages (.deb files) against one another:
# - no file is in two packages;
# - auravox-headless holds auravoxd, both units running it, the udev rule of
#   the C-Media fobs and the maintainer scripts of the system user, and pulls
#   no Qt GUI, Qt Widgets or X library, directly or through its dependencies
#   (as apt-cache resolves them here);
# - auravox depends on the same version of auravox-headless and holds the
#   desktop program with its AppStream entry, which validates;
# - the system unit passes systemd-analyze verify (verify_system_unit.sh).
#   tests/packaging/check_packages.sh PACKAGE.deb...
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
problem() { echo "check_packages: $*" >&2; fail=1; }

declare -A deb
for f in "$@"; do
    name=$(dpkg-deb -f "$f" Package)
    deb[$name]=$f
    mkdir -p "$work/$name"
    dpkg-deb -x "$f" "$work/$name"
    # Files and links, not folders.
    (cd "$work/$name" && find . ! -type d | sed 's|^\.||') | sort >"$work/$name.files"
done
[ -n "${deb[auravox-headless]:-}" ] || { echo "check_packages: no auravox-headless package" >&2; exit 1; }
[ -n "${deb[auravox]:-}" ] || { echo "check_packages: no auravox package" >&2; exit 1; }

# No file in two packages.
dups=$(cat "$work"/*.files | sort | uniq -d)
[ -z "$dups" ] || problem "files in more than one package: $dups"

has() { grep -qx "$2" "$work/$1.files" || problem "$1 lacks $2"; }
for f in /usr/bin/auravoxd /lib/systemd/user/auravox.service /lib/systemd/system/auravox.service \
         /lib/udev/rules.d/60-auravox-cm108.rules /usr/share/auravox/kuckoo.wav \
         /usr/share/man/man1/auravoxd.1.gz /usr/share/doc/auravox-headless/copyright; do
    has auravox-headless "$f"
done
for f in /usr/bin/auravox /usr/share/metainfo/org.auravox.auravox.metainfo.xml \
         /usr/share/applications/auravox.desktop /usr/share/man/man1/auravox.1.gz /usr/share/doc/auravox/copyright; do
    has auravox "$f"
done
grep -q '^/usr/bin/auravox$' "$work/auravox-headless.files" && problem "the desktop program is in auravox-headless"

# Both units run the headless program.
for unit in user system; do
    grep -qx 'ExecStart=/usr/bin/auravoxd' "$work/auravox-headless/lib/systemd/$unit/auravox.service" ||
        problem "the $unit unit does not run /usr/bin/auravoxd"
done
# The fobs' HID nodes go to the audio group.
grep -Eq '^SUBSYSTEM=="hidraw", ATTRS\{idVendor\}=="0d8c", GROUP="audio", MODE="0660"$' \
    "$work/auravox-headless/lib/udev/rules.d/60-auravox-cm108.rules" || problem "the udev rule does not give 0d8c to audio"

# The maintainer scripts: the user is made at configure time and goes on purge;
# nothing enables the system unit.
control=$work/control
dpkg-deb -e "${deb[auravox-headless]}" "$control"
for s in postinst prerm postrm; do
    [ -x "$control/$s" ] || problem "auravox-headless has no $s"
done
grep -q 'adduser .*--system .*auravox' "$control/postinst" || problem "postinst makes no system user"
grep -q 'deluser .*--system auravox' "$control/postrm" || problem "postrm removes no system user"
grep -v '^[[:space:]]*#' "$control/postinst" | grep -Eq 'systemctl (--system )?enable|deb-systemd-helper enable' &&
    problem "postinst enables the unit"
sh -n "$control/postinst" && sh -n "$control/prerm" && sh -n "$control/postrm" || problem "a maintainer script is not valid sh"

# Dependencies: the desktop package on the same version of the headless one.
version=$(dpkg-deb -f "${deb[auravox-headless]}" Version)
dpkg-deb -f "${deb[auravox]}" Depends | tr ',' '\n' | sed 's/^ *//' | grep -qx "auravox-headless (= $version)" ||
    problem "auravox does not depend on auravox-headless (= $version)"
graphical='^(libqt6gui6|libqt6widgets6|libqt6opengl6|libx11-|libxcb|libxkb|libgl1|libegl|libgtk|libwayland|libfontconfig|libfreetype)'
depends=$(dpkg-deb -f "${deb[auravox-headless]}" Depends | tr ',|' '\n\n' | sed 's/^ *//; s/[ (].*//' | sed '/^$/d')
if printf '%s\n' "$depends" | grep -E "$graphical"; then
    problem "auravox-headless depends on a graphical library"
fi
if command -v apt-cache >/dev/null 2>&1; then
    # shellcheck disable=SC2086
    pulled=$(apt-cache depends --recurse --important --no-pre-depends $depends 2>/dev/null |
             grep -v '^ ' | sed 's/:.*//' | sort -u)
    bad=$(printf '%s\n' "$pulled" | grep -E "$graphical" || true)
    [ -z "$bad" ] || problem "auravox-headless pulls graphical libraries: $bad"
fi

# The AppStream entry.
if command -v appstreamcli >/dev/null 2>&1; then
    appstreamcli validate --pedantic --no-net "$work/auravox/usr/share/metainfo/org.auravox.auravox.metainfo.xml" \
        >"$work/appstream" 2>&1 || { cat "$work/appstream" >&2; problem "the AppStream entry does not validate"; }
    grep -q '^[EWIP]:' "$work/appstream" && { cat "$work/appstream" >&2; problem "appstreamcli has remarks"; }
fi

status=0
bash "$here/verify_system_unit.sh" "$work/auravox-headless" || status=$?
[ "$status" -eq 0 ] || [ "$status" -eq 77 ] || fail=1
[ "$fail" -eq 0 ] && echo "check_packages: ${!deb[*]}: good"
exit "$fail"
