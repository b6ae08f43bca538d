// Settings transfers, version queries and firmware upload against the simulated device, with
// faults at chosen pages: the log lines, the progress bar and what ends up where.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "../support/recording_feedback.h"
#include "fault.h"
#include "simulated_device.h"
#include "transfers.h"

namespace zyvora {
namespace {

using testing::counted_lines;
using testing::RecordingFeedback;

// The transfers take the device's pages as plain bytes.
using Pages = std::array<std::uint8_t, kSettingsPages * kPageSize>;

// Every page differs from its neighbours, so a page in the wrong place shows.
Pages patterned(std::uint8_t salt) {
    Pages image;
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + i / 256 + salt);
    return image;
}

bool same_pages(const Pages& a, const Pages& b, std::size_t first, std::size_t end) {
    return std::equal(a.begin() + first * kPageSize, a.begin() + end * kPageSize, b.begin() + first * kPageSize);
}

SimFault fault(const std::string& text) {
    std::string error;
    const std::optional<SimFault> parsed = parse_sim_fault(text, &error);
    EXPECT_TRUE(parsed) << error;
    return parsed.value_or(SimFault{});
}

class Transfers : public ::testing::Test {
protected:
    // Opens a fresh simulated device holding `stored`, with the given faults.
    DeviceLink& open(std::vector<std::string> faults = {}, SimOptions options = {}) {
        // The old transport goes first: it refers to the old device.
        link_.reset();
        transport_.reset();
        port_.reset();
        options.factory_image = stored_;
        for (const std::string& f : faults) options.faults.push_back(fault(f));
        std::string error;
        device_ = SimulatedDevice::create(std::move(options), &error);
        EXPECT_TRUE(device_) << error;
        port_ = std::make_unique<SimulatedPort>(*device_);
        transport_ = port_->open(open_feedback_);
        link_ = std::make_unique<DeviceLink>(*transport_);
        return *link_;
    }

    static std::vector<int> positions_up_to(int last) {
        std::vector<int> out{0};
        for (int p = 1; p <= last; ++p) out.push_back(p);
        return out;
    }

