#!/bin/sh
# The benchmark table: builds kvx-bench, kvx-sim and KVX_Configurator in the
# build folder (build/ beside the sources unless KVX_BENCH_BUILD names another),
# runs kvx-bench against kvx-sim (full preset) on a pseudo-terminal, and adds
# the idle CPU of the shipped program, disconnected, with its own port list.
#   bench/run.sh [idle seconds, default 10]   (KVX_BENCH_RUNS rounds, default 3)
set -eu
seconds=${1:-10}
case "$seconds" in
'' | *[!0-9]*)
    echo "usage: $0 [idle seconds]" >&2
    exit 2
    ;;
esac
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
build=${KVX_BENCH_BUILD:-$source_dir/build}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

if [ -f "$build/CMakeCache.txt" ]; then
    cmake -S "$source_dir" -B "$build" > /dev/null # keeps the folder's generator
else
    cmake -S "$source_dir" -B "$build" -G Ninja > /dev/null
fi
cmake --build "$build" -j2 --target kvx-bench kvx-sim KVX_Configurator > /dev/null
"$build/bench/kvx-bench" --idle-seconds "$seconds" --runs "${KVX_BENCH_RUNS:-3}"
shipped=$("$here/idle_cpu.sh" "$build" "$seconds" | sed -n 's/^idle CPU: \([0-9.]*%\).*/\1/p')
echo "| Idle CPU, shipped KVX_Configurator disconnected (system port list, $seconds s) | $shipped of one core | - | - |"
