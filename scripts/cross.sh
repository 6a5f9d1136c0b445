#!/usr/bin/env bash
# Cross-builds Auravox for a Raspberry Pi (or any Debian 12 arm board) in a
# Debian 12 chroot of its own, with Debian's multiarch cross toolchain, and
# checks the result under qemu-user:
#   scripts/cross.sh package arm64|armhf   the program without tests, its .deb
#       packages in build-cross/<arch>/ (lintian silent, tests/packaging/check_packages.sh),
#       then, under qemu-user, auravoxd --version and an offscreen start of the
#       desktop program from the packages' files
#   scripts/cross.sh test arm64|armhf      the tests as well (in the same build-cross/<arch>/),
#       and the common, engine, transmitter and configuration tests run under qemu-user
# The chroot (debootstrap minbase, made once and kept) is build-cross/bookworm,
# or $AURAVOX_CROSS_CHROOT; the foreign architectures are added inside it only,
# never to the build machine. Needs root (or sudo), debootstrap and lintian.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
what=${1:-}
arch=${2:-}
case "$arch" in
arm64) triplet=aarch64-linux-gnu qemu=qemu-aarch64-static ;;
armhf) triplet=arm-linux-gnueabihf qemu=qemu-arm-static ;;
*) echo "usage: cross.sh package|test arm64|armhf" >&2; exit 2 ;;
esac
case "$what" in
package | test) ;;
*) echo "usage: cross.sh package|test arm64|armhf" >&2; exit 2 ;;
esac
if [ "$(id -u)" -ne 0 ]; then
    exec sudo --preserve-env=AURAVOX_CROSS_DIR,AURAVOX_CROSS_CHROOT,AURAVOX_CROSS_MIRROR "$0" "$@"
