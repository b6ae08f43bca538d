#!/usr/bin/env bash
# Sets up, builds and starts the configurator. Without a display it runs the same job through
# the command line: the start-up settings saved, checked, encoded into an image and decoded back.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/app/zyvora-configurator "$@"
fi

echo "No display available: running the same job through the command line (zyvora-cli)."
cli=build/cli/zyvora-cli
mkdir -p out
set -x
"$cli" defaults out/zyvoraplus20.cfg
"$cli" check out/zyvoraplus20.cfg
"$cli" encode out/zyvoraplus20.cfg out/zyvoraplus20.bin
"$cli" decode out/zyvoraplus20.bin out/decoded.cfg
set +x
cmp -s out/zyvoraplus20.cfg out/decoded.cfg && echo "Settings file, image and decoded settings agree: see out/."
