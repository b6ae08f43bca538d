#!/usr/bin/env bash
# Saves a picture of the main window with each page current into DIR (default screenshots/),
# under a virtual X display, for reviewing the layout.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-screenshots}"
if [ ! -x build/app/zyvora-configurator ]; then
  cmake -S . -B build -G Ninja >/dev/null
fi
ninja -C build zyvora-configurator >/dev/null
xvfb-run -a -s "-screen 0 1280x1024x24" build/app/zyvora-configurator --screenshots "$dir"
echo "Pictures of every page are in $dir/."