fi
cross=${AURAVOX_CROSS_DIR:-$root/build-cross}
chroot=${AURAVOX_CROSS_CHROOT:-$cross/bookworm}
mirror=${AURAVOX_CROSS_MIRROR:-http://deb.debian.org/debian}
mkdir -p "$cross"
cross=$(cd "$cross" && pwd)
seconds() { date +%s; }
elapsed() { echo "$(($(seconds) - $1)) s"; }

# Runs a command in the chroot, with /proc, /dev, the source tree at /src and
# the cross folder at /cross, in a mount namespace of its own: the mounts go
# when the command ends, however it ends.
in_chroot() {
    unshare --mount --propagation private -- /bin/sh -ec '
        c=$1 src=$2 out=$3; shift 3
        mount -t proc proc "$c/proc"
        mount --rbind /dev "$c/dev"
        mkdir -p "$c/src" "$c/cross"
        mount --bind "$src" "$c/src"
        mount --bind "$out" "$c/cross"
        exec chroot "$c" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
            DEBIAN_FRONTEND=noninteractive "$@"' sh "$chroot" "$root" "$cross" "$@"
}

# The chroot: Debian 12 with its updates, as the boards' Raspberry Pi OS 12.
if [ ! -f "$chroot/.auravox-base" ]; then
    command -v debootstrap >/dev/null 2>&1 || apt-get install -y -q --no-install-recommends debootstrap
    start=$(seconds)
    echo "== debootstrap bookworm into $chroot"
    rm -rf "$chroot.tmp"
    nice -n 10 debootstrap --variant=minbase bookworm "$chroot.tmp" "$mirror"
    touch "$chroot.tmp/.auravox-base"
    rm -rf "$chroot"
    mv "$chroot.tmp" "$chroot"
    echo "== chroot made in $(elapsed "$start")"
fi
if [ ! -f "$chroot/.auravox-sources" ]; then
    cat >"$chroot/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb http://deb.debian.org/debian-security bookworm-security main
EOF
    # No documentation in the chroot: it only builds.
    cat >"$chroot/etc/dpkg/dpkg.cfg.d/01-nodoc" <<'EOF'
path-exclude /usr/share/doc/*
path-exclude /usr/share/man/*
path-exclude /usr/share/locale/*
EOF
    touch "$chroot/.auravox-sources"
fi
# qemu-user from bookworm-backports: 7.2, bookworm's own, refuses the clone()
# with CLONE_PIDFD that Qt's QProcess starts a program with, so no test could
# start rigctld or the program itself under it.
if [ ! -f "$chroot/etc/apt/sources.list.d/backports.list" ]; then
    echo "deb $mirror bookworm-backports main" >"$chroot/etc/apt/sources.list.d/backports.list"
    rm -f "$chroot"/.auravox-arm64 "$chroot"/.auravox-armhf
fi

# What the build needs: the build machine's tools (Qt's moc, rcc and uic with
# their CMake files among them), the cross compilers, and the libraries
# scripts/setup.sh installs, for the target (with its pkg-config). qemu-user-static runs the
# target's programs; rigctld (amd64) is the rig the transmitter tests talk to.
host_packages=(cmake ninja-build ccache pkg-config python3 dpkg-dev file
    qt6-base-dev qt6-base-dev-tools libhamlib-utils fonts-dejavu-core)
target_packages=(crossbuild-essential-"$arch")
for p in pkg-config qt6-base-dev qt6-httpserver-dev qt6-websockets-dev libasound2-dev libgpiod-dev libhamlib-dev \
    libgtest-dev libgmock-dev; do
    target_packages+=("$p:$arch")
done
packages="${host_packages[*]} ${target_packages[*]}"
wanted="$packages qemu-user-static from bookworm-backports"
if [ "$(cat "$chroot/.auravox-$arch" 2>/dev/null)" != "$wanted" ]; then
    start=$(seconds)
    echo "== installing the build dependencies for $arch in the chroot"
    in_chroot sh -ec "
        dpkg --add-architecture $arch
        # A mirror in the middle of a sync fails an index for a while: once
        # more, then on with the indexes of the last update (the install
        # below fails if they lack a package).
        apt-get update -q || { sleep 60; apt-get update -q; } ||
            echo 'cross.sh: warning: apt-get update failed; the last indexes are used' >&2
        apt-get install -y -q --no-install-recommends $packages
        apt-get install -y -q --no-install-recommends -t bookworm-backports qemu-user-static"
    echo "$wanted" >"$chroot/.auravox-$arch"
    echo "== installed in $(elapsed "$start")"
fi

# The build: no Qt WebEngine (the embedded login browser is an amd64 extra),
# warnings as errors as in CI, ccache shared by both architectures.
# Both runs share one build folder: the test run adds the tests' targets to the
# program's objects (the options touch no compile line of the program).
tests=OFF
build=$arch
[ "$what" = package ] || tests=ON
start=$(seconds)
echo "== cross-building for $arch in build-cross/$build"
configure=(cmake -S /src -B "/cross/$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    -DCMAKE_TOOLCHAIN_FILE=/src/cmake/toolchains/$triplet.cmake
    "-DCMAKE_CROSSCOMPILING_EMULATOR=/usr/bin/$qemu;-L;/"
    -DAURAVOX_TESTS=$tests -DAURAVOX_BENCH=OFF -DAURAVOX_WEBENGINE=OFF -DAURAVOX_WERROR=ON)
targets=()
[ "$what" = package ] || targets=(--target test_common test_engine test_transmitter test_app)
in_chroot env CCACHE_DIR=/cross/ccache CCACHE_BASEDIR=/src "${configure[@]}" >"$cross/$build.configure.log" ||
    { cat "$cross/$build.configure.log"; exit 1; }
in_chroot env CCACHE_DIR=/cross/ccache CCACHE_BASEDIR=/src nice -n 10 cmake --build "/cross/$build" -j2 "${targets[@]}"
echo "== built for $arch in $(elapsed "$start")"

if [ "$what" = test ]; then
    start=$(seconds)
    echo "== the tests under $qemu"
    # Each program runs once, under the emulator, in its folder as ctest runs
    # it; the configuration's tests are the desktop program's Configuration
    # and settings groups.
    status=0
    for t in test_common test_engine test_transmitter "test_app --gtest_filter=Configuration*:PttSettings*"; do
        set -- $t
        name=$1
        shift
        log=$cross/$build/$name.log
        in_chroot sh -c 'cd "$1" && shift && QT_QPA_PLATFORM=offscreen exec "$@"' sh "/cross/$build/tests" \
            "/usr/bin/$qemu" -L / "/cross/$build/tests/$name" "$@" >"$log" 2>&1 || status=1
        passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$log")
        failed=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) test.*/\1/p' "$log")
        skipped=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) test.*/\1/p' "$log")
        echo "$name $*: ${passed:-0} passed, ${failed:-0} failed, ${skipped:-0} skipped (build-cross/$build/$name.log)"
        grep -E '^\[  (FAILED  |SKIPPED )\] [A-Za-z]' "$log" | sort -u || true
    done
    echo "== tests run in $(elapsed "$start")"
    exit "$status"
