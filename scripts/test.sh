#!/usr/bin/env bash
# The README's test command, also CI's. Five steps, each under a heading with its time:
#   setup            Debian packages (scripts/setup.sh)
#   build            the kit and its tests in build/ (scripts/build.sh)
#   tests            every test against the programs of build/
#   sanitized tests  every test again in build-sanitize/, under ASan and UBSan (scripts/sanitize.sh)
#   fuzzing          each libFuzzer target briefly over its seeds in build-fuzz/ (scripts/fuzz.sh)
set -euo pipefail
cd "$(dirname "$0")/.."

step() {  # step TITLE COMMAND...: runs the command under a heading, then says how long it took
  local title=$1 start=$SECONDS
  shift
  echo "=== $title"
  "$@"
  echo "=== $title: done in $((SECONDS - start)) s"
}

step "setup" bash scripts/setup.sh
step "build" bash scripts/build.sh
step "tests" ctest --test-dir build -j"$(nproc)" --output-on-failure --timeout 300
step "sanitized tests" bash scripts/sanitize.sh
step "fuzzing" bash scripts/fuzz.sh
