// "Build remote update file" on real files: the package's content, two builds side by side, and
// every failure leaving the destination as it was.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "../support/expected_defaults.h"
#include "../support/recording_feedback.h"
#include "../support/temp_folder.h"
#include "files.h"
#include "package.h"
#include "passes.h"
#include "remote_update.h"
#include "report.h"
#include "xtea.h"

namespace zyvora {
namespace {

namespace fs = std::filesystem;
using testing::RecordingFeedback;

constexpr std::size_t kCarriedSize = 272384;
const std::string kOpenError = "info [File open error]: Could not open destination file.";
const std::string kOldPackage = "an update file built last week";

class RemoteUpdate : public ::testing::Test {
protected:
    RemoteUpdate() : registry_(Registry::instance()), store_(test::startup_store(registry_)) {}

    std::string path(const std::string& name) const { return dir_.path(name); }
    static std::vector<std::uint8_t> firmware_bytes(std::size_t size) {
        std::vector<std::uint8_t> bytes(size);
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i ^ (i >> 8) ^ 0x5A);
        return bytes;
    }
    // A stand-in image: no real firmware is ever used here.
    FirmwareStore firmware(std::size_t size = kCarriedSize) const {
        const std::string file = path("firmware-" + std::to_string(size) + ".bin");
        const auto bytes = firmware_bytes(size);
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return FirmwareStore::from_file(file);
    }
    std::vector<std::uint8_t> contents(const std::string& file) const {
        const std::string bytes = read_whole_file(file).value_or("");
        return {bytes.begin(), bytes.end()};
    }
    bool build(const std::string& destination, const FirmwareStore& store, const FillerSource& filler = {}) {
        return build_remote_update_file(registry_, store_, image_, store, destination, feedback_,
                                        [] { return test::kNow; }, filler);
    }
    std::vector<std::string> folder() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_.path())) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    const Registry& registry_;
    ControlStore store_;
    Image image_{};
    RecordingFeedback feedback_;
    test::TempFolder dir_{"zyvora-ruf"};
};

std::uint32_t le32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 | std::uint32_t{bytes[at + 2]} << 16 |
           std::uint32_t{bytes[at + 3]} << 24;
}

Image deciphered(const std::vector<std::uint8_t>& package) {
    std::vector<std::uint8_t> part(package.begin() + 512, package.begin() + 16896);
    decipher_blocks(part, update_key());
    Image image{};
    std::copy(part.begin(), part.end(), image.begin());
    return image;
}

TEST_F(RemoteUpdate, PackageHoldsTheEncodedSettingsAndTheFirmwareAsStored) {
    store_.set_text("Rtcyear", "1999");  // the PC time fill sets it back to now
    ASSERT_TRUE(build(path("zyvoraplus20.ruf"), firmware()));
    EXPECT_TRUE(feedback_.events.empty());
    EXPECT_EQ(store_.text("Rtcyear"), "2026");

    const auto package = contents(path("zyvoraplus20.ruf"));
    ASSERT_EQ(package.size(), 289280u);
    EXPECT_EQ(std::vector<std::uint8_t>(package.begin(), package.begin() + 4),
              (std::vector<std::uint8_t>{0x00, 0x28, 0x04, 0x00}));
    EXPECT_EQ(le32(package, 4), package_crc(std::span(package).subspan(512)));
    for (std::size_t at = 8; at < 512; ++at) ASSERT_LT(package[at], 255) << at;
    EXPECT_TRUE(std::equal(package.begin() + 16896, package.end(), firmware_bytes(kCarriedSize).begin()));

    const Image image = deciphered(package);
    EXPECT_EQ(image, image_);
    EXPECT_TRUE(verify(image));
    ControlStore decoded = registry_.make_store();
    EXPECT_EQ(decode(registry_, decoded, image), std::nullopt);
    EXPECT_EQ(decoded.text("Txdelay"), store_.text("Txdelay"));
    EXPECT_EQ(get_u16(image, 650), 2026);  // the year of the PC time fill
    EXPECT_EQ((fs::status(path("zyvoraplus20.ruf")).permissions() & fs::perms::all),
              fs::perms::owner_read | fs::perms::owner_write);
}

