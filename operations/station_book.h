#pragma once
// The station book: the settings every device held and was given, filed per device (its serial
// number) with the date, the call sign and the versions it reported, so that any of them can be
// compared or written back later. Each device's folder holds the entries' settings files and raw
// images, never replaced, and an index.json that is rebuilt from the files when it is damaged.
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "image.h"
#include "outcome.h"
#include "registry.h"

namespace zyvora {

// Why an entry was filed; `backup` is a file of the older backups folder, `unknown` an entry
// whose index was lost.
enum class EntryKind { read, before_write, written, before_firmware, backup, unknown };

// "read", "before-write", "written", "before-firmware", "backup", "unknown".
const char* kind_name(EntryKind kind);

// The device an entry is filed under, as far as it is known.
struct StationDevice {
    std::string serial_number;  // empty when the device gives none
    std::string path;
    std::optional<std::string> hardware;
    std::optional<std::uint32_t> firmware;
};

struct BookEntry {
    EntryKind kind = EntryKind::unknown;
    std::string date;                     // local time, "2026-12-11 14:03:22"
    std::string call;                     // "OK1XYZ-9"; empty when the image holds no settings
    std::optional<std::string> firmware;  // "1.13"
    std::optional<std::string> hardware;
    std::string station;                  // the device's folder name; empty for an older backup
    std::string cfg, bin;                 // the entry's files; empty when it has none of that kind
};

// $XDG_DATA_HOME/zyvora-configurator/stations; empty when the user has no data folder.
std::string station_book_folder();

// The folder a device's entries go to: its serial number or, without one, its hardware version
// and path, made safe as one file name.
std::string station_folder_name(const StationDevice& device);

// Files `image` under the device: its raw bytes, and a settings file when it verifies and decodes.
// The entry's files are new (a name already taken gets "_2", "_3", ...), readable by the owner
// only, and the folder's index is replaced whole. The problem names what could not be filed.
// `when` dates the entry.
Result<BookEntry> file_entry(const std::string& book, const StationDevice& device, EntryKind kind,
                             const Registry& registry, const Image& image, std::time_t when = std::time(nullptr));

struct BookListing {
    std::vector<BookEntry> entries;  // newest first
    std::vector<std::string> warnings;  // damaged indexes, unreadable folders
};

// Every entry of the book, and the files of the older backups folder (`backups`, may be empty).
BookListing book_entries(const std::string& book, const std::string& backups);

// Whether `entry` belongs to `who`: a device's serial number (or folder name), or a call sign,
// with or without its SSID; any case.
bool entry_matches(const BookEntry& entry, const std::string& who);

}  // namespace zyvora
