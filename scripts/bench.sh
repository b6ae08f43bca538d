#!/usr/bin/env bash
# Builds and runs the benchmarks of bench/ in an optimised build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DZYVORA_TESTS=OFF
for b in build-release/bench/bench_*; do "$b" "$@"; done
