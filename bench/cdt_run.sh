#!/usr/bin/env bash
# Times the surface engine (tsvmesh_surface_cdt) against CGAL's constrained
# Delaunay triangulation (tsvmesh_compare_cgal_cdt) on the same points and
# breaklines, whole process against whole process.
#
#   bench/cdt_run.sh [BUILD_FOLDER]            default: build
#
# Environment: BENCH_SETS (default "uniform grid terrain"), BENCH_POINTS
# (default 1000000), BENCH_SEGMENTS (default 10000), BENCH_REPEATS (default
# 5). The two programs alternate (A B A B ...); medians of wall seconds and
# of peak resident memory (/usr/bin/time -v) are printed, with the ratio.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
sets=${BENCH_SETS:-uniform grid terrain}
points=${BENCH_POINTS:-1000000}
segments=${BENCH_SEGMENTS:-10000}
repeats=${BENCH_REPEATS:-5}
[[ -x /usr/bin/time ]] || { echo "cdt_run.sh: /usr/bin/time is missing (Debian: time)" >&2; exit 1; }
cmake --build "$build" --target tsvmesh_gen_points tsvmesh_gen_breaklines tsvmesh_surface_cdt >/dev/null
cmake --build "$build" --target tsvmesh_compare_cgal_cdt >/dev/null ||
  { echo "cdt_run.sh: tsvmesh_compare_cgal_cdt did not build (Debian: libcgal-dev)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tsvmesh_cdt_run.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/bench/tsvmesh_gen_breaklines" "$segments" "$work/breaklines.txt"

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# One run: "seconds kilobytes" of the whole process.
run() {
  /usr/bin/time -v "$@" >/dev/null 2>"$work/time.txt"
  awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = t[n] + (n > 1 ? 60 * t[n - 1] : 0) }
              /Maximum resident/ { k = $2 } END { print s, k }' "$work/time.txt"
}

printf '%-8s %10s %10s %7s %12s %12s\n' set ours_s cgal_s ratio ours_MiB cgal_MiB
for set in $sets; do
  "$build/bench/tsvmesh_gen_points" "$set" "$points" "$work/points.tsv" "$work/unused.csv"
  : >"$work/ours.txt"
  : >"$work/cgal.txt"
  for ((i = 0; i < repeats; ++i)); do
    run "$build/bench/tsvmesh_surface_cdt" "$work/points.tsv" "$work/breaklines.txt" "$work/out.csv" >>"$work/ours.txt"
    run "$build/bench/tsvmesh_compare_cgal_cdt" "$work/points.tsv" "$work/breaklines.txt" "$work/out.csv" \
      >>"$work/cgal.txt"
  done
  ours=$(cut -d' ' -f1 "$work/ours.txt" | median)
  cgal=$(cut -d' ' -f1 "$work/cgal.txt" | median)
  oursMemory=$(cut -d' ' -f2 "$work/ours.txt" | median)
  cgalMemory=$(cut -d' ' -f2 "$work/cgal.txt" | median)
  awk -v s="$set" -v a="$ours" -v b="$cgal" -v m="$oursMemory" -v n="$cgalMemory" \
    'BEGIN { printf "%-8s %10.2f %10.2f %7.2f %12.1f %12.1f\n", s, a, b, a / b, m / 1024, n / 1024 }'
done
