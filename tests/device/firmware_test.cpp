// The firmware store: the image this build carries, or one read from a file, and its limits.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "../support/recording_feedback.h"
#include "../support/temp_folder.h"
#include "firmware.h"
#include "report.h"

namespace zyvora {
namespace {

using testing::RecordingFeedback;

class FirmwareFiles : public ::testing::Test {
protected:
    // A stand-in image: no real firmware is ever used here.
    std::string stand_in(std::size_t size) {
        const std::string path = dir_.path("image-" + std::to_string(size) + ".bin");
        std::vector<std::uint8_t> bytes = pattern(size);
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    static std::vector<std::uint8_t> pattern(std::size_t size) {
        std::vector<std::uint8_t> bytes(size);
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i ^ (i >> 8) ^ 0xA5);
        return bytes;
    }

    test::TempFolder dir_{"zyvora-firmware"};
    RecordingFeedback feedback_;
};

TEST_F(FirmwareFiles, AcceptsUpToTheDeviceCapacityAndRefusesOneByteMore) {
    for (const std::size_t size : {kFirmwareCapacity, std::size_t{272384}, std::size_t{33}, std::size_t{1}}) {
        const FirmwareStore store = FirmwareStore::from_file(stand_in(size));
        EXPECT_TRUE(store.carries_image());
        EXPECT_EQ(store.load(feedback_), pattern(size)) << size;
    }
    EXPECT_TRUE(feedback_.events.empty());

    // Nothing to send is refused as firmly as too much.
    for (const auto& [size, message] : {std::pair{kFirmwareCapacity + 1, "info: Firmware file too long."},
                                        {std::size_t{0}, "info: Firmware file is empty."}}) {
        RecordingFeedback feedback;
        EXPECT_EQ(FirmwareStore::from_file(stand_in(size)).load(feedback), std::nullopt);
        EXPECT_EQ(feedback.events, std::vector<std::string>{message});
    }
}

TEST_F(FirmwareFiles, AFileThatCannotBeReadIsALoadError) {
    // The file is named, with the system's reason.
    const struct {
        std::string path;
        const char* reason;
    } cases[] = {{dir_.path("missing.bin"), "No such file or directory"}, {dir_.path(), "Is a directory"}};
    for (const auto& c : cases) {
        RecordingFeedback feedback;
        EXPECT_EQ(FirmwareStore::from_file(c.path).load(feedback), std::nullopt) << c.path;
        EXPECT_EQ(feedback.events, std::vector<std::string>{"info: Firmware resource not found (LoadResource).\n" +
                                                            c.path + ": " + c.reason});
    }
}

TEST_F(FirmwareFiles, AnImageReadOnceIsNotReadAgain) {
    const std::string path = stand_in(64);
    const FirmwareStore store = FirmwareStore::from_file(path);
    const FirmwareStore read = store.loaded(*store.load(feedback_));
    std::remove(path.c_str());
    EXPECT_EQ(read.load(feedback_), pattern(64));
    EXPECT_EQ(read.file_name(), path);
    EXPECT_EQ(store.load(feedback_), std::nullopt);
    EXPECT_EQ(feedback_.events, std::vector<std::string>{"info: Firmware resource not found (LoadResource).\n" + path +
                                                         ": No such file or directory"});
}

TEST(EmbeddedFirmware, IsTheConfiguredImageOrNone) {
    RecordingFeedback feedback;
    const FirmwareStore store = FirmwareStore::embedded();
    const std::string configured = ZYVORA_FIRMWARE_FILE;
    if (configured.empty()) {
        EXPECT_FALSE(store.carries_image());
        EXPECT_EQ(store.load(feedback), std::nullopt);
        EXPECT_EQ(feedback.events, std::vector<std::string>{"info: This build carries no firmware image: give one with --firmware FILE, or build with -DZYVORA_FIRMWARE=path."});
    } else {
        std::ifstream file(configured, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
        EXPECT_TRUE(store.carries_image());
        EXPECT_EQ(store.load(feedback), bytes);
        EXPECT_TRUE(feedback.events.empty());
    }
}

}  // namespace
}  // namespace zyvora
