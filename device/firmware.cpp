#include "firmware.h"

#include "files.h"
#include "firmware_embedded.h"
#include "report.h"

namespace zyvora {

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

FirmwareStore FirmwareStore::loaded(std::vector<std::uint8_t> bytes) const {
    FirmwareStore store = *this;
    store.bytes_ = std::move(bytes);
    return store;
}

bool FirmwareStore::carries_image() const {
    return bytes_ || path_.has_value() || (embedded_ && embedded_firmware());
}

std::optional<std::string> FirmwareStore::file_name() const {
    if (!path_) return std::nullopt;
    return input_name(*path_);
}

std::optional<std::vector<std::uint8_t>> FirmwareStore::load(Feedback& feedback) const {
    std::vector<std::uint8_t> bytes;
    if (bytes_) {
        bytes = *bytes_;
    } else if (path_) {
        // One byte more than the device takes is enough to refuse a larger file unread.
        const FileRead read = read_file(*path_, kFirmwareCapacity);
        if (read.too_large) {
            feedback.info("Firmware file too long.");
            return std::nullopt;
        }
        if (!read.bytes) {
            feedback.info("Firmware resource not found (LoadResource).\n" + input_name(*path_) + ": " + read.reason);
            return std::nullopt;
        }
        bytes.assign(read.bytes->begin(), read.bytes->end());
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
