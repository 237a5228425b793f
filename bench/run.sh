#!/usr/bin/env bash
# Times whole runs of the tsvmesh binary, side by side with the CGAL
# yardstick (bench/compare_cgal.cpp) when CGAL is installed.
#
#   bench/run.sh [TSVMESH_BINARY]          default: build/tsvmesh
#
# Environment:
#   BENCH_BUILD    build folder for the generator and the CGAL program
#                  (default build-bench; configured here in Release if new)
#   BENCH_INPUTS   inputs to run, any of: uniform_1k uniform_1m clustered_1m
#                  jittered_1m grid_500 grid_1000 grid_1414 uniform_4m
#                  (default: all; grid_N is the exact N x N lattice,
#                  jittered_1m the 1000 x 1000 lattice moved by up to 1e-4)
#   BENCH_BASELINE another tsvmesh binary (an older build, say), run in turn
#                  with the two others (A B C A B C ...) and shown beside them
#   BENCH_REPEATS  runs per program and input (default 3; medians printed)
#   BENCH_TIMEOUT  seconds before one run is cut off (default 120)
#   BENCH_WORK     folder for the generated files (default: a fresh temp
#                  folder, removed at the end)
#
# Every complete tsvmesh run ends with a fixed busy-wait. It is measured on
# a 3-point file and subtracted, so the times cover reading, meshing,
# writing and the statistic. The CGAL program's start-up is subtracted alike.
# The two programs alternate (A B A B ...) so that both see the same noise
# from other work on the machine.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ours=${1:-$root/build/tsvmesh}
build=${BENCH_BUILD:-$root/build-bench}
inputs=${BENCH_INPUTS:-uniform_1k uniform_1m clustered_1m jittered_1m grid_500 grid_1000 grid_1414 uniform_4m}
base=${BENCH_BASELINE:-}
repeats=${BENCH_REPEATS:-3}
limit=${BENCH_TIMEOUT:-120}

die() { echo "run.sh: $*" >&2; exit 1; }

[[ -x $ours ]] || die "no tsvmesh binary at $ours (build it, or give its path)"
ours=$(cd "$(dirname "$ours")" && pwd)/$(basename "$ours")
if [[ -n $base ]]; then
  [[ -x $base ]] || die "no baseline binary at $base"
  base=$(cd "$(dirname "$base")" && pwd)/$(basename "$base")
fi
[[ -x /usr/bin/time ]] || die "/usr/bin/time is missing (Debian: apt-get install time)"

if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" --target tsvmesh_gen_points --parallel 2 >/dev/null
generate=$build/bench/tsvmesh_gen_points
cgal=""
if cmake --build "$build" --target tsvmesh_compare_cgal --parallel 2 >/dev/null 2>&1; then
  cgal=$build/bench/tsvmesh_compare_cgal
else
  echo "run.sh: no CGAL comparison (tsvmesh_compare_cgal did not build; Debian: libcgal-dev)" >&2
fi

if [[ -n ${BENCH_WORK:-} ]]; then
  work=$BENCH_WORK
  mkdir -p "$work"
else
  work=$(mktemp -d "${TMPDIR:-/tmp}/tsvmesh_run.XXXXXX")
  trap 'rm -rf "$work"' EXIT
fi

