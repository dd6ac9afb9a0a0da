#!/usr/bin/env bash
# Installs the Debian 12 packages KVX Configurator needs, with apt-get as root
# or through sudo:
#   scripts/install-deps.sh             build, run and test everything (the test command)
#   scripts/install-deps.sh demo        build and run the demo only
#   scripts/install-deps.sh package     build the Debian package (with its tests) and check it
#   scripts/install-deps.sh PACKAGE...  these packages (sets and names mix)
# Without root, and without sudo or with a sudo that refuses this user, it prints
# the one apt-get line to run as root.
set -euo pipefail
demo=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev)
package=("${demo[@]}" build-essential debhelper python3-jsonschema lintian desktop-file-utils
  appstream)
all=("${demo[@]}" clang-14 libclang-rt-14-dev clang-format xvfb xauth procps python3-jsonschema
  poppler-utils)
[ $# -gt 0 ] || set -- all
packages=()
for arg in "$@"; do
  case "$arg" in
  all) packages+=("${all[@]}") ;;
  demo) packages+=("${demo[@]}") ;;
  package) packages+=("${package[@]}") ;;
  *) packages+=("$arg") ;;
  esac
done
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  # sudo when this user may use it (it may ask for the password first); its
  # refusal is not shown, the line to run as root is.
  refused="Install them as root (for example after su -), then run this again:"
  if command -v sudo > /dev/null; then
    echo "Installing ${missing[*]} with sudo"
    if sudo true 2> /dev/null; then
      as_root=(sudo)
    else
      refused="sudo may not install them for $(id -un): install them as root (for example after su -), then run this again:"
    fi
  fi
  if [ ${#as_root[@]} -eq 0 ]; then
    echo "These Debian packages are missing: ${missing[*]}" >&2
    echo "$refused" >&2
    echo "  apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
else
  echo "Installing ${missing[*]}"
fi
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
