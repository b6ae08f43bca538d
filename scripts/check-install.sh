#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks what desktops, man and bash read from it:
# the menu entry, the AppStream file, the MIME package, the manual pages and the completion.
# Usage: scripts/check-install.sh [BUILD_DIR]   (default: build/)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" --strip >/dev/null
share="$prefix/share"
failed=0
check() {
  local what="$1"; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failed=1; fi
}
need() {
  if [ -e "$prefix/$1" ]; then echo "ok: installed $1"; else echo "FAILED: missing $1"; failed=1; fi
}

for f in bin/zyvora-cli bin/zyvora-configurator lib/udev/rules.d/50-zyvora-plus.rules \
         share/applications/zyvora-configurator.desktop \
         share/icons/hicolor/scalable/apps/zyvora-configurator.svg \
         share/metainfo/org.example.zyvora.configurator.metainfo.xml share/mime/packages/zyvora-configurator.xml \
         share/man/man1/zyvora-cli.1.gz share/man/man1/zyvora-configurator.1.gz \
         share/bash-completion/completions/zyvora-cli share/doc/zyvora-configurator/COPYING \
         share/doc/zyvora-configurator/copyright share/doc/zyvora-configurator/changelog.gz; do
  need "$f"
done
for size in 16 32 48 64 128 256; do
  png="share/icons/hicolor/${size}x${size}/apps/zyvora-configurator.png"
  if [ -e "$prefix/$png" ]; then echo "ok: installed $png"; else echo "note: no $png (rsvg-convert missing at build time)"; fi
done

# Stripped: no symbol table left in the installed programs.
for program in zyvora-cli zyvora-configurator; do
  check "$program is stripped" bash -c '! readelf -S "$1" | grep -q "\.symtab"' _ "$prefix/bin/$program"
done
check "zyvora-cli runs" "$prefix/bin/zyvora-cli" --version

check "desktop-file-validate" desktop-file-validate "$share/applications/zyvora-configurator.desktop"
# The component id is the desktop file's name: the project has no domain of its own for a
# reverse-DNS id, so that one warning is shown as a note.
check "appstreamcli validate" appstreamcli validate --no-net \
  "$share/metainfo/org.example.zyvora.configurator.metainfo.xml"
# The screenshots are published with the source: each one named must be a file of it.
for image in $(grep -o 'https://zyvora.example.org/source/[^<]*' "$share/metainfo/org.example.zyvora.configurator.metainfo.xml"); do
  check "AppStream screenshot ${image#https://zyvora.example.org/source/} is in the source" \
    test -s "$root/${image#https://zyvora.example.org/source/}"
done
if command -v xmllint >/dev/null; then
  check "xmllint MIME package" xmllint --noout "$share/mime/packages/zyvora-configurator.xml"
  check "xmllint icon" xmllint --noout "$share/icons/hicolor/scalable/apps/zyvora-configurator.svg"
fi
for page in "$share"/man/man1/*.1.gz; do
  check "groff $(basename "$page")" bash -c 'out=$(zcat "$1" | groff -ww -z -man 2>&1) && [ -z "$out" ] || { echo "$out"; false; }' _ "$page"
done
completion="$share/bash-completion/completions/zyvora-cli"
check "bash -n completion" bash -n "$completion"
check "completion sources and registers" bash -c \
  'source /usr/share/bash-completion/bash_completion && source "$1" && complete -p zyvora-cli >/dev/null' _ "$completion"
# What Tab offers after `get FILE Radio/TX` and `set FILE WWW/Www_po`, from the installed CLI.
completes() {
  bash -c 'source /usr/share/bash-completion/bash_completion && source "$1" && shift && PATH="$1:$PATH" && shift &&
    COMP_WORDS=("$@") && COMP_CWORD=$(($# - 1)) && COMP_LINE="$*" && COMP_POINT=${#COMP_LINE} &&
    _zyvora_cli zyvora-cli 2>/dev/null; echo "${COMPREPLY[*]}"' _ "$completion" "$prefix/bin" "$@"
}
check "get completes setting names" test "$(completes zyvora-cli get x.cfg Radio/TX)" = "Radio/TXdelay"
check "set completes setting names with =" test "$(completes zyvora-cli set x.cfg WWW/Www_po)" = "WWW/Www_port="

# The settings file type: the first line decides, so a .cfg file of another program stays text.
if command -v update-mime-database >/dev/null && command -v mimetype >/dev/null; then
  update-mime-database "$share/mime" >/dev/null 2>&1
  work="$prefix/work"; mkdir -p "$work"
  "$prefix/bin/zyvora-cli" -q defaults "$work/station.cfg"
  printf '[section]\nkey=value\n' > "$work/other.cfg"
  : > "$work/update.ruf"
  mime() { XDG_DATA_DIRS="$share:/usr/share" XDG_DATA_HOME="$prefix/none" mimetype -b "$1"; }
  check "station.cfg is application/x-zyvora-settings" test "$(mime "$work/station.cfg")" = application/x-zyvora-settings
  check "other.cfg is not" test "$(mime "$work/other.cfg")" != application/x-zyvora-settings
  check "update.ruf is application/x-zyvora-remote-update" test "$(mime "$work/update.ruf")" = application/x-zyvora-remote-update
fi

[ "$failed" -eq 0 ] && echo "check-install: all passed" || { echo "check-install: failures above"; exit 1; }
