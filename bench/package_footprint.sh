#!/usr/bin/env bash
# What the packages pull on a minimal Debian 12: a bookworm minbase made with
# debootstrap (from the Debian mirror apt uses here), into which each package
# is installed with apt, with and without its recommends. For each case: the
# packages added and the disk use they add (the sum of their Installed-Size,
# and apt's own figure). The headless case also checks its maintainer scripts:
# the system user is made in dialout and audio, and goes on purge.
#
#   bench/package_footprint.sh [folder of the .deb files, default build-package]
#
# Needs root and debootstrap. The base system is kept in a temporary folder
# and copied for each case.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
debs=$(cd "${1:-$root/build-package}" && pwd)
shopt -s nullglob
headless=("$debs"/auravox-headless_*.deb)
desktop=("$debs"/auravox_*.deb)
[ ${#headless[@]} -eq 1 ] && [ ${#desktop[@]} -eq 1 ] ||
    { echo "package_footprint: need one auravox-headless and one auravox .deb in $debs" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "package_footprint: run as root (debootstrap, chroot)" >&2; exit 1; }
command -v debootstrap >/dev/null 2>&1 ||
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap
mirror=${AURAVOX_MIRROR:-$(awk '/^URIs:/ { print $2; exit }' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)}
mirror=${mirror:-http://deb.debian.org/debian}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "== debootstrap --variant=minbase bookworm from $mirror"
debootstrap --variant=minbase bookworm "$work/base" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -20 "$work/debootstrap.log" >&2; exit 1; }
chroot "$work/base" apt-get update -q >/dev/null
base_count=$(chroot "$work/base" dpkg-query -W -f '${Package}\n' | wc -l)
echo "base: $base_count packages"

# run_case NAME APT-OPTIONS... -- DEB...
run_case() {
    local name=$1
    shift
    local opts=()
    while [ "$1" != -- ]; do opts+=("$1"); shift; done
    shift
    rm -rf "$work/case"
    cp -a "$work/base" "$work/case"
    mkdir -p "$work/case/debs"
    local inside=()
    for d in "$@"; do cp "$d" "$work/case/debs/"; inside+=("/debs/$(basename "$d")"); done
    chroot "$work/case" dpkg-query -W -f '${Package} ${Installed-Size}\n' | sort >"$work/before"
    local apt_out
    apt_out=$(chroot "$work/case" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${opts[@]}" "${inside[@]}" 2>&1) ||
        { printf '%s\n' "$apt_out" >&2; exit 1; }
    chroot "$work/case" dpkg-query -W -f '${Package} ${Installed-Size}\n' | sort >"$work/after"
    local added kb apt_mb get_mb
    added=$(comm -13 "$work/before" "$work/after" | wc -l)
    kb=$(comm -13 "$work/before" "$work/after" | awk '{ s += $2 } END { print s + 0 }')
    apt_mb=$(printf '%s\n' "$apt_out" | sed -n 's/^After this operation, \(.*\) of additional disk space will be used.*/\1/p')
    get_mb=$(printf '%s\n' "$apt_out" | sed -n 's/^Need to get \([^ ]* [kMG]*B\).*/\1/p')
    printf '%-44s %4d packages  %7.1f MB installed (apt: %s on disk, %s to download)\n' "$name" "$added" \
        "$(awk -v kb="$kb" 'BEGIN { print kb / 1024 }')" "$apt_mb" "$get_mb"
    # The largest of them.
    comm -13 "$work/before" "$work/after" | sort -k2 -rn | head -n "${AURAVOX_FOOTPRINT_TOP:-6}" |
        awk '{ printf "    %-36s %7.1f MB\n", $1, $2 / 1024 }'
    if [ -n "${AURAVOX_FOOTPRINT_LIST:-}" ]; then
        comm -13 "$work/before" "$work/after" | awk '{ printf "      %s", $1 } END { print "" }'
    fi
    if [ "$name" = "auravox-headless" ]; then
        check_system_user
    fi
}

check_system_user() {
    local c=$work/case
    chroot "$c" getent passwd auravox >/dev/null || { echo "  FAIL: no auravox user after install" >&2; exit 1; }
    local groups
    groups=$(chroot "$c" id -nG auravox)
    for g in dialout audio; do
        [[ " $groups " == *" $g "* ]] || { echo "  FAIL: auravox is not in $g ($groups)" >&2; exit 1; }
    done
    [ -d "$c/var/lib/auravox" ] || { echo "  FAIL: no /var/lib/auravox" >&2; exit 1; }
    [ ! -e "$c/etc/systemd/system/multi-user.target.wants/auravox.service" ] ||
        { echo "  FAIL: the system unit was enabled at install" >&2; exit 1; }
    chroot "$c" env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q auravox-headless >"$work/purge.log" 2>&1 ||
        { cat "$work/purge.log" >&2; exit 1; }
    if chroot "$c" getent passwd auravox >/dev/null || chroot "$c" getent group auravox >/dev/null ||
        [ -e "$c/var/lib/auravox" ]; then
        echo "  FAIL: the auravox user, its group or its folder is left after purge" >&2
        exit 1
    fi
    echo "  system user: made in ($groups), not enabled, removed with its folder on purge"
}

run_case "auravox-headless" -- "${headless[0]}"
run_case "auravox-headless, without recommends" --no-install-recommends -- "${headless[0]}"
run_case "auravox (desktop, with auravox-headless)" -- "${headless[0]}" "${desktop[0]}"
run_case "auravox, without recommends" --no-install-recommends -- "${headless[0]}" "${desktop[0]}"
