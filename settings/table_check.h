#pragma once
// The area tables checked as a whole: every field in its own bytes inside the used region and off
// the frame, every row placed by the save order, every settings-file key once per section.
#include <string>
#include <vector>

#include "table.h"

namespace zyvora {

// Every fault in the layout of `areas`, one line each naming the area and the control
// ("radio/Ssid: ..."); empty when the tables are sound.
//
// A field owns the bytes its encode writes, whether or not the decode pass reads them back
// (`decoded == false`): flag-bit fields share a byte but own their bits; nothing else shares.
// The encode pass takes every row with a field once, in declaration order, by construction; the
// save pass takes every row with a key once unless its `saved_after` cannot be placed.
std::vector<std::string> layout_problems(const std::vector<Area>& areas);

}  // namespace zyvora
