#pragma once
// The parts of the station book's file names, for other names made from a device: its serial
// number and the call sign of its settings.
#include <string>

#include "controls.h"

namespace zyvora {

// A device's text made fit to be a part of a file's name: no '/', no leading '.', no control bytes.
std::string file_name_part(const std::string& text);

// "OK1XYZ-9": the call sign and SSID the settings hold; empty when they hold no call sign.
std::string call_sign(const ControlStore& store);

}  // namespace zyvora
