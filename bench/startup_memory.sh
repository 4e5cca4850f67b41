#!/usr/bin/env bash
# Resident memory of the real program after start-up (start page, no power bank) under Xvfb: with no
# backend set, so that the program chooses, and with the software backend forced; the two alternate.
#
#   bench/startup_memory.sh [seconds after start] [rounds]        (default 5 s, 3 rounds)
#
# PROGRAM selects the binary (default <build>/tessaravolt; BUILD_DIR selects the build). Where the
# machine has /dev/dri, each start runs in a private mount namespace with an empty /dev/dri (root
# only), as on a machine without a GPU driver; BENCH_KEEP_DRI=1 leaves it visible.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
program=${PROGRAM:-$build/tessaravolt}
seconds=${1:-5}
rounds=${2:-3}
[ -x "$program" ] || { echo "missing $program: build it first" >&2; exit 2; }

hide=()
if [ -e /dev/dri ] && [ "${BENCH_KEEP_DRI:-0}" != 1 ]; then
  hide=(unshare -m sh -c 'mount -t tmpfs none /dev/dri && exec "$@"' hide-dri)
fi

# measure NAME ENV...: prints "NAME resident_mb"
measure() {
  local name=$1 work launcher pid rss
  shift
  start_measured "$(basename "$program")" "$@" -- \
      "${hide[@]}" xvfb-run -a -s "-screen 0 1920x1440x24" "$program" || return 1
  sleep "$seconds"
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")
  stop_measured
  awk -v n="$name" -v rss="$rss" 'BEGIN { printf "%s %.1f\n", n, rss / 1024 }'
}

# shellcheck source=process_tree.sh
. "$root/bench/process_tree.sh"

echo "$program, resident $seconds s after start, $rounds rounds; /dev/dri: $([ -e /dev/dri ] && { [ ${#hide[@]} -gt 0 ] && echo hidden || echo visible; } || echo absent)"
results=$(mktemp)
trap 'rm -f "$results"' EXIT
for _ in $(seq "$rounds"); do
  measure own-choice | tee -a "$results"
  measure software QT_QUICK_BACKEND=software | tee -a "$results"
done
awk '{ sum[$1] += $2; n[$1]++; list[$1] = list[$1] (list[$1] == "" ? "" : ", ") $2 }
  END {
    for (s in sum) printf "%-10s resident %s MB (mean %.1f)\n", s, list[s], sum[s] / n[s]
    if (n["software"] && n["own-choice"])
      printf "own choice / software forced: %.3f\n", (sum["own-choice"] / n["own-choice"]) / (sum["software"] / n["software"])
  }' "$results"
