#!/usr/bin/env bash
# Times tsvmesh-export on a large mesh against the tsvmesh run that makes it.
#
#   bench/export_run.sh [BUILD_FOLDER]        default: build
#
# Environment: BENCH_POINTS (default 1000000), BENCH_REPEATS (default 5),
# BENCH_SET (a tsvmesh_gen_points set, default uniform; terrain has the same
# uniform x, y under a landscape's z), BENCH_CONTOUR (an interval: adds
# contour runs to .geojson, .dxf and a hillshaded .png with contours).
# The programs alternate (tsvmesh, export to PLY, export to PNG, ...) so
# that all see the same noise; medians are printed. tsvmesh's closing
# busy-wait is measured on a 3-point file and subtracted.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
points=${BENCH_POINTS:-1000000}
repeats=${BENCH_REPEATS:-5}
set_name=${BENCH_SET:-uniform}
contour=${BENCH_CONTOUR:-}
[[ -x $build/tsvmesh-export ]] || { echo "export_run.sh: no $build/tsvmesh-export (needs cairo)" >&2; exit 1; }
cmake --build "$build" --target tsvmesh_gen_points >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/tsvmesh_export_run.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/bench/tsvmesh_gen_points" "$set_name" "$points" "$work/points.tsv" "$work/mesh.csv"
printf '%s\n' "$work/base.csv" "0 0 1" "1 0 2" "0 1 3" >"$work/base.tsv"

# Wall seconds and peak KiB of one run.
timed() {
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f '%M' -o "$work/usage" "$@" >/dev/null </dev/null
  end=$(date +%s%N)
  echo "$(awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e9 }') $(tail -n 1 "$work/usage")"
}
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

base=() mesh=() ply=() png=() peak_mesh=() peak_ply=() peak_png=()
json=() dxf=() hill=() peak_json=() peak_dxf=() peak_hill=()
for ((r = 1; r <= repeats; r++)); do
  read -r t m <<<"$(timed "$build/tsvmesh" "$work/base.tsv")"; base+=("$t")
  read -r t m <<<"$(timed "$build/tsvmesh" "$work/points.tsv")"; mesh+=("$t") peak_mesh+=("$m")
  read -r t m <<<"$(timed "$build/tsvmesh-export" "$work/mesh.csv" "$work/mesh.ply")"; ply+=("$t") peak_ply+=("$m")
  read -r t m <<<"$(timed "$build/tsvmesh-export" "$work/mesh.csv" "$work/mesh.png")"; png+=("$t") peak_png+=("$m")
  if [[ -n $contour ]]; then
    read -r t m <<<"$(timed "$build/tsvmesh-export" "$work/mesh.csv" "$work/mesh.geojson" --contour "$contour")"
    json+=("$t") peak_json+=("$m")
    read -r t m <<<"$(timed "$build/tsvmesh-export" "$work/mesh.csv" "$work/mesh.dxf" --contour "$contour")"
    dxf+=("$t") peak_dxf+=("$m")
    read -r t m <<<"$(timed "$build/tsvmesh-export" "$work/mesh.csv" "$work/contours.png" --contour "$contour")"
    hill+=("$t") peak_hill+=("$m")
    sizes="GeoJSON $(stat -c %s "$work/mesh.geojson") B, DXF $(stat -c %s "$work/mesh.dxf") B"
    levels=$(grep -o '"elevation"' "$work/mesh.geojson" | wc -l)
    rm -f "$work/mesh.geojson" "$work/mesh.dxf" "$work/contours.png"
    echo "run $r: contours ($levels levels, $sizes): GeoJSON ${json[-1]} s, DXF ${dxf[-1]} s, PNG ${hill[-1]} s" >&2
  fi
  rm -f "$work/mesh.ply" "$work/mesh.png"
  echo "run $r: tsvmesh ${mesh[-1]} s (busy-wait run ${base[-1]} s), PLY ${ply[-1]} s, PNG ${png[-1]} s" >&2
done
b=$(median "${base[@]}") m=$(median "${mesh[@]}") p=$(median "${ply[@]}") g=$(median "${png[@]}")
net=$(awk -v m="$m" -v b="$b" 'BEGIN { printf "%.3f", m - b }')
echo "set $set_name, points $points, triangles $(head -n 1 "$work/mesh.csv" | tr -d '\r'), medians of $repeats runs"
echo "tsvmesh      $net s (run $m s minus busy-wait run $b s), peak $(median "${peak_mesh[@]}") KiB"
echo "export .ply  $p s, peak $(median "${peak_ply[@]}") KiB, ratio to tsvmesh $(awk -v a="$p" -v n="$net" 'BEGIN { printf "%.2f", a / n }')"
echo "export .png  $g s, peak $(median "${peak_png[@]}") KiB, ratio to tsvmesh $(awk -v a="$g" -v n="$net" 'BEGIN { printf "%.2f", a / n }')"
if [[ -n $contour ]]; then
  for kind in json dxf hill; do
    declare -n times=$kind peaks=peak_$kind
    t=$(median "${times[@]}")
    echo "export $kind --contour $contour  $t s, peak $(median "${peaks[@]}") KiB, ratio to tsvmesh $(awk -v a="$t" -v n="$net" 'BEGIN { printf "%.2f", a / n }')"
  done
fi
