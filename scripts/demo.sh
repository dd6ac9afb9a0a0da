#!/usr/bin/env bash
# Builds KVX Configurator and the instrument simulator, then opens the
# configurator against a simulated KVXv2 (full preset): the simulator's port is
# listed and selected, so Connect works at once. Extra arguments go to the
# simulator (e.g. --preset mixed). Closing the window stops the simulator.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > build.log
cmake --build build -j"${KVX_JOBS:-2}" --target KVX_Configurator kvx-sim kvx-demo
exec build/sim/kvx-demo "$@"