fi

# The packages, checked on the build machine as scripts/package.sh checks its own.
start=$(seconds)
in_chroot sh -ec 'cd "$1" && rm -f auravox*.deb && cpack -G DEB >cpack.log' sh "/cross/$build"
cd "$cross/$build"
shopt -s nullglob
debs=(auravox-headless_*_"$arch".deb auravox_*_"$arch".deb)
[ ${#debs[@]} -eq 2 ] || { echo "cross.sh: expected two $arch packages, found: $(ls ./*.deb)" >&2; exit 1; }
echo "== lintian ${debs[*]}"
report=$(lintian --display-info --fail-on error,warning,info "${debs[@]}" 2>/dev/null) || {
    printf '%s\n' "$report"
    echo "cross.sh: lintian failed" >&2
    exit 1
}
[ -z "$report" ] || { printf '%s\n' "$report"; echo "cross.sh: lintian reported the tags above" >&2; exit 1; }
bash "$root/tests/packaging/check_packages.sh" "${debs[@]}"
for d in "${debs[@]}"; do
    echo "$d: $(stat -c %s "$d") bytes, Installed-Size $(dpkg-deb -f "$d" Installed-Size) KiB"
done
echo "== packaged in $(elapsed "$start")"

# The packages' own files under the emulator: the version, then the desktop
# program started offscreen in a working folder of its own, which must say
# it runs, stay up and end on SIGTERM.
rm -rf "$cross/$build/run"
mkdir -p "$cross/$build/run/root" "$cross/$build/run/home"
for d in "${debs[@]}"; do dpkg-deb -x "$d" "$cross/$build/run/root"; done
run=/cross/$build/run
echo "== $qemu: auravoxd --version"
in_chroot "/usr/bin/$qemu" -L / "$run/root/usr/bin/auravoxd" --version
echo "== $qemu: auravox, offscreen"
in_chroot sh -c '
    run=$1 qemu=$2
    mkdir -p -m 700 "$run/xdg"
    AURAVOX_HOME=$run/home XDG_RUNTIME_DIR=$run/xdg QT_QPA_PLATFORM=offscreen "$qemu" -L / "$run/root/usr/bin/auravox" 2>"$run/auravox.log" &
    pid=$!
    i=0
    until grep -q "running in" "$run/auravox.log"; do
        kill -0 $pid 2>/dev/null || { echo "auravox ended before it ran:"; cat "$run/auravox.log"; exit 1; }
        i=$((i + 1))
        [ $i -lt 600 ] || { echo "auravox did not say it runs within 60 s:"; cat "$run/auravox.log"; kill $pid; exit 1; }
        sleep 0.1
    done
    sleep 3
    kill -0 $pid 2>/dev/null || { echo "auravox did not stay up:"; cat "$run/auravox.log"; exit 1; }
    kill -TERM $pid
    status=0
    wait $pid || status=$?
    cat "$run/auravox.log"
    echo "auravox ended with status $status on SIGTERM"
    [ $status -eq 0 ]' sh "$run" "/usr/bin/$qemu"
ls -1 "$cross/$build"/*.deb
