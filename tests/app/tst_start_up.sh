#!/usr/bin/env bash
# Start-up and shutdown as the shell sees them: the per-user lock, a second instance, what may be
# found in the lock's place, termination signals (also while a power bank is connected), a lock
# that cannot be made, a root type that fails to load, and two users on one machine.
set -u
app=$1
broken=$2
sim=${3:-}
base=$(mktemp -d)
export TMPDIR=$base/tmp XDG_RUNTIME_DIR=$base/run
mkdir "$TMPDIR" && mkdir -m 700 "$XDG_RUNTIME_DIR"  # 0700, as Qt requires of a runtime folder
lock=$XDG_RUNTIME_DIR/Tessaravolt.lock
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done
  chmod -R u+rwX "$base" 2>/dev/null
  rm -rf "$base"
  [ -n "${shared:-}" ] && rm -rf "$shared"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
host=$(cat /proc/sys/kernel/hostname)

# Waits until the lock file at $1 names the process $2 (the lock is taken); fails when it ends first.
wait_lock() {
  for _ in $(seq 300); do
    [ -f "$1" ] && [ "$(head -n 1 "$1" 2>/dev/null)" = "$2" ] && return 0
    kill -0 "$2" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Sets rc to the exit status of the child $1; a process that does not end in 30 s is killed (status
# 137).
reap() {
  (sleep 30; kill -9 "$1" 2>/dev/null) >/dev/null 2>&1 & local watchdog=$!
  wait "$1"; rc=$?
  kill "$watchdog" 2>/dev/null; wait "$watchdog" 2>/dev/null
}
# Sends signal $2 to the child $1 and sets rc to its exit status.
stop() {
  kill -"$2" "$1"
  reap "$1"
}

# --- The lock is per user: in $XDG_RUNTIME_DIR, under its fixed name.
"$app" 2>"$TMPDIR/first.err" & first=$!; pids+=($first)
wait_lock "$lock" $first || fail "the first instance made no lock in \$XDG_RUNTIME_DIR: $(cat "$TMPDIR/first.err")"
[ -z "$(ls -A "$TMPDIR" | grep -v first.err)" ] || fail "a lock was made in the temp folder too: $(ls "$TMPDIR")"

out=$(timeout 20 "$app" 2>&1); rc=$?
[ $rc -eq 0 ] || fail "second instance exited $rc, expected 0"
[ -z "$out" ] || fail "second instance printed: $out"
[ "$(head -n 1 "$lock")" = "$first" ] || fail "the second instance touched the first one's lock"

# The first instance loads Main from the module as the program does and keeps running.
sleep 2
kill -0 $first 2>/dev/null || fail "the first instance ended: $(cat "$TMPDIR/first.err")"
grep -qiE "failed to load component|is not a type|is not installed" "$TMPDIR/first.err" &&
  fail "Main did not load: $(cat "$TMPDIR/first.err")"

# --- Termination signals end the program through its shutdown: status 0, lock removed.
stop $first TERM
[ $rc -eq 0 ] || fail "SIGTERM: exited $rc, expected 0"
[ -e "$lock" ] && fail "SIGTERM left the lock file behind"
for sig in INT HUP; do
  "$app" 2>"$TMPDIR/sig.err" & p=$!; pids+=($p)
  wait_lock "$lock" $p || fail "$sig: no start: $(cat "$TMPDIR/sig.err")"
  stop $p $sig
  [ $rc -eq 0 ] || fail "SIG$sig: exited $rc, expected 0: $(cat "$TMPDIR/sig.err")"
  [ -e "$lock" ] && fail "SIG$sig left the lock file behind"
done

# A signal during start-up ends it cleanly too, whatever the program has reached: the termination
# signals blocked (the first thing it does), the lock taken, the window shown. The test sends it when
# it sees the point; a point the program passed before the test saw it moves the signal to the next.
# Once more while the program waits for an X server that does not answer (stopped), which holds it
# inside the building of the application with the signals blocked, so that point cannot be passed.
termination=$(( (1 << 0) | (1 << 1) | (1 << 14) ))  # the bits of SIGHUP (1), SIGINT (2), SIGTERM (15)
# 0: the program holds the three signals blocked; 1: it handles them (the block is over); 2: neither
# yet (it has not reached its first line).
signals_state() {
  local key value blocked=0 caught=0
  [ /proc/$1/exe -ef "$app" ] || return 2
  while IFS=$': \t' read -r key value; do
    case $key in
      SigBlk) blocked=$((16#$value)) ;;
      SigCgt) caught=$((16#$value)) ;;
    esac
  done 2>/dev/null <"/proc/$1/status"
  (( (blocked & termination) == termination )) && return 0
  (( (caught & termination) == termination )) && return 1
  return 2
}
lock_names() {
  local first
  [ -f "$lock" ] && read -r first <"$lock" 2>/dev/null && [ "$first" = "$1" ]
}
window_shown() {
  local id
  for id in $(xwininfo -root -children 2>/dev/null | awk '/^ +0x/ {print $1}'); do
    xprop -id "$id" _NET_WM_PID 2>/dev/null | grep -q " = $1\$" &&
      xwininfo -id "$id" 2>/dev/null | grep -q "Map State: IsViewable" && return 0
  done
  return 1
}
xvfb=
if [ -n "${TESSARAVOLT_START_UP_AS_OTHER:-}" ]; then
  :  # the rounds under X depend on no permission: once, as the first user, is enough
elif command -v Xvfb >/dev/null && command -v xwininfo >/dev/null && command -v xprop >/dev/null; then
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$base/display" 2>"$TMPDIR/xvfb.err" & xvfb=$!
  pids+=($xvfb)
  for _ in $(seq 300); do
    grep -q '^[0-9][0-9]*$' "$base/display" 2>/dev/null && break
    kill -0 $xvfb 2>/dev/null || fail "Xvfb did not start: $(cat "$TMPDIR/xvfb.err")"
    sleep 0.1
  done
  grep -q '^[0-9][0-9]*$' "$base/display" || fail "Xvfb gave no display: $(cat "$TMPDIR/xvfb.err")"
  display=:$(cat "$base/display")
else
  echo "SKIP: SIGTERM while the X server does not answer and once the window is shown: needs Xvfb, xwininfo, xprop"
fi
for point in blocked blocked-held lock window; do
  case $point in
    blocked | lock) "$app" 2>"$TMPDIR/early.err" & p=$! ;;
    *)
      [ -n "$xvfb" ] || continue
      kill -0 $xvfb 2>/dev/null || fail "SIGTERM during start-up ($point): Xvfb ended: $(cat "$TMPDIR/xvfb.err")"
      [ $point = blocked-held ] && kill -STOP $xvfb
      # No session bus: libdbus would leave its connection to LeakSanitizer at the exit.
      DBUS_SESSION_BUS_ADDRESS=unix:path=$base/no-bus DISPLAY=$display QT_QPA_PLATFORM=xcb "$app" \
        2>"$TMPDIR/early.err" & p=$! ;;
  esac
  pids+=($p)
  sent=
  deadline=$((SECONDS + 120))
  while [ -z "$sent" ]; do
    kill -0 $p 2>/dev/null || fail "SIGTERM during start-up ($point): the program ended first: $(cat "$TMPDIR/early.err")"
    (( SECONDS < deadline )) || fail "SIGTERM during start-up ($point): not reached: $(cat "$TMPDIR/early.err")"
    case $point in
      blocked)
        signals_state $p; state=$?
        if [ $state -eq 0 ]; then sent=$point
        elif [ $state -eq 1 ] && lock_names $p; then sent="lock (the block was over before it was seen)"; fi ;;
      blocked-held)
        signals_state $p; state=$?
        [ $state -eq 1 ] && fail "SIGTERM during start-up: the signals were not blocked while the X server did not answer"
        [ $state -eq 0 ] && sent="blocked (the X server held)" ;;
      lock) lock_names $p && sent=$point ;;
      window) DISPLAY=$display window_shown $p && sent=$point || sleep 0.05 ;;
    esac
  done
  kill -TERM $p
  [ $point = blocked-held ] && kill -CONT $xvfb
  reap $p
  echo "start-up: SIGTERM at $sent: status $rc"
  [ $rc -eq 0 ] || fail "SIGTERM during start-up ($sent): exited $rc, expected 0: $(cat "$TMPDIR/early.err")"
  [ -e "$lock" ] && fail "SIGTERM during start-up ($sent) left the lock file behind"
