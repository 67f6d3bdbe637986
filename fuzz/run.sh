#!/usr/bin/env bash
# Builds the fuzz targets and runs each for a bounded time, starting from the
# seed corpus in fuzz/corpus. A crash or a failed property stops the run with
# the reproducer's bytes in the log.
#   fuzz/run.sh [SECONDS_PER_TARGET]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}

cmake --preset fuzz -S "$root" >/dev/null
cmake --build --preset fuzz >/dev/null

parent=/tmp
[ -w /dev/shm ] && parent=/dev/shm
work=$(mktemp -d "$parent/rungwell-fuzz-run.XXXXXX")
trap 'rm -rf "$work"' EXIT

run() {  # name corpus-folder
  local name=$1 seeds=$root/fuzz/corpus/$2
  mkdir -p "$work/$name/corpus" "$work/$name/tmp"
  echo "== $name: ${seconds}s"
  # New inputs go to the scratch corpus; the seeds in the repository stay as they are.
  if ! TMPDIR="$work/$name/tmp" "$root/build/fuzz/fuzz/$name" -max_total_time="$seconds" -print_final_stats=1 \
    -max_len=4096 -timeout=10 -artifact_prefix="$work/$name/" "$work/$name/corpus" "$seeds" \
    >"$work/$name/log" 2>&1; then
    tail -n 60 "$work/$name/log"
    for artifact in "$work/$name"/crash-* "$work/$name"/leak-* "$work/$name"/timeout-* "$work/$name"/oom-*; do
      [ -e "$artifact" ] || continue
      echo "reproducer $(basename "$artifact") ($(stat -c %s "$artifact") bytes):"
      od -A d -c "$artifact" | head -n 40
    done
    return 1
  fi
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added)' "$work/$name/log"
}

run LevelFieldFuzzer level
run ConversionFuzzer conversion
