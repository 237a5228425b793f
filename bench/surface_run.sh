#!/usr/bin/env bash
# Times tsvmesh-export's grids and volumes on a large mesh against the
# tsvmesh run that makes the mesh.
#
#   bench/surface_run.sh [BUILD_FOLDER]        default: build
#
# Environment: BENCH_POINTS (default 1000000), BENCH_CELLS (default
# 10000000, the grid's cells over the points' 1000 by 1000 square),
# BENCH_REPEATS (default 3). The runs alternate so that all see the same
# noise; medians of wall and user seconds are printed. tsvmesh's closing
# busy-wait is measured on a 3-point file and subtracted from its wall time.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
points=${BENCH_POINTS:-1000000}
cells=${BENCH_CELLS:-10000000}
repeats=${BENCH_REPEATS:-3}
[[ -x $build/tsvmesh-export ]] || { echo "surface_run.sh: no $build/tsvmesh-export" >&2; exit 1; }
cmake --build "$build" --target tsvmesh_gen_points >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/tsvmesh_surface_run.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/bench/tsvmesh_gen_points" terrain "$points" "$work/points.tsv" "$work/mesh.csv"
"$build/bench/tsvmesh_gen_points" terrain "$points" "$work/later.tsv" "$work/later.csv" 7
printf '%s\n' "$work/base.csv" "0 0 1" "1 0 2" "0 1 3" >"$work/base.tsv"
"$build/tsvmesh" "$work/later.tsv" >/dev/null
cell=$(awk -v c="$cells" 'BEGIN { printf "%.6f", 1000 / sqrt(c) }')

names=(tsvmesh busy-wait "dem .tif" "dem .asc" "dem from points" "volumes --base" "volumes --compare")
commands=(
  "$build/tsvmesh $work/points.tsv"
  "$build/tsvmesh $work/base.tsv"
  "$build/tsvmesh-export $work/mesh.csv $work/dem.tif --cell $cell"
  "$build/tsvmesh-export $work/mesh.csv $work/dem.asc --cell $cell"
  "$build/tsvmesh-export $work/points.tsv $work/points.tif --cell $cell"
  "$build/tsvmesh-export $work/mesh.csv $work/volumes.txt --base 0"
  "$build/tsvmesh-export $work/mesh.csv $work/change.txt --compare $work/later.csv --cell $cell"
)
declare -A wall user
for ((r = 1; r <= repeats; r++)); do
  for i in "${!commands[@]}"; do
    # shellcheck disable=SC2086
    /usr/bin/time -f '%e %U' -o "$work/usage" ${commands[$i]} >/dev/null </dev/null
    read -r w u <"$work/usage"
    wall[$i]+="$w " user[$i]+="$u "
  done
  echo "round $r done" >&2
done
median() { printf '%s\n' $1 | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
busy=$(median "${wall[1]}")
echo "points $points, triangles $(head -n 1 "$work/mesh.csv" | tr -d '\r'), cell $cell, medians of $repeats runs"
for i in "${!commands[@]}"; do
  [[ $i == 1 ]] && continue
  w=$(median "${wall[$i]}")
  [[ $i == 0 ]] && w=$(awk -v w="$w" -v b="$busy" 'BEGIN { printf "%.2f", w - b }')
  printf '%-18s wall %6s s  user %6s s\n' "${names[$i]}" "$w" "$(median "${user[$i]}")"
done
grep -E "Cut|Fill|Area compared" "$work/change.txt" || true
