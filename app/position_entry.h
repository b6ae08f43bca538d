#pragma once
// Latitude and longitude edits that take a position in any form people write one, and the small
// "Position" dialog that fills both edits of a point at once.
#include <functional>
#include <optional>
#include <string>

#include "controls.h"
#include "feedback.h"
#include "position.h"
#include "registry.h"

class QLineEdit;

namespace zyvora_app {

// Room for a pasted pair or degrees, minutes and seconds while they are typed; the field's own
// length still holds for what is written.
constexpr int kTypedPositionChars = 48;

// The axis of a latitude or longitude row; nullopt for any other row.
std::optional<zyvora::aprs::Axis> coordinate_axis(const zyvora::Setting& setting);

struct PositionEntry {
    const zyvora::Registry& registry;
    zyvora::ControlStore& store;
    zyvora::Feedback& feedback;
    // Puts a text into a control as the user's own edit would.
    std::function<void(int id, const std::string& text)> set;
};

// Converts the text of the coordinate edit of control `id` to the field's format when the edit
// is left (a pair fills its partner too), and adds the "Position" dialog to its context menu and
// to Ctrl+L.
void add_position_entry(QLineEdit* edit, int id, const PositionEntry& entry);

}  // namespace zyvora_app
