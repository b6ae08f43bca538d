# The rule takes effect, or is taken back, for a device already attached once udev reads again.
if command -v udevadm >/dev/null 2>&1; then
    udevadm control --reload-rules && udevadm trigger --subsystem-match=hidraw || :
fi
