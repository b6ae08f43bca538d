// The simulated device: what a fresh one holds, its replies byte by byte, the requests it
// refuses as the device would, an unplugged device, its reply limit, and its EEPROM kept in a
// file page by page.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "../support/recording_feedback.h"
#include "../support/temp_folder.h"
#include "simulated_device.h"
#include "transfers.h"

namespace zyvora {
namespace {

namespace fs = std::filesystem;
using testing::RecordingFeedback;

const std::string kFound = "Zyvora Plus 2.0 found, vid: Vid_0483, pid: A124";

std::unique_ptr<SimulatedDevice> make(SimOptions options = {}) {
    std::string error;
    auto device = SimulatedDevice::create(std::move(options), &error);
    EXPECT_TRUE(device) << error;
    return device;
}

Image patterned(std::uint8_t salt) {
    Image image;
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 3 + i / 512 + salt);
    return image;
}

Report page_request(Command command, std::uint16_t page, std::uint8_t fill = 0) {
    Report request = make_request(command);
    put_le16(request, kPageNumberAt, page);
    if (command != Command::ReadPage) {
        std::fill_n(request.begin() + kPageDataAt, kPageSize, fill);
        put_le16(request, kPageSumAt, page_sum(request.data() + kPageDataAt));
    }
    return request;
}

TEST(SimulatedDevice, AFreshDeviceHoldsTheFactoryImageOrIsErased) {
    const Image factory = patterned(1);
    SimOptions with_image;
    with_image.factory_image = factory;
    EXPECT_EQ(make(with_image)->eeprom(), factory);

    Image erased;
    erased.fill(0xFF);
    SimOptions wiped = with_image;
    wiped.erased = true;
    EXPECT_EQ(make(wiped)->eeprom(), erased);
    EXPECT_EQ(make()->eeprom(), erased);
}

TEST(SimulatedDevice, RepliesEchoTheCommandWithTheirPayload) {
    SimOptions options;
    options.factory_image = patterned(9);
    options.firmware_version = 0x01020371;
    options.hardware_version = "Rev C";
    auto device = make(options);

    Report firmware{};
    firmware[1] = 0xFB;
    firmware[2] = 0x71, firmware[3] = 0x03, firmware[4] = 0x02, firmware[5] = 0x01;
    Report hardware{};
    hardware[1] = 0xFA;
    std::copy_n("Rev C", 5, hardware.begin() + 2);
    Report read{};
    read[1] = 0xFC;
    std::copy_n(options.factory_image->begin() + 511 * kPageSize, kPageSize, read.begin() + 4);
    put_le16(read, 36, page_sum(read.data() + 4));
    Report write_ack{};
    write_ack[1] = 0xFD;
    Report firmware_ack{};
    firmware_ack[1] = 0xFE;

    const struct {
        Report request;
        Report reply;
    } cases[] = {
        {make_request(Command::FirmwareVersion), firmware},
        {make_request(Command::HardwareVersion), hardware},
        {page_request(Command::ReadPage, 511), read},
        {page_request(Command::WritePage, 0, 0x42), write_ack},
        {page_request(Command::FirmwarePage, 0, 0x43), firmware_ack},
    };
    for (const auto& c : cases) {
        const SimAnswer answer = device->handle(c.request);
        EXPECT_EQ(answer.count, 65);
        EXPECT_EQ(answer.reply, c.reply) << "command " << int(c.request[1]);
    }
    EXPECT_TRUE(device->refusals().empty());
    EXPECT_EQ(device->requests().size(), 5u);
    EXPECT_EQ(device->requests()[3], cases[3].request);
}

TEST(SimulatedDevice, RefusesWhatARealDeviceWouldNotTake) {
    auto device = make();
    const Image before = device->eeprom();

    Report bad_sum = page_request(Command::WritePage, 5, 0x10);
    bad_sum[36] ^= 1;
    Report numbered = make_request(Command::FirmwareVersion);
    numbered[0] = 2;
    const struct {
        Report request;
        std::string why;
    } cases[] = {
        {bad_sum, "write page 5: page sum 513, the bytes add up to 512"},
        {page_request(Command::WritePage, 512, 0x10), "write page 512: no such page"},
        {page_request(Command::ReadPage, 600), "read page 600: no such page"},
        {page_request(Command::FirmwarePage, 1, 0x20), "firmware page 1: expected page 0"},
        {make_request(static_cast<Command>(0x42)), "unknown command 0x42"},
        {numbered, "report id 2"},
    };
    for (const auto& c : cases) {
        const SimAnswer answer = device->handle(c.request);
        EXPECT_EQ(answer.count, 65) << c.why;
        EXPECT_EQ(answer.reply, Report{}) << c.why;  // no echo: the exchange fails
        EXPECT_EQ(device->refusals().back(), c.why);
    }
    EXPECT_EQ(device->refusals().size(), std::size(cases));
    EXPECT_EQ(device->eeprom(), before);
    EXPECT_TRUE(device->firmware_pages().empty());
}

TEST(SimulatedDevice, TakesFirmwarePagesInOrderAndStartsAgainAtPage0) {
    auto device = make();
    for (const std::uint16_t page : {0, 1, 2, 0, 1, 3}) device->handle(page_request(Command::FirmwarePage, page, 0x30));
    std::vector<std::uint16_t> taken;
    for (const SimFirmwarePage& p : device->firmware_pages()) taken.push_back(p.page);
    EXPECT_EQ(taken, (std::vector<std::uint16_t>{0, 1, 2, 0, 1}));
    EXPECT_EQ(device->refusals(), std::vector<std::string>{"firmware page 3: expected page 2"});
}

TEST(SimulatedDevice, FaultsChangeOnlyTheMatchingReply) {
    SimOptions options;
    options.factory_image = patterned(4);
    options.faults = {*parse_sim_fault("read@3=wrong-sum", nullptr), *parse_sim_fault("fwversion=wrong-echo", nullptr),
                      *parse_sim_fault("read@9=short-reply", nullptr), *parse_sim_fault("write=no-reply", nullptr)};
    auto device = make(options);

    const SimAnswer good = device->handle(page_request(Command::ReadPage, 2));
    EXPECT_EQ(le16(good.reply, kPageSumAt), page_sum(good.reply.data() + kPageDataAt));
    const SimAnswer bad = device->handle(page_request(Command::ReadPage, 3));
    EXPECT_EQ(le16(bad.reply, kPageSumAt), page_sum(bad.reply.data() + kPageDataAt) + 1);
    EXPECT_EQ(device->handle(make_request(Command::FirmwareVersion)).reply[1], 0xFA);
    EXPECT_EQ(device->handle(page_request(Command::ReadPage, 9)).count, 64);
    EXPECT_EQ(device->handle(page_request(Command::ReadPage, 10)).count, 65);
    EXPECT_EQ(device->handle(page_request(Command::WritePage, 300, 0x77)).count, 0);
    EXPECT_EQ(device->eeprom()[300 * kPageSize], 0x77);  // stored; only its reply was lost
}

TEST(SimulatedPort, AnAbsentOrUnpluggedDeviceIsNotFound) {
    SimOptions absent;
    absent.not_found = true;
    auto nothing = make(absent);
    RecordingFeedback feedback;
    EXPECT_EQ(SimulatedPort(*nothing).open(feedback), nullptr);
    EXPECT_EQ(feedback.events, std::vector<std::string>{"log: Zyvora Plus 2.0 not found."});

    SimOptions unplugged;
    unplugged.faults = {*parse_sim_fault("read@1=gone", nullptr)};
    auto device = make(unplugged);
    SimulatedPort port(*device);
    RecordingFeedback first;
    auto transport = port.open(first);
    ASSERT_NE(transport, nullptr);
    EXPECT_EQ(first.lines(), std::vector<std::string>{kFound});
    Report reply;
    EXPECT_EQ(transport->write(page_request(Command::ReadPage, 0)), 65);
    EXPECT_EQ(transport->read(reply), 65);
    EXPECT_EQ(transport->write(page_request(Command::ReadPage, 1)), -1);
    EXPECT_EQ(transport->read(reply), -1);
    EXPECT_EQ(transport->write(make_request(Command::FirmwareVersion)), -1);
    EXPECT_EQ(device->requests().size(), 1u);  // nothing reaches a device that is gone

    RecordingFeedback later;
    EXPECT_EQ(port.open(later), nullptr);
    EXPECT_EQ(later.lines(), std::vector<std::string>{"Zyvora Plus 2.0 not found."});
}

TEST(SimulatedPort, AReplyIsReadOnceAndNotBeforeItsRequest) {
    auto device = make();
    RecordingFeedback feedback;
    auto transport = SimulatedPort(*device).open(feedback);
    Report reply;
    EXPECT_EQ(transport->read(reply), 0);
    EXPECT_EQ(transport->write(make_request(Command::FirmwareVersion)), 65);
    EXPECT_EQ(transport->read(reply), 65);
    EXPECT_EQ(transport->read(reply), 0);
}

TEST(SimulatedPort, AReplyLaterThanTheReplyLimitIsNoReply) {
    using std::chrono::microseconds;
    const struct {
        microseconds latency, limit;
        int count;
    } cases[] = {
        {microseconds(0), microseconds(0), 65},
        {microseconds(1000), microseconds(2000), 65},
        {microseconds(2000), microseconds(2000), 65},
        {microseconds(2001), microseconds(2000), 0},
        // Far past any clock's end: still given up at the limit.
        {microseconds::max(), microseconds(1000), 0},
    };
    for (const auto& c : cases) {
        SimOptions options;
        options.reply_latency = c.latency;
        options.reply_limit = c.limit;
        auto device = make(options);
        RecordingFeedback feedback;
        auto transport = SimulatedPort(*device).open(feedback);
        Report reply{};
        EXPECT_EQ(transport->write(make_request(Command::FirmwareVersion)), 65);
        EXPECT_EQ(transport->read(reply), c.count) << c.latency.count() << " us";
        EXPECT_EQ(reply[1], c.count ? 0xFB : 0) << c.latency.count() << " us";
        EXPECT_EQ(transport->read(reply), 0) << "a late reply does not come later either";
    }
}

class SimulatedEeprom : public ::testing::Test {
protected:
    SimulatedEeprom() : file_(dir_.path("eeprom.bin")) {}

