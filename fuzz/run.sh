#!/bin/sh
# Builds the fuzz targets with clang in build-fuzz/ (or $KVX_FUZZ_BUILD_DIR)
# and runs each for a bounded time, keeping its corpus between runs.
# Usage: fuzz/run.sh [seconds per target, default 60]. Fails on a failed build
# or on any crash, leak or broken check (the reproducer is kept in artifacts/).
# The inputs come from a fixed seed (KVX_FUZZ_SEED, default 1; 0 lets libFuzzer
# pick one), so that two runs on a fresh build try the same inputs in the same
# order. Each target's output goes to fuzz/logs/NAME.log in the build folder;
# one line per target sums it up, and a failure shows the log's end.
# Seed inputs in fuzz/seeds/NAME/, when there, are read at each start.
set -eu
seconds=${1:-60}
seed=${KVX_FUZZ_SEED:-1}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${KVX_FUZZ_BUILD_DIR:-$source_dir/build-fuzz}
cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_CXX_COMPILER="${KVX_FUZZ_CXX:-clang++-14}" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVX_FUZZ=ON -DKVX_BUILD_TESTS=OFF > "$build_dir.log"
cmake --build "$build_dir" -j2 --target kvx_fuzzers >> "$build_dir.log" ||
    { tail -n 30 "$build_dir.log" >&2; exit 1; }
ls "$build_dir"/fuzz/fuzz_* >/dev/null 2>&1 || { echo "no fuzz targets were built" >&2; exit 1; }

# stat NAME LOG: the value libFuzzer's final statistics give for NAME.
stat() {
    sed -n "s/^stat::$1: *//p" "$2" | tail -n 1
}

status=0
for fuzzer in "$build_dir"/fuzz/fuzz_*; do
    [ -x "$fuzzer" ] && [ -f "$fuzzer" ] || continue
    name=$(basename "$fuzzer")
    corpus=$build_dir/fuzz/corpus/$name
    log=$build_dir/fuzz/logs/$name.log
    mkdir -p "$corpus" "$build_dir/fuzz/artifacts/$name" "$build_dir/fuzz/logs"
    seeds=
    [ -d "$source_dir/fuzz/seeds/$name" ] && seeds=$source_dir/fuzz/seeds/$name
    if "$fuzzer" -seed="$seed" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$build_dir/fuzz/artifacts/$name/" \
        "$corpus" $seeds > "$log" 2>&1; then
        # The last status line, e.g. "#123456 DONE cov: 812 ft: 2301 corp: 120/4Kb ...".
        done_line=$(grep -a '^#[0-9]*[[:space:]]*DONE' "$log" | tail -n 1)
        coverage=$(echo "$done_line" | sed -n 's/.* cov: \([0-9]*\).*/\1/p')
        inputs=$(echo "$done_line" | sed -n 's/.* corp: \([0-9]*\).*/\1/p')
        echo "$name: ${seconds} s, seed $seed: $(stat number_of_executed_units "$log") runs" \
            "($(stat average_exec_per_sec "$log")/s), coverage ${coverage:-?} edges," \
            "corpus ${inputs:-?} inputs ($(stat new_units_added "$log") new)," \
            "peak $(stat peak_rss_mb "$log") MB: no crash, leak or failed check"
    else
        echo "$name: FAILED (seed $seed); the end of $log:" >&2
        tail -n 60 "$log" >&2
        status=1
    fi
done
exit $status
