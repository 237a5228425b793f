#!/usr/bin/env bash
# Times the exact comparison of two surveys of one site against building
# and measuring each survey alone.
#
#   bench/overlay_run.sh [BUILD_FOLDER]        default: build
#
# Environment: BENCH_POINTS (default 1000000 a survey), BENCH_REPEATS
# (default 5). Two terrain surveys of the same landscape with different
# random points; the runs alternate (first alone, second alone, both
# compared, both compared with the two surfaces built at once) so that all
# see the same noise; medians of wall and CPU seconds and of peak KiB are
# printed. On a machine shared with other work, the CPU seconds are the
# steadier figure.
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

# Wall seconds, peak KiB and CPU seconds (user + system) of one run.
timed() {
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f '%M %U %S' -o "$work/usage" "$@" >"$work/out" </dev/null
  end=$(date +%s%N)
  echo "$(awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e9 }') $(tail -n 1 "$work/usage" | awk '{ printf "%s %.2f", $1, $2 + $3 }')"
}
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

names=(first second compare together)
declare -A wall cpu peak
for ((r = 1; r <= repeats; r++)); do
  for name in "${names[@]}"; do
    case $name in
      first) run=(alone "$work/first.tsv" 0) ;;
      second) run=(alone "$work/second.tsv" 0) ;;
      *) run=("$name" "$work/first.tsv" "$work/second.tsv") ;;
    esac
    read -r t m c <<<"$(timed "$bench" "${run[@]}")"
    wall[$name]+="$t " cpu[$name]+="$c " peak[$name]+="$m "
    echo "run $r $name: $t s wall, $c s CPU, $m KiB: $(cat "$work/out")" >&2
  done
done
m() { median ${1}; }
echo "points $points a survey, medians of $repeats runs: wall s, CPU s, peak KiB"
for name in "${names[@]}"; do
  echo "$name $(m "${wall[$name]}") $(m "${cpu[$name]}") $(m "${peak[$name]}")"
done
alone_wall=$(awk -v a="$(m "${wall[first]}")" -v b="$(m "${wall[second]}")" 'BEGIN { print a + b }')
alone_cpu=$(awk -v a="$(m "${cpu[first]}")" -v b="$(m "${cpu[second]}")" 'BEGIN { print a + b }')
for name in compare together; do
  echo "$name / (first + second): wall $(awk -v c="$(m "${wall[$name]}")" -v a="$alone_wall" 'BEGIN { printf "%.2f", c / a }'), CPU $(awk -v c="$(m "${cpu[$name]}")" -v a="$alone_cpu" 'BEGIN { printf "%.2f", c / a }')"
done