done
if [ -n "$xvfb" ]; then
  kill $xvfb; wait $xvfb 2>/dev/null
fi

# --- A killed instance leaves its lock behind; the next start takes it over.
"$app" 2>/dev/null & p=$!; pids+=($p)
wait_lock "$lock" $p || fail "no start before SIGKILL"
kill -9 $p; wait $p 2>/dev/null
[ -e "$lock" ] || fail "SIGKILL removed the lock file"
"$app" 2>/dev/null & p=$!; pids+=($p)
wait_lock "$lock" $p || fail "a stale lock refused the start"
stop $p TERM; [ $rc -eq 0 ] || fail "taken-over lock: bad exit"

# --- Only a live instance of this program holds the lock; anything else in its place is taken over.
sleep 1000 & other=$!; pids+=($other)
(exit 0) & gone=$!; wait $gone
touch "$TMPDIR/target"
make_case() {
  rm -rf "$lock"
  case $1 in
    empty) : >"$lock" ;;
    garbage) printf 'garbage' >"$lock" ;;
    bad-pid) printf 'abc\ntessaravolt\n%s\n' "$host" >"$lock" ;;
    binary) head -c 200 /dev/urandom | tr -d '\0' >"$lock" ;;
    process-gone) printf '%s\ntessaravolt\n%s\n' $gone "$host" >"$lock" ;;
    other-program) printf '%s\ntessaravolt\n%s\n' $other "$host" >"$lock" ;;
    unreadable) printf '%s\ntessaravolt\n%s\n' $other "$host" >"$lock"; chmod 000 "$lock" ;;
    dangling-link) ln -s "$TMPDIR/nothing-here" "$lock" ;;
    link-to-file) ln -s "$TMPDIR/target" "$lock" ;;
    pipe) mkfifo "$lock" ;;
    # The runtime folder is this machine's for this boot: a lock naming another host is left over
    # from before a change of hostname.
    other-host) printf '%s\ntessaravolt\n%s\n' $gone "elsewhere-$host" >"$lock" ;;
    other-host-live-pid) printf '%s\ntessaravolt\n%s\n' $other "elsewhere-$host" >"$lock" ;;
  esac
}
for c in empty garbage bad-pid binary process-gone other-program unreadable dangling-link link-to-file pipe \
  other-host other-host-live-pid; do
  make_case $c
  "$app" 2>"$TMPDIR/case.err" & p=$!; pids+=($p)
  wait_lock "$lock" $p || fail "lock file '$c': the start did not take it over: $(cat "$TMPDIR/case.err")"
  [ -f "$lock" ] && [ ! -L "$lock" ] || fail "lock file '$c': not replaced by a lock file"
  stop $p TERM
  [ $rc -eq 0 ] || fail "lock file '$c': exited $rc"
  [ -e "$lock" ] && fail "lock file '$c': left behind"
