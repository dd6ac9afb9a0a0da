#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite:
# the sanitizer build (AddressSanitizer, UndefinedBehaviorSanitizer, LeakSanitizer)
# first, then the bounded fuzz runs, then the plain build (compiler warnings are
# errors there) with a bounded soak run and the suite, whose CTest summary closes
# the output.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=${KVX_JOBS:-2}
export QT_QPA_PLATFORM=offscreen

echo "== Sanitizer build"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKVX_SANITIZE=ON > build-asan.log
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions="$PWD/tests/lsan.supp" \
  ctest --test-dir build-asan --output-on-failure -j"$jobs" -LE soak
KVX_SOAK_CYCLES=${KVX_SOAK_CYCLES_ASAN:-40} \
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions="$PWD/tests/lsan.supp" \
  ctest --test-dir build-asan --output-on-failure -L soak

if [ -x fuzz/run.sh ]; then
  echo "== Fuzzing (bounded)"
  fuzz/run.sh "${KVX_FUZZ_SECONDS:-60}"
fi

echo "== Build (warnings are errors)"
# A build/ made before keeps its generator.
generator=(-G Ninja)
[ -f build/CMakeCache.txt ] && generator=()
cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVX_WERROR=ON > build.log
cmake --build build -j"$jobs"

echo "== Soak (bounded: ${KVX_SOAK_CYCLES:=200} cycles)"
KVX_SOAK_CYCLES=$KVX_SOAK_CYCLES ctest --test-dir build --output-on-failure -L soak

echo "== Test suite"
ctest --test-dir build --output-on-failure -j"$jobs" -LE soak
