#!/usr/bin/env bash
# CPU time of the whole program in the states it spends its life in, each against the floor of the
# render loop measured in the same run: a program with one small item turning without end.
#
#   bench/idle_cpu.sh [seconds] [warm-up seconds] [rounds]
#
# Each round measures, one after the other: the floor, the start page (no power bank), the power
# page connected to the simulated power bank, the same minimised, and the power page with no
# backend chosen by the environment (the program's own choice: on a machine without a GPU, such as
# Xvfb, OpenGL would run on llvmpipe). All but the last run with QT_QUICK_BACKEND=software, as the
# floor does. BENCH_OPENGL=1 adds the power page forced onto OpenGL (QSG_RHI_BACKEND=opengl), the
# program's behaviour before it chose for itself. BUILD_DIR selects the build folder.
# CPU is user + system time of the program's process over the span, after the warm-up; frames a
# second come from the program's own frame count. Aims: start page and power page at most 1.5 x the
# floor, minimised below 0.5 % of one core, the program's own choice within 1.5 x the software figure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
seconds=${1:-30}
warmup=${2:-8}
rounds=${3:-2}
sim=$build/tests/sim/tessaravolt-sim
whole=$build/bench/bench_whole_program
floor=$build/bench/bench_floor
for f in "$sim" "$whole" "$floor"; do
  [ -x "$f" ] || { echo "missing $f: build it first (BUILD_DIR=$build scripts/build)" >&2; exit 2; }
done
hz=$(getconf CLK_TCK)

# measure NAME TARGET_NAME ENV... -- COMMAND...: prints "NAME pct fps rss_mb"
measure() {
  local name=$1 target=$2
  shift 2
  local envs=()
  while [ "$1" != "--" ]; do envs+=("$1"); shift; done
  shift
  local work launcher pid
  start_measured "$target" "${envs[@]}" -- xvfb-run -a -s "-screen 0 1920x1440x24" "$@" || return 1
  sleep "$warmup"
  local t0 f0 s0 t1 f1 s1 rss
  t0=$(ticks "$pid"); f0=$(last_frames "$work/out.log"); s0=$(date +%s.%N)
  sleep "$seconds"
  t1=$(ticks "$pid"); f1=$(last_frames "$work/out.log"); s1=$(date +%s.%N)
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")
  stop_measured
  awk -v n="$name" -v d="$((t1 - t0))" -v hz="$hz" -v s0="$s0" -v s1="$s1" -v f0="$f0" -v f1="$f1" -v rss="$rss" 'BEGIN {
    split(f0, a, " "); split(f1, b, " ")
    fps = (b[2] > a[2]) ? 1000 * (b[1] - a[1]) / (b[2] - a[2]) : 0
    printf "%s %.3f %.1f %.1f\n", n, 100 * d / hz / (s1 - s0), fps, rss / 1024
  }'
}

# shellcheck source=process_tree.sh
. "$root/bench/process_tree.sh"

ticks() { # utime + stime of the whole process (all threads), in clock ticks
  local stat
  stat=$(cat "/proc/$1/stat")
  stat=${stat##*) }
  awk '{print $12 + $13}' <<<"$stat"
}

last_frames() { grep '^frames ' "$1" | tail -n 1 | cut -d' ' -f2- || echo "0 0"; }

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg); $seconds s a state after $warmup s warm-up, $rounds rounds"
results=$(mktemp)
trap 'rm -f "$results"' EXIT
sw=(QT_QUICK_BACKEND=software)
for round in $(seq "$rounds"); do
  {
    measure floor bench_floor "${sw[@]}" -- "$floor"
    measure start bench_whole_program "${sw[@]}" -- "$whole"
    measure floor bench_floor "${sw[@]}" -- "$floor"
    measure power bench_whole_program "${sw[@]}" -- "$sim" --run "$whole"
    measure minimised bench_whole_program "${sw[@]}" BENCH_MINIMISE_AFTER_MS=$((warmup * 500)) -- "$sim" --run "$whole"
    measure floor bench_floor "${sw[@]}" -- "$floor"
    measure own-choice bench_whole_program -- "$sim" --run "$whole"
    if [ "${BENCH_OPENGL:-0}" = 1 ]; then
      measure opengl bench_whole_program QSG_RHI_BACKEND=opengl -- "$sim" --run "$whole"
    fi
  } | sed "s/^/$round /" | tee -a "$results"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

awk '
  { n++; rd[n] = $1; st[n] = $2; cp[n] = $3; fp[n] = $4; rs[n] = $5
    if ($2 == "floor") { fsum[$1] += $3; fcount[$1]++ }
    if ($2 == "power") power[$1] = $3 }
  function add(list, value) { return list == "" ? sprintf("%.2f", value) : list ", " sprintf("%.2f", value) }
  END {
    for (i = 1; i <= n; i++) {
      s = st[i]; cpu[s] = add(cpu[s], cp[i]); fps[s] = add(fps[s], fp[i]); mem[s] = rs[i]
      if (s != "floor") ratio[s] = add(ratio[s], cp[i] / (fsum[rd[i]] / fcount[rd[i]]))
      if ((s == "own-choice" || s == "opengl") && power[rd[i]] > 0) soft[s] = add(soft[s], cp[i] / power[rd[i]])
    }
    print "\nCPU is % of one core, each figure one measurement; ratios against the mean floor of the same round"
    m = split("floor start power minimised own-choice opengl", order, " ")
    for (k = 1; k <= m; k++) { s = order[k]; if (!(s in cpu)) continue
      printf "%-11s CPU %s | x floor %s | frames/s %s | resident %s MB%s\n", s, cpu[s], (s == "floor" ? "-" : ratio[s]),
             fps[s], mem[s], (s in soft ? " | x software power page " soft[s] : "") }
  }' "$results"
