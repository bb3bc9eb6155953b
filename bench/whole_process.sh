#!/usr/bin/env bash
# Times each console tool as a whole process against its physical floor, both in the same
# hyperfine runs, and prints the medians and the ratio tool / floor as a Markdown table:
#   sumseal on a 64 MiB image          vs  cat IMAGE > /dev/null (page cache warm)
#   blockbind joining 2,000 inputs     vs  cat of the same inputs into one file
#   cellweave on a 6,912-byte screen   vs  cp of the same file
#   start-up: blockbind and sumseal on their usual small input vs cp of the same file
# and blockbind's peak memory for 2 and for 2,000 inputs (flat: one input held at a time).
# With burstmap's benchmark built, it then runs it under Xvfb and the dummy video driver and
# prints a frame pass against its floor, frames per second and the whole run-out.
#
# Usage: bench/whole_process.sh [build folder]   (default build/, from scripts/build.sh)
# ROUNDS hyperfine runs per case (default 5) of RUNS runs per command each (default 10);
# BURSTMAP=0 leaves burstmap out.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${RUNS:-10}
rounds=${ROUNDS:-5}

cellweave=$build/cellweave/cellweave
blockbind=$build/blockbind/blockbind
sumseal=$build/sumseal/sumseal
make_samples=$build/samples/make_samples
for program in "$cellweave" "$blockbind" "$sumseal" "$make_samples"; do
  [ -x "$program" ] || { echo "whole_process: $program is missing; build first" >&2; exit 1; }
done
for tool in hyperfine jq; do
  command -v $tool >/dev/null || { echo "whole_process: $tool is missing (scripts/setup.sh)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Inputs: a screen, 2,000 inputs of 6,912 bytes, a 64 MiB image with a valid trailer, a small one.
"$make_samples" . >/dev/null
mkdir inputs copies
for i in $(seq -w 1 2000); do cp loading.scr "inputs/in$i.scr"; done
head -c $((64 * 1024 * 1024)) /dev/urandom >big.scl
# The first run appends the right trailer, so that every timed run checks and finds it equal.
"$sumseal" big.scl </dev/null >/dev/null
"$sumseal" game.scl </dev/null >/dev/null
"$sumseal" big.scl </dev/null | grep -q "Checksums equal" || { echo "sumseal: no trailer" >&2; exit 1; }

echo "Machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores," \
  "$(free -g | awk '/^Mem:/ {print $2}') GiB, Linux $(uname -r); $(hyperfine --version)," \
  "medians of $rounds rounds of $runs runs per command"
echo
echo "| case | tool | floor | tool / floor (median of the rounds) | goal | CPU time, tool / floor |"
echo "|---|---|---|---|---|---|"

# Runs tool and floor in the same hyperfine run, ROUNDS times, the floor first in every other
# round, so that a change of load on the machine during a run weighs on both sides; prints a
# table row of the medians over the rounds: the wall-clock medians of each side, the ratio of
# each round, and the CPU time (user + system, means) of each side. The goal is on the
# wall-clock ratio. -N runs a command without a shell; a case that needs a redirection runs
# both sides in sh.
compare() {  # label, tool command, floor command
  local label=$1 tool=$2 floor=$3 round
  : >"$work/rounds.csv"
  for round in $(seq 1 "$rounds"); do
    local order=(-n tool "$tool" -n floor "$floor")
    [ $((round % 2)) = 0 ] && order=(-n floor "$floor" -n tool "$tool")
    hyperfine -N --style none --warmup 3 --runs "$runs" --export-csv "$work/result.csv" \
      "${order[@]}" >/dev/null 2>"$work/hyperfine.err" ||
      { cat "$work/hyperfine.err" >&2; return 1; }
    # Columns: command,mean,stddev,median,user,system,min,max (seconds); no name has a comma.
    awk -F, '$1 == "tool" { t = $4; tc = $5 + $6 } $1 == "floor" { f = $4; fc = $5 + $6 }
             END { print t, f, t / f, tc, fc, tc / fc }' "$work/result.csv" >>"$work/rounds.csv"
  done
  local column values=()
  for column in 1 2 3 4 5 6; do
    values+=("$(awk -v c="$column" '{ print $c }' "$work/rounds.csv" | sort -g |
      awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')")
  done
  awk -v label="$label" -v t="${values[0]}" -v f="${values[1]}" -v r="${values[2]}" \
    -v tc="${values[3]}" -v fc="${values[4]}" -v rc="${values[5]}" 'BEGIN {
      printf "| %s | %.2f ms | %.2f ms | %.2f | %s | %.1f / %.1f ms (%.2f) |\n", label, t * 1000,
        f * 1000, r, r <= 1.5 ? "<= 1.5, met" : "<= 1.5, MISSED", tc * 1000, fc * 1000, rc
    }'
}

compare "sumseal, 64 MiB image vs cat IMAGE > /dev/null" "$sumseal big.scl" "cat big.scl"
compare "blockbind, 2,000 inputs of 6,912 bytes vs cat of them into one file" \
  "sh -c 'exec $blockbind joined.tap inputs/* >/dev/null'" \
  "sh -c 'exec cat inputs/* >joined.cat'"
compare "cellweave, 6,912-byte screen vs cp (also its start-up)" \
  "$cellweave loading.scr" "cp loading.scr copies/loading.scr"
compare "start-up: blockbind, one 6,912-byte input vs cp" \
  "$blockbind one.tap loading.scr" "cp loading.scr copies/loading.scr"
compare "start-up: sumseal, 6,935-byte image vs cp" "$sumseal game.scl" "cp game.scl copies/game.scl"

# Peak resident memory of blockbind, in KiB: the same for 2 inputs as for 2,000.
peak_kib() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }
few=$(peak_kib "$blockbind" few.tap inputs/in0001.scr inputs/in0002.scr)
many=$(peak_kib sh -c "exec $blockbind many.tap inputs/*")
echo
echo "blockbind peak memory: $few KiB for 2 inputs, $many KiB for 2,000 inputs."

