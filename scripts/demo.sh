#!/usr/bin/env bash
# Sets up, builds, and runs the four tools on sample data that the project makes itself, in demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
root=$(pwd)
rm -rf demo && mkdir demo && cd demo
PATH="$root/build/cellweave:$root/build/blockbind:$root/build/sumseal:$root/build/burstmap:$PATH"

show() {  # prints the command, then runs it; console lines end CR LF, shown here as plain lines
  echo "\$ $*"
  "$@" | tr -d '\r'
}

"$root/build/samples/make_samples" .
echo "Sample data in $(pwd):"
ls -l
echo
show cellweave loading.scr
cmp -s loading.scr loading.scr.rec || echo "(loading.scr.rec holds the same 6912 bytes, regrouped)"
echo
show blockbind loading.tap header.bin code.bin
show tzxlist loading.tap
echo
show sumseal game.scl </dev/null
show sumseal game.scl </dev/null
echo
echo "\$ SDL_VIDEODRIVER=dummy burstmap"
SDL_VIDEODRIVER=dummy burstmap
echo "screen.bin: $(stat -c %s screen.bin) bytes, the first cells: $(od -An -tu2 -N16 screen.bin)"
