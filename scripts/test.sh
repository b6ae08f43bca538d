#!/usr/bin/env bash
# Sets up, builds and runs every test: once in the normal (Release) build, once built with clang
# under AddressSanitizer and UndefinedBehaviorSanitizer with assertions on; reads the window through
# the accessibility bridge; installs the build and builds the Debian package and checks both;
# fuzzes each target.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export QT_QPA_PLATFORM=offscreen

bash scripts/build.sh build
ctest --test-dir build --output-on-failure -j2
# The window read through the real accessibility bridge, as a screen reader reads it.
bash scripts/a11y-smoke.sh build
bash scripts/check-install.sh build
bash scripts/check-package.sh

# A second compiler, and what Release builds leave out: RelWithDebInfo without its -DNDEBUG, so
# assert() and the start-up check of the settings tables run, and the test that needs it.
bash scripts/build.sh build-clang -DCMAKE_CXX_COMPILER=clang++ -DZYVORA_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g"
ctest --test-dir build-clang --output-on-failure -j2
bash scripts/fuzz.sh 20
