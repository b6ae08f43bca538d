#include "lint.h"

#include <algorithm>
#include <map>
#include <optional>

// As the reader has it (settingsfile.cpp): texts are byte strings.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION  // the member templates live in the header
#include <SimpleIni.h>

#include "codecs.h"
#include "nearest.h"
#include "settingsfile.h"

namespace zyvora {

namespace {

// The INI library's own folding (ASCII letters only), so that a key matches here exactly when it
// matches in the reader.
std::string folded(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

struct KnownSection {
    std::string name;  // as the tables spell it
    std::vector<std::string> key_names;
    std::map<std::string, const Setting*> keys;  // folded name; null for the header's keys
};

std::map<std::string, KnownSection> known_sections(const Registry& registry) {
    std::map<std::string, KnownSection> known;
    const auto add = [&](const std::string& section, const std::string& key, const Setting* setting) {
        KnownSection& s = known[folded(section)];
        s.name = section;
        if (s.keys.emplace(folded(key), setting).second) s.key_names.push_back(key);
    };
    // The header that SettingsFile::write_header writes.
    for (const char* key : {"WARNING", "Application", "Version"}) add("!WARNING", key, nullptr);
    for (int row : registry.save_rows()) {
        const Setting& setting = registry.settings()[row];
        add(setting.key->section, setting.key->name, &setting);
    }
    return known;
}

// How many unknown names of one file get a "did you mean": a file of thousands of strange keys
// is no typing slip, and looking for each would only take time.
constexpr int kMostHints = 100;

std::string did_you_mean(const std::string& word, const std::vector<std::string>& names, const std::string& open,
                         const std::string& close, int& hints_left) {
    if (hints_left <= 0) return ".";
    --hints_left;
    const auto near = nearest(word, names);
    return near ? "; did you mean " + open + *near + close + "?" : ".";
}

// Names up to this many missing keys of a section in its warning; more are counted.
constexpr std::size_t kMostNamed = 5;

std::string missing_text(const std::string& section, const std::vector<const FileKey*>& lacked, std::size_t all) {
    if (lacked.size() == all) {
        return "[" + section + "] is missing; " +
               (all == 1 ? "its key reads as its default." : "its " + std::to_string(all) + " keys read as their defaults.");
    }
    std::string names;
    if (lacked.size() > kMostNamed) {
        names = std::to_string(lacked.size()) + " of its " + std::to_string(all) + " keys";
    } else {
        for (std::size_t i = 0; i < lacked.size(); ++i) {
            names += (i == 0 ? "" : i + 1 == lacked.size() ? " and " : ", ") + lacked[i]->name;
        }
    }
    return "[" + section + "] lacks " + names + (lacked.size() == 1 ? "; it reads as its default." : "; they read as their defaults.");
}

// What the reader makes of a key that is there: a text as read, or a number that is none.
std::optional<std::string> value_warning(const SettingsFile& reader, const Setting& setting, const std::string& prefix,
                                         const std::string& raw) {
    const FileKey& key = *setting.key;
    if (key.kind == KeyKind::Text) {
        return cut_text_warning(setting, prefix, reader.read_string(key.section, key.name, key.missing_text).size());
    }
    // Two different fallbacks give two different results exactly when the reader falls back.
    const std::int32_t value = reader.read_integer(key.section, key.name, 0);
    if (value == reader.read_integer(key.section, key.name, 1)) {
        return key.kind == KeyKind::Integer ? number_fit_warning(setting, prefix, value) : std::nullopt;
    }
    const int missing = key.kind == KeyKind::Boolean ? (key.missing_value != 0 ? 1 : 0) : key.missing_value;
    return prefix + "=" + raw + " is not an integer; it reads as " + std::to_string(missing) + ".";
}

}  // namespace

std::optional<std::string> cut_text_warning(const Setting& setting, const std::string& prefix, std::size_t length) {
    const auto kept = codec_ops(setting.field.codec).kept_length(setting.field);
    if (!kept || length <= *kept) return std::nullopt;
    return prefix + " is " + std::to_string(length) + " characters long; the device keeps the first " +
           std::to_string(*kept) + ".";
}

std::optional<std::string> number_fit_warning(const Setting& setting, const std::string& prefix, std::int32_t value) {
    const Field& f = setting.field;
    if (f.codec != Codec::Number || f.range_checked || (value >= f.lo && value <= f.hi)) return std::nullopt;
    return prefix + " " + std::to_string(value) + " does not fit the field (" + std::to_string(f.lo) + " - " +
           std::to_string(f.hi) + "): the device gets " + std::to_string(held_number(f, value)) + ".";
}

std::vector<LintWarning> lint_settings_file(const Registry& registry, std::string_view text) {
    std::vector<LintWarning> warnings;
    // Every occurrence of every key, as the reader's INI library parses the text, but keeping
    // the keys given more than once.
    CSimpleIniA all(false, true, false);
    SettingsFile reader;
    if (all.LoadData(text.data(), text.size()) < 0 || !reader.parse(text)) return warnings;
    const auto known = known_sections(registry);
    int hints_left = kMostHints;
    std::vector<std::string> section_names;
    for (const auto& [folded_name, section] : known) section_names.push_back(section.name);

    CSimpleIniA::TNamesDepend sections;
    all.GetAllSections(sections);
    sections.sort(CSimpleIniA::Entry::LoadOrder());
    for (const auto& section_entry : sections) {
        const std::string section = section_entry.pItem;
        CSimpleIniA::TNamesDepend keys;
        all.GetAllKeys(section.c_str(), keys);
        keys.sort(CSimpleIniA::Entry::LoadOrder());
        const auto found = known.find(folded(section));
        if (section.empty()) {
            for (const auto& key : keys) {
                warnings.push_back({section, key.pItem, std::string(key.pItem) + " is before the first section; it is not read."});
            }
            continue;
        }
        if (found == known.end()) {
            warnings.push_back({section, "", "[" + section + "] is not a known section" +
                                                 did_you_mean(section, section_names, "[", "]", hints_left)});
            continue;
        }
        const KnownSection& known_section = found->second;
        for (const auto& key_entry : keys) {
            const std::string key = key_entry.pItem;
            const std::string prefix = "[" + section + "] " + key;
            const auto setting = known_section.keys.find(folded(key));
            if (setting == known_section.keys.end()) {
                warnings.push_back(
                    {section, key, prefix + " is not a known key" + did_you_mean(key, known_section.key_names, "", "", hints_left)});
                continue;
            }
            CSimpleIniA::TNamesDepend values;
            all.GetAllValues(section.c_str(), key.c_str(), values);
            values.sort(CSimpleIniA::Entry::LoadOrder());
            const std::string last = values.back().pItem;
            if (values.size() > 1) {
                warnings.push_back({section, key, prefix + " is given " + std::to_string(values.size()) +
                                                      " times; the last (" + last + ") is read."});
            }
            if (!setting->second) continue;
            if (auto warning = value_warning(reader, *setting->second, prefix, last)) {
                warnings.push_back({section, key, std::move(*warning)});
            }
        }
    }
    for (LintWarning& w : missing_warnings(registry, text)) warnings.push_back(std::move(w));
    return warnings;
}

std::optional<std::size_t> key_line(std::string_view text, std::string_view section, std::string_view key) {
    // The INI library's reading of a line: blanks at the ends trimmed, ';' and '#' open a comment
    // line, "[name]" opens a section, "name=value" is a key; CR LF, LF and a lone CR end a line.
    const auto trimmed = [](std::string_view t) {
        const auto first = t.find_first_not_of(" \t");
        if (first == std::string_view::npos) return std::string_view();
        return t.substr(first, t.find_last_not_of(" \t") - first + 1);
    };
    const std::string wanted_section = folded(section), wanted_key = folded(key);
    std::optional<std::size_t> found;
    bool in_section = section.empty();  // the keys before the first section
    std::size_t number = 0;
    for (std::size_t from = 0; from < text.size();) {
        std::size_t end = text.find_first_of("\r\n", from);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = trimmed(text.substr(from, end - from));
        ++number;
        from = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            const auto close = line.find(']');
            in_section = close != std::string_view::npos && folded(trimmed(line.substr(1, close - 1))) == wanted_section;
            continue;
        }
        const auto equals = line.find('=');
        if (in_section && equals != std::string_view::npos && folded(trimmed(line.substr(0, equals))) == wanted_key) {
            found = number;
        }
    }
    return found;
}

std::vector<const FileKey*> missing_keys(const Registry& registry, std::string_view text) {
    std::vector<const FileKey*> missing;
    // Looked up as the reader looks them up.
    SettingsFile reader;
    if (!reader.parse(text)) return missing;
    for (int row : registry.save_rows()) {
        const FileKey& key = *registry.settings()[row].key;
        if (!reader.holds(key.section, key.name)) missing.push_back(&key);
    }
    return missing;
}

std::optional<LintWarning> partial_warning(const Registry& registry, std::string_view text) {
    const std::size_t lacked = missing_keys(registry, text).size(), all = registry.save_rows().size();
    if (lacked * 2 <= all) return std::nullopt;
    return LintWarning{"", "",
                       "the file looks partial: it lacks " + std::to_string(lacked) + " of the " + std::to_string(all) +
                           " settings, which read as their defaults; give --partial if it leaves them out on purpose.",
                       true};
}

std::vector<LintWarning> missing_warnings(const Registry& registry, std::string_view text) {
    return missing_warnings(registry, missing_keys(registry, text));
}

std::vector<LintWarning> missing_warnings(const Registry& registry, const std::vector<const FileKey*>& missing) {
    std::vector<LintWarning> warnings;
    if (missing.empty()) return warnings;
    // Sections in save order, each with its keys' count.
    std::vector<std::pair<std::string, std::size_t>> sections;
    for (int row : registry.save_rows()) {
        const std::string& section = registry.settings()[row].key->section;
        const auto at = std::find_if(sections.begin(), sections.end(), [&](const auto& s) { return s.first == section; });
        if (at == sections.end()) sections.emplace_back(section, 1);
        else ++at->second;
    }
    for (const auto& [section, all] : sections) {
        std::vector<const FileKey*> lacked;
        for (const FileKey* key : missing) {
            if (key->section == section) lacked.push_back(key);
        }
        if (!lacked.empty()) warnings.push_back({section, "", missing_text(section, lacked, all), true});
    }
    return warnings;
}

}  // namespace zyvora
