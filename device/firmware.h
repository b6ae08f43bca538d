#pragma once
// The firmware image the configurator carries: embedded by the build (ZYVORA_FIRMWARE=path at
// configure time) or named at run time. Never made up: a wrong image can ruin a device.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "feedback.h"

namespace zyvora {

class FirmwareStore {
public:
    // The image embedded in this build, if any.
    static FirmwareStore embedded();
    // The image in `path` (`-`: standard input), read when loaded.
    static FirmwareStore from_file(std::string path);

    // This store's image as already read: loading it gives `bytes` without reading again, so
    // what a question named is what is sent even if the file changes meanwhile.
    FirmwareStore loaded(std::vector<std::uint8_t> bytes) const;

    bool carries_image() const;
    // The file's name as messages give it ("standard input" for `-`); nullopt for the image
    // built in.
    std::optional<std::string> file_name() const;
    // The image's bytes, or nullopt after showing that this build carries none and how to give
    // one, "Firmware resource not found (LoadResource)." and a line naming the file and the
    // system's reason (it cannot be read) or
    // "Firmware file too long." (above 497664 bytes) or "Firmware file is empty." in an
    // information box.
    std::optional<std::vector<std::uint8_t>> load(Feedback& feedback) const;

private:
    std::optional<std::string> path_;
    bool embedded_ = false;
    std::optional<std::vector<std::uint8_t>> bytes_;  // read before
};

}  // namespace zyvora
