#pragma once
// The device command flows behind "Read config", "Write config" and "Upload firmware", and the
// version query of the CLI's `info`.
#include <functional>
#include <optional>
#include <string>

#include "clock.h"
#include "controls.h"
#include "feedback.h"
#include "firmware.h"
#include "image.h"
#include "outcome.h"
#include "registry.h"
#include "settings_source.h"
#include "station_book.h"
#include "transport.h"

namespace zyvora {

// Reads the device's image into `incoming`, verifies and decodes it into the controls, logs
// "Eeprom read success." and shows the versions, then files what was read in the station book
// `book` (none: not filed). The controls change only when the checksum and the version tag pass.
// An interrupt stops the transfer at once. A failure to file is a warning, never the read's.
bool read_config(DevicePort& port, const Registry& registry, ControlStore& store, Image& incoming,
                 Feedback& feedback, const std::optional<std::string>& book = station_book_folder());

// What a write would change on the device, as a settings file holds the values.
struct WritePreview {
    bool device_valid = false;           // false: the device holds no valid configuration
    std::vector<SettingChange> changes;  // in save order; none when the device is not valid
    std::vector<PointMove> moves;        // the points the changes move
};

// What "Write config" does besides writing.
struct WriteSafety {
    // Where the device's settings are kept before they are replaced; none: no backup; empty: no
    // folder was found for them, and the write is refused.
    std::optional<std::string> backups;
    bool verify = true;  // read the image back and compare it with what was sent
    // Asked with what the write will change, once the device's settings are read and before
    // anything is written or backed up; false leaves the device and the backups untouched.
    // Unset: no question, and the device is read first only for a backup.
    std::function<bool(const WritePreview&)> confirm = {};
    // Told the backup's file (the settings file, or the raw image) once it is kept, whatever
    // comes after.
    std::function<void(const std::string& file)> kept = {};
    // The station book: with a backup, the settings replaced are filed there too, and after a
    // write that succeeded, the settings written; none: nothing is filed. A failure to file is
    // a warning: the write goes on.
    std::optional<std::string> book;
};

// The name, without its extension, of a new backup in `folder`: the local date and time, so that
// they sort, and a number should two come in one second. Its ".cfg" is made at once, empty, so
// that two writes at once (two devices from one script) never share a name. The system's reason
// when the folder takes no new file.
Result<std::string> claim_backup_name(const std::string& folder);

// The backups and the station book in the user's data folder, and verify: what both front ends
// use unless told not to.
WriteSafety default_write_safety();

// Encodes the controls (after the PC time fill when asked) into `outgoing` and writes it to a
// device that reports the expected firmware version. Nothing touches the device when a check
// fails. Before the first page the device's settings are read and kept in the backup folder: the
// raw image always, and a settings file when they verify; after the last page the image is read back
// and compared. A first interrupt (Feedback::interrupts) is held and the operation completes; a
// second stops it at the next page.
bool write_config(DevicePort& port, const Registry& registry, ControlStore& store, Image& outgoing,
                  Feedback& feedback, const WriteSafety& safety, const Clock& clock = system_local_time);

// What write_config would change, without writing anything: the same checks, then the device's
// settings read and compared with the encoded controls (in `outgoing`). Nullopt when a check or
// the read fails, with the reason shown.
std::optional<WritePreview> preview_write(DevicePort& port, const Registry& registry, ControlStore& store,
                                          Image& outgoing, Feedback& feedback,
                                          const Clock& clock = system_local_time);

// Sends the carried firmware to the device, holding a first interrupt as "Write config" does.
// The device's settings are read first and filed in the station book `book` (none: neither read
// nor filed; a device that holds none, or cannot be read, is told and the upload goes on). After
// the last page the device is asked for its versions again: one that does not answer fails the
// operation. `enable_buttons(false)` before the upload and `enable_buttons(true)` after it,
// whatever the outcome.
bool upload_firmware_flow(DevicePort& port, const FirmwareStore& firmware, Feedback& feedback,
                          const std::function<void(bool)>& enable_buttons = {},
                          const std::optional<std::string>& book = station_book_folder());

// Opens the device and shows its firmware and hardware versions.
bool show_device_versions(DevicePort& port, Feedback& feedback);

// The start-up settings as a device fresh from the factory holds them.
Image factory_image(const Registry& registry);

}  // namespace zyvora
