#!/bin/sh
# Frames per second of burstmap under SDL's dummy driver (drawing and copying only) and in a real
# X window on Xvfb (presentation included). Usage: bench/run_burstmap_bench.sh [build folder]
set -eu
build=${1:-build}
bench="$build/bench/burstmap_bench"
[ -x "$bench" ] || { echo "build first: cmake --build $build --target burstmap_bench" >&2; exit 1; }

echo "== SDL dummy video driver"
env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=dummy "$bench" --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true

echo "== Xvfb, 24-bit screen"
env -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
    "$bench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
