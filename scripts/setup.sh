#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the screenshots and the fuzzers need. Safe to
# run again: it only asks apt when something is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libsimpleini-dev libcli11-dev libgtest-dev libgmock-dev libbenchmark-dev libhidapi-dev
  xvfb xauth fonts-dejavu-core
  at-spi2-core python3-pyatspi dbus-daemon
  clang libclang-rt-14-dev
  nlohmann-json3-dev
  librsvg2-bin dpkg-dev desktop-file-utils appstream lintian groff-base man-db go-md2man bash-completion
  shared-mime-info libfile-mimeinfo-perl libxml2-utils
  libcurl4-openssl-dev tftpd-hpa
)

# --cross arm64: the multiarch cross compiler, the :arm64 libraries, and qemu to run its tests.
cross=""
if [ "${1:-}" = "--cross" ]; then
  cross="${2:?--cross needs an architecture}"
  packages+=("crossbuild-essential-$cross" "libhidapi-dev:$cross" "libcurl4-openssl-dev:$cross"
             "libgtest-dev:$cross" "libgmock-dev:$cross" qemu-user-static)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
if [ -n "$cross" ] && ! dpkg --print-foreign-architectures | grep -qx "$cross"; then
  $sudo dpkg --add-architecture "$cross"
fi
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}" </dev/null
