#include "check_verb.h"

#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "advice.h"
#include "files.h"
#include "lint.h"
#include "operations.h"
#include "page_tree.h"
#include "settings_source.h"

namespace zyvora::cli {

namespace {

using Json = nlohmann::ordered_json;  // the keys in the documented order

// What the read and encode passes would show, kept for the JSON document instead.
class KeptFeedback : public SilentFeedback {
public:
    void info(const std::string& text) override { texts.push_back(text); }
    void message(const std::string& text) override { texts.push_back(text); }
    void error(const std::string& text) override { texts.push_back(text); }
    void warning(const std::string& text) override { texts.push_back(text); }
    void log(const std::string& line) override { texts.push_back(line); }
    std::vector<std::string> texts;
};

// The row of a failing check's control, if the registry has it.
const Setting* failed_setting(const Registry& registry, const ControlStore& store, const Failure& failure) {
    const int row = store.id(failure.control);
    return row >= 0 ? &registry.settings()[row] : nullptr;
}

// The settings file key of a failing check's control, if it has one.
const FileKey* failed_key(const Registry& registry, const ControlStore& store, const Failure& failure) {
    const Setting* setting = failed_setting(registry, store, failure);
    return setting && setting->key ? &*setting->key : nullptr;
}

// A failing check with the control and its page, and where the control has one, its section, key
// and line.
Json failure_json(const Registry& registry, const ControlStore& store, const Failure& failure, std::string_view text) {
    Json entry = Json::object();
    const Setting* setting = failed_setting(registry, store, failure);
    if (const FileKey* key = setting && setting->key ? &*setting->key : nullptr) {
        entry["section"] = key->section;
        entry["key"] = key->name;
        if (const auto line = key_line(text, key->section, key->name)) entry["line"] = *line;
    }
    entry["control"] = failure.control;
    if (setting) entry["page"] = page_caption(setting->control.page);
    entry["text"] = failure.message;
    return entry;
}

void print_failure(const Registry& registry, const ControlStore& store, const Failure& failure,
                   const std::string& file, std::string_view text) {
    const FileKey* key = failed_key(registry, store, failure);
    const std::string where = key ? place(file, key_line(text, key->section, key->name)) + "[" + key->section +
                                        "] " + key->name + ": "
                                  : place(file, std::nullopt);
    std::cerr << terminal_text(where + failure.message) << '\n';
}

void print_warning(const LintWarning& warning, const std::string& file, std::string_view text) {
    const auto line = warning.key.empty() ? std::nullopt : key_line(text, warning.section, warning.key);
    std::cerr << terminal_text(place(file, line) + "warning: " + warning.text) << '\n';
}

// The setting advice is about as "[Section] Key", or the control's name where it has no key.
std::string advised_setting(const Registry& registry, const ControlStore& store, const aprs::Advice& advice) {
    const int row = store.id(advice.control);
    const Setting* setting = row >= 0 ? &registry.settings()[row] : nullptr;
    if (!setting || !setting->key) return advice.control;
    return "[" + setting->key->section + "] " + setting->key->name;
}

}  // namespace

std::string place(const std::string& file, std::optional<std::size_t> line) {
    return input_name(file) + (line ? ":" + std::to_string(*line) : std::string()) + ": ";
}

int check_verb(const Options& o, ControlStore& store, ConsoleFeedback& console) {
    const Registry& registry = Registry::instance();
    KeptFeedback kept;
    Feedback& feedback = o.json ? static_cast<Feedback&>(kept) : console;
    std::string text;
    bool ok = read_settings_file(registry, store, o.in, feedback, &text);

    std::vector<LintWarning> warnings;
    std::vector<Failure> failures;
    if (ok) warnings = lint_settings_file(registry, text);
    // A file partial on purpose: what it lacks is no surprise.
    const auto partial = ok && !o.partial ? partial_warning(registry, text) : std::nullopt;
    if (o.partial || partial) std::erase_if(warnings, [](const LintWarning& w) { return w.missing; });
    // A file that looks partial gets one line for what it lacks, not one for each section.
    if (partial) warnings.push_back(*partial);
    if (!o.json) {
        console.finish();  // the status log before the file's own messages
        for (const LintWarning& w : warnings) print_warning(w, o.in, text);
    }
    Image image{};
    if (ok) {
        failures = encode_failures(registry, store, image, o.all);
        ok = failures.empty();
    }
    if (!o.json) {
        for (const Failure& f : failures) print_failure(registry, store, f, o.in, text);
    }
    // Advice is about a whole station whose settings pass their checks (a partial file's defaults
    // are no one's choice); it never changes the outcome.
    std::vector<aprs::Advice> advice;
    if (ok && !o.partial && !partial) advice = aprs::station_advice(store, o.no_advice);
    if (!o.json) {
        for (const aprs::Advice& a : advice) {
            std::cerr << terminal_text("zyvora-cli: advice [" + a.id + "]: " + advised_setting(registry, store, a) +
                                       ": " + a.text)
                      << '\n';
        }
    }
    ok = ok && !(o.strict && !warnings.empty());

    if (o.json) {
        Json messages = Json::array(), warning_list = Json::array();
        for (const std::string& text : kept.texts) messages.push_back({{"text", text}});
        for (const Failure& f : failures) messages.push_back(failure_json(registry, store, f, text));
        for (const LintWarning& w : warnings) {
            Json entry = {{"section", w.section}};
            if (!w.key.empty()) {
                entry["key"] = w.key;
                if (const auto row = find_setting(registry, w.section + "/" + w.key)) {
                    entry["page"] = page_caption(registry.settings()[*row].control.page);
                }
            }
            entry["text"] = w.text;
            warning_list.push_back(entry);
        }
        Json advice_list = Json::array();
        for (const aprs::Advice& a : advice) {
            Json entry = {{"id", a.id}};
            const int row = store.id(a.control);
            if (row >= 0 && registry.settings()[row].key) {
                entry["section"] = registry.settings()[row].key->section;
                entry["key"] = registry.settings()[row].key->name;
                entry["page"] = page_caption(registry.settings()[row].control.page);
            }
            entry["text"] = a.text;
            advice_list.push_back(entry);
        }
        const Json document = {{"file", o.in},        {"ok", ok},
                               {"messages", messages}, {"warnings", warning_list},
                               {"advice", advice_list}};
        // A file's bytes need not be UTF-8; what is not shows as U+FFFD.
        std::cout << document.dump(2, ' ', false, Json::error_handler_t::replace) << '\n' << std::flush;
    }
    return ok ? 0 : 1;
}

}  // namespace zyvora::cli
