#!/usr/bin/env bash
# Builds the Debian package with dpkg-buildpackage from debian/, in a copy of
# the source tree under build-package/, and checks it: control data and
# contents, the debug symbol package, no path of the build machine in any file,
# the hardening of the programs, the desktop entry, the AppStream metainfo and
# lintian --pedantic on the .changes (not a word). With --install it then
# installs (or reinstalls) the package with apt and runs the installed
# programs' --help and --version without a display.
# The test suite runs inside the build (dh_auto_test) unless DEB_BUILD_OPTIONS
# holds nocheck. File times and dates come from the last commit
# (SOURCE_DATE_EPOCH), so that two builds of one commit give the same bytes.
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

# What the build needs (debian/control's Build-Depends), and the checking tools.
scripts/install-deps.sh package

echo "== Package"
if git rev-parse --is-inside-work-tree > /dev/null 2>&1; then
  export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
else
  export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(dpkg-parsechangelog --show-field Timestamp)}
fi
version=$(dpkg-parsechangelog --show-field Version)
source=$build/kvx-configurator-$version
rm -rf "$build"
mkdir -p "$source"
# The tree as it is, uncommitted changes included, without build folders.
if git rev-parse --is-inside-work-tree > /dev/null 2>&1; then
  git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' f; do [ ! -e "$f" ] || printf '%s\0' "$f"; done |
    tar --null --files-from=- -cf - | tar -xf - -C "$source"
else
  tar --exclude='./build*' --exclude=./obj-\* -cf - . | tar -xf - -C "$source"
fi
# Every file of the copy dated SOURCE_DATE_EPOCH: the installed files keep the
# times of their sources, which differ from checkout to checkout.
find "$source" -exec touch --no-dereference --date=@"$SOURCE_DATE_EPOCH" {} +
log=$PWD/$build/build.log
(cd "$source" && dpkg-buildpackage -us -uc -b -j"$jobs") > "$log" 2>&1 ||
  { tail -n 40 "$log" >&2; fail "dpkg-buildpackage failed; the whole output is in $log"; }
grep -a -E "tests passed|tests failed" "$log" || echo "(the tests did not run: nocheck)"
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
deb=$build/kvx-configurator_${version}_$arch.deb
dbgsym=$build/kvx-configurator-dbgsym_${version}_$arch.deb
changes=$build/kvx-configurator_${version}_$arch.changes
for made in "$deb" "$dbgsym" "$changes"; do
  [ -f "$made" ] || fail "dpkg-buildpackage made no $made"
done
echo "$deb"

echo "== Control data and contents"
dpkg-deb --info "$deb"
contents=$(dpkg-deb --contents "$deb")
echo "$contents"
programs=(KVX_Configurator kvx-sim kvx-demo)
doc=./usr/share/doc/kvx-configurator
expected=(./usr/share/applications/org.kvxv2.Configurator.desktop
  ./usr/share/icons/hicolor/scalable/apps/org.kvxv2.Configurator.svg
  ./usr/share/metainfo/org.kvxv2.Configurator.metainfo.xml
  $doc/copyright $doc/changelog.gz $doc/README.Debian
  $doc/configuration-file.md $doc/kvxcfg.schema.json $doc/example.kvxcfg)
for p in "${programs[@]}"; do
  expected+=("./usr/bin/$p" "./usr/share/man/man1/$p.1.gz")
done
for path in "${expected[@]}"; do
  grep -q " $path\$" <<< "$contents" || fail "missing from the package: $path"
done
depends=$(dpkg-deb --field "$deb" Depends)
for needed in libqt6serialport6 qt6-qpa-plugins; do
  grep -q "$needed" <<< "$depends" || fail "Depends lacks $needed: $depends"
done
# One file of debug symbols per program.
symbols=$(dpkg-deb --contents "$dbgsym" | grep -c '/usr/lib/debug/.build-id/.*\.debug$') || true
[ "$symbols" -eq ${#programs[@]} ] ||
  fail "$dbgsym holds $symbols debug symbol files, not ${#programs[@]}"
echo "$dbgsym: debug symbols of ${#programs[@]} programs"

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb --extract "$deb" "$unpacked"
dpkg-deb --extract "$dbgsym" "$unpacked/dbgsym"

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
# Its tags come on standard output; standard error has its remarks (such as
# on running as root).
said=$(lintian --pedantic --display-info "$changes" 2> "$build/lintian.err") ||
  fail "lintian failed: $(cat "$build/lintian.err")"
[ -z "$said" ] || fail "lintian says:"$'\n'"$said"
echo "lintian: not a word"

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
