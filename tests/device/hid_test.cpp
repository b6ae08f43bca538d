// Finding and opening the device among the HID interfaces, and the 65-byte exchange over hidapi.
#include <gtest/gtest.h>

#include <deque>
#include <map>

#include "../device/recording_feedback.h"
#include "hid.h"
#include "link.h"

namespace zyvora {
namespace {

using testing::RecordingFeedback;

const std::string kFound = "Zyvora Plus 2.0 found, vid: Vid_0483, pid: A124";
const std::string kNotFound = "Zyvora Plus 2.0 not found.";

// Stands for the interface that was opened, so a test can tell which one it got.
class PathTransport : public Transport {
public:
    explicit PathTransport(std::string path) : path(std::move(path)) {}
    int write(const Report&) override { return 65; }
    int read(Report&) override { return 65; }
    std::string path;
};

class FakeBackend : public HidBackend {
public:
    std::vector<HidInterface> interfaces;
    std::map<std::string, std::string> refused;  // path -> why it cannot be opened
    std::vector<std::string> opened;             // every path Open tried

    std::vector<HidInterface> enumerate() override { return interfaces; }
    std::unique_ptr<Transport> open(const std::string& path, std::string* why) override {
        opened.push_back(path);
        if (const auto r = refused.find(path); r != refused.end()) {
            *why = r->second;
            return nullptr;
        }
        return std::make_unique<PathTransport>(path);
    }
};

class HidOpen : public ::testing::Test {
protected:
    std::unique_ptr<Transport> open(std::vector<HidInterface> interfaces) {
        auto backend = std::make_unique<FakeBackend>();
        backend_ = backend.get();
        backend->interfaces = std::move(interfaces);
        backend->refused = refused_;
        port_ = std::make_unique<HidPort>(std::move(backend));  // keeps backend_ alive
        return port_->open(feedback_);
    }
    static std::string path_of(const std::unique_ptr<Transport>& transport) {
        auto* opened = dynamic_cast<PathTransport*>(transport.get());
        return opened ? opened->path : "<not a path transport>";
    }

