#include "setting_verbs.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <optional>

#include "command_line.h"
#include "console.h"
#include "files.h"
#include "lint.h"
#include "operations.h"
#include "position.h"
#include "settings_source.h"
#include "settingsfile.h"
#include "verbs.h"

namespace zyvora::cli {

namespace {

using Json = nlohmann::ordered_json;

// Standard output carries the values alone, and a device's status log (a line per page) is
// kept back unless the reading fails, when it tells why on standard error.
class HeldLog : public Feedback {
public:
    explicit HeldLog(Feedback& shown) : shown_(shown) {}
    void info(const std::string& text) override { shown_.info(text); }
    void captioned_info(const std::string& caption, const std::string& text) override {
        shown_.captioned_info(caption, text);
    }
    void message(const std::string& text) override { shown_.message(text); }
    void error(const std::string& text) override { shown_.error(text); }
    void log(const std::string& line) override { held_ += terminal_text(line) + '\n'; }
    void warning(const std::string& text) override { shown_.warning(text); }
    void progress_range(int minimum, int maximum) override { shown_.progress_range(minimum, maximum); }
    void progress_position(int position) override { shown_.progress_position(position); }
    int progress() const override { return shown_.progress(); }
    int interrupts() const override { return shown_.interrupts(); }

    // The log lines kept back, on standard error.
    void tell() {
        std::cerr << held_;
        held_.clear();
    }

private:
    Feedback& shown_;
    std::string held_;
};

// Loads a source, telling its log when it cannot be read.
bool loaded(const std::string& source, DevicePort* port, ControlStore& store, HeldLog& feedback) {
    if (load_source(source, port, Registry::instance(), store, feedback)) return true;
    feedback.tell();
    return false;
}

// A device's text need not be UTF-8; JSON must be, so such bytes become U+FFFD.
void print_json(const Json& document) {
    std::cout << document.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

// The row `name` names, in `row`; or the exit status of the usage error.
std::optional<int> look_up(const std::string& name, int& row) {
    const auto found = find_setting(Registry::instance(), name);
    if (!found) return refuse(found.message());
    row = *found;
    return std::nullopt;
}

int get_verb(const SettingVerbs& v, DevicePort* port, HeldLog& feedback) {
    const Registry& registry = Registry::instance();
    std::vector<int> rows(v.keys.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (const auto refused = look_up(v.keys[i], rows[i])) return *refused;
    }
    ControlStore store = start_up_store(registry, feedback);
    if (!loaded(v.source, port, store, feedback)) return 1;
    const auto values = file_values(registry, store, feedback);
    if (!values) return 1;
    Json document = Json::object();
    for (const int row : rows) {
        const std::string path = setting_path(registry.settings()[row]);
        if (v.json) document[path] = (*values)[row];
        else if (rows.size() == 1) std::cout << printable((*values)[row]) << '\n';
        else std::cout << path << '=' << printable((*values)[row]) << '\n';
    }
    if (v.json) print_json(document);
    return 0;
}

int set_verb(const SettingVerbs& v, Feedback& feedback) {
    const Registry& registry = Registry::instance();
    std::vector<NewValue> values;
    for (const std::string& assignment : v.assignments) {
        const auto equals = assignment.find('=');
        if (equals == std::string::npos) return refuse("set: expected KEY=VALUE, not " + printable(assignment));
        NewValue value{-1, assignment.substr(equals + 1)};
        if (const auto refused = look_up(assignment.substr(0, equals), value.row)) return *refused;
        const std::string path = setting_path(registry.settings()[value.row]);
        if (value.text.find_first_of("\r\n") != std::string::npos) {
            return refuse("set: the value of " + path + " holds a line break; a setting's value is one line");
        }
        if (!reads_as_given(registry, value.row, value.text)) {
            return refuse("set: " + path + " takes a whole number, not " + printable(value.text));
        }
        values.push_back(std::move(value));
    }
    // Held from reading the file to replacing it, so that a `set` running alongside waits and
    // keeps this one's change.
    const FileLock lock(v.output.empty() ? v.file : v.output);
    ControlStore store = start_up_store(registry, feedback);
    Image image{};
    std::string text;
    if (!read_settings_file(registry, store, v.file, feedback, &text)) return 1;
    // A file that lacks settings reads them as their defaults; saving it would make those its
    // own, unnoticed, unless the user says which they want.
    std::vector<const FileKey*> left_out;
    for (const FileKey* key : missing_keys(registry, text)) {
        const bool given = std::any_of(values.begin(), values.end(), [&](const NewValue& value) {
            return &*registry.settings()[value.row].key == key;
        });
        if (!given) left_out.push_back(key);
    }
    if (!left_out.empty() && !v.partial) {
        for (const LintWarning& w : missing_warnings(registry, left_out)) feedback.warning(w.text);
        if (!v.fill_defaults) {
            std::cerr << "zyvora-cli: set: " << input_name(v.file)
                      << " lacks settings; saving would write their defaults into it. Give --fill-defaults to save "
                         "them, or --partial to leave them out.\n";
            return 1;
        }
        left_out.clear();  // saved with their defaults
    }
    // The whole check runs before anything is written, so a failing one leaves every file as it was.
    if (!set_values(registry, store, values, feedback) || !encode_settings(registry, store, image, feedback)) {
        return 1;
    }
    // What `check` would warn of in the values given: a text the device keeps only part of, a
    // number it gets as another.
    for (const NewValue& value : values) {
        const Setting& setting = registry.settings()[value.row];
        const std::string prefix = "[" + setting.key->section + "] " + setting.key->name;
        if (auto cut = cut_text_warning(setting, prefix, store.text(setting.control.name).size())) feedback.warning(*cut);
        const auto number = SettingsFile::integer_value(value.text);
        if (!number || setting.key->kind != KeyKind::Integer) continue;
        if (auto wrapped = number_fit_warning(setting, prefix, *number)) feedback.warning(*wrapped);
    }
    return save_settings_file(registry, store, v.output.empty() ? v.file : v.output, feedback, left_out) ? 0 : 1;
}

// A source's settings as a device would hold them, by row as the settings file holds them;
// nullopt when it cannot be read or does not pass its checks.
std::optional<std::vector<std::string>> held_values(const std::string& source, DevicePort* port, const Clock& clock,
                                                    HeldLog& feedback) {
    const Registry& registry = Registry::instance();
    ControlStore store = start_up_store(registry, feedback, clock);
    if (!loaded(source, port, store, feedback)) {
        std::cerr << "zyvora-cli: diff: cannot read " << printable(source) << '\n';
        return std::nullopt;
    }
    const auto held = as_device_holds(registry, store, feedback, clock);
    if (!held) {
        std::cerr << "zyvora-cli: diff: " << printable(source) << " does not pass its checks\n";
        return std::nullopt;
    }
    return file_values(registry, *held, feedback);
}

int diff_verb(const SettingVerbs& v, DevicePort* port, HeldLog& feedback) {
    const Registry& registry = Registry::instance();
    // One clock for both sides: the date and time it fills are no setting of either.
    const LocalTime now = system_local_time();
    const Clock clock = [now] { return now; };
    const auto a = held_values(v.a, port, clock, feedback);
    if (!a) return 2;
    const auto b = held_values(v.b, port, clock, feedback);
    if (!b) return 2;
    Json differences = Json::array();
    const auto changes = changed_settings(registry, *a, *b);
    const bool same = changes.empty();
    for (const SettingChange& change : changes) {
        const Setting& setting = registry.settings()[change.row];
        const std::string caption = setting_caption(setting);
        if (v.json) {
            const ShownChange shown = shown_change(registry, change);
            const std::string& row = setting.control.member;
            differences.push_back({{"section", setting.key->section},
                                   {"key", setting.key->name},
                                   {"caption", caption.empty() ? Json() : Json(caption)},
                                   {"page", shown.page},
                                   {"row", row.empty() ? Json() : Json(row)},
                                   {"a", change.from},
                                   {"b", change.to},
                                   {"a_shown", shown.from},
                                   {"b_shown", shown.to}});
            continue;
        }
        std::cout << change_line(registry, change) << '\n';
    }
    // How far the points move is said beside the list, which stays one setting a line.
    Json moves = Json::array();
    for (const PointMove& move : point_moves(registry, *a, *b)) {
        if (!v.json) {
            std::cerr << move.text << '\n';
            continue;
        }
        moves.push_back({{"text", move.text},
                         {"metres", std::lround(move.km * 1000)},
                         {"bearing", std::lround(move.bearing) % 360}});
    }
    if (v.json) print_json({{"same", same}, {"differences", differences}, {"moves", moves}});
    return same ? 0 : 1;
}

}  // namespace

bool SettingVerbs::names_device() const {
    return source == kDeviceSource || a == kDeviceSource || b == kDeviceSource;
}

// --json given before the verb counts as given after it.
int run_get(VerbRun& run) {
    SettingVerbs v = run.line.setting_verbs;
    v.json = v.json || run.o.json;
    HeldLog feedback(run.feedback);
    return get_verb(v, run.device.port.get(), feedback);
}

int run_set(VerbRun& run) { return set_verb(run.line.setting_verbs, run.feedback); }

int run_diff(VerbRun& run) {
    SettingVerbs v = run.line.setting_verbs;
    v.json = v.json || run.o.json;
    HeldLog feedback(run.feedback);
    return diff_verb(v, run.device.port.get(), feedback);
}

// The lines a settings file holds for a position typed or pasted in any form people write one.
int run_position(VerbRun& run) {
    const SettingVerbs& v = run.line.setting_verbs;
    const auto reading = aprs::read_position(v.source, aprs::Axis::latitude);
    if (!reading) {
        return refuse("cannot read \"" + printable(v.source) + "\"" +
                      " as a position: give decimal degrees (52.3847, 16.9245), degrees, minutes and seconds "
                      "(52\u00b023'05\"N) or a Maidenhead locator (JO82kj)");
    }
    Json lines = Json::object();
    if (reading->latitude) lines["Latitude"] = aprs::field_text(*reading->latitude, aprs::Axis::latitude);
    if (reading->longitude) lines["Longitude"] = aprs::field_text(*reading->longitude, aprs::Axis::longitude);
    if (v.json || run.o.json) {
        print_json({{"kind", reading->kind}, {"settings", lines}});
        return 0;
    }
    for (const auto& [key, value] : lines.items()) std::cout << key << '=' << value.get<std::string>() << '\n';
    return 0;
}

}  // namespace zyvora::cli
