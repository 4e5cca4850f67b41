# Sourced by the bench scripts that measure the program under the simulator's launcher.

find_target() { # the launcher's descendant that runs the program itself
  local queue=("$1") want=${2:0:15} p kids
  while [ ${#queue[@]} -gt 0 ]; do
    p=${queue[0]}
    queue=("${queue[@]:1}")
    if [ "$(cat "/proc/$p/comm" 2>/dev/null)" = "$want" ]; then
      echo "$p"
      return 0
    fi
    kids=$(cat /proc/"$p"/task/*/children 2>/dev/null || true)
    for k in $kids; do queue+=("$k"); done
  done
  return 1
}

# start_measured TARGET ENV... -- COMMAND...: starts COMMAND with scratch configuration, runtime and
# temporary folders and the user's backend choice unset, and waits for the process named TARGET
# below it. Sets work (the scratch folder, with out.log), launcher and pid in the caller's scope.
start_measured() {
  local target=$1 envs=()
  shift
  while [ "$1" != "--" ]; do envs+=("$1"); shift; done
  shift
  work=$(mktemp -d)
  mkdir -p "$work/config" "$work/runtime"
  chmod 700 "$work/runtime"
  env -u QT_QUICK_BACKEND -u QSG_RHI_BACKEND -u QT_QPA_PLATFORM TMPDIR="$work" XDG_CONFIG_HOME="$work/config" \
      XDG_RUNTIME_DIR="$work/runtime" "${envs[@]}" "$@" >"$work/out.log" 2>&1 &
  launcher=$! pid=""
  for _ in $(seq 100); do
    pid=$(find_target "$launcher" "$target" || true)
    [ -n "$pid" ] && return 0
    sleep 0.1
  done
  echo "$target: the program did not start; its output:" >&2
  cat "$work/out.log" >&2
  stop_measured
  return 1
}

# stop_measured: ends what start_measured started and removes its scratch folder.
stop_measured() {
  [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
  for _ in $(seq 30); do kill -0 "$launcher" 2>/dev/null || break; sleep 0.1; done
  kill "$launcher" 2>/dev/null || true
  wait "$launcher" 2>/dev/null || true
  rm -rf "$work"
}
