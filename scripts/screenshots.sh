#!/usr/bin/env bash
# Remakes every picture in docs/ on a virtual display. It installs what it
# needs, builds the programs and the picture takers in build/ (KVX_BUILD_DIR
# names another; a folder that is already there keeps its generator and build
# type), and for docs/installed.png builds and installs the Debian package
# (scripts/package.sh --install) when it is not installed yet.
# One picture (or one picture taker) is one line of the list at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh all openbox dex x11-utils
build=${KVX_BUILD_DIR:-build}
if [ -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" > /dev/null
else
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
fi
cmake --build "$build" -j"${KVX_JOBS:-2}" --target kvx-demo kvx-sim status_screens form_screens config_file_screens \
  record_screens
screen="-screen 0 1280x860x24"

# A program on a display of its own.
on_display() {
  xvfb-run -a -s "$screen" "$@"
}

# The first page of the configuration record of the demo's instrument, saved
# right after Connect, rendered by pdftoppm.
record() {
  local pdf
  pdf=$(mktemp --suffix=.pdf)
  on_display "$build/tests/screens/record_screens" "$pdf" > /dev/null
  pdftoppm -png -r 80 -f 1 -l 1 -singlefile "$pdf" "${1%.png}"
  rm -f "$pdf"
  echo "$1"
}

# The installed package started the way the desktop starts it: its desktop
# file run by dex, under a window manager that shows the window's icon in the
# title bar; then the whole screen.
installed() {
  local desktop=/usr/share/applications/org.kvxv2.Configurator.desktop
  [ -f "$desktop" ] || scripts/package.sh --install
  # A large title font, so that the title bar's icon is large enough to see.
  local rc
  rc=$(mktemp)
  cat > "$rc" << 'RC'
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <theme>
    <titleLayout>NLIMC</titleLayout>
    <font place="ActiveWindow"><name>sans</name><size>22</size><weight>bold</weight></font>
  </theme>
</openbox_config>
RC
  xvfb-run -a -s "$screen" sh -c '
    openbox --config-file "$4" & wm=$!
    sleep 1
    dex "$1" &
    # Until the window is mapped (its WM_CLASS is the desktop entry'"'"'s StartupWMClass).
    tries=0
    until xwininfo -root -tree | grep -q "(\"KVX_Configurator\" \"KVX_Configurator\")"; do
      tries=$((tries + 1))
      [ $tries -lt 100 ] || { echo "the installed program did not show its window" >&2; exit 1; }
      sleep 0.2
    done
    "$2" --screen "$3"
    code=$?
    # The program ends with the display ("The X11 connection broke").
    kill $wm
    exit $code' sh "$desktop" "$build/tests/screens/status_screens" "$1" "$rc"
  rm -f "$rc"
  echo "$1"
}

on_display "$build/sim/kvx-demo" --screenshot docs/connection-tab.png --screenshot-after 1500
on_display "$build/sim/kvx-demo" --auto-connect --screenshot docs/demo-connected.png
on_display "$build/tests/screens/status_screens" docs # status-*.png, changes-*.png
on_display "$build/tests/screens/form_screens" docs   # page-*.png, the ten pages
on_display "$build/tests/screens/config_file_screens" docs fuzz/corpus/config # file-*.png, example.kvxcfg, kvxcfg.schema.json, the fuzzer's seeds
record docs/record.png
installed docs/installed.png
