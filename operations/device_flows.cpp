#include "device_flows.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>

#include "files.h"
#include "firmware_check.h"
#include "data_folders.h"
#include "link.h"
#include "operations.h"
#include "passes.h"
#include "transfers.h"

namespace zyvora {

// The transfers move the device's pages; a settings image is exactly those pages.
static_assert(kImageSize == kSettingsPages * kPageSize);

namespace {

std::string firmware_mismatch_message(std::optional<std::uint32_t> device) {
    // A device that does not answer the query shows as "unknown" rather than a made-up number.
    return "Uncompatible firmware version:\nDevice: " + (device ? firmware_version_text(*device) : "unknown") +
           "\nConfigurator: " + firmware_version_text(kExpectedFirmwareVersion) +
           "\n\nYou need to upload new firmware using \"Upload firmware\" button.";
}

constexpr int kPages = static_cast<int>(kSettingsPages);

// Pages of one operation that may span several transfers: counts them, and holds interrupts
// for a transfer that must not be left half done.
class TransferGuard {
public:
    TransferGuard(Feedback& feedback, int total_pages) : feedback_(feedback), total_(total_pages) {}

    // A read stops at the first interrupt: nothing it leaves behind is harmed.
    PageGate reading() {
        return [this](int) {
            ++done_;
            stopped_ = feedback_.interrupts() > 0;
            return !stopped_;
        };
    }

    // A write goes on after a first interrupt, saying how long it still takes; a second stops it
    // before `page`.
    PageGate holding(const std::string& what_is_written, const std::string& what_is_left) {
        return [this, what_is_written, what_is_left](int page) {
            ++done_;
            const int asked = feedback_.interrupts();
            if (asked >= 1 && !warned_) {
                warned_ = true;
                feedback_.log("Interrupted: " + what_is_written + "; stopping now would leave " + what_is_left +
                              ". This takes about " + std::to_string(seconds_left()) +
                              " s more. Interrupt again to stop at once and leave " + what_is_left + ".");
            }
            stopped_ = asked >= 2;
            if (stopped_) stopped_before_ = page;
            return !stopped_;
        };
    }

    bool stopped() const { return stopped_; }
    int stopped_before() const { return stopped_before_; }

private:
    long seconds_left() const {
        const auto elapsed = std::chrono::steady_clock::now() - started_;
        const auto per_page = elapsed / std::max(done_, 1);
        const auto left = per_page * std::max(total_ - done_, 0);
        return std::max<long>(1, static_cast<long>(std::chrono::ceil<std::chrono::seconds>(left).count()));
    }

