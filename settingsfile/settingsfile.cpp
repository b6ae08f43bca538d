#include "settingsfile.h"

#include <algorithm>

// Texts are byte strings: values pass through unconverted and unvalidated.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION  // the member templates live in the header
#include <SimpleIni.h>

#include "image.h"
#include "intparse.h"

namespace zyvora {

struct SettingsFile::Ini : CSimpleIniA {
    Ini() : CSimpleIniA(false, false, false) {
        SetSpaces(false);  // key=value, as Windows programs write it
    }
};

SettingsFile::SettingsFile() : ini_(std::make_unique<Ini>()) {}

SettingsFile::~SettingsFile() = default;

namespace {

bool is_quote(char c) { return c == '"' || c == '\''; }

// Whether an INI reader would lose part of the value: it trims white space at the ends and
// strips one pair of enclosing quotes.
bool needs_quotes(std::string_view value) {
    if (value.empty()) return false;
    const auto space = [](char c) { return c == ' ' || c == '\t'; };
    return space(value.front()) || space(value.back()) ||
           (value.size() >= 2 && is_quote(value.front()) && value.back() == value.front());
}

std::string unquoted(std::string value) {
    if (value.size() >= 2 && is_quote(value.front()) && value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

std::optional<std::size_t> SettingsFile::nul_line(std::string_view text) {
    const auto at = text.find('\0');
    if (at == std::string_view::npos) return std::nullopt;
    return 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
}

bool SettingsFile::parse(std::string_view text) {
    ini_->Reset();
    return ini_->LoadData(text.data(), text.size()) >= 0;
}

std::string SettingsFile::serialise() const {
    std::string out;
    ini_->Save(out);
    return out;
}

void SettingsFile::write_header() {
    write_string("!WARNING", "WARNING",
                 "Please do not try to modify this file. It should be managed with Zyvora Plus 2.0 configurator program.");
    write_string("!WARNING", "Application", std::string(kApplicationName));
    write_string("!WARNING", "Version", std::string(kVersionTag));
}

void SettingsFile::write_string(const std::string& section, const std::string& key, const std::string& given) {
    std::string value = given;
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
        for (char& c : value) {
            if (c == '\r' || c == '\n' || c == '\0') c = ' ';
        }
        replaced_.push_back("[" + section + "] " + key);
    }
    if (needs_quotes(value)) value = '"' + value + '"';
    ini_->SetValue(section.c_str(), key.c_str(), value.c_str());
}

void SettingsFile::write_integer(const std::string& section, const std::string& key, std::int32_t value) {
    write_string(section, key, std::to_string(value));
}

void SettingsFile::write_bool(const std::string& section, const std::string& key, bool value) {
    write_string(section, key, value ? "1" : "0");
}

std::string SettingsFile::read_string(const std::string& section, const std::string& key,
                                      const std::string& missing) const {
    const char* value = ini_->GetValue(section.c_str(), key.c_str(), nullptr);
    return value ? unquoted(value) : missing;
}

std::int32_t SettingsFile::read_integer(const std::string& section, const std::string& key, std::int32_t missing) const {
    const char* value = ini_->GetValue(section.c_str(), key.c_str(), nullptr);
    if (!value) return missing;
    return integer_value(value).value_or(missing);
}

std::optional<std::int32_t> SettingsFile::integer_value(std::string_view value) {
    constexpr std::string_view kSpace = " \t\r\n";  // what the INI library trims
    const auto first = value.find_first_not_of(kSpace);
    if (first == std::string_view::npos) return try_parse_int("");
    return try_parse_int(value.substr(first, value.find_last_not_of(kSpace) - first + 1));
}

bool SettingsFile::holds(const std::string& section, const std::string& key) const {
    return ini_->GetValue(section.c_str(), key.c_str(), nullptr) != nullptr;
}

bool SettingsFile::has_section(const std::string& section) const { return ini_->GetSection(section.c_str()) != nullptr; }

bool SettingsFile::read_bool(const std::string& section, const std::string& key, bool missing) const {
    return read_integer(section, key, missing ? 1 : 0) != 0;
}

}  // namespace zyvora
