#!/bin/sh
# Builds the fuzz targets and runs each for SECONDS seconds, one after the
# other, then prints runs, executions per second and crashes per target.
#   fuzz/run.sh SECONDS [points_file] [triangle_file] [triangulation] [polylines] [field_file]
# The seed corpora in fuzz/corpus stay as they are: each run grows a working
# copy in $BUILD/corpus. Crashing inputs land in $BUILD/artifacts/TARGET/.
set -eu

if [ $# -lt 1 ]; then
  echo "usage: $0 SECONDS [target ...]" >&2
  exit 2
fi
seconds=$1
shift
targets=${*:-points_file triangle_file triangulation polylines field_file}

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BUILD:-$root/build-fuzz}

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=${CXX:-clang++} >/dev/null
cmake --build "$build" -j2 >/dev/null

status=0
summary=""
for target in $targets; do
  case $target in
    triangulation) max_len=700 ;;  # 2 header bytes and up to 300 points
    *) max_len=4096 ;;
  esac
  corpus=$build/corpus/$target
  artifacts=$build/artifacts/$target
  log=$build/$target.log
  mkdir -p "$corpus" "$artifacts"
  before=$(ls "$artifacts" | wc -l)
  echo "== $target: $seconds s" >&2
  set +e
  "$build/fuzz_$target" -max_total_time="$seconds" -max_len=$max_len -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$corpus" "$here/corpus/$target" >"$log" 2>&1
  code=$?
  set -e
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  after=$(ls "$artifacts" | wc -l)
  crashes=$((after - before))
  line=$(printf '%-14s %10s %8s %8s' "$target" "${runs:-?}" "${rate:-?}" "$crashes")
  if [ "$code" -ne 0 ] || [ "$crashes" -ne 0 ]; then
    status=1
    line="$line (exit $code, see $log)"
    grep -E 'fuzz check failed|ERROR:|runtime error|SUMMARY' "$log" | head -n 5 >&2 || true
    ls -t "$artifacts" | head -n "$crashes" | sed "s|^|  $artifacts/|" >&2
  fi
  summary="$summary$line
"
done
printf '%-14s %10s %8s %8s\n%s' target runs exec/s crashes "$summary"
exit $status