    Feedback& feedback_;
    int total_;
    int done_ = 0;
    bool warned_ = false;
    bool stopped_ = false;
    int stopped_before_ = -1;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

// What was kept of the device's image before a write: a settings file, or only the raw image
// when it holds no valid settings.
struct Backup {
    std::string file;
    bool settings = false;
};

std::string restore_hint(const std::optional<Backup>& backup) {
    if (!backup) return {};
    const std::string file = printable(backup->file);
    if (!backup->settings) {
        return "\nThe device's previous image, which holds no valid settings, is kept in " + file + ".";
    }
    return "\nThe device's previous settings are saved in " + file + "; write that file to restore them.";
}

// Reads the device's settings before they are replaced, for a backup or to show what changes.
// False when the write must not go on.
bool read_before_write(DeviceLink& link, Image& current, const PageGate& hold, const TransferGuard& guard,
                       bool for_backup, Feedback& feedback) {
    if (read_settings(link, current, feedback, nullptr, hold)) return true;
    feedback.info(guard.stopped() ? "Write config stopped by an interrupt; nothing was written to the device."
                  : for_backup    ? "The device's settings could not be read for a backup, so nothing was "
                                    "written to the device."
                                  : "The device's settings could not be read to show what would change, so "
                                    "nothing was written to the device.");
    return false;
}

// Keeps the device's image, as read, in the backup folder: raw whatever it holds, since one of
// another version may be the user's last working configuration, and as a settings file when it
// decodes. False when the write must not go on: nothing could be kept, or the user interrupted.
bool back_up(const Registry& registry, const Image& current, const std::string& folder,
             std::optional<Backup>& saved, Feedback& feedback) {
    ControlStore previous = registry.make_store();
    const bool settings = verify(current) && !decode(registry, previous, current);
    std::string why;
    std::string base;
    if (folder.empty()) {
        feedback.error(
            "No folder for backups: neither XDG_DATA_HOME nor HOME names one, and the user has no home folder.");
    } else if (make_folders(folder, &why)) {
        auto claimed = claim_backup_name(folder);
        if (claimed) base = std::move(*claimed);
        else why = claimed.message();
    }
    const bool saved_cfg = settings && !base.empty() && save_settings_file(registry, previous, base + ".cfg", feedback);
    const bool saved_bin =
        (settings ? saved_cfg : !base.empty()) && write_image_file(current, base + ".bin", feedback);
    // The empty claim, or a settings file whose image could not be saved, is no backup; the raw
    // image, once written, keeps the name taken.
    if (!base.empty() && (!saved_cfg || !saved_bin)) std::remove((base + ".cfg").c_str());
    if (!saved_bin) {
        if (!why.empty()) feedback.error("Unable to write to " + printable(folder) + ": " + why);
        feedback.info("The backup of the device's settings could not be saved, so nothing was written to the device.");
        return false;
    }
    saved = settings ? Backup{base + ".cfg", true} : Backup{base + ".bin", false};
    feedback.outcome(settings ? "Backup of the device's settings: " + printable(saved->file)
                          : "The device holds no valid settings (erased, or of another firmware): its raw image is "
                            "kept in " + printable(saved->file) + ", with no settings file.");
    if (feedback.interrupts() > 1) {
        feedback.info("Write config stopped by an interrupt; nothing was written to the device.");
        return false;
    }
    return true;
}

// The device opened for a write, once the controls encode (into `outgoing`) and the device runs
// the firmware they are for; nullptr, with the reason shown, otherwise.
std::unique_ptr<Transport> open_to_write(DevicePort& port, const Registry& registry, ControlStore& store,
                                         Image& outgoing, Feedback& feedback, const Clock& clock) {
    if (!encode_settings(registry, store, outgoing, feedback, false, clock)) return nullptr;
    auto device = port.open(feedback);
    if (!device) return nullptr;
    const auto version = DeviceLink(*device).firmware_version();
    if (version != kExpectedFirmwareVersion) {
        feedback.info(firmware_mismatch_message(version));
        return nullptr;
    }
    return device;
}

// After the first page's write failed: whether the device may have taken it. Not when the request
// never went out, nor when the page reads back as the device held it before (`previous`, when
// it was read); a device that cannot tell may have.
bool first_page_taken(DeviceLink& link, const Image* previous) {
    if (!link.last_request_sent()) return false;
    if (!previous) return true;
    std::array<std::uint8_t, kPageSize> page{};
    if (!link.read_settings_page(0, page.data())) return true;
    return !std::equal(page.begin(), page.end(), previous->begin());
}

// What writing `outgoing` over the device's `current` image changes, compared as `diff` does.
WritePreview preview_of(const Registry& registry, const Image& current, const Image& outgoing) {
    WritePreview preview;
    const auto held = image_values(registry, current);
    const auto written = image_values(registry, outgoing);
    if (!held || !written) return preview;
    preview.device_valid = true;
    preview.changes = changed_settings(registry, *held, *written);
    preview.moves = point_moves(registry, *held, *written);
    return preview;
}

// Files `image` in the station book under the device `port` opened last; `link`, when open, is
// asked for the hardware version of a device without a serial number, which names its folder.
// A failure is a warning: the operation's own outcome stands.
std::optional<BookEntry> file_in_book(const std::optional<std::string>& book, DevicePort& port, DeviceLink* link,
                                      StationDevice device, EntryKind kind, const Registry& registry,
                                      const Image& image, Feedback& feedback) {
    if (!book) return std::nullopt;
    device.serial_number = port.serial_number();
    device.path = port.device_path();
    if (device.serial_number.empty() && !device.hardware && link) device.hardware = link->hardware_version();
    auto filed = file_entry(*book, device, kind, registry, image);
    if (!filed) {
        feedback.warning(filed.message() + "; the settings are not filed in the station book.");
        return std::nullopt;
    }
    return std::move(*filed);
}

StationDevice running(std::uint32_t firmware) { return StationDevice{{}, {}, std::nullopt, firmware}; }

// Before a firmware upload: the device's settings read and filed, whatever they are. False only
// when the user stopped the read, and nothing was sent.
bool keep_before_firmware(const std::string& book, DevicePort& port, DeviceLink& link, TransferGuard& guard,
                          Feedback& feedback) {
    StationDevice device;
    if (const auto versions = link.versions()) {
        device.firmware = versions->firmware;
        device.hardware = versions->hardware;
    }
    Image current{};
    if (!read_settings(link, current, feedback, nullptr, guard.reading())) {
        if (guard.stopped()) {
            feedback.info("Firmware upload stopped by an interrupt; nothing was sent to the device.");
            return false;
        }
        feedback.warning("The device's settings could not be read before the upload, so they are not filed in the "
                         "station book; the upload goes on.");
        return true;
    }
    const auto filed = file_in_book(book, port, &link, device, EntryKind::before_firmware, Registry::instance(), current,
                                    feedback);
    if (!filed) return true;
    feedback.outcome(filed->cfg.empty() ? "The device holds no valid settings (erased, or of another firmware): its "
                                          "raw image is kept in " + printable(filed->bin) + ", with no settings file."
                                        : "Backup of the device's settings: " + printable(filed->cfg));
    return true;
}

// After the last firmware page: the versions the device now reports, or the failure of a device
// that took the pages but does not answer.
bool prove_firmware(DevicePort& port, Feedback& feedback) {
    const auto device = port.open(feedback);
    const auto versions = device ? DeviceLink(*device).versions() : std::nullopt;
    if (!versions) {
        feedback.info("The firmware upload was sent, but the device does not answer: its versions could not be read "
                      "after the upload.");
        return false;
    }
    feedback.outcome("The device now reports firmware " + firmware_version_text(versions->firmware) + ", hardware " +
                     printable(versions->hardware) + ".");
    return true;
}

}  // namespace

Result<std::string> claim_backup_name(const std::string& folder) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
    // "_02" sorts after the plain stamp's ".cfg", as it came after it.
    for (int n = 1;; ++n) {
        char suffix[16] = "";
        if (n > 1) std::snprintf(suffix, sizeof suffix, "_%02d", n);
        const std::string base = folder + "/" + stamp + suffix;
        if (std::ifstream(base + ".bin")) continue;  // the half of an older backup
        bool taken = false;
        std::string why;
        if (claim_new_file(base + ".cfg", &taken, &why)) return base;
        if (!taken) return Problem{why, std::nullopt, folder};
    }
}

WriteSafety default_write_safety() {
    // No data folder: an empty one, which the backup refuses rather than write under `/`.
    const std::string home = data_home();
    return {home.empty() ? home : home + "/zyvora-configurator/backups", true, {}, {}, station_book_folder()};
}

bool read_config(DevicePort& port, const Registry& registry, ControlStore& store, Image& incoming,
                 Feedback& feedback, const std::optional<std::string>& book) {
    incoming.fill(0);
    int failed_page = -1;
    {
        const auto device = port.open(feedback);
        if (!device) return false;
        DeviceLink link(*device);
        TransferGuard guard(feedback, kPages);
        if (!read_settings(link, incoming, feedback, &failed_page, guard.reading()) && guard.stopped()) {
            feedback.outcome("Read config stopped by an interrupt.");
            return false;
        }
    }
    // The transfer's result is passed over unless the user stopped it: the settings lie in the
    // first 85 pages, so the checksum and end marker decide whether what was read is whole, and
    // pages lost after them are only told.
    if (!verify_and_decode(registry, store, incoming, feedback)) return false;
    feedback.log("Eeprom read success.");
    if (failed_page >= 0) {
        feedback.warning("Read config: page " + std::to_string(failed_page + 1) + "/" +
                         std::to_string(kSettingsPages) +
                         " and the pages after it could not be read; they lie after the settings, which were read whole.");
    }
    StationDevice device;
    if (const auto transport = port.open(feedback)) {
        DeviceLink link(*transport);
        DeviceVersions versions;
        if (show_versions(link, feedback, &versions)) {
            device.firmware = versions.firmware;
            device.hardware = versions.hardware;
        }
        file_in_book(book, port, &link, device, EntryKind::read, registry, incoming, feedback);
    } else {
        file_in_book(book, port, nullptr, device, EntryKind::read, registry, incoming, feedback);
    }
    return true;
}

bool write_config(DevicePort& port, const Registry& registry, ControlStore& store, Image& outgoing,
                  Feedback& feedback, const WriteSafety& safety, const Clock& clock) {
    const auto device = open_to_write(port, registry, store, outgoing, feedback, clock);
    if (!device) return false;
    DeviceLink link(*device);
    const bool reads_first = safety.backups || safety.confirm;
    TransferGuard guard(feedback, kPages * (1 + (reads_first ? 1 : 0) + (safety.verify ? 1 : 0)));
    // The whole operation holds a first interrupt: the user cannot tell its reading from its writing.
    const PageGate hold = guard.holding("the device is being written", "it with an incomplete configuration");
    Image current{};
    if (reads_first && !read_before_write(link, current, hold, guard, safety.backups.has_value(), feedback)) {
        return false;
    }
    // Asked before the backup, so that a write the user declines leaves no file behind.
    if (safety.confirm && !safety.confirm(preview_of(registry, current, outgoing))) {
        feedback.outcome("Write config cancelled: nothing was written to the device.");
        return false;
    }
    std::optional<Backup> backup;
    const bool backed_up = !safety.backups || back_up(registry, current, *safety.backups, backup, feedback);
    if (backup && safety.kept) safety.kept(backup->file);
    if (!backed_up) return false;
    // The device passed the version check, so it runs the firmware the settings are for.
    if (safety.backups) {
        file_in_book(safety.book, port, &link, running(kExpectedFirmwareVersion), EntryKind::before_write, registry,
                     current, feedback);
    }
    const auto written = [&] {
        file_in_book(safety.book, port, &link, running(kExpectedFirmwareVersion), EntryKind::written, registry,
                     outgoing, feedback);
        return true;
    };

    int attempted = -1;  // the last page the write went on to
    const PageGate counted = [&](int page) {
        attempted = page;
        return hold(page);
    };
    if (!write_settings(link, outgoing, feedback, counted)) {
        if (guard.stopped() && guard.stopped_before() == 0) {
            feedback.info("Write config stopped by an interrupt; nothing was written to the device, which still "
                          "holds its previous settings.");
        } else if (attempted == 0 && !first_page_taken(link, reads_first ? &current : nullptr)) {
            feedback.info("Write config failed at page 1/512; nothing was written to the device, which still holds "
                          "its previous settings.");
        } else {
            const std::string where = guard.stopped() ? "Write config stopped after page " +
                                                            std::to_string(guard.stopped_before()) + "/512"
                                                      : "Write config failed";
            feedback.info(where + ": the device holds an incomplete configuration. Write the settings to it again "
                                  "before it is used." + restore_hint(backup));
        }
        return false;
    }
    if (!safety.verify) return written();
    Image back{};
    int failed_page = -1;
    if (!read_settings(link, back, feedback, &failed_page, hold)) {
        feedback.info(guard.stopped() ? "Verify stopped: the settings were written but not read back to be compared."
                                      : "Verify failed: page " + std::to_string(failed_page + 1) +
                                            " could not be read back." + restore_hint(backup));
        return false;
    }
    const auto differs = std::mismatch(back.begin(), back.end(), outgoing.begin());
    if (differs.first != back.end()) {
        const auto page = static_cast<std::size_t>(differs.first - back.begin()) / kPageSize;
        // Counted from 1, as the log counts pages; the bytes are offsets in the image.
        feedback.info("Verify failed: page " + std::to_string(page + 1) + " (bytes " + std::to_string(page * kPageSize) +
                      " to " + std::to_string(page * kPageSize + kPageSize - 1) +
                      ") of the device does not hold what was written." + restore_hint(backup));
        return false;
    }
    feedback.outcome("Verify success: the device holds every byte that was written.");
    return written();
}

std::optional<WritePreview> preview_write(DevicePort& port, const Registry& registry, ControlStore& store,
                                          Image& outgoing, Feedback& feedback, const Clock& clock) {
    const auto device = open_to_write(port, registry, store, outgoing, feedback, clock);
    if (!device) return std::nullopt;
    DeviceLink link(*device);
    TransferGuard guard(feedback, kPages);
    Image current{};
    if (!read_settings(link, current, feedback, nullptr, guard.reading())) {
        feedback.info(guard.stopped() ? "Stopped by an interrupt; nothing was written to the device."
                                      : "The device's settings could not be read to show what would change; "
                                        "nothing was written to the device.");
        return std::nullopt;
    }
    return preview_of(registry, current, outgoing);
}

bool upload_firmware_flow(DevicePort& port, const FirmwareStore& firmware, Feedback& feedback,
                          const std::function<void(bool)>& enable_buttons, const std::optional<std::string>& book) {
    auto device = port.open(feedback);
    if (!device) return false;
    if (enable_buttons) enable_buttons(false);
    bool ok = false;
    if (const auto image = checked_firmware(firmware, feedback)) {
        DeviceLink link(*device);
        const int pages = static_cast<int>((image->size() + kPageSize - 1) / kPageSize);
        // Said before the first page: for standard input this is the first sight of its size.
        feedback.log(firmware_summary(firmware, image->size()));
        TransferGuard guard(feedback, pages + (book ? kPages : 0));
        if (!book || keep_before_firmware(*book, port, link, guard, feedback)) {
            ok = upload_firmware(link, *image, feedback,
                                 guard.holding("the firmware is being uploaded", "the device without working firmware"));
            if (guard.stopped()) {
                feedback.info("Firmware upload stopped after page " + std::to_string(guard.stopped_before()) + "/" +
                              std::to_string(pages) +
                              ": the device holds incomplete firmware. Upload the firmware again before it is used.");
            }
        }
        if (ok) {
            // The device may start its new firmware afresh: it is asked as a newly opened one.
            device.reset();
            ok = prove_firmware(port, feedback);
        }
    }
    if (enable_buttons) enable_buttons(true);
    return ok;
}

bool show_device_versions(DevicePort& port, Feedback& feedback) {
    const auto device = port.open(feedback);
    if (!device) return false;
    DeviceLink link(*device);
    return show_versions(link, feedback);
}

Image factory_image(const Registry& registry) {
    ControlStore store = registry.make_store();
    registry.settle(store);
    pc_time_fill(store, system_local_time());
    Image image{};
    encode(registry, store, image);
    return image;
}

}  // namespace zyvora
