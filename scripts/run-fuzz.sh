#!/usr/bin/env bash
# Runs every fuzz target built in <build>/fuzz for <seconds> each, two at a
# time, starting from its committed seed corpus (fuzz/corpus/<target>/).
# New inputs go to <build>/fuzz-work/<target>/, never into the repository;
# a crash, leak or time-out leaves its input in <build>/fuzz-artifacts/ and
# makes the script fail.
#   scripts/run-fuzz.sh [build-fuzz] [seconds] [parallel runs]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
seconds=${2:-20}
parallel=${3:-2}
targets=$(find "$build/fuzz" -maxdepth 1 -type f -name '*_fuzz' -perm -u+x -printf '%f\n' | sort)
[ -n "$targets" ] || { echo "no fuzz targets in $build/fuzz"; exit 1; }
mkdir -p "$build/fuzz-artifacts" "$build/fuzz-logs"

run_one() {
  local build=$1 seconds=$2 target=$3
  local work="$build/fuzz-work/$target" log="$build/fuzz-logs/$target.log"
  mkdir -p "$work" "fuzz/corpus/$target"
  if "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$build/fuzz-artifacts/$target-" \
      "$work" "fuzz/corpus/$target" >"$log" 2>&1; then
    printf '%-26s ok      %s\n' "$target" "$(grep -E '^#[0-9]+' "$log" | tail -1 | grep -oE 'cov: [0-9]+ ft: [0-9]+')  runs: $(grep -oE 'stat::number_of_executed_units: [0-9]+' "$log" | grep -oE '[0-9]+$')"
  else
    printf '%-26s FAILED  (log: %s)\n' "$target" "$log"
    grep -E 'ERROR|SUMMARY|Test unit written' "$log" | head -5
    return 1
  fi
}
export -f run_one

echo "fuzzing $(echo "$targets" | wc -w) targets for ${seconds}s each, $parallel at a time"
echo "$targets" | xargs -P "$parallel" -I{} bash -c 'run_one "$@"' _ "$build" "$seconds" {}
