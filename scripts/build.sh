#!/usr/bin/env bash
# Configures and builds the kit into build/ (programs land in build/<tool>/<tool>).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build build -j"$(nproc)"