    RecordingFeedback feedback_;
    std::map<std::string, std::string> refused_;
    FakeBackend* backend_ = nullptr;
    std::unique_ptr<HidPort> port_;
};

TEST_F(HidOpen, NothingToFindLogsNotFound) {
    EXPECT_EQ(open({}), nullptr);
    EXPECT_EQ(feedback_.events, std::vector<std::string>{"log: " + kNotFound});

    feedback_.events.clear();
    EXPECT_EQ(open({{"/dev/hidraw0", "HID\\VID_046D&PID_C52B"}, {"/dev/hidraw1", "HID\\VID_0483&PID_A125"}}),
              nullptr);
    EXPECT_EQ(feedback_.events, std::vector<std::string>{"log: " + kNotFound});
    EXPECT_TRUE(backend_->opened.empty());
}

TEST_F(HidOpen, SkipsOtherDevicesAndTakesTheFirstMatchOnly) {
    const auto transport = open({{"/dev/hidraw0", "HID\\VID_046D&PID_C52B"},
                                 {"/dev/hidraw1", "HID\\VID_0483&PID_A124"},
                                 {"/dev/hidraw2", "HID\\VID_0483&PID_A124"}});
    EXPECT_EQ(path_of(transport), "/dev/hidraw1");
    EXPECT_EQ(backend_->opened, std::vector<std::string>{"/dev/hidraw1"});
    EXPECT_EQ(feedback_.events, std::vector<std::string>{"log: " + kFound});
}

TEST(HidMatch, HardwareIdContainsVendorAndProductInAnyCase) {
    const struct {
        const char* id;
        bool matches;
    } cases[] = {
        {"HID\\VID_0483&PID_A124", true},
        {"hid\\vid_0483&pid_a124", true},
        {"HID\\Vid_0483&Pid_a124&REV_0200", true},
        {"HID\\VID_0483&PID_A124&MI_00\\7&1A2B", true},
        {"HID\\VID_0483&PID_A125", false},
        {"HID\\VID_0484&PID_A124", false},
        {"HID\\VID_0483_PID_A124", false},
        {"HID\\PID_A124&VID_0483", false},
        {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(is_device_hardware_id(c.id), c.matches) << c.id;
}

TEST_F(HidOpen, AMatchThatWillNotOpenSaysWhyAndItsExchangesFail) {
    refused_["/dev/hidraw4"] = "Failed to open a device with path '/dev/hidraw4': Permission denied";
    auto transport = open({{"/dev/hidraw4", "HID\\VID_0483&PID_A124"}, {"/dev/hidraw5", "HID\\VID_0483&PID_A124"}});
    EXPECT_EQ(feedback_.lines(),
              (std::vector<std::string>{kFound,
                                        "Zyvora Plus 2.0 could not be opened: Failed to open a device with path "
                                        "'/dev/hidraw4': Permission denied. On Linux, install the udev rule "
                                        "resources/50-zyvora-plus.rules (see README)."}));
    // The later match is not tried: the first one is the device.
    EXPECT_EQ(backend_->opened, std::vector<std::string>{"/dev/hidraw4"});
    ASSERT_NE(transport, nullptr);
    Report reply;
    EXPECT_NE(transport->write(make_request(Command::FirmwareVersion)), 65);
    EXPECT_NE(transport->read(reply), 65);
    DeviceLink link(*transport);
    EXPECT_EQ(link.firmware_version(), std::nullopt);
}

TEST_F(HidOpen, AReasonEndingInAFullStopIsNotDoubled) {
    refused_["p"] = "Permission denied.";
    open({{"p", "HID\\VID_0483&PID_A124"}});
    EXPECT_EQ(feedback_.lines().back(),
              "Zyvora Plus 2.0 could not be opened: Permission denied. On Linux, install the udev rule "
              "resources/50-zyvora-plus.rules (see README).");
}

TEST(HidapiBackend, APathThatCannotBeOpenedGivesAReason) {
    std::string why;
    EXPECT_EQ(make_hidapi_backend()->open("/nonexistent/hidraw99", &why), nullptr);
    EXPECT_FALSE(why.empty());
}

// hidapi as a device without numbered reports shows it: reads give the report without byte 0.
class FakeIo : public HidIo {
public:
    struct Log {
        std::deque<std::vector<std::uint8_t>> queued;  // input reports waiting to be read
        std::vector<std::uint8_t> reply;               // queued by the next write
        int write_result = 65;
        int read_result = 0;  // what a read returns when nothing is queued
        std::vector<std::vector<std::uint8_t>> written;
        std::vector<int> timeouts;  // the time limit of every read
    };
    explicit FakeIo(Log& log) : log_(log) {}

    int write(const std::uint8_t* data, std::size_t length) override {
        log_.written.emplace_back(data, data + length);
        if (!log_.reply.empty()) log_.queued.push_back(log_.reply);
        return log_.write_result;
    }
    int read_timeout(std::uint8_t* data, std::size_t length, int milliseconds) override {
        log_.timeouts.push_back(milliseconds);
        if (log_.queued.empty()) return log_.read_result;
        const std::vector<std::uint8_t> report = log_.queued.front();
        log_.queued.pop_front();
        const std::size_t n = std::min(length, report.size());
        std::copy_n(report.begin(), n, data);
        return static_cast<int>(n);
    }

private:
    Log& log_;
};

TEST(HidTransport, DrainsStaleInputThenRebuildsTheReplyWithItsReportId) {
    FakeIo::Log io;
    io.queued = {std::vector<std::uint8_t>(64, 0xEE), std::vector<std::uint8_t>(64, 0xDD)};
    io.reply.assign(64, 0);
    io.reply[0] = 0xFB;
    io.reply[1] = 0x71;
    io.reply[63] = 0x5A;
    HidTransport transport(std::make_unique<FakeIo>(io));

    Report request = make_request(Command::FirmwareVersion);
    request[64] = 0x33;
    EXPECT_EQ(transport.write(request), 65);
    ASSERT_EQ(io.written.size(), 1u);
    EXPECT_EQ(io.written[0], std::vector<std::uint8_t>(request.begin(), request.end()));

    Report reply;
    reply.fill(0x99);
    EXPECT_EQ(transport.read(reply), 65);
    Report expected{};
    expected[1] = 0xFB;
    expected[2] = 0x71;
    expected[64] = 0x5A;
    EXPECT_EQ(reply, expected);
    // Two stale reports and the empty queue at 0 ms, then the reply within the time limit.
    EXPECT_EQ(io.timeouts, (std::vector<int>{0, 0, 0, kReplyTimeoutMs}));
}

TEST(HidTransport, CountsPassThroughWithTheReportIdByte) {
    const struct {
        std::size_t delivered;  // bytes the device sends, 0: none in time
        int read_result;        // what hidapi returns when nothing comes
        int count;
    } cases[] = {{64, 0, 65}, {10, 0, 11}, {0, 0, 0}, {0, -1, -1}};
    for (const auto& c : cases) {
        FakeIo::Log io;
        io.reply.assign(c.delivered, 0xFC);
        io.read_result = c.read_result;
        HidTransport transport(std::make_unique<FakeIo>(io));
        Report reply;
        ASSERT_EQ(transport.write(make_request(Command::ReadPage)), 65);
        EXPECT_EQ(transport.read(reply), c.count) << c.delivered << " bytes, read result " << c.read_result;
    }

    FakeIo::Log io;
    io.write_result = -1;
    HidTransport transport(std::make_unique<FakeIo>(io));
    EXPECT_EQ(transport.write(make_request(Command::ReadPage)), -1);
}

}  // namespace
}  // namespace zyvora
