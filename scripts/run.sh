#!/usr/bin/env bash
# Sets up, builds and starts the configurator on the simulated device, whose EEPROM is kept in
# out/. Without a display it runs the same job through the command line: the start-up settings
# saved, checked, encoded and decoded back, then written to the simulated device and read back.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build

mkdir -p out
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/app/zyvora-configurator --simulate=out/simulated-eeprom.bin "$@"
fi

echo "No display available: running the same job through the command line (zyvora-cli)."
cli=build/cli/zyvora-cli
device=(--device sim:out/simulated-eeprom.bin)
set -x
"$cli" defaults out/zyvoraplus20.cfg
"$cli" check out/zyvoraplus20.cfg
"$cli" encode out/zyvoraplus20.cfg out/zyvoraplus20.bin
"$cli" decode out/zyvoraplus20.bin out/decoded.cfg
"$cli" "${device[@]}" info
"$cli" "${device[@]}" write out/zyvoraplus20.cfg
"$cli" "${device[@]}" read out/read-back.cfg
set +x
# A decoded file shows what the image holds (call signs upper-cased, an empty path's SSID as 0),
# so the device's settings are compared with the local image decoded, not with the typed file.
if cmp -s out/decoded.cfg out/read-back.cfg; then
  echo "The simulated device gave back the settings written to it: out/read-back.cfg = out/decoded.cfg."
else
  echo "The settings read back differ from those written: compare out/decoded.cfg and out/read-back.cfg." >&2
  exit 1
fi
