#include "firmware.h"

#include <cstdio>
#include <memory>

#include "firmware_embedded.h"
#include "report.h"

namespace zyvora {

namespace {

// Reads at most one byte more than the device takes, so an oversized file is refused without
// reading it whole.
std::optional<std::vector<std::uint8_t>> read_capped(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) return std::nullopt;
    std::vector<std::uint8_t> bytes(kFirmwareCapacity + 1);
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file.get());
    // A directory opens but does not read; that is a read error, not an empty image.
    if (std::ferror(file.get())) return std::nullopt;
    bytes.resize(got);
    return bytes;
}

}  // namespace

FirmwareStore FirmwareStore::embedded() {
    FirmwareStore store;
    store.embedded_ = true;
    return store;
}

FirmwareStore FirmwareStore::from_file(std::string path) {
    FirmwareStore store;
    store.path_ = std::move(path);
    return store;
}

bool FirmwareStore::carries_image() const { return path_.has_value() || (embedded_ && embedded_firmware()); }

std::optional<std::vector<std::uint8_t>> FirmwareStore::load(Feedback& feedback) const {
    std::vector<std::uint8_t> bytes;
    if (path_) {
        std::optional<std::vector<std::uint8_t>> read = read_capped(*path_);
        if (!read) {
            feedback.info("Firmware resource not found (LoadResource).");
            return std::nullopt;
        }
        bytes = std::move(*read);
    } else if (const std::optional<EmbeddedFirmware> image = embedded_ ? embedded_firmware() : std::nullopt) {
        bytes.assign(image->data, image->data + image->size);
    } else {
        feedback.info("This build carries no firmware image: give one with --firmware FILE, or build with -DZYVORA_FIRMWARE=path.");
        return std::nullopt;
    }
    // Nothing to send is no upgrade: the device would be left waiting for an image.
    if (bytes.empty()) {
        feedback.info("Firmware file is empty.");
        return std::nullopt;
    }
    if (bytes.size() > kFirmwareCapacity) {
        feedback.info("Firmware file too long.");
        return std::nullopt;
    }
    return bytes;
}

}  // namespace zyvora
