#pragma once
// The settings file: Windows-style INI text, held in memory. Reading and writing the disk is the
// operations' job, so that a file is only ever replaced whole.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "passes.h"

namespace zyvora {

constexpr std::string_view kApplicationName = "Zyvora Plus 2.0 Configurator";

class SettingsFile : public KeyWriter, public KeyReader {
public:
    SettingsFile();
    ~SettingsFile() override;
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    // Parses INI text; false when it cannot be parsed at all. Text that holds a NUL byte is
    // refused by the caller first (see nul_line), since everything after it would be lost.
    bool parse(std::string_view text);
    // The line (from 1) of the first NUL byte in `text`, if there is one.
    static std::optional<std::size_t> nul_line(std::string_view text);
    // The whole file as text, sections and keys in the order they first appeared.
    std::string serialise() const;

    // The "!WARNING" header that opens every file.
    void write_header();

    // A text that holds CR, LF or NUL (only an image or a device gives one) is written with
    // spaces in their place, so that it cannot end its line and start other keys; the key is
    // listed in replaced(). A text with spaces at its ends, or quotes at both, is written in
    // double quotes, which this reader and Windows INI readers both strip.
    void write_string(const std::string& section, const std::string& key, const std::string& value) override;
    void write_integer(const std::string& section, const std::string& key, std::int32_t value) override;
    void write_bool(const std::string& section, const std::string& key, bool value) override;

    std::string read_string(const std::string& section, const std::string& key, const std::string& missing) const override;
    // The integer a key's value gives, as the file spells it: the INI reader's trimming of white
    // space at its ends, then the configurator's integer rules; nullopt when it is none.
    static std::optional<std::int32_t> integer_value(std::string_view value);
    // A value that is not an integer by integer_value reads as `missing`.
    std::int32_t read_integer(const std::string& section, const std::string& key, std::int32_t missing) const override;
    bool read_bool(const std::string& section, const std::string& key, bool missing) const override;
    // Whether the file holds the key: the reader's other answer is the missing value.
    bool holds(const std::string& section, const std::string& key) const;
    // Whether the file holds the section, keys or none.
    bool has_section(const std::string& section) const;

    // "[Section] Key" of every text written with spaces for its line breaks or NUL bytes.
    const std::vector<std::string>& replaced() const { return replaced_; }

private:
    struct Ini;
    std::vector<std::string> replaced_;
    std::unique_ptr<Ini> ini_;
};

}  // namespace zyvora
