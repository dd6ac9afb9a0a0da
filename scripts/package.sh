#!/usr/bin/env bash
# Builds the Debian package (build/kvx-configurator_*.deb) and checks it: its
# control data and contents, lintian (no errors), the desktop entry and the
# AppStream metainfo. With --install it then installs the package with apt and
# runs the installed KVX_Configurator --version.
#   scripts/package.sh [--install]      KVX_BUILD_DIR (build), KVX_JOBS (2)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${KVX_BUILD_DIR:-build}
jobs=${KVX_JOBS:-2}
install=no
[ "${1:-}" = --install ] && install=yes

# The checking tools, installed when missing.
missing=()
command -v lintian > /dev/null || missing+=(lintian)
command -v desktop-file-validate > /dev/null || missing+=(desktop-file-utils)
command -v appstreamcli > /dev/null || missing+=(appstream)
command -v dpkg-shlibdeps > /dev/null || missing+=(dpkg-dev)
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

echo "== Package"
cmake -S . -B "$build" -G Ninja > /dev/null
cmake --build "$build" -j"$jobs" --target KVX_Configurator kvx-sim kvx-demo kvx_changelog
rm -f "$build"/kvx-configurator_*.deb
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/kvx-configurator_*.deb)
echo "$deb"

echo "== Control data and contents"
dpkg-deb --info "$deb"
contents=$(dpkg-deb --contents "$deb")
echo "$contents"
for path in ./usr/bin/KVX_Configurator ./usr/bin/kvx-sim ./usr/bin/kvx-demo \
  ./usr/share/applications/org.kvxv2.Configurator.desktop \
  ./usr/share/icons/hicolor/scalable/apps/org.kvxv2.Configurator.svg \
  ./usr/share/metainfo/org.kvxv2.Configurator.metainfo.xml \
  ./usr/share/doc/kvx-configurator/copyright \
  ./usr/share/doc/kvx-configurator/changelog.gz; do
  grep -q " $path\$" <<< "$contents" || { echo "missing from the package: $path"; exit 1; }
done
depends=$(dpkg-deb --field "$deb" Depends)
grep -q libqt6serialport6 <<< "$depends" || { echo "Depends lacks Qt SerialPort: $depends"; exit 1; }

echo "== Metadata"
desktop-file-validate packaging/org.kvxv2.Configurator.desktop
appstreamcli validate --no-net packaging/org.kvxv2.Configurator.metainfo.xml
lintian --fail-on error "$deb"

if [ "$install" = yes ]; then
  echo "== Install"
  DEBIAN_FRONTEND=noninteractive apt-get install -y "./$deb"
  version=$(/usr/bin/KVX_Configurator --version)
  echo "$version"
  [ "$version" = "KVX_Configurator V1.5R2" ] || { echo "unexpected version: $version"; exit 1; }
fi
