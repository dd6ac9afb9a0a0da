#!/usr/bin/env bash
# Builds KVX Configurator and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > build.log
cmake --build build -j"${KVX_JOBS:-2}" --target KVX_Configurator
exec build/KVX_Configurator
