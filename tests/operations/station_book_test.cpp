// Filing in the station book: names that never replace a file, the folder a device gets, and
// which entries a serial number or call sign finds.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <fstream>

#include "files.h"
#include "operations.h"
#include "passes.h"
#include "station_book.h"
#include "../support/temp_folder.h"

namespace zyvora {
namespace {

// 2026-12-11 14:03:22 local time.
std::time_t fixed_time() {
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 11;
    local.tm_hour = 14;
    local.tm_min = 3;
    local.tm_sec = 22;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

Image image_with_call(const std::string& call, const std::string& ssid) {
    const Registry& registry = Registry::instance();
    SilentFeedback quiet;
    ControlStore store = start_up_store(registry, quiet);
    store.set_text("Callsign", call);
    store.set_text("Ssid", ssid);
    Image image{};
    EXPECT_TRUE(encode(registry, store, image).empty());
    return image;
}

TEST(StationBookFiling, ANameTakenIsNeverReplacedAndTheNextNumberIsUsed) {
    const test::TempFolder book("zyvora-book");
    const std::string folder = book.path("SER1");
    const std::string stem = folder + "/2026-12-11_14-03-22_OK1XYZ-9";
    std::filesystem::create_directories(folder);
    std::ofstream(stem + ".cfg") << "the user's own";
    std::ofstream(stem + "_2.bin") << "half of an older entry";
    const StationDevice device{"SER1", "/dev/hidraw3", "rev B", 113};
    const Image image = image_with_call("OK1XYZ", "9");

    const auto first = file_entry(book.path(), device, EntryKind::read, Registry::instance(), image, fixed_time());
    ASSERT_TRUE(first) << first.message();
    EXPECT_EQ(first->cfg, stem + "_3.cfg");
    EXPECT_EQ(first->bin, stem + "_3.bin");
    EXPECT_EQ(first->date, "2026-12-11 14:03:22");
    EXPECT_EQ(first->call, "OK1XYZ-9");
    const auto second = file_entry(book.path(), device, EntryKind::written, Registry::instance(), image, fixed_time());
    ASSERT_TRUE(second) << second.message();
    EXPECT_EQ(second->cfg, stem + "_4.cfg");
    EXPECT_EQ(read_whole_file(stem + ".cfg"), "the user's own");
    EXPECT_EQ(read_whole_file(stem + "_2.bin"), "half of an older entry");
    EXPECT_EQ(read_whole_file(second->bin),
              std::string(reinterpret_cast<const char*>(image.data()), image.size()));

    // Listed newest first; the files the index does not know are listed by their names.
    const BookListing listing = book_entries(book.path(), "");
    ASSERT_EQ(listing.entries.size(), 4u);
    EXPECT_EQ(listing.entries[0].kind, EntryKind::written);
    EXPECT_EQ(listing.entries[1].kind, EntryKind::read);
    EXPECT_EQ(listing.entries[1].firmware, "1.13");
    EXPECT_EQ(listing.entries[1].hardware, "rev B");
    EXPECT_EQ(listing.entries[2].kind, EntryKind::unknown);
    EXPECT_EQ(listing.entries[2].bin, stem + "_2.bin");
    EXPECT_EQ(listing.entries[3].cfg, stem + ".cfg");
    EXPECT_TRUE(listing.warnings.empty());
}

TEST(StationBookFiling, AnImageWithoutSettingsIsFiledRawAndNamedByTheTimeAlone) {
    const test::TempFolder book("zyvora-book");
    Image erased;
    erased.fill(0xFF);
    const auto entry =
        file_entry(book.path(), StationDevice{"S", "", std::nullopt, std::nullopt}, EntryKind::before_firmware,
                   Registry::instance(), erased, fixed_time());
    ASSERT_TRUE(entry) << entry.message();
    EXPECT_EQ(entry->cfg, "");
    EXPECT_EQ(entry->bin, book.path("S/2026-12-11_14-03-22.bin"));
    EXPECT_EQ(entry->call, "");
    struct stat st {};
    ASSERT_EQ(::stat(entry->bin.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(StationBookFiling, TheDeviceFolderIsOneSafeName) {
    const struct {
        StationDevice device;
        std::string folder;
    } cases[] = {
        {{"3657A8B2", "/dev/hidraw3", "rev B", 113}, "3657A8B2"},
        // Without a serial number: the hardware version and the path.
        {{"", "/dev/hidraw3", "Zyvora Plus 2.0 rev B", 113}, "Zyvora_Plus_2.0_rev_B__dev_hidraw3"},
        {{"", "/dev/hidraw3", std::nullopt, std::nullopt}, "unknown_hardware__dev_hidraw3"},
        // A serial number cannot climb out of the book or hide its folder.
        {{"../..", "", std::nullopt, std::nullopt}, "_.._.."},
        {{"a/b\nc", "", std::nullopt, std::nullopt}, "a_b_c"},
    };
    for (const auto& c : cases) EXPECT_EQ(station_folder_name(c.device), c.folder) << c.device.serial_number;
}

TEST(StationBookFiling, AnEntryMatchesItsSerialAndItsCallWithOrWithoutSsid) {
    BookEntry entry;
    entry.station = "SIM-A";
    entry.call = "OK1XYZ-9";
    const struct {
        std::string who;
        bool matches;
    } cases[] = {
        {"SIM-A", true}, {"sim-a", true}, {"OK1XYZ-9", true}, {"ok1xyz", true}, {"", true},
        {"OK1XYZ-1", false}, {"OK1XY", false}, {"SIM", false}, {"9", false},
    };
    for (const auto& c : cases) EXPECT_EQ(entry_matches(entry, c.who), c.matches) << c.who;
}

}  // namespace
}  // namespace zyvora