# One run: prints "wall_seconds peak_kib cpu_seconds" or "timeout"; the
# program's standard output is kept in $work/last.out. The output file is
# removed afterwards: a 4M-point triangle file is half a GiB.
run_once() {
  local csv=$1
  shift
  local start end status=0
  start=$(date +%s%N)
  timeout "$limit" /usr/bin/time -f '%M %U %S' -o "$work/usage" "$@" >"$work/last.out" </dev/null || status=$?
  end=$(date +%s%N)
  rm -f "$csv"
  if [[ $status -eq 124 || $status -eq 137 ]]; then
    echo timeout
  elif [[ $status -ne 0 ]]; then
    die "'$*' ended with status $status"
  else
    tail -n 1 "$work/usage" | awk -v ns=$((end - start)) '{ printf "%.4f %s %.2f\n", ns / 1e9, $1, $2 + $3 }'
  fi
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

make_input() {
  local name=$1 csv=$work/$1.csv
  case $name in
    uniform_1k) "$generate" uniform 1000 "$work/$name.tsv" "$csv" ;;
    uniform_1m) "$generate" uniform 1000000 "$work/$name.tsv" "$csv" ;;
    clustered_1m) "$generate" clustered 1000000 "$work/$name.tsv" "$csv" ;;
    jittered_1m) "$generate" jittered 1000000 "$work/$name.tsv" "$csv" ;;
    grid_500) "$generate" grid 250000 "$work/$name.tsv" "$csv" ;;
    grid_1000) "$generate" grid 1000000 "$work/$name.tsv" "$csv" ;;
    grid_1414) "$generate" grid 2000000 "$work/$name.tsv" "$csv" ;;
    uniform_4m) "$generate" uniform 4000000 "$work/$name.tsv" "$csv" ;;
    *) die "unknown input $name" ;;
  esac
}

# Per-program results of one input, by prefix "ours" or "cgal": lists of
# wall times, peaks and CPU times, whether a run was cut off, and the
# triangle count the program reported.
declare -A walls peaks cpus stopped tris

# Runs program $1 ("ours", "base" or "cgal") once more on input $2; run number $3.
run_program() {
  local who=$1 name=$2 result wall peak cpu
  [[ ${stopped[$who]} == 1 ]] && return
  if [[ $who == ours ]]; then
    result=$(run_once "$work/$name.csv" "$ours" "$work/$name.tsv")
  elif [[ $who == base ]]; then
    result=$(run_once "$work/$name.csv" "$base" "$work/$name.tsv")
  else
    result=$(run_once "$work/$name.cgal.csv" "$cgal" "$work/$name.tsv" "$work/$name.cgal.csv")
  fi
  if [[ $result == timeout ]]; then
    stopped[$who]=1
    echo "  $name $who run $3: cut off after $limit s" >&2
    return
  fi
  read -r wall peak cpu <<<"$result"
  walls[$who]+=" $wall" peaks[$who]+=" $peak" cpus[$who]+=" $cpu"
  if [[ $who != cgal ]]; then
    tris[$who]=$(grep -o 'Formed [0-9]* triangles' "$work/last.out" | awk '{ print $2 }' || true)
  else
    tris[$who]=$(awk '{ print $3 }' "$work/last.out")
  fi
  echo "  $name $who run $3: $wall s wall, $cpu s CPU" >&2
}

# Runs both programs on input $1 ($2 points), alternating, and leaves the
# medians in wall_of, peak_of, cpu_of ("-" when absent, ">limit" when cut off).
declare -A wall_of peak_of cpu_of
measure() {
  local name=$1 runs=$repeats who
  # Small inputs finish in tens of milliseconds, where scheduling noise is
  # of the same size: they get three times the runs, which costs little.
  (($2 < 100000)) && runs=$((3 * repeats))
  for who in ours base cgal; do walls[$who]="" peaks[$who]="" cpus[$who]="" stopped[$who]=0 tris[$who]=-; done
  for ((r = 1; r <= runs; r++)); do
    run_program ours "$name" "$r"
    [[ -n $base ]] && run_program base "$name" "$r"
    [[ -n $cgal ]] && run_program cgal "$name" "$r"
  done
  for who in ours base cgal; do
    if [[ ${stopped[$who]} == 1 ]]; then
      wall_of[$who]=">$limit" peak_of[$who]=- cpu_of[$who]=-
    elif [[ -z ${walls[$who]} ]]; then
      wall_of[$who]=- peak_of[$who]=- cpu_of[$who]=-
    else
      # shellcheck disable=SC2086  # the lists are split on purpose
      wall_of[$who]=$(median ${walls[$who]}) peak_of[$who]=$(median ${peaks[$who]}) cpu_of[$who]=$(median ${cpus[$who]})
    fi
  done
}

