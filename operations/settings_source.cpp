#include "settings_source.h"

#include <algorithm>
#include <cctype>

#include "device_flows.h"
#include "files.h"
#include "image.h"
#include "intparse.h"
#include "nearest.h"
#include "operations.h"
#include "page_tree.h"
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

std::optional<std::vector<std::string>> image_values(const Registry& registry, const Image& image) {
    // Whatever a decoding leaves untouched is the same start-up value on either side compared.
    SilentFeedback quiet;
    ControlStore store = start_up_store(registry, quiet);
    if (!verify_and_decode(registry, store, image, quiet)) return std::nullopt;
    return file_values(registry, store, quiet);
}

}  // namespace zyvora
