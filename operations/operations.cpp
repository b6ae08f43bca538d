#include "operations.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "files.h"
#include "outcome.h"
#include "intparse.h"
#include "passes.h"
#include "settingsfile.h"

namespace zyvora {

namespace {

void show_interlocks(const Registry& registry, ControlStore& store, Feedback& feedback) {
    for (const auto& text : registry.settle(store)) feedback.info(text);
}

}  // namespace

namespace {

// The text of the settings file at `path`, as `read` from it; a problem when it is too large,
// holds a NUL byte, or could not be read.
Result<std::string> settings_text(const std::string& path, FileRead read) {
    const std::string name = input_name(path);
    const auto refused = [&](std::string message) { return Problem{std::move(message), std::nullopt, path}; };
    if (read.too_large) {
        return refused(name + " is not a settings file: it holds more than " + std::to_string(kSettingsFileLimit) +
                       " bytes (1 MiB), the most a settings file holds.");
    }
    if (!read.bytes) return refused("Unable to read " + name + ": " + read.reason);
    if (const auto line = SettingsFile::nul_line(*read.bytes)) {
        return refused(name + " is not a settings file: line " + std::to_string(*line) + " holds a NUL byte.");
    }
    return std::move(*read.bytes);
}

// Whether a file parsed into `file` from `text` may be saved into: blank, or holding the header
// or a section of the settings (a user's own sections may come first). A notes file, a script
// or another program's INI file is no settings file to merge into.
bool holds_settings(const Registry& registry, const SettingsFile& file, std::string_view text) {
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos || file.has_section("!WARNING")) return true;
    const auto& rows = registry.save_rows();
    return std::any_of(rows.begin(), rows.end(),
                       [&](int row) { return file.has_section(registry.settings()[row].key->section); });
}

Result<std::string> settings_text(const std::string& path) {
    return settings_text(path, read_file(path, kSettingsFileLimit));
}

}  // namespace

namespace {

// Writes to `file` all but the keys of `left_out` that hold what reading them missing gives
// (and that the file does not hold already, with some other value).
class LeavingOut : public KeyWriter {
public:
    LeavingOut(SettingsFile& file, const std::vector<const FileKey*>& left_out) : file_(file), left_out_(left_out) {}
    void write_string(const std::string& section, const std::string& key, const std::string& value) override {
        const FileKey* k = left(section, key);
        if (!k || value != k->missing_text || file_.holds(section, key)) file_.write_string(section, key, value);
    }
    void write_integer(const std::string& section, const std::string& key, std::int32_t value) override {
        const FileKey* k = left(section, key);
        if (!k || value != k->missing_value || file_.holds(section, key)) file_.write_integer(section, key, value);
    }
    void write_bool(const std::string& section, const std::string& key, bool value) override {
        const FileKey* k = left(section, key);
        if (!k || value != (k->missing_value != 0) || file_.holds(section, key)) file_.write_bool(section, key, value);
    }

private:
    const FileKey* left(const std::string& section, const std::string& key) const {
        for (const FileKey* k : left_out_) {
            if (k->section == section && k->name == key) return k;
        }
        return nullptr;
    }
    SettingsFile& file_;
    const std::vector<const FileKey*>& left_out_;
};

}  // namespace

bool save_settings_file(const Registry& registry, const ControlStore& store, const std::string& path,
                        Feedback& feedback, const std::vector<const FileKey*>& left_out) {
    try {
        // One writer at a time, from reading what is kept to the replacement.
        const FileLock lock(path);
        SettingsFile file;
        // Other sections and keys of an existing file are kept, so one we cannot read whole is
        // not replaced. A path the system refuses to look up (a name too long, say) cannot be
        // written either. A pipe, a terminal or a device is only written: reading it first could
        // wait for ever.
        std::error_code lookup;
        const auto found = path == kStandardStream ? std::filesystem::file_status(std::filesystem::file_type::not_found)
                                                   : std::filesystem::status(path, lookup);
        if (found.type() == std::filesystem::file_type::not_found) lookup.clear();
        const bool exists = std::filesystem::is_regular_file(found);
        if (lookup) throw WriteError(path);
        if (exists) {
            const auto existing = settings_text(path);
            if (!existing || !file.parse(*existing)) throw WriteError(path);
            if (!holds_settings(registry, file, *existing)) {
                feedback.error(input_name(path) +
                               " is not a settings file: it holds no [!WARNING] section and no section of the "
                               "settings; it is left as it was.");
                return false;
            }
        }
        file.write_header();
        LeavingOut writer(file, left_out);
        save(registry, store, writer);
        write_whole_file(path, file.serialise());
        for (const auto& key : file.replaced()) {
            feedback.warning(key + ": line breaks and NUL bytes saved as spaces.");
        }
        return true;
    } catch (const ConversionError& e) {
        feedback.error(e.what());
    } catch (const WriteError& e) {
        feedback.error(e.what());
    }
    return false;
}

