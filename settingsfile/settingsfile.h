#pragma once
// The settings file: Windows-style INI text, held in memory. Reading and writing the disk is the
// operations' job, so that a file is only ever replaced whole.
#include <memory>
#include <string>
#include <string_view>

#include "passes.h"

namespace zyvora {

constexpr std::string_view kApplicationName = "Zyvora Plus 2.0 Configurator";

class SettingsFile : public KeyWriter, public KeyReader {
public:
    SettingsFile();
    ~SettingsFile() override;
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    // Parses INI text; false when it cannot be parsed at all.
    bool parse(std::string_view text);
    // The whole file as text, sections and keys in the order they first appeared.
    std::string serialise() const;

    // The "!WARNING" header that opens every file.
    void write_header();

    void write_string(const std::string& section, const std::string& key, const std::string& value) override;
    void write_integer(const std::string& section, const std::string& key, std::int32_t value) override;
    void write_bool(const std::string& section, const std::string& key, bool value) override;

    std::string read_string(const std::string& section, const std::string& key, const std::string& missing) const override;
    // A value that is not an integer by the product's integer rules reads as `missing`.
    std::int32_t read_integer(const std::string& section, const std::string& key, std::int32_t missing) const override;
    bool read_bool(const std::string& section, const std::string& key, bool missing) const override;

private:
    struct Ini;
    std::unique_ptr<Ini> ini_;
};

}  // namespace zyvora
