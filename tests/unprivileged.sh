#!/usr/bin/env bash
# Runs a test binary as an ordinary user, for the tests that need permission
# bits to mean something (they skip themselves under root, and CI runs as
# root). Usage: unprivileged.sh BINARY GTEST_FILTER
# Exits 77 (skipped) when it is not root, or the ordinary user cannot reach
# the binary (a build folder inside a private home folder).
set -u
binary=$1
filter=$2
[ "$(id -u)" = 0 ] || { echo "not root: the tests ran unskipped already"; exit 77; }
command -v setpriv >/dev/null || { echo "no setpriv"; exit 77; }
as_nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups --reset-env)
"${as_nobody[@]}" test -x "$binary" || { echo "nobody cannot run $binary"; exit 77; }
scratch=$(mktemp -d)
chmod 777 "$scratch"
trap 'rm -rf "$scratch"' EXIT
out=$("${as_nobody[@]}" env TMPDIR="$scratch" HOME="$scratch" "$binary" --gtest_filter="$filter" 2>&1)
status=$?
echo "$out"
# A run that skipped everything proved nothing.
if echo "$out" | grep -q "SKIPPED"; then
    echo "tests skipped even as nobody"
    exit 1
fi
exit $status
