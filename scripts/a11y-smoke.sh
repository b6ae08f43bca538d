#!/usr/bin/env bash
# Reads the window through the real accessibility bridge, as a screen reader on Linux does: a
# private D-Bus session and accessibility bus, a virtual X display, the window on the simulated
# device, and scripts/a11y-check.py asking AT-SPI for the page tabs and named cells.
#   scripts/a11y-smoke.sh [BUILD_DIR] [--census]
# With --census it also prints how many controls of each page are named. Gives up after 4 minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
shift || true
program="$(realpath "$build/app/zyvora-configurator")"
[ -x "$program" ] || { echo "a11y-smoke: no $program; build first" >&2; exit 2; }

export XDG_RUNTIME_DIR="$(mktemp -d)"
export XDG_CONFIG_HOME="$XDG_RUNTIME_DIR/config" XDG_DATA_HOME="$XDG_RUNTIME_DIR/data"
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
unset QT_QPA_PLATFORM
# Debian's python3, which holds pyatspi, whatever python3 comes first on the PATH.
timeout -k 10 240 dbus-run-session -- xvfb-run -a -s "-screen 0 1280x1024x24" \
    /usr/bin/python3 scripts/a11y-check.py "$program" "$@" </dev/null
