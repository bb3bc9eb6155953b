#!/usr/bin/env bash
# Builds the kit with AddressSanitizer and UndefinedBehaviorSanitizer (clang) into build-sanitize/
# and runs the whole test suite there, two tests at a time. Any sanitizer report ends its program
# with status 86 and fails the test (sanitize/options.cpp); tests that cannot run sanitized
# (valgrind, the LD_PRELOAD fault library) show as skipped, with the reason in their output.
set -euo pipefail
cd "$(dirname "$0")/.."
CC=clang CXX=clang++ cmake -S . -B build-sanitize -DZXKIT_SANITIZE=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZXKIT_BENCHMARKS=OFF >/dev/null
cmake --build build-sanitize -j"$(nproc)"
ctest --test-dir build-sanitize -j2 --output-on-failure --timeout 300
