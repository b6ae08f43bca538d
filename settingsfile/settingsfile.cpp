#include "settingsfile.h"

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

void SettingsFile::write_string(const std::string& section, const std::string& key, const std::string& value) {
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
    return value ? std::string(value) : missing;
}

std::int32_t SettingsFile::read_integer(const std::string& section, const std::string& key, std::int32_t missing) const {
    const char* value = ini_->GetValue(section.c_str(), key.c_str(), nullptr);
    if (!value) return missing;
    return try_parse_int(value).value_or(missing);
}

bool SettingsFile::read_bool(const std::string& section, const std::string& key, bool missing) const {
    return read_integer(section, key, missing ? 1 : 0) != 0;
}

}  // namespace zyvora
