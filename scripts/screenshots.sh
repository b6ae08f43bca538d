#!/usr/bin/env bash
# Saves a picture of the main window with each page current into DIR (default screenshots/),
# under a virtual X display, for reviewing the layout: DIR/100/ at the normal scale and
# DIR/150/ at 150% (QT_SCALE_FACTOR=1.5), where the fixed-size window grows with its fonts, and
# DIR/dark/ at the normal scale with a dark palette (ZYVORA_PALETTE=dark).
set -euo pipefail
dir="$(realpath -m "${1:-$(dirname "$0")/../screenshots}")"
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja >/dev/null
ninja -C build zyvora-configurator >/dev/null
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
for scale in 100 150; do
    factor="$(awk -v s="$scale" 'BEGIN { printf "%g", s / 100 }')"
    QT_SCALE_FACTOR="$factor" xvfb-run -a -s "-screen 0 1920x1200x24" \
        build/app/zyvora-configurator --screenshots "$dir/$scale"
done
ZYVORA_PALETTE=dark xvfb-run -a -s "-screen 0 1920x1200x24" build/app/zyvora-configurator --screenshots "$dir/dark"
echo "Pictures of every page are in $dir/100/ (100%), $dir/150/ (150%) and $dir/dark/ (dark palette)."
