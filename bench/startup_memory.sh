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
  local name=$1 work launcher pid="" rss
  shift
  work=$(mktemp -d)
  mkdir -p "$work/config" "$work/runtime"
  chmod 700 "$work/runtime"
  env -u QT_QUICK_BACKEND -u QSG_RHI_BACKEND -u QT_QPA_PLATFORM TMPDIR="$work" XDG_CONFIG_HOME="$work/config" \
      XDG_RUNTIME_DIR="$work/runtime" "$@" \
      "${hide[@]}" xvfb-run -a -s "-screen 0 1920x1440x24" "$program" >"$work/out.log" 2>&1 &
  launcher=$!
  for _ in $(seq 100); do
    pid=$(find_target "$launcher" "$(basename "$program")" || true)
    [ -n "$pid" ] && break
    sleep 0.1
  done
  if [ -z "$pid" ]; then
    echo "$name: the program did not start; its output:" >&2
    cat "$work/out.log" >&2
    kill "$launcher" 2>/dev/null || true
    wait "$launcher" 2>/dev/null || true
    rm -rf "$work"
    return 1
  fi
  sleep "$seconds"
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 30); do kill -0 "$launcher" 2>/dev/null || break; sleep 0.1; done
  kill "$launcher" 2>/dev/null || true
  wait "$launcher" 2>/dev/null || true
  rm -rf "$work"
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
