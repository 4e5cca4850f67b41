#!/usr/bin/env bash
# Start-up as the shell sees it: a second instance, a stale lock, a root type that fails to load.
set -u
app=$1
broken=$2
export TMPDIR=$(mktemp -d)
export XDG_RUNTIME_DIR=$(mktemp -d)  # mktemp makes it 0700, as Qt requires
trap 'kill $first 2>/dev/null; rm -rf "$TMPDIR" "$XDG_RUNTIME_DIR"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$app" & first=$!
for _ in $(seq 50); do [ -e "$TMPDIR/Tessaravolt.lock" ] && break; sleep 0.1; done
[ -e "$TMPDIR/Tessaravolt.lock" ] || fail "the first instance made no lock file in the temp folder"

out=$(timeout 20 "$app" 2>&1); rc=$?
[ $rc -eq 0 ] || fail "second instance exited $rc, expected 0"
[ -z "$out" ] || fail "second instance printed: $out"
kill -0 $first 2>/dev/null || fail "the first instance ended"

# A killed instance leaves its lock behind; the next start must not be refused by it.
kill -9 $first; wait $first 2>/dev/null
[ -e "$TMPDIR/Tessaravolt.lock" ] || fail "SIGKILL removed the lock file"
"$app" & first=$!
sleep 1.5
kill -0 $first 2>/dev/null || fail "a stale lock refused the start"
kill $first; wait $first 2>/dev/null

# A lock that cannot be created is a real failure, not a second instance.
mkdir "$TMPDIR/ro" && chmod 500 "$TMPDIR/ro"
if [ "$(id -u)" != 0 ]; then
  out=$(TMPDIR="$TMPDIR/ro" timeout 20 "$app" 2>&1); rc=$?
  [ $rc -ne 0 ] || fail "an unwritable temp folder exited 0"
  echo "$out" | grep -q "lock file" || fail "no message for an unwritable temp folder: $out"
fi

timeout 20 "$broken"; rc=$?
[ $rc -eq 255 ] || fail "failed root load exited $rc, expected 255"
echo "start-up: all checks passed"
