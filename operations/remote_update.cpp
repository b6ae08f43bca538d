#include "remote_update.h"

#include <string_view>

#include "files.h"
#include "firmware_check.h"
#include "operations.h"

namespace zyvora {

namespace {

void show_destination_error(Feedback& feedback) { feedback.captioned_info(kDestinationErrorCaption, kDestinationError); }

}  // namespace

bool build_remote_update_file(const Registry& registry, ControlStore& store, Image& image,
                              const FirmwareStore& firmware, const DestinationChooser& choose_destination,
                              Feedback& feedback, const Clock& clock, const FillerSource& filler) {
    if (!encode_settings(registry, store, image, feedback, false, clock)) return false;
    const auto destination = choose_destination();
    if (!destination) return false;
    // Checked before the firmware is loaded, so the messages come in the order users know.
    if (!can_replace(*destination)) {
        show_destination_error(feedback);
        return false;
    }
    const auto firmware_image = checked_firmware(firmware, feedback);
    if (!firmware_image) return false;
    const auto package = build_package(image, *firmware_image, filler ? filler : time_seeded_filler());
    try {
        write_whole_file(*destination,
                         std::string_view(reinterpret_cast<const char*>(package.data()), package.size()));
    } catch (const WriteError&) {
        show_destination_error(feedback);
        return false;
    }
    return true;
}

bool build_remote_update_file(const Registry& registry, ControlStore& store, Image& image,
                              const FirmwareStore& firmware, const std::string& destination, Feedback& feedback,
                              const Clock& clock, const FillerSource& filler) {
    return build_remote_update_file(
        registry, store, image, firmware, [&] { return std::optional<std::string>(destination); }, feedback, clock,
        filler);
}

}  // namespace zyvora
