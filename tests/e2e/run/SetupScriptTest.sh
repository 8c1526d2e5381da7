#!/usr/bin/env bash
# scripts/setup while another package job holds the package lock: it waits, says so once, and
# installs once the lock is free; any other failure of apt-get ends it at once. apt-get, dpkg-query
# and sudo are stand-ins first on the PATH: one package (xterm) is missing, and apt-get fails as it
# does on a held lock for its first LOCKED runs.
# Usage: SetupScriptTest.sh SOURCE_DIR
set -uo pipefail
root=$1
failures=0
work=$(mktemp -d /tmp/tessary-setup-test-XXXXXX)
trap 'rm -rf "$work"' EXIT

mkdir "$work/bin"
cat >"$work/bin/dpkg-query" <<'STUB'
#!/bin/sh
# dpkg-query -W -f=${Status} PACKAGE
[ "$3" = xterm ] && exit 1
printf 'install ok installed'
STUB
cat >"$work/bin/sudo" <<'STUB'
#!/bin/sh
exec "$@"
STUB
cat >"$work/bin/apt-get" <<'STUB'
#!/bin/sh
echo "$*" >>"$WORK/calls"
runs=$(wc -l <"$WORK/calls")
if [ "$runs" -le "$LOCKED" ]; then
  echo "E: Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 4242 (apt-get)" >&2
  echo "E: Unable to acquire the dpkg frontend lock (/var/lib/dpkg/lock-frontend), is another process using it?" >&2
  exit 100
fi
if [ -n "$BROKEN" ]; then
  echo "E: Unable to locate package xterm" >&2
  exit 100
fi
STUB
chmod +x "$work/bin/"*

# Runs the setup with the lock held for `locked` runs of apt-get; its status, and its standard
# error in $work/err.
setup() {
  rm -f "$work/calls"
  PATH="$work/bin:$PATH" WORK=$work LOCKED=$1 BROKEN=${2:-} timeout 60 "$root/scripts/setup" >/dev/null 2>"$work/err"
}
fail() { echo "FAIL ($1): $2; stderr: $(cat "$work/err")" >&2; failures=$((failures + 1)); }

setup 2
status=$?
((status == 0)) || fail "lock held" "status $status"
[[ "$(grep -c 'waiting for it' "$work/err")" == 1 ]] || fail "lock held" "it did not say once that it waits"
[[ "$(cat "$work/calls" 2>/dev/null)" == $'update -q\nupdate -q\nupdate -q\ninstall -y -q --no-install-recommends xterm' ]] ||
  fail "lock held" "apt-get ran as: $(cat "$work/calls" 2>/dev/null)"

setup 0 broken
status=$?
((status != 0)) || fail "another failure" "it succeeded"
[[ "$(wc -l <"$work/calls")" == 1 ]] || fail "another failure" "apt-get ran $(wc -l <"$work/calls") times"
grep -q 'Unable to locate package xterm' "$work/err" || fail "another failure" "apt-get's error is not shown"
! grep -q 'waiting' "$work/err" || fail "another failure" "it waited"

((failures == 0)) && echo "scripts/setup: waits for the package lock"
exit $((failures > 0))
