#!/usr/bin/env bash
# Builds the Debian packages (zyvora-cli, and zyvora-configurator unless the window is left out)
# from a stripped Release build and prints their paths.
# Usage: scripts/package.sh [BUILD_DIR]   (default: build-package/)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-package}"

bash "$root/scripts/setup.sh"
# Every time stamp in the package is the last commit's, so two builds of one commit are identical.
SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)}"
export SOURCE_DATE_EPOCH
# Debian's hardening flags (stack protector, fortify, relro and bindnow), as a Debian build gets them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  -DZYVORA_TESTS=OFF -DZYVORA_BENCH=OFF -DCMAKE_INSTALL_PREFIX=/usr >&2
cmake --build "$build" >&2
(cd "$build" && cpack -G DEB >&2)
ls "$build"/zyvora-cli_*.deb "$build"/zyvora-configurator_*.deb 2>/dev/null || true
