#pragma once
// The area tables checked as a whole: every field in its own bytes inside the used region and off
// the frame, every row in each pass order once, every settings-file key once per section.
#include <string>
#include <vector>

#include "table.h"

namespace zyvora {

// Every fault in the layout of `areas` as the registry resolves them with these pass orders, one
// line each naming the area and the control ("radio/Ssid: ..."); empty when the tables are sound.
//
// A field owns the bytes its encode writes, whether or not the decode pass reads them back
// (`decoded == false`): flag-bit fields share a byte but own their bits; nothing else shares.
// A row without a field or without a key has nothing to encode or save and may be left out of
// that order; no order names a row twice.
std::vector<std::string> layout_problems(const std::vector<Area>& areas, const std::vector<std::string>& encode_areas,
                                         const std::vector<std::string>& save_areas);

}  // namespace zyvora
