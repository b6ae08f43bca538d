#!/usr/bin/env bash
# Builds the two Debian packages (scripts/package.sh) and checks them: lintian finds no errors,
# their control data names what they need (and the CLI's, nothing of Qt, however deep), a second
# pack is byte-identical, and the programs unpacked from them run.
# Usage: scripts/check-package.sh [BUILD_DIR]   (default: build-package/)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# The repack below must stamp what package.sh stamps.
SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)}"
export SOURCE_DATE_EPOCH
debs="$(bash "$root/scripts/package.sh" "$@")"
cli_deb="$(grep '/zyvora-cli_[^/]*\.deb$' <<<"$debs")"
gui_deb="$(grep '/zyvora-configurator_[^/]*\.deb$' <<<"$debs")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0
check() {
  local what="$1"; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failed=1; fi
}

echo "packages: $cli_deb $gui_deb"
# Warnings are listed for the reader; only errors fail.
check "lintian reports no errors" lintian --fail-on error --tag-display-limit 0 "$cli_deb" "$gui_deb"

cli_depends="$(dpkg-deb -f "$cli_deb" Depends)"
gui_depends="$(dpkg-deb -f "$gui_deb" Depends)"
echo "zyvora-cli Depends: $cli_depends"
echo "zyvora-configurator Depends: $gui_depends"
for lib in libhidapi-hidraw0 libcurl4; do
  check "zyvora-cli depends on $lib" grep -q "$lib" <<<"$cli_depends"
done
for lib in libqt6widgets6 qt6-qpa-plugins "zyvora-cli (= "; do
  check "zyvora-configurator depends on $lib" grep -qF "$lib" <<<"$gui_depends"
done
# Every package the CLI's dependencies pull in, recursively, by name.
closure() {
  local names
  names="$(sed -e 's/([^)]*)//g' -e 's/|/,/g' <<<"$cli_depends" | tr ',' '\n' | sed 's/ //g' | grep -v '^$')"
  # shellcheck disable=SC2086
  apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces \
    --no-enhances $names | grep -v '^ ' | sort -u
}
check "zyvora-cli pulls in no Qt" bash -c '! grep -i "qt" <<<"$1"' _ "$(closure)"
echo "zyvora-cli pulls in $(closure | wc -l) packages"
check "zyvora-cli's postinst reloads udev rules" bash -c \
  'dpkg-deb --ctrl-tarfile "$1" | tar -xO ./postinst | grep -q "udevadm control --reload-rules"' _ "$cli_deb"
check "the udev rule is in zyvora-cli" bash -c 'dpkg-deb -c "$1" | grep -q "/usr/lib/udev/rules.d/50-zyvora-plus.rules"' \
  _ "$cli_deb"

# A second pack a second later, as another build would be, holds the same bytes.
sleep 1
(cd "$(dirname "$cli_deb")" && cpack -G DEB -B "$work/again" >/dev/null)
for deb in "$cli_deb" "$gui_deb"; do
  check "a second build of $(basename "$deb") is byte-identical" cmp "$deb" "$work/again/$(basename "$deb")"
done

dpkg-deb -x "$cli_deb" "$work/cli"
dpkg-deb -x "$gui_deb" "$work/gui"
cli="$work/cli/usr/bin/zyvora-cli"
check "the unpacked zyvora-cli writes the defaults" "$cli" -q defaults "$work/x.cfg"
check "the defaults file is a settings file" "$cli" -q check "$work/x.cfg"
check "the unpacked zyvora-configurator starts" env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work" \
  "$work/gui/usr/bin/zyvora-configurator" --version

[ "$failed" -eq 0 ] && echo "check-package: all passed" || { echo "check-package: failures above"; exit 1; }
