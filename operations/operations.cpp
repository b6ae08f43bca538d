#include "operations.h"

#include <filesystem>

#include "files.h"
#include "intparse.h"
#include "passes.h"
#include "settingsfile.h"

namespace zyvora {

namespace {

void show_interlocks(const Registry& registry, ControlStore& store, Feedback& feedback) {
    for (const auto& text : registry.settle(store)) feedback.info(text);
}

}  // namespace

bool save_settings_file(const Registry& registry, const ControlStore& store, const std::string& path,
                        Feedback& feedback) {
    try {
        SettingsFile file;
        // Other sections and keys of an existing file are kept, so one we cannot read is not replaced.
        // A path the system refuses to look up (a name too long, say) cannot be written either.
        std::error_code lookup;
        const bool exists = std::filesystem::exists(path, lookup);
        if (lookup) throw WriteError(path);
        if (exists) {
            const auto existing = read_whole_file(path);
            if (!existing || !file.parse(*existing)) throw WriteError(path);
        }
        file.write_header();
        save(registry, store, file);
        write_whole_file(path, file.serialise());
        return true;
    } catch (const ConversionError& e) {
        feedback.error(e.what());
    } catch (const WriteError& e) {
        feedback.error(e.what());
    }
    return false;
}

bool read_settings_file(const Registry& registry, ControlStore& store, const std::string& path,
                        Feedback& feedback) {
    std::string reason;
    const auto text = read_whole_file(path, &reason);
    SettingsFile file;
    if (!text) {
        feedback.error("Unable to read " + path + ": " + reason);
        return false;
    }
    file.parse(*text);
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
    return true;
}

bool encode_settings(const Registry& registry, ControlStore& store, Image& image, Feedback& feedback, bool all,
                     const Clock& clock) {
    pc_time_fill_if_asked(store, clock);
    EncodeOptions options;
    options.all = all;
    const auto failures = encode(registry, store, image, options);
    for (const auto& failure : failures) {
        if (failure.conversion) feedback.error(failure.message);
        else feedback.info(failure.message);
    }
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
    std::string reason;
    const auto bytes = read_whole_file(path, &reason);
    if (!bytes) {
        feedback.error("Unable to read " + path + ": " + reason);
        return std::nullopt;
    }
    if (bytes->size() != kImageSize) {
        feedback.error(path + " is not a settings image: it holds " + std::to_string(bytes->size()) +
                       " bytes, an image holds " + std::to_string(kImageSize) + ".");
        return std::nullopt;
    }
    Image image;
    std::copy(bytes->begin(), bytes->end(), image.begin());
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