done
[ -f "$TMPDIR/target" ] || fail "taking over a link removed the file it points to"
kill $other

# A folder in its place is not removed: a clear message and a non-zero status.
mkdir "$lock"
out=$(timeout 20 "$app" 2>&1); rc=$?
[ $rc -ne 0 ] || fail "lock folder: exited 0"
echo "$out" | grep -q "lock file.*folder" || fail "lock folder: no message: $out"
[ -d "$lock" ] || fail "lock folder: removed"
rmdir "$lock"

# A stale lock that cannot be removed (its folder is read-only) is a failure too.
if [ "$(id -u)" != 0 ]; then  # root writes into a read-only folder
  mkdir "$TMPDIR/ro-run" && printf 'garbage' >"$TMPDIR/ro-run/Tessaravolt.lock" && chmod 500 "$TMPDIR/ro-run"
  out=$(XDG_RUNTIME_DIR="$TMPDIR/ro-run" timeout 20 "$app" 2>&1); rc=$?
  [ $rc -ne 0 ] || fail "unremovable stale lock: exited 0"
  echo "$out" | grep -q "cannot take over the lock file" || fail "unremovable stale lock: no message: $out"
  chmod 700 "$TMPDIR/ro-run"
fi

# --- Without $XDG_RUNTIME_DIR the lock is in the temp folder, with the user's id in its name.
fallback=$TMPDIR/Tessaravolt-$(id -u).lock
for runtime in unset relative/path; do
  if [ $runtime = unset ]; then env -u XDG_RUNTIME_DIR "$app" 2>/dev/null & p=$!
  else XDG_RUNTIME_DIR=$runtime "$app" 2>/dev/null & p=$!; fi
  pids+=($p)
  wait_lock "$fallback" $p || fail "XDG_RUNTIME_DIR $runtime: no lock at $fallback"
  [ -e "$lock" ] && fail "XDG_RUNTIME_DIR $runtime: a lock in the runtime folder"
  stop $p TERM; [ $rc -eq 0 ] || fail "XDG_RUNTIME_DIR $runtime: bad exit"
  [ -e "$fallback" ] && fail "XDG_RUNTIME_DIR $runtime: lock left behind"
