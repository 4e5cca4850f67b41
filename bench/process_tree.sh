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
