#!/usr/bin/env bash
# CPU time and resident memory of Tessaravolt while the power page is shown.
#
#   bench/power_page_cpu.sh [--sim | --page] [seconds] [warm-up seconds]
#
# --sim  (default) the whole program connected to the simulated power bank
#        (build/tests/sim/tessaravolt-sim --run build/tessaravolt); the power page is the page
#        shown after the connection.
# --page the power page alone (bench_power_page), answered every second like the simulator's
#        four ports, without the device link.
# BUILD_DIR selects the build folder (default build). Without a display the run uses xvfb-run.
# The scene-graph backend is the environment's: without a GPU, Qt's default OpenGL runs on llvmpipe
# and redraws the whole window on the CPU at every animation frame; QT_QUICK_BACKEND=software
# redraws only what changed.
# Aims: below 3 % of one core and below 150 MB resident.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
mode=sim
if [ "${1:-}" = "--sim" ] || [ "${1:-}" = "--page" ]; then
  mode=${1#--}
  shift
fi
seconds=${1:-60}
warmup=${2:-10}

if [ "$mode" = sim ]; then
  command=("$build/tests/sim/tessaravolt-sim" --run "$build/tessaravolt")
else
  command=("$build/bench/bench_power_page")
fi
if [ ! -x "${command[0]}" ]; then
  echo "missing ${command[0]}: build it first (BUILD_DIR=$build scripts/build)" >&2
  exit 2
fi

work=$(mktemp -d)
export TMPDIR=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
display=()
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  display=(xvfb-run -a -s "-screen 0 1920x1440x24")
fi

"${display[@]}" "${command[@]}" >"$work/out.log" 2>&1 &
launcher=$!
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  for _ in $(seq 30); do kill -0 "$launcher" 2>/dev/null || break; sleep 0.1; done
  kill "$launcher" 2>/dev/null || true
  wait "$launcher" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The measured process: the launcher's descendant that runs the program itself.
target_name=$(basename "${command[0]}")
[ "$mode" = sim ] && target_name=tessaravolt
find_target() {
  local queue=("$launcher") pid kids
  while [ ${#queue[@]} -gt 0 ]; do
    pid=${queue[0]}
    queue=("${queue[@]:1}")
    if [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "${target_name:0:15}" ]; then
      echo "$pid"
      return 0
    fi
    kids=$(cat /proc/"$pid"/task/*/children 2>/dev/null || true)
    for k in $kids; do queue+=("$k"); done
  done
  return 1
}

for _ in $(seq 100); do
  pid=$(find_target || true)
  [ -n "$pid" ] && break
  sleep 0.1
done
if [ -z "$pid" ]; then
  echo "the program did not start; its output:" >&2
  cat "$work/out.log" >&2
  exit 1
fi

ticks() { # utime + stime of the whole process (all threads), in clock ticks
  local stat
  stat=$(cat "/proc/$pid/stat")
  stat=${stat##*) }
  awk '{print $12 + $13}' <<<"$stat"
}
rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$pid/status"; }
hwm_kb() { awk '/^VmHWM:/ {print $2}' "/proc/$pid/status"; }

sleep "$warmup"
kill -0 "$pid" 2>/dev/null || { echo "the program ended during warm-up" >&2; cat "$work/out.log" >&2; exit 1; }
hz=$(getconf CLK_TCK)
t0=$(ticks)
start=$(date +%s.%N)
sleep "$seconds"
t1=$(ticks)
end=$(date +%s.%N)
rss=$(rss_kb)
hwm=$(hwm_kb)

awk -v d="$((t1 - t0))" -v hz="$hz" -v s0="$start" -v s1="$end" -v rss="$rss" -v hwm="$hwm" -v mode="$mode" -v backend="${QT_QUICK_BACKEND:-default}" 'BEGIN {
  wall = s1 - s0
  cpu = d / hz
  pct = 100 * cpu / wall
  printf "power page (%s, backend %s): %.2f s CPU in %.1f s = %.2f %% of one core (%.2f s per minute); resident %.1f MB (peak %.1f MB)\n",
         mode, backend, cpu, wall, pct, 60 * cpu / wall, rss / 1024, hwm / 1024
  printf "aims: CPU < 3 %% %s, resident < 150 MB %s\n", (pct < 3 ? "met" : "MISSED"), (rss / 1024 < 150 ? "met" : "MISSED")
}'