done

# In the temp folder, which another machine could share, a lock naming another host cannot be
# checked: a message and status 1, never a silent exit, and the lock stays.
(exit 0) & gone=$!; wait $gone
printf '%s\ntessaravolt\n%s\n' $gone "elsewhere-$host" >"$fallback"
out=$(env -u XDG_RUNTIME_DIR timeout 20 "$app" 2>&1); rc=$?
[ $rc -eq 1 ] || fail "another host's lock in the temp folder: exited $rc, expected 1: $out"
echo "$out" | grep -q "names another machine (elsewhere-$host)" || fail "another host's lock: no message: $out"
[ "$(sed -n 3p "$fallback")" = "elsewhere-$host" ] || fail "another host's lock in the temp folder was replaced"
rm -f "$fallback"

# A lock that cannot be created is a real failure, not a second instance, and is never made
# anywhere but in its folder.
mkdir "$TMPDIR/ro" "$TMPDIR/cwd" && chmod 500 "$TMPDIR/ro" && touch "$TMPDIR/plain-file"
unusable=("$TMPDIR/plain-file" "$TMPDIR/missing")
[ "$(id -u)" != 0 ] && unusable+=("$TMPDIR/ro")
for folder in "${unusable[@]}"; do
  # Qt itself makes a missing runtime folder.
  if [ "$folder" != "$TMPDIR/missing" ]; then
    out=$(cd "$TMPDIR/cwd" && XDG_RUNTIME_DIR="$folder" timeout 20 "$app" 2>&1); rc=$?
    [ $rc -ne 0 ] || fail "runtime folder $folder: exited 0"
    echo "$out" | grep -q "lock file" || fail "runtime folder $folder: no message (status $rc): $out"
  fi
  out=$(cd "$TMPDIR/cwd" && TMPDIR="$folder" env -u XDG_RUNTIME_DIR timeout 20 "$app" 2>&1); rc=$?
  [ $rc -ne 0 ] || fail "temp folder $folder: exited 0"
  echo "$out" | grep -q "lock file" || fail "temp folder $folder: no message: $out"
  [ -z "$(ls -A "$TMPDIR/cwd")" ] || fail "folder $folder: a lock was made in the working folder"
done

timeout 20 "$broken" 2>/dev/null; rc=$?
[ $rc -eq 255 ] || fail "failed root load exited $rc, expected 255"
[ -e "$lock" ] && fail "the failed start left its lock file behind"

# --- Signals while a power bank is connected: the simulator's trace shows the program's requests.
if [ -n "$sim" ]; then
  for sig in TERM INT HUP; do
    "$sim" --trace --run "$app" 2>"$TMPDIR/sim.err" & launcher=$!; pids+=($launcher)
    connected=0
    for _ in $(seq 300); do
      # The window asks for the device title once the power bank is connected.
      grep -q " 10/21 seq" "$TMPDIR/sim.err" 2>/dev/null && { connected=1; break; }
      kill -0 $launcher 2>/dev/null || break
      sleep 0.1
    done
    [ $connected -eq 1 ] || fail "SIG$sig: the program never connected: $(tail -n 20 "$TMPDIR/sim.err")"
    program=$(head -n 1 "$lock")
    kill -0 "$program" 2>/dev/null || fail "SIG$sig: no program named in the lock: $(ls -la "$XDG_RUNTIME_DIR"; tail -n 5 "$TMPDIR/sim.err")"
    kill -$sig "$program"
    (sleep 30; kill -9 $launcher 2>/dev/null) >/dev/null 2>&1 & watchdog=$!
    wait $launcher; rc=$?
    kill $watchdog 2>/dev/null; wait $watchdog 2>/dev/null
    [ $rc -eq 0 ] || fail "SIG$sig while connected: exited $rc: $(grep -v "ms  " "$TMPDIR/sim.err" | tail -n 20)"
    [ -e "$lock" ] && fail "SIG$sig while connected left the lock file behind"
  done