# burstmap: its Google Benchmark (bench/burstmap_bench.cpp, also run by run_burstmap_bench.sh)
# under Xvfb and under the dummy driver, medians of 3 repetitions: a frame pass drawn and shown
# against clearing a 512 x 384 image and showing it, measured in the same process.
bench=$build/bench/burstmap_bench
if [ "${BURSTMAP:-1}" = 0 ]; then
  exit 0
fi
if [ ! -x "$bench" ]; then
  echo
  echo "burstmap: $bench is not built; its rows are left out."
  exit 0
fi
burstmap_run() {  # label, then the command that runs the benchmark
  local label=$1
  shift
  "$@" "$bench" --benchmark_format=json --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true >"$work/burstmap.json" 2>"$work/burstmap.err" ||
    { cat "$work/burstmap.err" >&2; return 1; }
  jq -r --arg what "$label" '
    def median(name): [.benchmarks[] | select(.run_name | startswith(name))
                       | select(.aggregate_name == "median")][0];
    median("BM_FramePassShown") as $pass | median("BM_FloorClearAndShow") as $floor
    | median("BM_WholeRunOut") as $runout
    | ($pass.real_time / $floor.real_time) as $ratio
    | "| \($what) | \($pass.real_time * 100 | round / 100) us | "
      + "\($floor.real_time * 100 | round / 100) us | \($ratio * 100 | round / 100) | "
      + "<= 1.5, \(if $ratio <= 1.5 then "met" else "MISSED" end) | "
      + "\($pass.frames_per_second | round) | \(median("BM_FramePassDrawing").frames_per_second | round) | "
      + "\($runout.real_time | round) ms (\($runout.frames_per_run | round) passes) |"
  ' "$work/burstmap.json"
}
echo
echo "| burstmap under | frame pass | clear and show (floor) | ratio | goal | frames/s shown | frames/s drawn alone | whole run-out |"
echo "|---|---|---|---|---|---|---|---|"
burstmap_run "Xvfb" env -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER \
  xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp"
burstmap_run "dummy driver" env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=dummy
