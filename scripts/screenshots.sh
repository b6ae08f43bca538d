#!/usr/bin/env bash
# Saves a picture of the main window with each page current into DIR (default screenshots/),
# under a virtual X display, for reviewing the layout.
set -euo pipefail
dir="$(realpath -m "${1:-$(dirname "$0")/../screenshots}")"
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja >/dev/null
ninja -C build zyvora-configurator >/dev/null
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
xvfb-run -a -s "-screen 0 1280x1024x24" build/app/zyvora-configurator --screenshots "$dir"
echo "Pictures of every page are in $dir/."