# The fixed part of a run: start-up plus tsvmesh's closing busy-wait.
printf '%s\n' "$work/baseline.csv" "0 0 1" "1 0 2" "0 1 3" >"$work/baseline.tsv"
measure baseline 3
wall_base_ours=${wall_of[ours]} cpu_base_ours=${cpu_of[ours]}
wall_base_base=${wall_of[base]} cpu_base_base=${cpu_of[base]}
wall_base_cgal=${wall_of[cgal]} cpu_base_cgal=${cpu_of[cgal]}
[[ $wall_base_cgal == - ]] && wall_base_cgal=0 cpu_base_cgal=0

echo "tsvmesh: $ours"
echo "CGAL:    ${cgal:-not built}"
[[ -n $base ]] && echo "baseline: $base (its own start-up and busy-wait subtracted alike)"
echo "medians of $repeats alternating runs ($((3 * repeats)) below 100k points)"
echo "subtracted from every run: tsvmesh ${wall_base_ours} s wall / ${cpu_base_ours} s CPU" \
  "(start-up and closing busy-wait), CGAL ${wall_base_cgal} s / ${cpu_base_cgal} s (start-up)"
echo "wall = elapsed time, CPU = user + system time (less disturbed by other work on the machine)"
echo
line='%-13s %8s | %8s %7s %7s %5s | %8s %7s %7s %5s | %6s %6s | %8s %6s %6s | %s\n'
# shellcheck disable=SC2059  # the format is ours
printf "$line" input points "wall s" "CPU s" "Mpt/s" MiB "wall s" "CPU s" "Mpt/s" MiB "wall" "CPU" "wall s" "wall" "wall" "triangles"
# shellcheck disable=SC2059
printf "$line" "" "" "tsvmesh" "" "" "" "CGAL" "" "" "" "ratio" "ratio" "baseline" "/CGAL" "/base" "tsvmesh / CGAL"

net() { awk -v t="$1" -v b="$2" 'BEGIN { if (t ~ /^[>-]/) print t; else printf "%.3f", t - b }'; }
rate() { awk -v n="$1" -v t="$2" 'BEGIN { if (t ~ /^[>-]/ || t <= 0) print "-"; else printf "%.2f", n / t / 1e6 }'; }
mib() { awk -v k="$1" 'BEGIN { if (k == "-") print "-"; else printf "%.0f", k / 1024 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a ~ /^[>-]/ || b ~ /^[>-]/ || b <= 0) print "-"; else printf "%.2f", a / b }'; }

declare -A wall_net cpu_net
for name in $inputs; do
  make_input "$name"
  points=$(($(wc -l <"$work/$name.tsv") - 1))
  echo "running $name ($points points)" >&2
  measure "$name" "$points"
  rm -f "$work/$name.tsv"
  a=$(net "${wall_of[ours]}" "$wall_base_ours") ac=$(net "${cpu_of[ours]}" "$cpu_base_ours")
  b=$(net "${wall_of[cgal]}" "$wall_base_cgal") bc=$(net "${cpu_of[cgal]}" "$cpu_base_cgal")
  c=-
  [[ -n $base ]] && c=$(net "${wall_of[base]}" "$wall_base_base")
  wall_net[$name]=$a cpu_net[$name]=$ac
  # shellcheck disable=SC2059
  printf "$line" "$name" "$points" "$a" "$ac" "$(rate "$points" "$a")" "$(mib "${peak_of[ours]}")" \
    "$b" "$bc" "$(rate "$points" "$b")" "$(mib "${peak_of[cgal]}")" "$(ratio "$a" "$b")" "$(ratio "$ac" "$bc")" \
    "$c" "$(ratio "$c" "$b")" "$(ratio "$a" "$c")" "${tris[ours]} / ${tris[cgal]}"
done

if [[ -n ${wall_net[uniform_1m]:-} && -n ${wall_net[uniform_4m]:-} ]]; then
  echo
  echo "uniform 1M -> 4M (4x the points; linear growth would be 4x):" \
    "$(ratio "${wall_net[uniform_4m]}" "${wall_net[uniform_1m]}")x the wall time," \
    "$(ratio "${cpu_net[uniform_4m]}" "${cpu_net[uniform_1m]}")x the CPU time"
fi
