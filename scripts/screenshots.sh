#!/usr/bin/env bash
# Remakes the status bar pictures in docs/ (status-read.png, status-open-failed.png)
# and, when the package is installed, docs/installed.png: /usr/bin/KVX_Configurator
# as the menu entry starts it, on a virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${KVX_BUILD_DIR:-build}
cmake --build "$build" -j"${KVX_JOBS:-2}" --target status_screens
xvfb-run -a -s "-screen 0 1280x800x24" "$build/tests/screens/status_screens" docs
if [ -x /usr/bin/KVX_Configurator ]; then
  xvfb-run -a -s "-screen 0 1280x800x24" sh -c \
    "/usr/bin/KVX_Configurator & app=\$!; '$build/tests/screens/status_screens' --screen docs/installed.png; kill \$app"
  echo docs/installed.png
fi
