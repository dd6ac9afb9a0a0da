#!/bin/sh
# Builds the fuzz targets in their own clang build folder and runs each of them
# for a bounded time. Usage: fuzz/run.sh [seconds per target, default 60]
# The build folder is build-fuzz/ beside the sources unless KVX_FUZZ_BUILD_DIR
# names another; its corpus folders are kept between runs. Exits non-zero when
# the build fails or any target finds a crash, a leak or a broken check.
set -eu

seconds=${1:-60}
case "$seconds" in
'' | *[!0-9]*)
    echo "usage: $0 [seconds]" >&2
    exit 2
    ;;
esac

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
build_dir=${KVX_FUZZ_BUILD_DIR:-$source_dir/build-fuzz}
cxx=${KVX_FUZZ_CXX:-clang++-14}

cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVX_FUZZ=ON -DKVX_BUILD_TESTS=OFF
cmake --build "$build_dir" -j2 --target kvx_fuzzers

status=0
found=0
for fuzzer in "$build_dir"/fuzz/fuzz_*; do
    [ -f "$fuzzer" ] && [ -x "$fuzzer" ] || continue
    found=1
    name=$(basename "$fuzzer")
    corpus="$build_dir/fuzz/corpus/$name"
    artifacts="$build_dir/fuzz/artifacts/$name"
    mkdir -p "$corpus" "$artifacts"
    echo "== $name: $seconds s"
    if "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus"; then
        echo "== $name: no failure"
    else
        echo "== $name: FAILED (reproducer in $artifacts)" >&2
        status=1
    fi
done
if [ "$found" = 0 ]; then
    echo "no fuzz targets were built" >&2
    exit 1
fi
exit $status
