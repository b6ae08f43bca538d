#pragma once
// The APRS-IS passcode: the public hash of a login's base call sign that servers check before they
// take packets from it.
#include <string>
#include <string_view>

namespace zyvora::aprs {

// The call sign without its SSID, in capitals ("sp5abc-10" -> "SP5ABC").
std::string base_call(std::string_view login);

// The passcode of `login`'s base call sign, 0 to 32767.
int passcode(std::string_view login);

}  // namespace zyvora::aprs
