#pragma once
// Single settings by their settings-file keys, and the sources a command line reads them from:
// a settings file, a settings image or the device.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "clock.h"
#include "controls.h"
#include "feedback.h"
#include "image.h"
#include "outcome.h"
#include "registry.h"
#include "transport.h"

namespace zyvora {

// The word that names the device as a source; a file of that name is given as ./device.
constexpr std::string_view kDeviceSource = "device";

// "Section/Key" as the settings tables spell it.
std::string setting_path(const Setting& setting);

// The row named by `name`: "Section/Key", or a key name that one section alone holds, either
// without regard to case. Otherwise nullopt, and `why` names the unknown key with the closest
// known one, or the sections an ambiguous key name is in.
Result<int> find_setting(const Registry& registry, std::string_view name);

// Every keyed row's value as a settings file holds it, indexed by row (empty for rows without a
// key); nullopt, with the error shown, when a number edit's text is not a whole number.
std::optional<std::vector<std::string>> file_values(const Registry& registry, const ControlStore& store,
                                                    Feedback& feedback);

// Loads `source` into `store`: the device behind `port` as "Read config" does, a settings image
// (a file of exactly one image's size that verifies, or that is no text) as "decode" does, or a
// settings file as "Read from file" does. False when it cannot, with the error shown.
bool load_source(const std::string& source, DevicePort* port, const Registry& registry, ControlStore& store,
                 Feedback& feedback);

// A value given for a row, as the settings-file reader would take it from the file.
struct NewValue {
    int row = -1;
    std::string text;
};

// Whether the settings-file reader takes `text` as it is for `row`: a number key needs a whole
// number, which it would otherwise read as the key's missing value.
bool reads_as_given(const Registry& registry, int row, const std::string& text);

// Sets the values through the settings-file reader (the other keys keep their values), then
// the settle step as after "Read from file". False, with the error shown, when the store's
// settings cannot be written as a settings file.
bool set_values(const Registry& registry, ControlStore& store, const std::vector<NewValue>& values,
                Feedback& feedback);

// The settings as a device holds them: `store` encoded (its checks shown) and decoded back into
// start-up settings; nullopt when a check fails. `clock` fills the clock, which no key holds.
std::optional<ControlStore> as_device_holds(const Registry& registry, ControlStore& store, Feedback& feedback,
                                            const Clock& clock);

// A setting in which two sources differ, with its values as a settings file holds them.
struct SettingChange {
    int row = -1;
    std::string from, to;
};

// The keyed settings in which `from` and `to` (file_values of each) differ, in save order.
std::vector<SettingChange> changed_settings(const Registry& registry, const std::vector<std::string>& from,
                                            const std::vector<std::string>& to);

// The control's caption without its closing colon; empty for a control without one.
std::string setting_caption(const Setting& setting);

// A value as a settings file holds it, as the window shows it: a choice's item text, "ticked" or
// "not ticked", "(empty)" for an empty text; otherwise the value itself.
std::string shown_value(const Setting& setting, const std::string& value);

// A change in the user's words: the page, the row and caption ("Path rule 3, Enable if") and
// both values as shown.
struct ShownChange {
    std::string page;  // "Digipeater / PATH filter rules"
    std::string name;
    std::string from, to;
    bool secret = false;  // a password, which a window shows hidden
};
ShownChange shown_change(const Registry& registry, const SettingChange& change);

// The changes grouped by page, the pages in the order their first change comes.
std::vector<std::vector<ShownChange>> changes_by_page(const Registry& registry,
                                                      const std::vector<SettingChange>& changes);

// "[Section] Key (Row, Caption): from -> to", a choice's or check box's values followed by what
// the window shows ("0 ("Never") -> 1 ("Always")"); escaped for a terminal.
std::string change_line(const Registry& registry, const SettingChange& change);

// A position setting pair (a latitude and its longitude) whose point two sources put apart.
struct PointMove {
    int latitude_row = -1;
    double km = 0;
    double bearing = 0;  // degrees from north, from the old point to the new
    std::string text;    // "The station position moves 20.3 km (bearing 270°)."
};

// How far each point moves between `from` and `to` (file_values of each): the station's
// position, the area filters' points. A point either side cannot read is left out.
std::vector<PointMove> point_moves(const Registry& registry, const std::vector<std::string>& from,
                                   const std::vector<std::string>& to);

// The settings of an image as a settings file holds them (file_values of its decoding); nullopt
// when the image does not verify.
std::optional<std::vector<std::string>> image_values(const Registry& registry, const Image& image);

}  // namespace zyvora