bool read_settings_file(const Registry& registry, ControlStore& store, const std::string& path,
                        Feedback& feedback, std::string* text_read) {
    return read_settings_file(registry, store, path, read_file(path, kSettingsFileLimit), feedback, text_read);
}

bool read_settings_file(const Registry& registry, ControlStore& store, const std::string& path, FileRead content,
                        Feedback& feedback, std::string* text_read) {
    const auto text = settings_text(path, std::move(content));
    SettingsFile file;
    if (!text) {
        feedback.error(text.message());
        return false;
    }
    if (!file.parse(*text)) {
        feedback.error("Unable to read " + input_name(path) + ": " + std::strerror(ENOMEM));
        return false;
    }
    if (file.read_string("!WARNING", "Application", "unknown") != kApplicationName) {
        feedback.info("Imported configuration file is not a Zyvora Plus 2.0 configuration file. \nOperation aborted.");
        return false;
    }
    if (file.read_string("!WARNING", "Version", "unknown") != kVersionTag) {
        feedback.info(
            "Imported configuration file version is different than your current application version. \n"
            "Please double-check configuration fields after import. \n"
            "Some configuration fields my change between firmware versions.");
    }
    read(registry, store, file);
    show_interlocks(registry, store, feedback);
    // Standard input reads once: a caller that wants the text again gets it here.
    if (text_read) *text_read = *text;
    return true;
}

std::vector<Failure> encode_failures(const Registry& registry, ControlStore& store, Image& image, bool all,
                                     const Clock& clock) {
    pc_time_fill_if_asked(store, clock);
    EncodeOptions options;
    options.all = all;
    return encode(registry, store, image, options);
}

bool encode_settings(const Registry& registry, ControlStore& store, Image& image, Feedback& feedback, bool all,
                     const Clock& clock) {
    const auto failures = encode_failures(registry, store, image, all, clock);
    for (const auto& failure : failures) {
        if (failure.conversion) feedback.error(failure.message);
        else feedback.info(failure.message);
    }
    if (!failures.empty()) feedback.failed_setting(failures.front().control);
    return failures.empty();
}

bool verify_and_decode(const Registry& registry, ControlStore& store, const Image& image, Feedback& feedback) {
    if (!verify(image)) {
        feedback.log("Eeprom checksum error. Please reload configuration.");
        return false;
    }
    if (const auto mismatch = decode(registry, store, image)) {
        feedback.info(*mismatch);
        feedback.log("Eeprom read error. Please reload configuration.");
        return false;
    }
    return true;
}

std::optional<Image> read_image_file(const std::string& path, Feedback& feedback) {
    // One byte past the image is enough to know the file is not one.
    const FileRead read = read_file(path, kImageSize);
    const std::string name = input_name(path);
    if (read.too_large) {
        feedback.error(name + " is not a settings image: it holds more than " + std::to_string(kImageSize) +
                       " bytes, an image holds " + std::to_string(kImageSize) + ".");
        return std::nullopt;
    }
    if (!read.bytes) {
        feedback.error("Unable to read " + name + ": " + read.reason);
        return std::nullopt;
    }
    const std::string& bytes = *read.bytes;
    if (bytes.size() != kImageSize) {
        feedback.error(name + " is not a settings image: it holds " + std::to_string(bytes.size()) +
                       " bytes, an image holds " + std::to_string(kImageSize) + ".");
        return std::nullopt;
    }
    Image image;
    std::copy(bytes.begin(), bytes.end(), image.begin());
    return image;
}

bool write_image_file(const Image& image, const std::string& path, Feedback& feedback) {
    try {
        write_whole_file(path, std::string_view(reinterpret_cast<const char*>(image.data()), image.size()));
        return true;
    } catch (const WriteError& e) {
        feedback.error(e.what());
        return false;
    }
}

ControlStore start_up_store(const Registry& registry, Feedback& feedback, const Clock& clock) {
    ControlStore store = registry.make_store();
    show_interlocks(registry, store, feedback);
    pc_time_fill(store, clock());
    return store;
}

}  // namespace zyvora
