#!/usr/bin/env bash
# Start-up as the shell sees it: a second instance, a stale lock, a root type that fails to load.
set -u
app=$1
broken=$2
export TMPDIR=$(mktemp -d)
export XDG_RUNTIME_DIR=$(mktemp -d)  # mktemp makes it 0700, as Qt requires
trap 'kill $first 2>/dev/null; rm -rf "$TMPDIR" "$XDG_RUNTIME_DIR"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$app" 2>"$TMPDIR/first.err" & first=$!
for _ in $(seq 300); do [ -e "$TMPDIR/Tessaravolt.lock" ] && break; sleep 0.1; done
[ -e "$TMPDIR/Tessaravolt.lock" ] || fail "the first instance made no lock file in the temp folder"

out=$(timeout 20 "$app" 2>&1); rc=$?
[ $rc -eq 0 ] || fail "second instance exited $rc, expected 0"
[ -z "$out" ] || fail "second instance printed: $out"
[ -e "$TMPDIR/Tessaravolt.lock" ] || fail "the second instance removed the first one's lock"

# The first instance loads Main from the module as the program does and keeps running.
sleep 2
kill -0 $first 2>/dev/null || fail "the first instance ended: $(cat "$TMPDIR/first.err")"
grep -qiE "failed to load component|is not a type|is not installed" "$TMPDIR/first.err" &&
  fail "Main did not load: $(cat "$TMPDIR/first.err")"

# A killed instance leaves its lock behind; the next start must not be refused by it.
kill -9 $first; wait $first 2>/dev/null
[ -e "$TMPDIR/Tessaravolt.lock" ] || fail "SIGKILL removed the lock file"
"$app" & first=$!
for _ in $(seq 300); do
  [ "$(head -n 1 "$TMPDIR/Tessaravolt.lock" 2>/dev/null)" = "$first" ] && break
  kill -0 $first 2>/dev/null || fail "a stale lock refused the start"
  sleep 0.1
done
[ "$(head -n 1 "$TMPDIR/Tessaravolt.lock")" = "$first" ] || fail "the next start did not take over the stale lock"
kill $first; wait $first 2>/dev/null

# A lock that cannot be created is a real failure, not a second instance, and is never made
# anywhere but in the temp folder.
mkdir "$TMPDIR/ro" "$TMPDIR/cwd" && chmod 500 "$TMPDIR/ro" && touch "$TMPDIR/plain-file"
unusable=("$TMPDIR/plain-file" "$TMPDIR/missing")
[ "$(id -u)" != 0 ] && unusable+=("$TMPDIR/ro")  # root writes into a read-only folder
for folder in "${unusable[@]}"; do
  out=$(cd "$TMPDIR/cwd" && TMPDIR="$folder" timeout 20 "$app" 2>&1); rc=$?
  [ $rc -ne 0 ] || fail "temp folder $folder: exited 0"
  echo "$out" | grep -q "lock file" || fail "temp folder $folder: no message: $out"
  [ -z "$(ls -A "$TMPDIR/cwd")" ] || fail "temp folder $folder: a lock was made in the working folder"
done

timeout 20 "$broken" 2>/dev/null; rc=$?
[ $rc -eq 255 ] || fail "failed root load exited $rc, expected 255"
[ -e "$TMPDIR/Tessaravolt.lock" ] && fail "the failed start left its lock file behind"
echo "start-up: all checks passed"
