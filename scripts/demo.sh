#!/usr/bin/env bash
# Opens the configurator against a simulated KVXv2 (full preset): the
# simulator's port is listed and selected, so Connect works at once. Extra
# arguments go to kvx-demo and the simulator (e.g. --preset mixed). Closing the
# window stops the simulator.
# It installs what the build needs (compiler, CMake, Ninja, Qt; nothing for the
# tests) and builds the two programs in a folder of its own, build-demo/
# (KVX_DEMO_BUILD names another), before the first start.
# Through sudo (sudo scripts/demo.sh), only the packages are installed as root:
# the build and the demo run as the user who called sudo, so that the build
# folder stays theirs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh demo
build=${KVX_DEMO_BUILD:-build-demo}
if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ] &&
  runuser -u "$SUDO_USER" -- test -w .; then
  # What an earlier run through sudo left to root goes back to the user.
  for made in "$build" "$build.log"; do
    [ ! -e "$made" ] || chown -R "$SUDO_USER:" "$made"
  done
  exec runuser -u "$SUDO_USER" -- "$PWD/scripts/demo.sh" "$@"
fi
theirs=()
for made in "$build" "$build.log"; do
  [ ! -e "$made" ] || [ -w "$made" ] || theirs+=("$(realpath "$made")")
done
if [ ${#theirs[@]} -gt 0 ]; then
  echo "demo.sh: an earlier run through sudo left ${theirs[*]} to $(stat -c %U "${theirs[0]}");" \
    "make it yours once with" >&2
  echo "  sudo chown -R $(id -un): ${theirs[*]}" >&2
  exit 1
fi
if [ -f "$build/CMakeCache.txt" ]; then
  # Keep the generator and build type the folder was made with.
  cmake -S . -B "$build" > "$build.log"
else
  echo "Building the configurator and the simulator in $build/ first" \
    "(one to two minutes on two cores; later starts skip it)."
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVX_BUILD_TESTS=OFF \
    > "$build.log"
fi
cmake --build "$build" -j"${KVX_JOBS:-2}" --target KVX_Configurator kvx-sim kvx-demo >> "$build.log" ||
  { tail -n 30 "$build.log" >&2; exit 1; }
exec "$build/sim/kvx-demo" "$@"