    const Pages stored_ = patterned(0x11);
    RecordingFeedback open_feedback_;
    RecordingFeedback feedback_;
    std::unique_ptr<SimulatedDevice> device_;
    std::unique_ptr<SimulatedPort> port_;
    std::unique_ptr<Transport> transport_;
    std::unique_ptr<DeviceLink> link_;
};

TEST_F(Transfers, ReadsAll512Pages) {
    Pages image{};
    EXPECT_TRUE(read_settings(open(), image, feedback_));
    EXPECT_EQ(image, stored_);
    EXPECT_EQ(feedback_.lines(), counted_lines("Page read: ", 512, 512));
    EXPECT_EQ((std::vector<std::string>(feedback_.events.begin(), feedback_.events.begin() + 2)),
              (std::vector<std::string>{"position: 0", "range: 0..512"}));
    std::vector<int> positions = positions_up_to(512);
    positions.push_back(0);
    EXPECT_EQ(feedback_.positions, positions);
    EXPECT_TRUE(feedback_.boxes().empty());
}

TEST_F(Transfers, AWrongSumAtPage3StopsTheReadAfterThreePages) {
    Pages image{};
    EXPECT_FALSE(read_settings(open({"read@3=wrong-sum"}), image, feedback_));
    EXPECT_EQ(feedback_.lines(), (std::vector<std::string>{"Page read: 1/512", "Page read: 2/512", "Page read: 3/512",
                                                           "Page read error: 4/512"}));
    EXPECT_TRUE(same_pages(image, stored_, 0, 3));
    EXPECT_TRUE(std::all_of(image.begin() + 3 * kPageSize, image.end(), [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(feedback_.positions, positions_up_to(3));  // left where it stopped
}

TEST_F(Transfers, EveryKindOfFailureAtPage100KeepsPages0To99) {
    for (const char* kind : {"wrong-sum", "wrong-echo", "short-reply", "no-reply", "gone"}) {
        SCOPED_TRACE(kind);
        RecordingFeedback feedback;
        Pages image;
        image.fill(0x5C);  // what the caller held before the read
        EXPECT_FALSE(read_settings(open({std::string("read@100=") + kind}), image, feedback));
        std::vector<std::string> lines = counted_lines("Page read: ", 100, 512);
        lines.push_back("Page read error: 101/512");
        EXPECT_EQ(feedback.lines(), lines);
        EXPECT_TRUE(same_pages(image, stored_, 0, 100));
        EXPECT_TRUE(std::all_of(image.begin() + 100 * kPageSize, image.end(), [](std::uint8_t b) { return b == 0x5C; }));
        EXPECT_EQ(feedback.progress(), 100);
    }
}

TEST_F(Transfers, WritesAll512Pages) {
    const Pages image = patterned(0x80);
    EXPECT_TRUE(write_settings(open(), image, feedback_));
    EXPECT_EQ(device_->eeprom(), image);
    std::vector<std::string> lines = counted_lines("Page written: ", 512, 512);
    lines.push_back("Eeprom write success");
    EXPECT_EQ(feedback_.lines(), lines);
    EXPECT_EQ((std::vector<std::string>(feedback_.events.begin(), feedback_.events.begin() + 2)),
              (std::vector<std::string>{"position: 0", "range: 0..512"}));
    std::vector<int> positions = positions_up_to(512);
    positions.push_back(0);
    EXPECT_EQ(feedback_.positions, positions);
    // The success line comes before the bar is reset.
    EXPECT_EQ((std::vector<std::string>(feedback_.events.end() - 2, feedback_.events.end())),
              (std::vector<std::string>{"log: Eeprom write success", "position: 0"}));
}

TEST_F(Transfers, AFailedWriteStopsAndLeavesTheLaterPagesAsTheyWere) {
    // A lost reply means the device stored the page; a device that went away did not get it.
    const struct {
        const char* kind;
        bool page_stored;
    } cases[] = {{"wrong-echo", true}, {"short-reply", true}, {"no-reply", true}, {"gone", false}};
    const Pages image = patterned(0x80);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        RecordingFeedback feedback;
        EXPECT_FALSE(write_settings(open({std::string("write@7=") + c.kind}), image, feedback));
        std::vector<std::string> lines = counted_lines("Page written: ", 7, 512);
        lines.push_back("Page write error: 8/512");
        EXPECT_EQ(feedback.lines(), lines);
        EXPECT_EQ(feedback.positions, positions_up_to(7));
        const std::size_t written = c.page_stored ? 8 : 7;
        EXPECT_TRUE(same_pages(device_->eeprom(), image, 0, written));
        EXPECT_TRUE(same_pages(device_->eeprom(), stored_, written, kSettingsPages));
    }
}

TEST_F(Transfers, ShowVersionsFormatsHundredths) {
    const struct {
        std::uint32_t number;
        const char* shown;
    } cases[] = {{113, "1.13"}, {105, "1.05"}, {100, "1.00"}, {0, "0.00"}, {1234, "12.34"}, {4294967295u, "42949672.95"}};
    for (const auto& c : cases) {
        RecordingFeedback feedback;
        SimOptions options;
        options.firmware_version = c.number;
        EXPECT_TRUE(show_versions(open({}, options), feedback));
        EXPECT_EQ(feedback.events, std::vector<std::string>{std::string("message: Firmware version: ") + c.shown +
                                                            "\r\nHardware version: Zyvora Plus 2.0 simulated hardware"});
    }
}

TEST_F(Transfers, ShowVersionsTakesAHardwareTextWithoutNulUpToTheEndOfTheReply) {
    SimOptions options;
    options.hardware_version = std::string(63, 'X') + "-beyond-the-report";
    EXPECT_TRUE(show_versions(open({}, options), feedback_));
    EXPECT_EQ(feedback_.events,
              std::vector<std::string>{"message: Firmware version: 1.13\r\nHardware version: " + std::string(63, 'X')});
}

// The device's text reaches the status log and the boxes of both front ends as one line that
// drives no terminal.
TEST_F(Transfers, ShowVersionsEscapesTheHardwareText) {
    const struct {
        std::string text;
        std::string shown;
    } cases[] = {
        {"rev B\r\nEeprom write success", "rev B\\r\\nEeprom write success"},
        {"\x1b]0;title\x07\x9b" "2J", "\\x1B]0;title\\x07\\x9B2J"},
        {"R\xC3\xA9v", "R\xC3\xA9v"},
    };
    for (const auto& c : cases) {
        RecordingFeedback feedback;
        SimOptions options;
        options.hardware_version = c.text;
        EXPECT_TRUE(show_versions(open({}, options), feedback));
        EXPECT_EQ(feedback.events,
                  std::vector<std::string>{"message: Firmware version: 1.13\r\nHardware version: " + c.shown});
    }
}

TEST_F(Transfers, AFailedVersionQueryShowsNothing) {
    for (const char* f : {"fwversion=no-reply", "fwversion=wrong-echo", "hwversion=short-reply", "hwversion=gone"}) {
        RecordingFeedback feedback;
        EXPECT_FALSE(show_versions(open({f}), feedback)) << f;
        EXPECT_TRUE(feedback.events.empty()) << f;
    }
}

std::vector<std::uint8_t> stand_in_firmware(std::size_t size) {
    std::vector<std::uint8_t> firmware(size);
    for (std::size_t i = 0; i < size; ++i) firmware[i] = static_cast<std::uint8_t>(i * 13 + (i >> 9) + 1);
    return firmware;
}

TEST_F(Transfers, UploadOf33BytesSendsTwoPagesTheLastPaddedWithZeros) {
    const std::vector<std::uint8_t> firmware = stand_in_firmware(33);
    EXPECT_TRUE(upload_firmware(open(), firmware, feedback_));
    EXPECT_EQ(feedback_.events,
              (std::vector<std::string>{"position: 0", "range: 0..2", "log: Page written: 1/2", "position: 1",
                                        "log: Page written: 2/2", "position: 2",
                                        "log: Firmware upgrade success", "position: 0"}));
    ASSERT_EQ(device_->requests().size(), 2u);
    Report last{};
    last[1] = 0xFE;
    last[2] = 1;
    last[4] = firmware[32];
    last[36] = firmware[32];  // the sum covers the zeros too, which add nothing
    EXPECT_EQ(device_->requests()[1], last);
    std::array<std::uint8_t, kPageSize> first;
    std::copy_n(firmware.begin(), kPageSize, first.begin());
    std::array<std::uint8_t, kPageSize> second{};
    second[0] = firmware[32];
    EXPECT_EQ(device_->firmware_pages(), (std::vector<SimFirmwarePage>{{0, first}, {1, second}}));
}

TEST_F(Transfers, UploadSendsEveryPageInOrderAndExactlyTheImage) {
    const struct {
        std::size_t size;
        int pages;
    } cases[] = {{272384, 8512}, {497664, 15552}, {32, 1}, {31, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        RecordingFeedback feedback;
        const std::vector<std::uint8_t> firmware = stand_in_firmware(c.size);
        EXPECT_TRUE(upload_firmware(open(), firmware, feedback));
        const std::string total = "/" + std::to_string(c.pages);
        const std::vector<std::string> lines = feedback.lines();
        ASSERT_EQ(lines.size(), static_cast<std::size_t>(c.pages) + 1);
        EXPECT_EQ(lines[lines.size() - 2], "Page written: " + std::to_string(c.pages) + total);
        EXPECT_EQ(lines.back(), "Firmware upgrade success");
        EXPECT_EQ(feedback.only("range: "), std::vector<std::string>{"0.." + std::to_string(c.pages)});

        std::vector<std::uint8_t> received;
        for (std::size_t i = 0; i < device_->firmware_pages().size(); ++i) {
            const SimFirmwarePage& page = device_->firmware_pages()[i];
            EXPECT_EQ(page.page, i);
            received.insert(received.end(), page.data.begin(), page.data.end());
        }
        std::vector<std::uint8_t> padded = firmware;
        padded.resize(c.pages * kPageSize, 0);
        EXPECT_EQ(received, padded);
        EXPECT_TRUE(device_->refusals().empty());
    }
}

TEST_F(Transfers, AFailedFirmwarePageStopsTheUploadWhereItIs) {
    EXPECT_FALSE(upload_firmware(open({"firmware@5=no-reply"}), stand_in_firmware(320), feedback_));
    std::vector<std::string> lines = counted_lines("Page written: ", 5, 10);
    lines.push_back("Page write error: 6/10");
    EXPECT_EQ(feedback_.lines(), lines);
    EXPECT_EQ(feedback_.positions, positions_up_to(5));
}

TEST_F(Transfers, UploadRefusesAnImageAboveTheDeviceCapacity) {
    EXPECT_FALSE(upload_firmware(open(), stand_in_firmware(kFirmwareCapacity + 1), feedback_));
    EXPECT_EQ(feedback_.events, std::vector<std::string>{"info: Firmware file too long."});
    EXPECT_TRUE(device_->requests().empty());
}

}  // namespace
}  // namespace zyvora
