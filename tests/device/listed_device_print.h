#pragma once
// How a failing test shows a listed device: its three fields, not its bytes.
#include <ostream>

#include "hid.h"

namespace zyvora {

// Found by GoogleTest through argument-dependent lookup.
inline void PrintTo(const ListedDevice& d, std::ostream* out) {
    *out << '{' << d.path << " | " << d.serial_number << " | " << d.state << '}';
}

}  // namespace zyvora
