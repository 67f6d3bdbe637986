#!/usr/bin/env bash
# Times Rungwell against the least that a safe copy costs: `dd bs=1M` of the
# input into a temporary file beside the output, then `mv` over it, which is
# what Rungwell must do too so that a failed run leaves no half-written file.
# `cat in > out` runs beside them for scale. Each size is timed with no earlier
# output (fresh) and over one (replacing), in paired runs whose order
# alternates; it prints a Markdown table of medians of wall and CPU time (user
# and system, of every process a command starts) and the peak memory.
#   bench/run.sh [MEGABYTES[,MEGABYTES...]] [RUNS] [generator options: --crlf --long-lines --one-line
#                --no-level --semicolons --utf16 --level-column N]
# Defaults: 300,2000 and 9. Before each timed command it writes to
# RUNGWELL_BENCH_TOUCH_GIB (default 3) GiB of fresh memory (see the README);
# 0 leaves that out.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
sizes=${1:-300,2000}
runs=${2:-9}
shift $(($# > 2 ? 2 : $#))
touch_gib=${RUNGWELL_BENCH_TOUCH_GIB:-3}

cmake --preset bench -S "$root" >/dev/null
cmake --build --preset bench >/dev/null
tool=$root/build/bench/Rungwell
generate=$root/build/bench/bench/rungwell_generate_plan

work=$(mktemp -d "${TMPDIR:-/tmp}/rungwell-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
input=$work/plan.csv

baseline() {
  dd if="$input" of="$work/.copy.tmp" bs=1M status=none
  mv "$work/.copy.tmp" "$work/copy.csv"
}
# Its notes on the plan (the generator quotes a few levels) are no part of the table.
convert() { "$tool" "$input" 2>"$work/notes"; }
concatenate() { cat "$input" >"$work/cat.csv"; }

# Starts every timed command alike: no dirty pages of an earlier run still
# being written back, the output there or not as the mode says and, on request,
# memory that the virtual machine has already handed over (its first write to
# memory it has just been given is slow).
prepare() {  # mode output
  [ "$1" = fresh ] && rm -f "$2"
  sync
  if [ "$touch_gib" -gt 0 ]; then
    dd if=/dev/zero of=/dev/null bs="${touch_gib}G" count=1 iflag=fullblock status=none
  fi
}

seconds() {  # mode output command: prints the command's wall time and CPU time in seconds
  prepare "$1" "$2"
  local TIMEFORMAT='%R %U %S' times
  times=$({ time "$3" >/dev/null 2>&1; } 2>&1)
  echo "$times" | awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }'
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Ratios move with the processor, so the table says which one it ran on.
# Virtual machines often hide the model behind a generic name, so the family,
# model and vector extensions are given too.
cpu_field() { sed -n "s/^$1[[:space:]]*: //p" /proc/cpuinfo | head -n 1; }
extensions=$(cpu_field flags | tr ' ' '\n' | grep -x -E 'sse2|bmi2|avx2|avx512bw' | tr '\n' ' ')
echo "Measured on $(cpu_field 'model name') (family $(cpu_field 'cpu family'), model $(cpu_field model);" \
  "${extensions% }), $(nproc) CPUs, memory touched before each command: ${touch_gib} GiB"
echo
echo "| Input | Output | dd+mv | Rungwell | Rungwell ÷ dd+mv (lowest-highest) | CPU: dd+mv, Rungwell, ratio | \`cat in > out\` | Peak memory |"
echo "|---|---|---|---|---|---|---|---|"
for megabytes in ${sizes//,/ }; do
  "$generate" "$input" "$megabytes" "$@"
  bytes=$(stat -c %s "$input")
  # One of each untimed, so that the input is in the page cache.
  baseline
  convert
  concatenate
  /usr/bin/time -f %M -o "$work/peak" "$tool" "$input" 2>/dev/null
  peak_kib=$(cat "$work/peak")
  for mode in fresh replacing; do
    : >"$work/times"
    for ((i = 0; i < runs; i++)); do
      # Whichever of the pair runs second may meet the first one's writeback
      # despite the sync, so the two take turns.
      if ((i % 2 == 0)); then
        copied=$(seconds $mode "$work/copy.csv" baseline)
        converted=$(seconds $mode "$work/plan_new.csv" convert)
      else
        converted=$(seconds $mode "$work/plan_new.csv" convert)
        copied=$(seconds $mode "$work/copy.csv" baseline)
      fi
      # Each line: wall and CPU of dd+mv, of Rungwell, of cat.
      echo "$copied $converted $(seconds $mode "$work/cat.csv" concatenate)" >>"$work/times"
    done
    baseline_s=$(awk '{ print $1 }' "$work/times" | median)
    tool_s=$(awk '{ print $3 }' "$work/times" | median)
    ratio=$(awk '{ print $3 / $1 }' "$work/times" | median)
    # The spread of the ratios shows whether the runs can be trusted.
    spread=$(awk '{ print $3 / $1 }' "$work/times" | sort -g | awk 'NR == 1 { low = $1 } { high = $1 }
      END { printf "%.2f-%.2f", low, high }')
    baseline_cpu=$(awk '{ print $2 }' "$work/times" | median)
    tool_cpu=$(awk '{ print $4 }' "$work/times" | median)
    cpu_ratio=$(awk '$2 > 0 { print $4 / $2 }' "$work/times" | median)
    cat_s=$(awk '{ print $5 }' "$work/times" | median)
    awk -v bytes="$bytes" -v mode="$mode" -v b="$baseline_s" -v t="$tool_s" -v r="$ratio" -v spread="$spread" -v c="$cat_s" \
      -v bc="$baseline_cpu" -v tc="$tool_cpu" -v cr="$cpu_ratio" \
      -v kib="$peak_kib" -v runs="$runs" -v options="$*" 'BEGIN {
      printf "| %.0f MB%s, %d runs | %s | %.3f s, %.0f MB/s | %.3f s, %.0f MB/s | %.2f (%s) | %.3f s, %.3f s, %.2f | %.3f s, %.0f MB/s | %.1f MiB |\n",
        bytes / 1e6, options == "" ? "" : " " options, runs, mode, b, bytes / 1e6 / b, t, bytes / 1e6 / t, r,
        spread, bc, tc, cr, c, bytes / 1e6 / c, kib / 1024
    }'
  done
  rm -f "$work"/*.csv
done
