#!/usr/bin/env bash
# Times Rungwell against `cat in > out` on the same generated plan, in
# alternating runs, and prints the median ratio, the throughput and the peak
# resident memory.
#   bench/run.sh [MEGABYTES] [RUNS] [generator options such as --crlf --long-lines]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
megabytes=${1:-300}
runs=${2:-9}
shift $(($# > 2 ? 2 : $#))

cmake --preset bench -S "$root" >/dev/null
cmake --build --preset bench >/dev/null
tool=$root/build/bench/Rungwell
generate=$root/build/bench/bench/rungwell_generate_plan

work=$(mktemp -d "${TMPDIR:-/tmp}/rungwell-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$generate" "$work/plan.csv" "$megabytes" "$@"
bytes=$(stat -c %s "$work/plan.csv")

seconds() {  # runs a command, prints its wall time in seconds
  local start=$EPOCHREALTIME
  "$@"
  local end=$EPOCHREALTIME
  echo "$start $end" | awk '{ printf "%.6f\n", $2 - $1 }'
}
copy() { cat "$work/plan.csv" >"$work/copy.csv"; }
convert() { "$tool" "$work/plan.csv"; }

# One warm-up of each, so that the input is in the page cache and both
# outputs exist, as they will in every timed run.
copy
convert
: >"$work/times"
for ((i = 0; i < runs; i++)); do
  copied=$(seconds copy)
  converted=$(seconds convert)
  # The same once more with no earlier output to replace: replacing a file by
  # rename makes the file system commit the new one's blocks at once, which
  # costs more than the truncation that `cat in > out` gets.
  rm -f "$work/plan_new.csv"
  echo "$copied $converted $(seconds convert)" >>"$work/times"
done

peak_kib=$(/usr/bin/time -f %M "$tool" "$work/plan.csv" 2>&1 >/dev/null)
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
cat_median=$(awk '{ print $1 }' "$work/times" | median)
tool_median=$(awk '{ print $2 }' "$work/times" | median)
ratio_median=$(awk '{ print $2 / $1 }' "$work/times" | median)
fresh_median=$(awk '{ print $3 }' "$work/times" | median)
fresh_ratio=$(awk '{ print $3 / $1 }' "$work/times" | median)

awk -v bytes="$bytes" -v c="$cat_median" -v t="$tool_median" -v r="$ratio_median" -v f="$fresh_median" \
  -v fr="$fresh_ratio" -v kib="$peak_kib" -v runs="$runs" 'BEGIN {
  printf "input                      %.1f MB, %d paired runs\n", bytes / 1e6, runs
  printf "cat in > out               %.3f s median, %.0f MB/s\n", c, bytes / 1e6 / c
  printf "Rungwell, replacing output %.3f s median, %.0f MB/s, ratio to cat %.2f\n", t, bytes / 1e6 / t, r
  printf "Rungwell, new output       %.3f s median, %.0f MB/s, ratio to cat %.2f\n", f, bytes / 1e6 / f, fr
  printf "peak memory                %.1f MiB\n", kib / 1024
}'
