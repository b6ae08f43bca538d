#!/usr/bin/env bash
# Sets up, builds and runs every test: once in the normal (Release) build, once under AddressSanitizer
# and UndefinedBehaviorSanitizer; installs the build and builds the Debian package and checks both;
# fuzzes each target.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export QT_QPA_PLATFORM=offscreen

bash scripts/build.sh build
ctest --test-dir build --output-on-failure -j2
bash scripts/check-install.sh build
bash scripts/check-package.sh

bash scripts/build.sh build-asan -DZYVORA_SANITIZE=ON -DZYVORA_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir build-asan --output-on-failure -j2
bash scripts/fuzz.sh 20
