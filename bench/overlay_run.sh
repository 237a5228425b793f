#!/usr/bin/env bash
# Times the exact comparison of two surveys of one site against building
# and measuring each survey alone.
#
#   bench/overlay_run.sh [BUILD_FOLDER]        default: build
#
# Environment: BENCH_POINTS (default 1000000 a survey), BENCH_REPEATS
# (default 5). Two terrain surveys of the same landscape with different
# random points; the runs alternate (first alone, second alone, both
# compared) so that all see the same noise; medians of wall seconds and
# peak KiB are printed.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
points=${BENCH_POINTS:-1000000}
repeats=${BENCH_REPEATS:-5}
cmake --build "$build" --target tsvmesh_gen_points tsvmesh_overlay_bench >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/tsvmesh_overlay_run.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/bench/tsvmesh_gen_points" terrain "$points" "$work/first.tsv" "$work/first.csv" 1
"$build/bench/tsvmesh_gen_points" terrain "$points" "$work/second.tsv" "$work/second.csv" 2
bench=$build/bench/tsvmesh_overlay_bench

# Wall seconds and peak KiB of one run.
timed() {
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f '%M' -o "$work/usage" "$@" >"$work/out" </dev/null
  end=$(date +%s%N)
  echo "$(awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e9 }') $(tail -n 1 "$work/usage")"
}
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

first=() second=() both=() peak_first=() peak_both=()
for ((r = 1; r <= repeats; r++)); do
  read -r t m <<<"$(timed "$bench" alone "$work/first.tsv" 0)"; first+=("$t") peak_first+=("$m")
  read -r t m <<<"$(timed "$bench" alone "$work/second.tsv" 0)"; second+=("$t")
  read -r t m <<<"$(timed "$bench" compare "$work/first.tsv" "$work/second.tsv")"; both+=("$t") peak_both+=("$m")
  echo "run $r: first ${first[-1]} s, second ${second[-1]} s, compared ${both[-1]} s ($(cat "$work/out"))" >&2
done
a=$(median "${first[@]}") b=$(median "${second[@]}") c=$(median "${both[@]}")
echo "points $points a survey, medians of $repeats runs"
echo "first alone   $a s, peak $(median "${peak_first[@]}") KiB"
echo "second alone  $b s"
echo "compared      $c s, peak $(median "${peak_both[@]}") KiB, ratio to both alone $(awk -v c="$c" -v a="$a" -v b="$b" 'BEGIN { printf "%.2f", c / (a + b) }')"
