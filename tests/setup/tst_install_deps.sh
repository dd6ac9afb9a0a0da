#!/usr/bin/env bash
# scripts/install-deps.sh run by a user without root: with a sudo that refuses
# the user, with one that lets the user in, and without sudo; what it prints
# and what it runs. Stand-ins for sudo and apt-get come first on the PATH and
# note their calls. Run as root, the script runs as nobody. Exit status 77
# (skipped) when no user without root is at hand.
set -uo pipefail
script=$(cd "$(dirname "$0")/../.." && pwd)/scripts/install-deps.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  command -v runuser > /dev/null || { echo "runuser is missing"; exit 77; }
  as_user=(runuser -u nobody --)
fi
calls=$work/calls
touch "$calls"
chmod 666 "$calls"
mkdir "$work/refusing" "$work/allowing" "$work/bare"
cat > "$work/refusing/sudo" <<END
#!/bin/sh
echo "sudo \$*" >> $calls
echo "\$(id -un) is not in the sudoers file." >&2
exit 1
END
cat > "$work/allowing/sudo" <<END
#!/bin/sh
echo "sudo \$*" >> $calls
exec "\$@"
END
cat > "$work/allowing/apt-get" <<END
#!/bin/sh
echo "apt-get \$*" >> $calls
END
chmod 755 "$work"/*/*
# No sudo anywhere: only what the script itself calls.
for tool in bash dirname dpkg-query grep id; do
  ln -s "$(command -v "$tool")" "$work/bare/$tool"
done

failures=0
# run NAME PATH PACKAGES...: runs the script, keeps its status, output and calls.
run() {
  local name=$1 path=$2
  shift 2
  : > "$calls"
  "${as_user[@]}" env PATH="$path" "$script" "$@" > "$work/out" 2> "$work/err"
  status=$?
  out=$(cat "$work/out")
  err=$(cat "$work/err")
  made=$(cat "$calls")
  current=$name
}
expect() {
  if ! eval "$1"; then
    echo "FAIL: $current: $1"
    echo "  status $status; stdout: $out"
    echo "  stderr: $err"
    echo "  calls: $made"
    failures=$((failures + 1))
  fi
}

run "sudo refuses" "$work/refusing:/usr/bin:/bin" dpkg kvx-no-such-package
expect '[ $status -eq 1 ]'
expect 'grep -qx "  apt-get install -y kvx-no-such-package" <<< "$err"'
expect 'grep -q "^sudo may not install them for " <<< "$err"'
expect '! grep -q sudoers <<< "$out$err"'
expect '[ "$made" = "sudo true" ]'

run "sudo lets the user in" "$work/allowing:/usr/bin:/bin" kvx-no-such-package dpkg
expect '[ $status -eq 0 ]'
expect 'grep -qx "apt-get install -y -qq kvx-no-such-package" <<< "$made"'
expect 'grep -qx "sudo apt-get update -qq" <<< "$made"'

run "no sudo" "$work/bare" kvx-no-such-package
expect '[ $status -eq 1 ]'
expect 'grep -qx "Install them as root (for example after su -), then run this again:" <<< "$err"'
expect 'grep -qx "  apt-get install -y kvx-no-such-package" <<< "$err"'

run "nothing missing" "$work/refusing:/usr/bin:/bin" dpkg
expect '[ $status -eq 0 ] && [ -z "$out$err$made" ]'

[ $failures -eq 0 ] && echo "install-deps.sh: all cases as expected"
exit $((failures > 0))
