#!/usr/bin/env bash
# Process start to first frame rendered, offscreen, median of N runs (default 15).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build/bench/bench_startup}
runs=${2:-15}
export QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software
export TMPDIR=$(mktemp -d) XDG_CONFIG_HOME=$(mktemp -d) XDG_RUNTIME_DIR=$(mktemp -d)
trap 'rm -rf "$TMPDIR" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"' EXIT
"$bin" >/dev/null 2>&1 || true # warm the file cache
results=()
for _ in $(seq "$runs"); do
  ms=$(BENCH_T0_NS=$(date +%s%N) "$bin" 2>/dev/null | awk '/first_frame_ms/ {print $2}')
  results+=("$ms")
done
printf '%s\n' "${results[@]}" | sort -n | awk '{a[NR]=$1} END {printf "start-up to first frame: median %.1f ms over %d runs (min %.1f, max %.1f)\n", a[int((NR+1)/2)], NR, a[1], a[NR]}'
