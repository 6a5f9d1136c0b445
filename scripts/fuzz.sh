#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time on a
# copy of its seed corpus. Usage: scripts/fuzz.sh [seconds per target, default 60]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=$root/build-fuzz
"$root/scripts/setup.sh"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DAURAVOX_FUZZ=ON -DAURAVOX_TESTS=ON -DAURAVOX_BENCH=OFF >/dev/null
targets=$(cd "$root/tests/fuzz" && ls fuzz_*.cpp | sed 's/\.cpp$//')
cmake --build "$build" -j"$(nproc)" --target $targets
failed=0
# Qt's platform libraries keep some allocations for the life of the process.
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tests/lsan.supp:print_suppressions=0}
for t in $targets; do
    corpus=$(sed -n "s/^#* *auravox_fuzz_target($t \(.*\))$/\1/p" "$root/tests/fuzz/CMakeLists.txt")
    work=$(mktemp -d)
    cp -r "$root/tests/fuzz/corpus/$corpus/." "$work/"
    echo "== $t ($seconds s)"
    log=$(mktemp)
    if ! "$build/tests/fuzz/$t" -max_total_time="$seconds" -max_len=300000 -print_final_stats=1 "$work" >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "fuzz.sh: $t found a failure" >&2
        failed=1
    fi
    grep -E 'stat::number_of_executed_units' "$log" || true
    rm -rf "$work" "$log"
done
exit "$failed"
