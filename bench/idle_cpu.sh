#!/usr/bin/env bash
# Idle CPU of the configurator: starts it offscreen (disconnected, window open),
# lets it settle, then samples its CPU time from /proc for a while and prints the
# share of one core it used.
#   bench/idle_cpu.sh [build-dir] [seconds] [-- command to run instead]
set -euo pipefail
build=${1:-build}
seconds=${2:-10}
shift $(( $# > 2 ? 2 : $# ))
[ "${1:-}" = "--" ] && shift
cmd=("$@")
[ ${#cmd[@]} -eq 0 ] && cmd=("$build/KVX_Configurator")

export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
"${cmd[@]}" > /dev/null 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true; wait $pid 2>/dev/null || true' EXIT
sleep 2
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
t0=$(ticks); s0=$(date +%s.%N)
sleep "$seconds"
t1=$(ticks); s1=$(date +%s.%N)
awk -v a="$t0" -v b="$t1" -v hz="$hz" -v s0="$s0" -v s1="$s1" \
  'BEGIN { printf "idle CPU: %.2f%% of one core over %.1f s\n", 100 * (b - a) / hz / (s1 - s0), s1 - s0 }'
