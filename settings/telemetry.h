#pragma once
// The "Default parameters" presets of the telemetry channels: start-up runs them, and so does
// each channel's button. Decoding an image or reading a settings file never does.
#include <string>

#include "controls.h"

namespace zyvora {

constexpr int kAnalogChannels = 5;
constexpr int kDigitalChannels = 8;

// The start of a channel's control names: "Teleanalog3_", "Teledigital3_".
std::string analog_prefix(int channel);
std::string digital_prefix(int channel);

// Name, unit and the three coefficients of analog channel 1..5 from the preset of its selected
// source; nothing changes while no source is selected.
void run_analog_preset(ControlStore& store, int channel);

// Name and label of digital channel 1..8 from the preset of its selected source, and "No" in
// its inverted choice; nothing changes while no source is selected.
void run_digital_preset(ControlStore& store, int channel);

}  // namespace zyvora