fi

# --- Two users on one machine, sharing a temp folder (sticky, as /tmp is): each has a lock of its
# own, and neither can block the other with a file in its place.
if [ -n "${TESSARAVOLT_START_UP_AS_OTHER:-}" ]; then
  :
elif [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
  other_uid=65534
  # Short: the simulator's sockets live below it in the run as the other user.
  shared=$(mktemp -d /tmp/tst_start_up.XXXXXX) && chmod 1777 "$shared"
  as_other=(setpriv --reuid=$other_uid --regid=$other_uid --clear-groups env -u XDG_RUNTIME_DIR TMPDIR="$shared")
  if "${as_other[@]}" test -x "$app" 2>/dev/null; then
    env -u XDG_RUNTIME_DIR TMPDIR="$shared" "$app" 2>/dev/null & mine=$!; pids+=($mine)
    wait_lock "$shared/Tessaravolt-0.lock" $mine || fail "two users: no lock of the first user"
    "${as_other[@]}" "$app" 2>"$TMPDIR/other.err" & theirs=$!; pids+=($theirs)
    wait_lock "$shared/Tessaravolt-$other_uid.lock" $theirs ||
      fail "two users: the second user's start was refused: $(cat "$TMPDIR/other.err")"
    stop $theirs TERM; [ $rc -eq 0 ] || fail "two users: the second user's instance: bad exit"
    stop $mine TERM; [ $rc -eq 0 ] || fail "two users: the first user's instance: bad exit"
    [ -z "$(ls -A "$shared" | grep '^Tessaravolt')" ] || fail "two users: locks left: $(ls "$shared")"

    # A file another user put in this user's lock place cannot be removed by this user: a message
    # and a non-zero status, never a silent exit.
    printf 'garbage' >"$shared/Tessaravolt-$other_uid.lock"
    out=$("${as_other[@]}" timeout 20 "$app" 2>&1); rc=$?
    [ $rc -ne 0 ] || fail "two users: a foreign file in the lock's place: exited 0"
    echo "$out" | grep -q "cannot take over the lock file" || fail "two users: no message: $out"
    rm -f "$shared/Tessaravolt-$other_uid.lock"
    # Even one that names a live instance of this program: a lock of another user is not this user's.
    env -u XDG_RUNTIME_DIR TMPDIR="$shared" "$app" 2>/dev/null & mine=$!; pids+=($mine)
    wait_lock "$shared/Tessaravolt-0.lock" $mine || fail "two users: no start"
    cp "$shared/Tessaravolt-0.lock" "$shared/Tessaravolt-$other_uid.lock"
    out=$("${as_other[@]}" timeout 20 "$app" 2>&1); rc=$?
    [ $rc -ne 0 ] || fail "two users: another user's live lock in the lock's place: exited 0"
    stop $mine TERM; [ $rc -eq 0 ] || fail "two users: bad exit"
    rm -f "$shared/Tessaravolt-$other_uid.lock"
    # A file the other user left in this user's place is removed (this user may: the system's
    # administrator), and the start goes on.
    "${as_other[@]}" sh -c "printf garbage >'$shared/Tessaravolt-0.lock'"
    env -u XDG_RUNTIME_DIR TMPDIR="$shared" "$app" 2>/dev/null & mine=$!; pids+=($mine)
    wait_lock "$shared/Tessaravolt-0.lock" $mine || fail "two users: the other user's file refused the start"
    stop $mine TERM; [ $rc -eq 0 ] || fail "two users: bad exit after the take-over"

    # Everything above once more as the other user, where permissions hold (root reads and writes
    # any file).
    "${as_other[@]}" HOME="$shared" TESSARAVOLT_START_UP_AS_OTHER=1 bash "$0" "$app" "$broken" "$sim" \
      >"$TMPDIR/as-other.out" 2>&1 || fail "as uid $other_uid: $(tail -n 5 "$TMPDIR/as-other.out")"
  else
    echo "SKIP: two users: uid $other_uid cannot run $app"
  fi
else
  echo "SKIP: two users: needs root and setpriv to run as a second user"
fi
echo "start-up: all checks passed"