    SimOptions on_file(const std::string& file) {
        SimOptions options;
        options.eeprom_file = file;
        options.factory_image = patterned(0x20);
        return options;
    }
    static std::string contents(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static std::string bytes_of(const Image& image) { return {image.begin(), image.end()}; }

    test::TempFolder dir_{"zyvora-sim"};
    std::string file_;
};

TEST_F(SimulatedEeprom, WrittenSettingsAreThereForTheNextRun) {
    const Image written = patterned(0x99);
    {
        auto device = make(on_file(file_));
        RecordingFeedback feedback;
        SimulatedPort port(*device);
        auto transport = port.open(feedback);
        DeviceLink link(*transport);
        ASSERT_TRUE(write_settings(link, written, feedback));
    }  // each page went to the file as the device took it
    EXPECT_EQ(contents(file_), bytes_of(written));

    auto later = make(on_file(file_));
    RecordingFeedback feedback;
    SimulatedPort port(*later);
    auto transport = port.open(feedback);
    DeviceLink link(*transport);
    Image read{};
    EXPECT_TRUE(read_settings(link, read, feedback));
    EXPECT_EQ(read, written);
}

TEST_F(SimulatedEeprom, OnlyWritesReplaceTheFileAndAPartialWriteKeepsTheRestOfTheEeprom) {
    {
        auto device = make(on_file(file_));
        RecordingFeedback feedback;
        auto transport = SimulatedPort(*device).open(feedback);
        DeviceLink link(*transport);
        Image image{};
        EXPECT_TRUE(read_settings(link, image, feedback));
    }
    EXPECT_FALSE(fs::exists(file_));

    SimOptions options = on_file(file_);
    options.faults = {*parse_sim_fault("write@2=gone", nullptr)};
    {
        auto device = make(options);
        RecordingFeedback feedback;
        auto transport = SimulatedPort(*device).open(feedback);
        DeviceLink link(*transport);
        EXPECT_FALSE(write_settings(link, patterned(0x55), feedback));
    }
    Image expected = patterned(0x20);
    std::copy_n(patterned(0x55).begin(), 2 * kPageSize, expected.begin());
    EXPECT_EQ(contents(file_), bytes_of(expected));
    EXPECT_FALSE(fs::exists(file_ + ".new"));
}

TEST_F(SimulatedEeprom, AFileOfTheWrongSizeIsAClearError) {
    const struct {
        std::size_t size;
        std::string why;
    } cases[] = {
        {100, ": holds 100 bytes; an EEPROM file holds exactly 16384"},
        {0, ": holds 0 bytes; an EEPROM file holds exactly 16384"},
        {kImageSize + 1, ": holds more than 16384 bytes; an EEPROM file holds exactly 16384"},
    };
    for (const auto& c : cases) {
        std::ofstream(file_, std::ios::binary | std::ios::trunc) << std::string(c.size, 'e');
        std::string error;
        EXPECT_EQ(SimulatedDevice::create(on_file(file_), &error), nullptr);
        EXPECT_EQ(error, "EEPROM file " + file_ + c.why);
        EXPECT_EQ(contents(file_), std::string(c.size, 'e'));  // left as it was
    }
}

// A FIFO nobody writes would hold the device for ever: what is no regular file is refused
// unread, when the device is made and when a file is swapped for one before an operation.
TEST_F(SimulatedEeprom, WhatIsNoRegularFileIsRefusedWithoutWaitingForIt) {
    const std::string fifo = dir_.path("fifo.bin");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto refused_at_once = [&] {
        ::alarm(10);  // a hang ends the child, failing the test, instead of the whole run
        const struct {
            std::string file;
            std::string why;
        } cases[] = {
            {fifo, "is a FIFO, not a regular file"},
            {"/dev/null", "is a device, not a regular file"},
            {dir_.path(), "is a folder, not a regular file"},
        };
        bool right = true;
        for (const auto& c : cases) {
            std::string error;
            const bool made = SimulatedDevice::create(on_file(c.file), &error) != nullptr;
            if (made || error != "EEPROM file " + c.file + ": " + c.why) {
                std::fprintf(stderr, "%s: \"%s\"\n", c.file.c_str(), error.c_str());
                right = false;
            }
        }
        auto device = make(on_file(file_));
        ::mkfifo(file_.c_str(), 0600);
        RecordingFeedback feedback;
        right = right && SimulatedPort(*device).open(feedback) == nullptr &&
                feedback.lines() == std::vector<std::string>{
                                        kFound, "Simulated device: EEPROM file " + file_ + ": is a FIFO, not a regular file"};
        std::exit(right ? 0 : 1);
    };
    EXPECT_EXIT(refused_at_once(), ::testing::ExitedWithCode(0), "");
}

TEST_F(SimulatedEeprom, EveryAcknowledgedPageIsInTheFileAtOnce) {
    auto device = make(on_file(file_));
    device->handle(page_request(Command::ReadPage, 3));
    EXPECT_FALSE(fs::exists(file_)) << "a read creates nothing";

    Image expected = patterned(0x20);
    for (const std::uint16_t page : {3, 511, 0}) {
        const SimAnswer answer = device->handle(page_request(Command::WritePage, page, 0xA0 + page % 16));
        EXPECT_EQ(answer.reply[1], 0xFD) << page;
        std::fill_n(expected.begin() + page * kPageSize, kPageSize, 0xA0 + page % 16);
        // Still open: the device has not synced or let go of the file, yet the page is there.
        EXPECT_EQ(contents(file_), bytes_of(expected)) << page;
    }
    struct stat st {};
    ASSERT_EQ(::stat(file_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u) << "it holds passwords";
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 1) << "no file beside it";
}

TEST_F(SimulatedEeprom, TwoDevicesOnOneFileTakeTurnsAndKeepEachOthersPages) {
    // Both start before the file exists; the second must not put its whole EEPROM over the first's.
    auto first = make(on_file(file_));
    auto second = make(on_file(file_));
    EXPECT_EQ(first->handle(page_request(Command::WritePage, 1, 0x11)).reply[1], 0xFD);
    const SimAnswer refused = second->handle(page_request(Command::WritePage, 2, 0x22));
    EXPECT_EQ(refused.reply[1], 0);
    EXPECT_EQ(refused.eeprom_error, "EEPROM not saved to " + file_ + ": The device is in use by another program.");
    ASSERT_TRUE(first->sync_eeprom(nullptr));  // lets the file go

    EXPECT_EQ(second->handle(page_request(Command::WritePage, 2, 0x22)).reply[1], 0xFD);
    Image expected = patterned(0x20);
    std::fill_n(expected.begin() + 1 * kPageSize, kPageSize, 0x11);
    std::fill_n(expected.begin() + 2 * kPageSize, kPageSize, 0x22);
    EXPECT_TRUE(contents(file_) == bytes_of(expected));
    EXPECT_EQ(second->eeprom(), expected);
}

TEST_F(SimulatedEeprom, ThroughASymbolicLinkItsTargetIsWrittenAndTheLinkStays) {
    const std::string link = dir_.path("link.bin");
    const struct {
        std::string name;
        bool target_exists;
    } cases[] = {{"dangling", false}, {"to a file", true}};
    for (const auto& c : cases) {
        fs::remove(file_);
        fs::remove(link);
        Image expected = patterned(0x20);
        if (c.target_exists) {
            expected = patterned(0x31);
            std::ofstream(file_, std::ios::binary) << bytes_of(expected);
        }
        fs::create_symlink("eeprom.bin", link);
        auto device = make(on_file(link));
        EXPECT_EQ(device->handle(page_request(Command::WritePage, 9, 0x5C)).reply[1], 0xFD) << c.name;
        std::fill_n(expected.begin() + 9 * kPageSize, kPageSize, 0x5C);
        EXPECT_TRUE(fs::is_symlink(link)) << c.name;
        EXPECT_EQ(fs::read_symlink(link), "eeprom.bin") << c.name;
        EXPECT_EQ(contents(file_), bytes_of(expected)) << c.name;
    }
}

TEST_F(SimulatedEeprom, APageTheFileDoesNotTakeIsNotAcknowledged) {
    // No folder to make the file in. (A file that stops taking pages part way is the size
    // limit's business, in the command line's tests.)
    const std::string file = dir_.path("missing/eeprom.bin");
    auto device = make(on_file(file));
    RecordingFeedback feedback;
    {
        auto transport = SimulatedPort(*device).open(feedback);
        ASSERT_NE(transport, nullptr);
        DeviceLink link(*transport);
        EXPECT_FALSE(write_settings(link, patterned(1), feedback));
    }
    const std::string not_saved = "EEPROM not saved to " + file + ": No such file or directory";
    EXPECT_EQ(feedback.lines(),
              (std::vector<std::string>{kFound, "Simulated device: " + not_saved, "Page write error: 1/512"}));
    EXPECT_EQ(device->refusals(), std::vector<std::string>{"write page 0: " + not_saved});
    EXPECT_EQ(device->eeprom(), patterned(0x20)) << "the device holds what it held";
}

TEST_F(SimulatedEeprom, ANewFileThatCannotTakeTheWholeEepromIsNotLeftBehind) {
    // Run in a child, whose file size limit stops the new file part way through the EEPROM.
    const auto first_page_on_a_size_limit = [&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1000, 1000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        auto device = make(on_file(file_));
        const SimAnswer answer = device->handle(page_request(Command::WritePage, 5, 0x77));
        const std::string not_saved = "EEPROM not saved to " + file_ + ": File too large";
        const bool right = answer.reply[1] == 0 && answer.eeprom_error == not_saved &&
                           device->refusals() == std::vector<std::string>{"write page 5: " + not_saved} &&
                           device->eeprom() == patterned(0x20) && !fs::exists(file_);
        if (!right) std::fprintf(stderr, "refused with \"%s\"\n", answer.eeprom_error.value_or("").c_str());
        std::exit(right ? 0 : 1);
    };
    EXPECT_EXIT(first_page_on_a_size_limit(), ::testing::ExitedWithCode(0), "");
    EXPECT_FALSE(fs::exists(file_));
}

}  // namespace
}  // namespace zyvora
