#include "settings_source.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "device_flows.h"
#include "files.h"
#include "image.h"
#include "intparse.h"
#include "nearest.h"
#include "operations.h"
#include "page_tree.h"
#include "position.h"
#include "passes.h"
#include "settingsfile.h"

namespace zyvora {

namespace {

bool same_folded(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The store's settings as a settings file holds them, in memory.
bool save_to(const Registry& registry, const ControlStore& store, SettingsFile& file, Feedback& feedback) {
    try {
        save(registry, store, file);
        return true;
    } catch (const ConversionError& e) {
        feedback.error(e.what());
        return false;
    }
}

}  // namespace

std::string setting_path(const Setting& setting) { return setting.key->section + "/" + setting.key->name; }

Result<int> find_setting(const Registry& registry, std::string_view name) {
    const auto& settings = registry.settings();
    const auto slash = name.find('/');
    std::vector<int> found;
    std::vector<std::string> paths, names;
    for (int row : registry.save_rows()) {
        const FileKey& key = *settings[row].key;
        const bool match = slash == std::string_view::npos
                               ? same_folded(name, key.name)
                               : same_folded(name.substr(0, slash), key.section) &&
                                     same_folded(name.substr(slash + 1), key.name);
        if (match) found.push_back(row);
        paths.push_back(setting_path(settings[row]));
        names.push_back(key.name);
    }
    if (found.size() == 1) return found.front();
    const std::string shown = printable(name);
    if (found.empty()) {
        // A bare name may also be a section and key with another separator.
        if (slash == std::string_view::npos) names.insert(names.end(), paths.begin(), paths.end());
        const auto hint = nearest(name, slash == std::string_view::npos ? names : paths);
        return Problem{"no setting has the key " + shown + (hint ? "; did you mean " + *hint + "?" : "")};
    }
    std::string why = "the key " + shown + " is in several sections:";
    for (int row : found) why += " " + setting_path(settings[row]);
    return Problem{why + "; give it as Section/Key"};
}

std::optional<std::vector<std::string>> file_values(const Registry& registry, const ControlStore& store,
                                                    Feedback& feedback) {
    SettingsFile file;
    if (!save_to(registry, store, file, feedback)) return std::nullopt;
    std::vector<std::string> values(registry.settings().size());
    for (int row : registry.save_rows()) {
        const FileKey& key = *registry.settings()[row].key;
        values[row] = file.read_string(key.section, key.name, "");
    }
    return values;
}

bool load_source(const std::string& source, DevicePort* port, const Registry& registry, ControlStore& store,
                 Feedback& feedback) {
    if (source == kDeviceSource) {
        Image incoming{};
        return port && read_config(*port, registry, store, incoming, feedback);
    }
    // An image is told by its size and its checksum, or by bytes no settings file holds; a
    // settings file of that size still reads as one.
    // Read once: standard input has no second reading.
    FileRead read = read_file(source, kSettingsFileLimit);
    if (read.bytes && read.bytes->size() == kImageSize) {
        Image image;
        std::copy(read.bytes->begin(), read.bytes->end(), image.begin());
        if (verify(image) || SettingsFile::nul_line(*read.bytes)) {
            return verify_and_decode(registry, store, image, feedback);
        }
    }
    return read_settings_file(registry, store, source, std::move(read), feedback);
}

bool reads_as_given(const Registry& registry, int row, const std::string& text) {
    // The reader's own conversion decides.
    return registry.settings()[row].key->kind == KeyKind::Text || SettingsFile::integer_value(text).has_value();
}

bool set_values(const Registry& registry, ControlStore& store, const std::vector<NewValue>& values,
                Feedback& feedback) {
    SettingsFile file;
    if (!save_to(registry, store, file, feedback)) return false;
    for (const NewValue& value : values) {
        const FileKey& key = *registry.settings()[value.row].key;
        const auto number = SettingsFile::integer_value(value.text);
        // A number as the reader would take it from the file, spaces and all.
        if (key.kind != KeyKind::Text && number) file.write_integer(key.section, key.name, *number);
        else file.write_string(key.section, key.name, value.text);
    }
    read(registry, store, file);
    for (const auto& text : registry.settle(store)) feedback.info(text);
    return true;
}

std::optional<ControlStore> as_device_holds(const Registry& registry, ControlStore& store, Feedback& feedback,
                                            const Clock& clock) {
    Image image{};
    if (!encode_settings(registry, store, image, feedback, false, clock)) return std::nullopt;
    SilentFeedback quiet;
    ControlStore held = start_up_store(registry, quiet, clock);
    if (!verify_and_decode(registry, held, image, feedback)) return std::nullopt;
    return held;
}

std::vector<SettingChange> changed_settings(const Registry& registry, const std::vector<std::string>& from,
                                            const std::vector<std::string>& to) {
    std::vector<SettingChange> changes;
    for (const int row : registry.save_rows()) {
        if (from[row] != to[row]) changes.push_back({row, from[row], to[row]});
    }
    return changes;
}

std::string setting_caption(const Setting& setting) {
    std::string caption = setting.control.caption;
    if (!caption.empty() && caption.back() == ':') caption.pop_back();
    return caption;
}

std::string shown_value(const Setting& setting, const std::string& value) {
    const ControlDecl& decl = setting.control;
    const KeyKind kind = setting.key ? setting.key->kind : KeyKind::Text;
    const auto number = SettingsFile::integer_value(value);
    if (decl.kind == ControlKind::Choice && kind == KeyKind::Index) {
        // The reader's conversion: what it cannot take, or an index past the items, selects nothing.
        if (number && *number >= 0 && static_cast<std::size_t>(*number) < decl.items.size()) return decl.items[*number];
        return "(nothing selected)";
    }
    if (kind == KeyKind::Check || kind == KeyKind::Boolean) return number.value_or(0) != 0 ? "ticked" : "not ticked";
    return value.empty() ? "(empty)" : value;
}

ShownChange shown_change(const Registry& registry, const SettingChange& change) {
    const Setting& setting = registry.settings()[change.row];
    return {page_caption(setting.control.page), row_and_name(setting.control), shown_value(setting, change.from),
            shown_value(setting, change.to), setting.control.secret};
}

std::vector<std::vector<ShownChange>> changes_by_page(const Registry& registry,
                                                      const std::vector<SettingChange>& changes) {
    std::vector<std::vector<ShownChange>> pages;
    for (const SettingChange& change : changes) {
        ShownChange shown = shown_change(registry, change);
        const auto same_page = [&](const auto& page) { return page.front().page == shown.page; };
        const auto found = std::find_if(pages.begin(), pages.end(), same_page);
        if (found == pages.end()) pages.push_back({std::move(shown)});
        else found->push_back(std::move(shown));
    }
    return pages;
}

std::string change_line(const Registry& registry, const SettingChange& change) {
    const Setting& setting = registry.settings()[change.row];
    std::string name = setting_caption(setting);
    if (!setting.control.member.empty()) name = row_and_name(setting.control);
    const KeyKind kind = setting.key->kind;
    const auto value = [&](const std::string& v) {
        if (kind == KeyKind::Text || kind == KeyKind::Integer) return printable(v);
        const std::string shown = printable(shown_value(setting, v));
        if (kind != KeyKind::Index) return printable(v) + " (" + shown + ")";
        return printable(v) + (shown.starts_with('(') ? " " + shown : " (\"" + shown + "\")");
    };
    return '[' + setting.key->section + "] " + setting.key->name + (name.empty() ? "" : " (" + name + ")") + ": " +
           value(change.from) + " -> " + value(change.to);
}

namespace {

bool is_latitude(Codec c) { return c == Codec::FixedLatitude || c == Codec::PackedLatitude; }
bool is_longitude(Codec c) { return c == Codec::FixedLongitude || c == Codec::PackedLongitude; }

// "The station position" for the station's own fields; "The RAD1 area point" for an area's
// ("Area RAD1 latitude" spoken).
std::string point_name(const Setting& latitude) {
    if (latitude.field.codec == Codec::FixedLatitude) return "The station position";
    std::string name = spoken_name(latitude.control);
    if (name.starts_with("Area ")) name.erase(0, 5);
    if (name.ends_with(" latitude")) name.resize(name.size() - 9);
    return "The " + name + " area point";
}

std::optional<aprs::Position> point_at(const std::vector<std::string>& values, int lat_row, int lon_row) {
    const auto lat = aprs::from_field(values[lat_row], aprs::Axis::latitude);
    const auto lon = aprs::from_field(values[lon_row], aprs::Axis::longitude);
    if (!lat || !lon) return std::nullopt;
    return aprs::Position{*lat, *lon};
}

std::string move_text(const std::string& name, double km, double bearing) {
    char distance[32];
    // A move within a kilometre is told in metres: "0.0 km" would hide it.
    if (km < 1) std::snprintf(distance, sizeof distance, "%.0f m", km * 1000);
    else std::snprintf(distance, sizeof distance, "%.1f km", km);
    const long degrees = std::lround(bearing) % 360;
    return name + " moves " + distance + " (bearing " + std::to_string(degrees) + "\u00b0).";
}

}  // namespace

std::vector<PointMove> point_moves(const Registry& registry, const std::vector<std::string>& from,
                                   const std::vector<std::string>& to) {
    std::vector<PointMove> moves;
    const auto& settings = registry.settings();
    const int count = static_cast<int>(std::min({settings.size(), from.size(), to.size()}));
    for (int lat = 0; lat + 1 < count; ++lat) {
        if (!is_latitude(settings[lat].field.codec)) continue;
        // The longitude follows its latitude in every table.
        const int lon = lat + 1;
        if (!is_longitude(settings[lon].field.codec)) continue;
        if (from[lat] == to[lat] && from[lon] == to[lon]) continue;
        const auto a = point_at(from, lat, lon);
        const auto b = point_at(to, lat, lon);
        if (!a || !b) continue;
        const double km = aprs::distance_km(*a, *b);
        const double bearing = aprs::bearing_degrees(*a, *b);
        moves.push_back({lat, km, bearing, move_text(point_name(settings[lat]), km, bearing)});
    }
    return moves;
}

std::optional<std::vector<std::string>> image_values(const Registry& registry, const Image& image) {
    // Whatever a decoding leaves untouched is the same start-up value on either side compared.
    SilentFeedback quiet;
    ControlStore store = start_up_store(registry, quiet);
    if (!verify_and_decode(registry, store, image, quiet)) return std::nullopt;
    return file_values(registry, store, quiet);
}

}  // namespace zyvora
