#include "station_book.h"
#include "station_names.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <map>
#include <regex>

#include "data_folders.h"
#include "files.h"
#include "intparse.h"
#include "passes.h"
#include "report.h"
#include "settingsfile.h"
#include "unique_fd.h"

namespace zyvora {

namespace {

namespace fs = std::filesystem;

constexpr const char* kIndexName = "index.json";
// An index larger than this was not written by us.
constexpr std::size_t kIndexLimit = std::size_t{16} << 20;

// A text as one file name: letters, digits, '.', '-' kept, anything else '_'; never hidden, never
// empty, and short enough for any file system.
std::string safe_name(const std::string& text) {
    std::string name;
    for (const unsigned char c : text.substr(0, 100)) {
        name += std::isalnum(c) || c == '.' || c == '-' ? static_cast<char>(c) : '_';
    }
    if (name.empty() || name[0] == '.') name.insert(name.begin(), '_');
    return name;
}

// "OK1XYZ-9" as a part of an entry's name: no '_', which separates the parts.
std::string call_part(const std::string& call) {
    std::string part;
    for (const unsigned char c : call.substr(0, 40)) part += std::isalnum(c) || c == '-' ? static_cast<char>(c) : '-';
    return part;
}

std::string call_of(const std::string& callsign, const std::string& ssid) {
    return callsign.empty() ? std::string() : callsign + "-" + (ssid.empty() ? "0" : ssid);
}

std::string format_time(std::time_t now, const char* format) {
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

bool all_digits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// What an entry's name tells: "2026-12-11_14-03-22[_CALL][_N]" gives its date, call sign and
// number among those of one second; nullopt for a name of another kind.
struct NameParts {
    std::string date, call;
    int number = 1;
};

std::optional<NameParts> parse_name(const std::string& stem) {
    std::vector<std::string> parts;
    for (std::size_t from = 0;;) {
        const std::size_t at = stem.find('_', from);
        parts.push_back(stem.substr(from, at - from));
        if (at == std::string::npos) break;
        from = at + 1;
    }
    const auto shaped = [](const std::string& text, char dash) {
        return text.size() >= 8 && std::all_of(text.begin(), text.end(), [&](unsigned char c) { return std::isdigit(c) || c == dash; });
    };
    if (parts.size() < 2 || parts.size() > 4 || parts[0].size() != 10 || parts[1].size() != 8 || !shaped(parts[0], '-') ||
        !shaped(parts[1], '-')) {
        return std::nullopt;
    }
    NameParts found;
    std::string time = parts[1];
    std::replace(time.begin(), time.end(), '-', ':');
    found.date = parts[0] + " " + time;
    std::size_t next = 2;
    // A call sign always holds its "-SSID"; a number never holds a dash.
    if (next < parts.size() && !all_digits(parts[next])) found.call = parts[next++];
    if (next < parts.size()) {
        if (!all_digits(parts[next]) || parts[next].size() > 6) return std::nullopt;
        found.number = std::stoi(parts[next++]);
    }
    if (next != parts.size()) return std::nullopt;
    return found;
}

// The entries' files in `folder`, by name without extension.
std::map<std::string, std::pair<bool, bool>> entry_files(const std::string& folder) {
    std::map<std::string, std::pair<bool, bool>> files;  // stem: has .cfg, has .bin
    std::error_code error;
    for (const auto& item : fs::directory_iterator(folder, error)) {
        const std::string ext = item.path().extension().string();
        if ((ext != ".cfg" && ext != ".bin") || !item.is_regular_file(error)) continue;
        const std::string stem = item.path().stem().string();
        if (!parse_name(stem)) continue;
        (ext == ".cfg" ? files[stem].first : files[stem].second) = true;
    }
    return files;
}

// Stems in filing order: by date, then by their number within the second.
std::vector<std::string> filing_order(const std::map<std::string, std::pair<bool, bool>>& files) {
    std::vector<std::pair<NameParts, std::string>> named;
    for (const auto& [stem, has] : files) named.emplace_back(*parse_name(stem), stem);
    std::stable_sort(named.begin(), named.end(), [](const auto& a, const auto& b) {
        return a.first.date != b.first.date ? a.first.date < b.first.date : a.first.number < b.first.number;
    });
    std::vector<std::string> stems;
    for (const auto& [parts, stem] : named) stems.push_back(stem);
    return stems;
}

BookEntry entry_from_name(const std::string& folder, const std::string& station, const std::string& stem,
                          std::pair<bool, bool> has, EntryKind kind) {
    const NameParts parts = *parse_name(stem);
    BookEntry entry;
    entry.kind = kind;
    entry.date = parts.date;
    entry.call = parts.call;
    entry.station = station;
    if (has.first) entry.cfg = folder + "/" + stem + ".cfg";
    if (has.second) entry.bin = folder + "/" + stem + ".bin";
    return entry;
}

std::optional<EntryKind> kind_named(const std::string& name) {
    for (const EntryKind kind : {EntryKind::read, EntryKind::before_write, EntryKind::written, EntryKind::before_firmware,
                                 EntryKind::backup, EntryKind::unknown}) {
        if (name == kind_name(kind)) return kind;
    }
    return std::nullopt;
}

// One entry of an index as written by index_json; nullopt when it is not of that shape.
std::optional<BookEntry> entry_from_json(const nlohmann::json& item, const std::string& folder,
                                         const std::string& station) {
    const auto text = [&](const char* key, bool may_be_null) -> std::optional<std::optional<std::string>> {
        const auto found = item.find(key);
        if (found == item.end() || (found->is_null() && may_be_null)) return std::optional<std::string>();
        if (!found->is_string()) return std::nullopt;
        return std::optional<std::string>(found->get<std::string>());
    };
    if (!item.is_object()) return std::nullopt;
    const auto kind = text("kind", false), date = text("date", false), call = text("call", true),
               firmware = text("firmware", true), hardware = text("hardware", true), cfg = text("cfg", true),
               bin = text("bin", true);
    if (!kind || !date || !call || !firmware || !hardware || !cfg || !bin || !*kind || !*date) return std::nullopt;
    const auto named = kind_named(**kind);
    // The date is printed as it stands, so it must be one.
    static const std::regex date_shape(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)");
    if (!named || !std::regex_match(**date, date_shape)) return std::nullopt;
    BookEntry entry;
    entry.kind = *named;
    entry.date = **date;
    entry.call = call->value_or("");
    entry.firmware = *firmware;
    entry.hardware = *hardware;
    entry.station = station;
    for (const auto& [name, path, ext] : {std::tuple{*cfg, &entry.cfg, ".cfg"}, std::tuple{*bin, &entry.bin, ".bin"}}) {
        if (!name) continue;
        // Only a file of this folder that is named as an entry is one.
        if (!name->ends_with(ext) || !parse_name(name->substr(0, name->size() - 4))) return std::nullopt;
        *path = folder + "/" + *name;
    }
    return entry;
}

std::string file_name(const std::string& path) { return path.empty() ? path : fs::path(path).filename().string(); }

std::string stem_of(const BookEntry& entry) {
    return fs::path(entry.cfg.empty() ? entry.bin : entry.cfg).stem().string();
}

// The folder's entries in filing order. The index says what the names cannot (the kind, the
// versions); files it does not list are added from their names, entries whose files are gone are
// dropped, and an index that cannot be read as one is set aside and a warning given.
std::vector<BookEntry> load_index(const std::string& folder, const std::string& station, std::string* warning) {
    auto files = entry_files(folder);
    std::vector<BookEntry> entries;
    const std::string index_path = folder + "/" + kIndexName;
    std::error_code error;
    if (fs::exists(fs::symlink_status(index_path, error))) {
        const FileRead read = read_file(index_path, kIndexLimit);
        const auto json = read.bytes ? nlohmann::json::parse(*read.bytes, nullptr, false) : nlohmann::json();
        bool damaged = !json.is_object() || !json.contains("entries") || !json["entries"].is_array();
        std::vector<BookEntry> listed;
        for (const auto& item : damaged ? nlohmann::json::array() : json["entries"]) {
            auto entry = entry_from_json(item, folder, station);
            if (!entry) {
                damaged = true;
                break;
            }
            listed.push_back(std::move(*entry));
        }
        if (damaged) {
            if (warning) *warning = printable(index_path) + " is damaged; the entries are listed from their files.";
        } else {
            for (BookEntry& entry : listed) {
                const auto found = files.find(stem_of(entry));
                if (found == files.end()) continue;
                // The files there, not those the index claims.
                entry.cfg = found->second.first ? folder + "/" + found->first + ".cfg" : std::string();
                entry.bin = found->second.second ? folder + "/" + found->first + ".bin" : std::string();
                files.erase(found);
                entries.push_back(std::move(entry));
            }
        }
    }
    std::vector<BookEntry> lost;
    for (const std::string& stem : filing_order(files)) {
        lost.push_back(entry_from_name(folder, station, stem, files[stem], EntryKind::unknown));
    }
    // Files the index lost go where their dates put them among those it lists, in the order it
    // lists them; of one second, before them.
    std::vector<BookEntry> all;
    std::merge(std::make_move_iterator(lost.begin()), std::make_move_iterator(lost.end()),
               std::make_move_iterator(entries.begin()), std::make_move_iterator(entries.end()), std::back_inserter(all),
               [](const BookEntry& a, const BookEntry& b) { return a.date < b.date; });
    return all;
}

nlohmann::json nullable(const std::string& text) { return text.empty() ? nlohmann::json() : nlohmann::json(text); }
nlohmann::json nullable(const std::optional<std::string>& text) { return text ? nlohmann::json(*text) : nlohmann::json(); }

std::string index_json(const StationDevice& device, const std::vector<BookEntry>& entries) {
    nlohmann::json items = nlohmann::json::array();
    for (const BookEntry& e : entries) {
        items.push_back({{"kind", kind_name(e.kind)},
                         {"date", e.date},
                         {"call", nullable(e.call)},
                         {"firmware", nullable(e.firmware)},
                         {"hardware", nullable(e.hardware)},
                         {"cfg", nullable(file_name(e.cfg))},
                         {"bin", nullable(file_name(e.bin))}});
    }
    const nlohmann::json index = {{"serial_number", nullable(device.serial_number)},
                                  {"path", nullable(device.path)},
                                  {"entries", items}};
    return index.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

// Writes `bytes` to `path` only when no file is there, owner-only; the reason when not, and
// `taken` when the name was.
std::optional<std::string> write_new_file(const std::string& path, std::string_view bytes, bool* taken) {
    *taken = false;
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR));
    if (!fd) {
        *taken = errno == EEXIST;
        return std::string(std::strerror(errno));
    }
    if (!write_all(fd.get(), bytes, 0) || ::fsync(fd.get()) != 0) {
        const std::string why = std::strerror(errno);
        ::unlink(path.c_str());
        return why;
    }
    return std::nullopt;
}

// The settings file of a decoded store, as "Save to file" writes a new one.
std::optional<std::string> settings_text(const Registry& registry, const ControlStore& store) {
    try {
        SettingsFile file;
        file.write_header();
        save(registry, store, file);
        return file.serialise();
    } catch (const ConversionError&) {
        return std::nullopt;
    }
}

// Holds the folder for one program at a time while an entry is filed and the index replaced.
UniqueFd lock_folder(const std::string& folder) {
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) ::flock(fd.get(), LOCK_EX);
    return fd;
}

}  // namespace

