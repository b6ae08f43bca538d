#!/usr/bin/env bash
# Builds the Debian package (scripts/package.sh) and checks it: lintian finds no errors, its
# control data names what it needs, and the programs unpacked from it run.
# Usage: scripts/check-package.sh [BUILD_DIR]   (default: build-package/)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# The repack below must stamp what package.sh stamps.
SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)}"
export SOURCE_DATE_EPOCH
deb="$(bash "$root/scripts/package.sh" "$@" | tail -n 1)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0
check() {
  local what="$1"; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failed=1; fi
}

echo "package: $deb"
# Warnings are listed for the reader; only errors fail.
check "lintian reports no errors" lintian --fail-on error --tag-display-limit 0 "$deb"
depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
for lib in libqt6widgets6 qt6-qpa-plugins libhidapi-hidraw0 libcurl4; do
  check "depends on $lib" grep -q "$lib" <<<"$depends"
done
check "postinst reloads udev rules" bash -c 'dpkg-deb --ctrl-tarfile "$1" | tar -xO ./postinst | grep -q "udevadm control --reload-rules"' _ "$deb"

# A second pack a second later, as another build would be, holds the same bytes.
sleep 1
(cd "$(dirname "$deb")" && cpack -G DEB -B "$work/again" >/dev/null)
check "a second build of the package is byte-identical" cmp "$deb" "$work/again/$(basename "$deb")"

dpkg-deb -x "$deb" "$work/root"
cli="$work/root/usr/bin/zyvora-cli"
check "the unpacked zyvora-cli writes the defaults" "$cli" -q defaults "$work/x.cfg"
check "the defaults file is a settings file" "$cli" -q check "$work/x.cfg"
check "the unpacked zyvora-configurator starts" env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work" \
  "$work/root/usr/bin/zyvora-configurator" --version

[ "$failed" -eq 0 ] && echo "check-package: all passed" || { echo "check-package: failures above"; exit 1; }
