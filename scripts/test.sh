#!/usr/bin/env bash
# Sets up, builds and runs every test: once in a normal build, once under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export QT_QPA_PLATFORM=offscreen

bash scripts/build.sh build
ctest --test-dir build --output-on-failure -j2

bash scripts/build.sh build-asan -DZYVORA_SANITIZE=ON -DZYVORA_BENCH=OFF
ctest --test-dir build-asan --output-on-failure -j2
bash scripts/fuzz.sh 20