const char* kind_name(EntryKind kind) {
    switch (kind) {
        case EntryKind::read: return "read";
        case EntryKind::before_write: return "before-write";
        case EntryKind::written: return "written";
        case EntryKind::before_firmware: return "before-firmware";
        case EntryKind::backup: return "backup";
        case EntryKind::unknown: break;
    }
    return "unknown";
}

std::string station_book_folder() {
    const std::string home = data_home();
    return home.empty() ? home : home + "/zyvora-configurator/stations";
}

std::string station_folder_name(const StationDevice& device) {
    if (!device.serial_number.empty()) return safe_name(device.serial_number);
    const std::string hardware = device.hardware.value_or("unknown hardware");
    return safe_name(device.path.empty() ? hardware : hardware + "_" + device.path);
}

Result<BookEntry> file_entry(const std::string& book, const StationDevice& device, EntryKind kind,
                             const Registry& registry, const Image& image, std::time_t when) {
    if (book.empty()) {
        return Problem{"No data folder: neither XDG_DATA_HOME nor HOME names one, and the user has no home folder"};
    }
    const std::string station = station_folder_name(device);
    const std::string folder = book + "/" + station;
    std::string why;
    // `why` names the folder that could not be made.
    if (!make_folders(folder, &why)) return Problem{"Unable to write to " + printable(why), std::nullopt, folder};
    const UniqueFd lock = lock_folder(folder);
    std::vector<BookEntry> entries = load_index(folder, station, nullptr);

    ControlStore store = registry.make_store();
    const bool decodes = verify(image) && !decode(registry, store, image);
    const auto text = decodes ? settings_text(registry, store) : std::nullopt;
    BookEntry entry;
    entry.kind = kind;
    entry.date = format_time(when, "%Y-%m-%d %H:%M:%S");
    entry.call = text ? call_part(call_of(store.text("Callsign"), store.text("Ssid"))) : std::string();
    if (device.firmware) entry.firmware = firmware_version_text(*device.firmware);
    entry.hardware = device.hardware;
    entry.station = station;

    const std::string stamp = format_time(when, "%Y-%m-%d_%H-%M-%S") + (entry.call.empty() ? "" : "_" + entry.call);
    const std::string_view raw(reinterpret_cast<const char*>(image.data()), image.size());
    for (int n = 1;; ++n) {
        const std::string base = folder + "/" + stamp + (n > 1 ? "_" + std::to_string(n) : "");
        std::error_code error;
        if (fs::exists(fs::symlink_status(base + ".cfg", error)) || fs::exists(fs::symlink_status(base + ".bin", error))) {
            continue;
        }
        bool taken = false;
        // The first file claims the name; the second is new by then unless another program broke in.
        const std::string first = text ? base + ".cfg" : base + ".bin";
        if (const auto failed = write_new_file(first, text ? std::string_view(*text) : raw, &taken)) {
            if (taken) continue;
            return Problem{"Unable to write to " + printable(first) + ": " + *failed, std::nullopt, first};
        }
        if (text) {
            if (const auto failed = write_new_file(base + ".bin", raw, &taken)) {
                ::unlink(first.c_str());
                return Problem{"Unable to write to " + printable(base + ".bin") + ": " + *failed, std::nullopt, base + ".bin"};
            }
            entry.cfg = first;
        }
        entry.bin = base + ".bin";
        break;
    }
    entries.push_back(entry);
    try {
        write_whole_file(folder + "/" + kIndexName, index_json(device, entries));
    } catch (const WriteError& e) {
        // The files stay: a later listing finds them by their names.
        return Problem{std::string(e.what()), std::nullopt, folder + "/" + kIndexName};
    }
    return entry;
}

