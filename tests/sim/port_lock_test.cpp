// The simulated device as one program at a time has it: while a transport is open its EEPROM
// file is locked, so another opener is told the device is in use and sends nothing; and the
// device as `list` shows it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "../device/listed_device_print.h"
#include "../support/file_lock.h"
#include "../support/recording_feedback.h"
#include "../support/temp_folder.h"
#include "simulated_device.h"
#include "transfers.h"

namespace zyvora {
namespace {

namespace fs = std::filesystem;
using testing::RecordingFeedback;

const std::string kFound = "Zyvora Plus 2.0 found, vid: Vid_0483, pid: A124";
const std::string kInUse = "The device is in use by another program.";

Report write_page_request(std::uint16_t page, std::uint8_t fill) {
    Report request = make_request(Command::WritePage);
    put_le16(request, kPageNumberAt, page);
    std::fill_n(request.begin() + kPageDataAt, kPageSize, fill);
    put_le16(request, kPageSumAt, page_sum(request.data() + kPageDataAt));
    return request;
}

class SimulatedLock : public ::testing::Test {
protected:
    SimulatedLock() : file_(dir_.path("eeprom.bin")) {}

    std::unique_ptr<SimulatedDevice> make(std::optional<std::string> file) {
        SimOptions options;
        options.eeprom_file = std::move(file);
        std::string error;
        auto device = SimulatedDevice::create(std::move(options), &error);
        EXPECT_TRUE(device) << error;
        return device;
    }
    void make_file() const { std::ofstream(file_, std::ios::binary) << std::string(kImageSize, '\xFF'); }
    std::string contents() const {
        std::ifstream in(file_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // Whether another program could lock the file now.
    bool free_for_others() const { return test::free_for_others(file_); }

    test::TempFolder dir_{"zyvora-lock"};
    std::string file_;
};

TEST_F(SimulatedLock, ASecondOpenerOfOneFileIsToldItIsInUseUntilTheFirstCloses) {
    make_file();
    auto first = make(file_), second = make(file_);
    RecordingFeedback first_log, second_log;
    auto holding = SimulatedPort(*first).open(first_log);
    ASSERT_NE(holding, nullptr);
    EXPECT_FALSE(free_for_others());

    EXPECT_EQ(SimulatedPort(*second).open(second_log), nullptr);
    EXPECT_EQ(second_log.events, (std::vector<std::string>{"log: " + kFound, "log: " + kInUse}));
    EXPECT_EQ(SimulatedPort(*second).list("sim:eeprom.bin"),
              (ListedDevice{"sim:eeprom.bin", "SIM-EEPROM", "in use by another program"}));
    EXPECT_TRUE(second->requests().empty());

    holding.reset();
    EXPECT_TRUE(free_for_others());
    second_log.events.clear();
    EXPECT_NE(SimulatedPort(*second).open(second_log), nullptr);
    EXPECT_EQ(second_log.events, std::vector<std::string>{"log: " + kFound});
    EXPECT_EQ(first_log.lines(), std::vector<std::string>{kFound});
}

TEST_F(SimulatedLock, AFileMadeByAPageIsLockedFromTheMomentItIsThere) {
    // Both devices are open before the file exists, as two programs started at once are.
    auto first = make(file_), second = make(file_);
    RecordingFeedback first_log, second_log;
    auto writing = SimulatedPort(*first).open(first_log);
    auto late = SimulatedPort(*second).open(second_log);
    ASSERT_NE(writing, nullptr);
    ASSERT_NE(late, nullptr);
    ASSERT_FALSE(fs::exists(file_));

    EXPECT_EQ(writing->write(write_page_request(0, 0x11)), 65);
    EXPECT_FALSE(free_for_others()) << "locked by the page that made it";
    EXPECT_EQ(late->write(write_page_request(0, 0x22)), -1);
    EXPECT_EQ(writing->write(write_page_request(1, 0x33)), 65);
    writing.reset();
    EXPECT_TRUE(free_for_others());

    EXPECT_EQ(first_log.lines(), std::vector<std::string>{kFound});
    EXPECT_EQ(second_log.lines(), (std::vector<std::string>{kFound, kInUse}));
    EXPECT_TRUE(second->requests().empty());
    Image expected{};
    expected.fill(0xFF);
    std::fill_n(expected.begin(), kPageSize, 0x11);
    std::fill_n(expected.begin() + kPageSize, kPageSize, 0x33);
    EXPECT_TRUE(contents() == std::string(expected.begin(), expected.end()));
}

// Another program may change the file between two operations; the device holds what the file
// holds when it is opened, and reads back what the file holds, not what it was sent.
TEST_F(SimulatedLock, EachOpenTakesTheFileAsItIsAndReadsComeFromIt) {
    make_file();
    auto early = make(file_), other = make(file_);
    Image written{};
    for (std::size_t i = 0; i < written.size(); ++i) written[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    {
        RecordingFeedback feedback;
        auto transport = SimulatedPort(*other).open(feedback);
        ASSERT_NE(transport, nullptr);
        DeviceLink link(*transport);
        ASSERT_TRUE(write_settings(link, written, feedback));
    }
    RecordingFeedback feedback;
    auto transport = SimulatedPort(*early).open(feedback);
    ASSERT_NE(transport, nullptr);
    DeviceLink link(*transport);
    Image read{};
    ASSERT_TRUE(read_settings(link, read, feedback));
    EXPECT_EQ(read, written);
    EXPECT_EQ(early->eeprom(), written);

    // A byte the file lost under the open device shows in what is read back.
    {
        std::fstream damaged(file_, std::ios::binary | std::ios::in | std::ios::out);
        damaged.seekp(7 * kPageSize + 3);
        damaged.put(static_cast<char>(written[7 * kPageSize + 3] ^ 0x40));
    }
    written[7 * kPageSize + 3] ^= 0x40;
    ASSERT_TRUE(read_settings(link, read, feedback));
    EXPECT_EQ(read, written);
}

TEST_F(SimulatedLock, AFileAnotherProgramLocksAfterItIsMadeStopsTheNextRequest) {
    auto device = make(file_);
    RecordingFeedback feedback;
    auto transport = SimulatedPort(*device).open(feedback);
    ASSERT_NE(transport, nullptr);
    // The other program's device makes the file and holds it.
    make_file();
    {
        const test::HeldByOthers held(file_);
        EXPECT_EQ(transport->write(write_page_request(0, 0x11)), -1);
    }
    EXPECT_EQ(feedback.lines(), (std::vector<std::string>{kFound, kInUse}));
    EXPECT_TRUE(device->requests().empty());
}

TEST_F(SimulatedLock, WithoutAFileThereIsNothingToShareAndNothingIsLocked) {
    auto device = make(std::nullopt);
    RecordingFeedback feedback;
    auto first = SimulatedPort(*device).open(feedback);
    auto second = SimulatedPort(*device).open(feedback);
    EXPECT_NE(first, nullptr);
    EXPECT_NE(second, nullptr);
    EXPECT_EQ(feedback.lines(), (std::vector<std::string>{kFound, kFound}));
}

TEST_F(SimulatedLock, ListAsksTheDeviceForItsVersionsUnlessItIsAbsent) {
    SimOptions options;
    options.firmware_version = 112;
    options.hardware_version = "rev C";
    std::string error;
    auto device = SimulatedDevice::create(options, &error);
    ASSERT_TRUE(device) << error;
    EXPECT_EQ(SimulatedPort(*device).list("sim"), (ListedDevice{"sim", "SIM", "firmware 1.12, hardware rev C"}));

    options.faults = {*parse_sim_fault("hwversion=no-reply", nullptr)};
    device = SimulatedDevice::create(options, &error);
    EXPECT_EQ(SimulatedPort(*device).list("sim"), (ListedDevice{"sim", "SIM", "does not answer"}));

    options.not_found = true;
    device = SimulatedDevice::create(options, &error);
    EXPECT_EQ(SimulatedPort(*device).list("sim"), std::nullopt);
    EXPECT_TRUE(device->requests().empty());
}

}  // namespace
}  // namespace zyvora
