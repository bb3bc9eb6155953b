#!/usr/bin/env bash
# The targets move into a scratch folder of their own, so every path given to them is absolute.
# Builds the libFuzzer targets with clang and runs each briefly over its seed corpus.
# FUZZ_SECONDS sets the time per target (default 20); FUZZ_TARGETS, a list of target names,
# runs only those. A crash leaves its input in build-fuzz/crashes/. Each run replays the whole
# committed corpus first, so an input committed there after a fix stays a regression test.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-20}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DZXKIT_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$(nproc)"
mkdir -p build-fuzz/crashes
for corpus in "$(pwd)"/fuzz/corpus/*/; do
  target=$(basename "$corpus")
  if [ -n "${FUZZ_TARGETS:-}" ] && [[ " $FUZZ_TARGETS " != *" $target "* ]]; then
    continue
  fi
  work=$(mktemp -d)
  echo "fuzzing $target for ${seconds}s"
  # New inputs go to a scratch folder; the committed seeds are only read.
  if ! "build-fuzz/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$(pwd)/build-fuzz/crashes/$target-" -print_final_stats=1 \
      "$work" "$corpus" > "build-fuzz/$target.log" 2>&1; then
    tail -40 "build-fuzz/$target.log"
    echo "fuzz: $target failed; its input is in build-fuzz/crashes/" >&2
    rm -rf "$work"
    exit 1
  fi
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "build-fuzz/$target.log" | tr '\n' ' '
  echo
  rm -rf "$work"
done