BookListing book_entries(const std::string& book, const std::string& backups) {
    BookListing listing;
    std::error_code error;
    std::vector<std::string> folders;
    if (!book.empty()) {
        for (const auto& item : fs::directory_iterator(book, error)) {
            if (item.is_directory(error)) folders.push_back(item.path().filename().string());
        }
    }
    std::sort(folders.begin(), folders.end());
    for (const std::string& station : folders) {
        std::string warning;
        auto entries = load_index(book + "/" + station, station, &warning);
        if (!warning.empty()) listing.warnings.push_back(warning);
        listing.entries.insert(listing.entries.end(), std::make_move_iterator(entries.rbegin()),
                               std::make_move_iterator(entries.rend()));
    }
    if (!backups.empty()) {
        auto files = entry_files(backups);
        const auto stems = filing_order(files);
        for (auto stem = stems.rbegin(); stem != stems.rend(); ++stem) {
            BookEntry entry = entry_from_name(backups, "", *stem, files[*stem], EntryKind::backup);
            // The call sign is in the settings file, not in a backup's name.
            SettingsFile file;
            const FileRead read = entry.cfg.empty() ? FileRead{} : read_file(entry.cfg, std::size_t{1} << 20);
            if (read.bytes && !SettingsFile::nul_line(*read.bytes) && file.parse(*read.bytes)) {
                entry.call = call_part(call_of(file.read_string("Radio", "Callsign", ""), file.read_string("Radio", "SSID", "")));
            }
            listing.entries.push_back(std::move(entry));
        }
    }
    std::stable_sort(listing.entries.begin(), listing.entries.end(),
                     [](const BookEntry& a, const BookEntry& b) { return a.date > b.date; });
    return listing;
}

bool entry_matches(const BookEntry& entry, const std::string& who) {
    const auto same = [](std::string_view a, std::string_view b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
                   return std::tolower(x) == std::tolower(y);
               });
    };
    if (who.empty()) return true;
    if (!entry.station.empty() && (same(entry.station, who) || same(entry.station, safe_name(who)))) return true;
    if (entry.call.empty()) return false;
    return same(entry.call, who) || same(std::string_view(entry.call).substr(0, entry.call.find('-')), who);
}

std::string file_name_part(const std::string& text) { return safe_name(text); }

std::string call_sign(const ControlStore& store) { return call_of(store.text("Callsign"), store.text("Ssid")); }

}  // namespace zyvora
