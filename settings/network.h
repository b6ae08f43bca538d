#pragma once
// What other parts need to know of the Network page's settings.
#include <string>

#include "controls.h"

namespace zyvora {

// The device's own address as its settings give it: the "IP Address" octets as a dotted
// address, or empty when the device takes its address by DHCP.
std::string device_address(const ControlStore& store);

}  // namespace zyvora
