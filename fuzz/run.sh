#!/bin/sh
# Builds the fuzz targets with clang in build-fuzz/ (or $KVX_FUZZ_BUILD_DIR)
# and runs each for a bounded time, keeping its corpus between runs.
# Usage: fuzz/run.sh [seconds per target, default 60]. Fails on a failed build
# or on any crash, leak or broken check (the reproducer is kept in artifacts/).
set -eu
seconds=${1:-60}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${KVX_FUZZ_BUILD_DIR:-$source_dir/build-fuzz}
cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_CXX_COMPILER="${KVX_FUZZ_CXX:-clang++-14}" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVX_FUZZ=ON -DKVX_BUILD_TESTS=OFF
cmake --build "$build_dir" -j2 --target kvx_fuzzers
ls "$build_dir"/fuzz/fuzz_* >/dev/null 2>&1 || { echo "no fuzz targets were built" >&2; exit 1; }
status=0
for fuzzer in "$build_dir"/fuzz/fuzz_*; do
    [ -x "$fuzzer" ] && [ -f "$fuzzer" ] || continue
    name=$(basename "$fuzzer")
    mkdir -p "$build_dir/fuzz/corpus/$name" "$build_dir/fuzz/artifacts/$name"
    echo "== $name: $seconds s"
    "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build_dir/fuzz/artifacts/$name/" "$build_dir/fuzz/corpus/$name" ||
        { echo "== $name: FAILED" >&2; status=1; }
done
exit $status
