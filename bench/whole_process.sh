#!/usr/bin/env bash
# Times each console tool as a whole process against its physical floor, in the same run:
#   sumseal on a 64 MiB image          vs  cat IMAGE > /dev/null (page cache warm)
#   blockbind joining 2,000 inputs     vs  cat of the same inputs into one file
#   cellweave on a 6,912-byte screen   vs  cp of the same file
#   start-up: each tool on its usual small input vs cp of the same file
# Prints the median of each and the ratio tool / floor. Usage: bench/whole_process.sh [build dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${RUNS:-30}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

cellweave=$build/cellweave/cellweave
blockbind=$build/blockbind/blockbind
sumseal=$build/sumseal/sumseal

# Inputs: a screen, 2,000 inputs of 6,912 bytes, a 64 MiB image with a valid trailer, a small one.
"$build/samples/make_samples" .
mkdir inputs
for i in $(seq -w 1 2000); do cp loading.scr "inputs/in$i.scr"; done
head -c $((64 * 1024 * 1024)) /dev/urandom > big.scl
"$sumseal" big.scl </dev/null >/dev/null || true    # appends the right trailer once
"$sumseal" game.scl </dev/null >/dev/null || true

median() {  # name of a hyperfine JSON export, index of the command -> median in ms
  python3 -c "import json,sys; print('%.3f' % (json.load(open(sys.argv[1]))['results'][int(sys.argv[2])]['median']*1000))" "$1" "$2"
}

compare() {  # label, tool command, floor command
  local label=$1 tool=$2 floor=$3
  hyperfine -N --warmup 3 --runs "$runs" --export-json "$work/result.json" "$tool" "$floor" >/dev/null
  local t f
  t=$(median "$work/result.json" 0)
  f=$(median "$work/result.json" 1)
  printf '| %s | %s ms | %s ms | %s |\n' "$label" "$t" "$f" \
    "$(python3 -c "print('%.2f' % ($t / $f))")"
}

echo "| case | tool (median) | floor (median) | ratio |"
echo "|---|---|---|---|"
compare "sumseal, 64 MiB image vs cat" "$sumseal big.scl" "cat big.scl"
compare "blockbind, 2,000 x 6,912 bytes vs cat" \
  "$blockbind joined.tap $(echo inputs/*)" "bash -c 'cat inputs/* > joined.cat'"
compare "cellweave, 6,912-byte screen vs cp" "$cellweave loading.scr" "cp loading.scr copy.scr"
compare "start-up: blockbind, one input vs cp" "$blockbind one.tap loading.scr" "cp loading.scr copy.scr"
compare "start-up: sumseal, small image vs cp" "$sumseal game.scl" "cp game.scl copy.scl"