// Only the filler, the image's write nonce and checksum (both in its first block) and the CRC
// change from one build to the next.
TEST_F(RemoteUpdate, TwoBuildsDifferOnlyInFillerNonceChecksumAndCrc) {
    ASSERT_TRUE(build(path("first.ruf"), firmware()));
    ASSERT_TRUE(build(path("second.ruf"), firmware()));
    const auto first = contents(path("first.ruf")), second = contents(path("second.ruf"));
    ASSERT_EQ(first.size(), second.size());
    std::set<std::size_t> differing;
    for (std::size_t at = 0; at < first.size(); ++at) {
        if (first[at] != second[at]) differing.insert(at);
    }
    ASSERT_FALSE(differing.empty());
    EXPECT_GE(*differing.begin(), 4u);
    EXPECT_LT(*differing.rbegin(), 520u);  // 512..519: the first enciphered block
    EXPECT_FALSE(std::equal(first.begin() + 8, first.begin() + 512, second.begin() + 8));

    const Image a = deciphered(first), b = deciphered(second);
    EXPECT_TRUE(std::equal(a.begin() + 6, a.end(), b.begin() + 6));
    // Equal nonces (one chance in ten thousand) leave the settings part and the CRC equal too.
    const bool same_nonce = get_u16(a, kNonceOffset) == get_u16(b, kNonceOffset);
    EXPECT_EQ(same_nonce, std::equal(first.begin() + 4, first.begin() + 8, second.begin() + 4));
    EXPECT_EQ(same_nonce, std::equal(first.begin() + 512, first.begin() + 520, second.begin() + 512));
}

TEST_F(RemoteUpdate, ReplacesAnExistingFileWhole) {
    std::ofstream(path("old.ruf"), std::ios::binary) << std::string(400000, 'x');
    ASSERT_TRUE(build(path("old.ruf"), firmware(128), [] { return 0u; }));
    EXPECT_EQ(contents(path("old.ruf")).size(), 17024u);
    EXPECT_EQ(folder(), (std::vector<std::string>{"firmware-128.bin", "old.ruf"}));
}

// Every failure shows its message and leaves an existing update file, and the folder, as they were.
TEST_F(RemoteUpdate, FailuresLeaveTheDestinationAsItWas) {
    struct Case {
        const char* what;
        std::function<FirmwareStore()> firmware;
        std::function<void(ControlStore&)> change;
        std::string message;
    };
    const Case cases[] = {
        {"a setting fails", [&] { return firmware(); }, [](ControlStore& s) { s.set_text("Txdelay", "199"); },
         "info: TX delay - range error (200 - 1000)."},
        {"no firmware carried", [] { return FirmwareStore(); }, {}, "info: This build carries no firmware image: give one with --firmware FILE, or build with -DZYVORA_FIRMWARE=path."},
        {"firmware unreadable", [&] { return FirmwareStore::from_file(path("missing.bin")); }, {},
         "info: Firmware resource not found (LoadResource).\n" + path("missing.bin") + ": No such file or directory"},
        {"firmware too long", [&] { return firmware(kFirmwareCapacity + 1); }, {}, "info: Firmware file too long."},
        {"firmware cut short", [&] { return firmware(kCarriedSize - 1); }, {},
         "info: " + path("firmware-272383.bin") +
             " is not a firmware image: its 272383 bytes are not a whole number of 32-byte pages; it may be cut short"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(path("kept.ruf"), std::ios::binary) << kOldPackage;
        const FirmwareStore store = c.firmware();
        const auto before = folder();
        store_ = test::startup_store(registry_);
        if (c.change) c.change(store_);
        feedback_.events.clear();
        EXPECT_FALSE(build(path("kept.ruf"), store));
        EXPECT_EQ(feedback_.events, std::vector<std::string>{c.message});
        const std::string kept = read_whole_file(path("kept.ruf")).value_or("");
        EXPECT_EQ(kept, kOldPackage);
        EXPECT_EQ(folder(), before);
        EXPECT_FALSE(build(path("new.ruf"), store));
        EXPECT_FALSE(fs::exists(path("new.ruf")));
    }
}

TEST_F(RemoteUpdate, ADestinationThatCannotBeWrittenIsRefusedBeforeTheFirmware) {
    fs::create_directory(path("folder.ruf"));
    for (const std::string& destination : {path("folder.ruf"), path("no-such-folder/zyvoraplus20.ruf")}) {
        SCOPED_TRACE(destination);
        feedback_.events.clear();
        // The firmware would fail too: its message does not follow.
        EXPECT_FALSE(build(destination, FirmwareStore()));
        EXPECT_EQ(feedback_.events, std::vector<std::string>{kOpenError});
    }
    EXPECT_TRUE(fs::is_directory(path("folder.ruf")));
    EXPECT_TRUE(fs::is_empty(path("folder.ruf")));
}

TEST_F(RemoteUpdate, CancelledDestinationTouchesNothingAndShowsNothing) {
    bool asked = false;
    EXPECT_FALSE(build_remote_update_file(registry_, store_, image_, firmware(), [&] {
        asked = true;
        return std::optional<std::string>();
    }, feedback_));
    EXPECT_TRUE(asked);
    EXPECT_TRUE(feedback_.events.empty());

    // A failing setting stops before the destination is asked for.
    asked = false;
    store_.set_text("Txdelay", "199");
    EXPECT_FALSE(build_remote_update_file(registry_, store_, image_, firmware(), [&] {
        asked = true;
        return std::optional<std::string>(path("x.ruf"));
    }, feedback_));
    EXPECT_FALSE(asked);
}

}  // namespace
}  // namespace zyvora
