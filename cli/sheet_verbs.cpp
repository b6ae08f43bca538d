#include "sheet_verbs.h"

#include <iostream>
#include <optional>
#include <string_view>
#include <utility>

#include "check_verb.h"
#include "command_line.h"
#include "files.h"
#include "lint.h"
#include "operations.h"
#include "settings_source.h"
#include "settingsfile.h"
#include "station_sheet.h"
#include "verbs.h"

namespace zyvora::cli {

namespace {

// What reading a file would show, kept back: the reading of a partial file into start-up settings
// tells of interlocks that concern none of its keys, so only a failure's messages are shown.
class KeptFeedback : public SilentFeedback {
public:
    void info(const std::string& text) override { kept_.emplace_back(false, text); }
    void error(const std::string& text) override { kept_.emplace_back(true, text); }
    void show(Feedback& feedback) const {
        for (const auto& [error, text] : kept_) error ? feedback.error(text) : feedback.info(text);
    }

private:
    std::vector<std::pair<bool, std::string>> kept_;
};

void tell(const std::string& line) { std::cerr << terminal_text(line) << '\n'; }

// A partial file's settings and its text, or nullopt with the reason told.
struct Override {
    std::string file, text;
    std::vector<NewValue> values;
};

std::optional<Override> read_override(const Registry& registry, const std::string& file, Feedback& feedback) {
    Override o{file, {}, {}};
    KeptFeedback kept;
    ControlStore scratch = start_up_store(registry, kept);
    if (!read_settings_file(registry, scratch, file, kept, &o.text)) {
        kept.show(feedback);
        return std::nullopt;
    }
    // What the reader would not take as written is refused: an unknown name would be dropped and a
    // number that is none read as another, unnoticed in the station's file.
    SettingsFile reader;
    reader.parse(o.text);
    const auto as_given = [&](int row) {
        const FileKey& key = *registry.settings()[row].key;
        return reads_as_given(registry, row, reader.read_string(key.section, key.name, ""));
    };
    bool ok = true;
    for (const LintWarning& w : lint_settings_file(registry, o.text)) {
        if (w.missing) continue;
        const auto line = w.key.empty() ? std::nullopt : key_line(o.text, w.section, w.key);
        bool refused = w.section.empty() || w.key.empty();
        std::string text = w.text;
        if (!refused && w.section != "!WARNING") {
            const auto row = find_setting(registry, w.section + "/" + w.key);
            refused = !row;
            if (row && !as_given(*row)) {
                const FileKey& key = *registry.settings()[*row].key;
                // As `set` says it: the value is refused, not read as another.
                text = "[" + key.section + "] " + key.name + " takes a whole number, not " +
                       printable(reader.read_string(key.section, key.name, ""));
                refused = true;
            }
        }
        tell(place(file, line) + (refused ? "" : "warning: ") + text);
        ok = ok && !refused;
    }
    for (const int row : registry.save_rows()) {
        const FileKey& key = *registry.settings()[row].key;
        if (reader.holds(key.section, key.name)) o.values.push_back({row, reader.read_string(key.section, key.name, "")});
    }
    if (!ok) return std::nullopt;
    return o;
}

int apply_verb(const Options& o, const SheetVerbs& s, ConsoleFeedback& feedback) {
    const Registry& registry = Registry::instance();
    std::vector<Override> overrides;
    for (const std::string& file : s.overrides) {
        auto read = read_override(registry, file, feedback);
        if (!read) return 1;
        overrides.push_back(std::move(*read));
    }
    const FileLock lock(o.out);
    ControlStore store = start_up_store(registry, feedback);
    std::string base_text;
    if (!read_settings_file(registry, store, o.in, feedback, &base_text)) return 1;
    // What the base lacks is saved with its default, as encode would send it.
    for (const LintWarning& w : missing_warnings(registry, base_text)) feedback.warning(w.text);
    // Later files win: their values come later, and each row is named by the last file giving it.
    std::vector<NewValue> values;
    std::vector<const Override*> given_by(registry.settings().size(), nullptr);
    for (const Override& over : overrides) {
        values.insert(values.end(), over.values.begin(), over.values.end());
        for (const NewValue& value : over.values) given_by[value.row] = &over;
    }
    if (!set_values(registry, store, values, feedback)) return 1;
    // Every failing check, each at the file and line that gave its value, before anything is written.
    Image image{};
    const auto failures = encode_failures(registry, store, image, true);
    for (const Failure& f : failures) {
        const int row = store.id(f.control);
        const Setting* setting = row >= 0 ? &registry.settings()[row] : nullptr;
        if (!setting || !setting->key) {
            tell(place(o.in, std::nullopt) + f.message);
            continue;
        }
        const FileKey& key = *setting->key;
        const Override* over = given_by[row];
        const std::string& file = over ? over->file : o.in;
        const std::string_view text = over ? std::string_view(over->text) : std::string_view(base_text);
        tell(place(file, key_line(text, key.section, key.name)) + "[" + key.section + "] " + key.name + ": " + f.message);
    }
    if (!failures.empty()) return 1;
    return save_settings_file(registry, store, o.out, feedback) ? 0 : 1;
}

// The device's versions as "Read config" shows them, kept for the sheet as well.
class VersionsKept : public Feedback {
public:
    explicit VersionsKept(Feedback& shown) : shown_(shown) {}
    void info(const std::string& text) override { shown_.info(text); }
    void captioned_info(const std::string& caption, const std::string& text) override {
        shown_.captioned_info(caption, text);
    }
    void message(const std::string& text) override {
        // "Firmware version: 1.13\r\nHardware version: ..."
        for (std::size_t from = 0; from < text.size();) {
            std::size_t end = text.find("\r\n", from);
            if (end == std::string::npos) end = text.size();
            const std::string line = text.substr(from, end - from);
            if (const auto colon = line.find(": ");
                colon != std::string::npos && std::string_view(line).substr(0, colon).ends_with(" version")) {
                facts.emplace_back(line.substr(0, colon), line.substr(colon + 2));
            }
            from = end + 2;
        }
        shown_.message(text);
    }
    void error(const std::string& text) override { shown_.error(text); }
    void log(const std::string& line) override { shown_.log(line); }
    void warning(const std::string& text) override { shown_.warning(text); }
    void outcome(const std::string& line) override { shown_.outcome(line); }
    void progress_range(int minimum, int maximum) override { shown_.progress_range(minimum, maximum); }
    void progress_position(int position) override { shown_.progress_position(position); }
    int progress() const override { return shown_.progress(); }
    int interrupts() const override { return shown_.interrupts(); }

