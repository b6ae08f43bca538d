#!/usr/bin/env bash
# Builds the Debian packages (zyvora-cli, and zyvora-configurator unless the window is left out)
# from a stripped Release build and prints their paths.
# Usage: scripts/package.sh [--arch arm64] [BUILD_DIR]   (default: build-package/, build-package-arm64/)
# With --arch arm64 it cross-builds the CLI package for arm64 with Debian's multiarch cross tools,
# and first runs the core and CLI tests of that build under qemu-user-static.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
arch=""
if [ "${1:-}" = "--arch" ]; then
  arch="${2:?--arch needs an architecture: arm64}"
  shift 2
  [ "$arch" = "arm64" ] || { echo "package.sh: only arm64 can be cross-built, not $arch" >&2; exit 2; }
fi
build="${1:-$root/build-package${arch:+-$arch}}"

bash "$root/scripts/setup.sh" ${arch:+--cross "$arch"}
# Every time stamp in the package is the last commit's, so two builds of one commit are identical.
SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)}"
export SOURCE_DATE_EPOCH
# Debian's hardening flags (stack protector, fortify, relro and bindnow), as a Debian build gets them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags=(-DZYVORA_TESTS=OFF)
if [ -n "$arch" ]; then
  export DEB_HOST_ARCH="$arch"
  flags=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch.cmake" -DZYVORA_GUI=OFF -DZYVORA_TESTS=ON)
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  -DZYVORA_BENCH=OFF -DCMAKE_INSTALL_PREFIX=/usr "${flags[@]}" >&2
cmake --build "$build" >&2
if [ -n "$arch" ]; then
  # The core and CLI tests of the cross build, each under the emulator.
  ctest --test-dir "$build" --output-on-failure -j2 -R '^[A-Z]' >&2
fi
(cd "$build" && cpack -G DEB >&2)
ls "$build"/zyvora-cli_*.deb "$build"/zyvora-configurator_*.deb 2>/dev/null || true
