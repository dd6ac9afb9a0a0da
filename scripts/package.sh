#!/usr/bin/env bash
# Builds the Debian package (build-package/kvx-configurator_*.deb) with Debian's
# hardening flags and checks it: control data and contents, no path of the build
# machine in any file, the hardening of the programs, the desktop entry, the
# AppStream metainfo and lintian --pedantic (no error, no warning). With
# --install it then installs (or reinstalls) the package with apt and runs the
# installed programs' --help and --version without a display.
#   scripts/package.sh [--install]      KVX_PACKAGE_BUILD (build-package), KVX_JOBS (2)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${KVX_PACKAGE_BUILD:-build-package}
jobs=${KVX_JOBS:-2}
install=no
[ "${1:-}" = --install ] && install=yes
fail() {
  echo "package.sh: $*" >&2
  exit 1
}

# What the build needs, and the checking tools.
scripts/install-deps.sh demo dpkg-dev lintian desktop-file-utils appstream

echo "== Package"
# Debian's default build flags with full hardening: PIE, -fstack-protector-strong,
# -D_FORTIFY_SOURCE=2, full RELRO and bind-now; -ffile-prefix-map keeps this
# folder's path out of the programs.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVX_BUILD_TESTS=OFF \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" > "$build.log"
cmake --build "$build" -j"$jobs" --target KVX_Configurator kvx-sim kvx-demo kvx_package_docs \
  >> "$build.log" || { tail -n 30 "$build.log" >&2; exit 1; }
rm -f "$build"/kvx-configurator_*.deb
(cd "$build" && cpack -G DEB > /dev/null)
debs=("$build"/kvx-configurator_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one package in $build/"
deb=${debs[0]}
echo "$deb"
version=$(dpkg-deb --field "$deb" Version)

echo "== Control data and contents"
dpkg-deb --info "$deb"
contents=$(dpkg-deb --contents "$deb")
echo "$contents"
programs=(KVX_Configurator kvx-sim kvx-demo)
expected=(./usr/share/applications/org.kvxv2.Configurator.desktop
  ./usr/share/icons/hicolor/scalable/apps/org.kvxv2.Configurator.svg
  ./usr/share/metainfo/org.kvxv2.Configurator.metainfo.xml
  ./usr/share/doc/kvx-configurator/copyright
  ./usr/share/doc/kvx-configurator/changelog.gz
  ./usr/share/doc/kvx-configurator/README.Debian)
for p in "${programs[@]}"; do
  expected+=("./usr/bin/$p" "./usr/share/man/man1/$p.1.gz")
done
for path in "${expected[@]}"; do
  grep -q " $path\$" <<< "$contents" || fail "missing from the package: $path"
done
depends=$(dpkg-deb --field "$deb" Depends)
grep -q libqt6serialport6 <<< "$depends" || fail "Depends lacks Qt SerialPort: $depends"

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb --extract "$deb" "$unpacked"

echo "== No build paths"
if grep -rlF -e "$PWD" "$unpacked"; then
  fail "the files above hold the path $PWD"
fi
echo "no file holds $PWD"

echo "== Hardening"
for p in "${programs[@]}"; do
  bin=$unpacked/usr/bin/$p
  header=$(readelf -hW "$bin")
  segments=$(readelf -lW "$bin")
  dynamic=$(readelf -dW "$bin")
  symbols=$(readelf --dyn-syms -W "$bin")
  grep -q 'Type:[[:space:]]*DYN' <<< "$header" || fail "$p is not PIE"
  grep -q GNU_RELRO <<< "$segments" || fail "$p has no RELRO"
  grep -q 'FLAGS.*BIND_NOW' <<< "$dynamic" || fail "$p is not bound now"
  grep -q __stack_chk_fail <<< "$symbols" || fail "$p has no stack protector"
  grep -q '__[a-z_]*_chk@' <<< "$symbols" || fail "$p has no fortified calls"
  echo "$p: PIE, full RELRO, bind-now, stack protector, fortified calls"
done

echo "== Metadata"
desktop-file-validate "$unpacked/usr/share/applications/org.kvxv2.Configurator.desktop"
appstreamcli validate --no-net "$unpacked/usr/share/metainfo/org.kvxv2.Configurator.metainfo.xml"
echo "== lintian --pedantic"
lintian --pedantic --fail-on error,warning "$deb" || fail "lintian found errors or warnings"
echo "lintian: no error, no warning"

if [ "$install" = yes ]; then
  echo "== Install"
  if [ "$(id -u)" -eq 0 ]; then
    as_root=()
  elif command -v sudo > /dev/null; then
    as_root=(sudo)
  else
    fail "installing needs root: run as root  apt-get install --reinstall -y $PWD/$deb"
  fi
  # --reinstall: the same version installed before must not keep its old files.
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install --reinstall -y "$PWD/$deb"
  for p in "${programs[@]}"; do
    cmp -s "$unpacked/usr/bin/$p" "/usr/bin/$p" || fail "/usr/bin/$p is not the one just packaged"
    [ -f "/usr/share/man/man1/$p.1.gz" ] || fail "no manual page for $p"
    # Run by name as a user would, and without a display: both answers must
    # come before any window is made.
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM PATH=/usr/bin:/bin "$p" --version) ||
      fail "$p --version failed"
    echo "$out"
    [ "$out" = "$p V${version^^}" ] || fail "$p --version: expected $p V${version^^}"
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM PATH=/usr/bin:/bin "$p" --help) ||
      fail "$p --help failed"
    echo "$out"
    grep -q "^Usage: $p " <<< "$out" || fail "$p --help has no usage line"
    grep -q -e "--version" <<< "$out" || fail "$p --help does not list --version"
  done
fi