    SheetFacts facts;

private:
    Feedback& shown_;
};

int report_verb(const std::string& source, const Options& o, const SheetVerbs& s, DevicePort* port,
                Feedback& shown) {
    const Registry& registry = Registry::instance();
    VersionsKept feedback(shown);
    ControlStore store = start_up_store(registry, feedback);
    if (!load_source(source, port, registry, store, feedback)) return 1;
    const auto values = file_values(registry, store, feedback);
    if (!values) return 1;
    SheetFacts facts{{"Source", source == kDeviceSource ? "the device (" + o.device_text + ")" : input_name(source)}};
    facts.insert(facts.end(), feedback.facts.begin(), feedback.facts.end());
    facts.emplace_back("Date", sheet_date());
    const SheetOptions options{s.format == "markdown" ? SheetFormat::markdown : SheetFormat::html, s.show_passwords};
    try {
        write_whole_file(o.out, station_sheet(registry, *values, facts, options));
    } catch (const WriteError& e) {
        shown.error(e.what());
        return 1;
    }
    return 0;
}

}  // namespace

int run_apply(VerbRun& run) {
    if (apply_verb(run.o, run.line.sheet_verbs, run.feedback) == 0) return 0;
    tell("zyvora-cli: apply: " + output_name(run.o.out) + " not written");
    return 1;
}

int run_report(VerbRun& run) {
    return report_verb(run.line.setting_verbs.source, run.o, run.line.sheet_verbs, run.device.port.get(),
                       run.feedback);
}

}  // namespace zyvora::cli
