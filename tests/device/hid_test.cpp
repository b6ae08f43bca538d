// Finding, choosing, listing and locking the device among the HID interfaces, and the 65-byte
// exchange over hidapi.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "../device/listed_device_print.h"
#include "../support/file_lock.h"
#include "../support/recording_feedback.h"
#include "../support/temp_folder.h"
#include "exclusive_lock.h"
#include "hid.h"
#include "link.h"

namespace zyvora {
namespace {

using testing::RecordingFeedback;

const std::string kFound = "Zyvora Plus 2.0 found, vid: Vid_0483, pid: A124";
const std::string kNotFound = "Zyvora Plus 2.0 not found.";
const std::string kInUse = "The device is in use by another program.";

// A device behind an opened interface: it answers the version queries, or stays silent, and
// keeps every request it got.
struct FakeDevice {
    std::optional<std::uint32_t> firmware_version = 113;  // none: it never answers
    std::string hardware_version = "Zyvora Plus 2.0 rev B";
    std::vector<Report> requests;
};

class FakeBackend : public HidBackend {
public:
    std::vector<HidInterface> interfaces;
    std::map<std::string, FakeDevice> devices;   // path -> what answers there
    std::map<std::string, std::string> refused;  // path -> why it cannot be opened
    std::set<std::string> in_use;                // paths another program holds
    std::vector<std::string> opened;             // every path Open tried
    int open_now = 0, most_open = 0;             // transports alive, now and at most

    std::vector<HidInterface> enumerate() override { return interfaces; }
    HidOpening open(const std::string& path) override {
        opened.push_back(path);
        HidOpening opening;
        if (in_use.count(path)) opening.in_use = true;
        else if (const auto r = refused.find(path); r != refused.end()) opening.why = r->second;
        else opening.transport = std::make_unique<Answering>(*this, path);
        return opening;
    }
    // Every request any device got, as "path: command".
    std::vector<std::string> sent() const {
        std::vector<std::string> out;
        for (const auto& [path, device] : devices) {
            for (const Report& r : device.requests) out.push_back(path + ": " + std::to_string(r[1]));
        }
        return out;
    }

    class Answering : public Transport {
    public:
        Answering(FakeBackend& backend, std::string path) : backend_(backend), path(std::move(path)) {
            backend_.most_open = std::max(backend_.most_open, ++backend_.open_now);
        }
        ~Answering() override { --backend_.open_now; }
        int write(const Report& request) override {
            FakeDevice& device = backend_.devices[path];
            device.requests.push_back(request);
            pending_.reset();
            if (!device.firmware_version) return 65;
            Report reply{};
            reply[1] = request[1];
            if (request[1] == static_cast<std::uint8_t>(Command::FirmwareVersion)) {
                put_le32(reply, kPayloadAt, *device.firmware_version);
            } else {
                std::copy(device.hardware_version.begin(), device.hardware_version.end(), reply.begin() + kPayloadAt);
            }
            pending_ = reply;
            return 65;
        }
        int read(Report& reply) override {
            if (!pending_) return 0;
            reply = *pending_;
            return 65;
        }

    private:
        FakeBackend& backend_;
        std::optional<Report> pending_;

    public:
        const std::string path;
    };
};

// Three of ours among another maker's interface, as hidraw lists them; the last gives no serial.
const std::vector<HidInterface> kThree = {
    {"/dev/hidraw0", "HID\\VID_046D&PID_C52B", "8D5F1A"},
    {"/dev/hidraw1", "HID\\VID_0483&PID_A124", "3657A8B2"},
    {"/dev/hidraw2", "HID\\VID_0483&PID_A124", "3657A8C0"},
    {"/dev/hidraw3", "HID\\VID_0483&PID_A124", ""},
};
const std::string kThreeListed =
    "\n/dev/hidraw1 (serial number 3657A8B2)\n/dev/hidraw2 (serial number 3657A8C0)\n/dev/hidraw3 (no serial number)";

class HidOpen : public ::testing::Test {
protected:
    std::unique_ptr<Transport> open(std::vector<HidInterface> interfaces, std::string pick = {}) {
        make_port(std::move(interfaces), std::move(pick));
        return port_->open(feedback_);
    }
    void make_port(std::vector<HidInterface> interfaces, std::string pick = {}) {
        auto backend = std::make_unique<FakeBackend>();
        backend_ = backend.get();
        backend->interfaces = std::move(interfaces);
        backend->refused = refused_;
        backend->in_use = in_use_;
        port_ = std::make_unique<HidPort>(std::move(backend), std::move(pick));  // keeps backend_ alive
        port_->set_rule_places({});  // no udev rule installed
        if (chooser_) port_->set_chooser(chooser_);
    }
    static std::string path_of(const std::unique_ptr<Transport>& transport) {
        auto* opened = dynamic_cast<FakeBackend::Answering*>(transport.get());
        return opened ? opened->path : "<not a device transport>";
    }

    RecordingFeedback feedback_;
    std::map<std::string, std::string> refused_;
    std::set<std::string> in_use_;
    HidChooser chooser_;
    FakeBackend* backend_ = nullptr;
    std::unique_ptr<HidPort> port_;
};

TEST_F(HidOpen, NothingToFindLogsNotFound) {
    for (const std::string pick : {"", "/dev/hidraw1", "3657A8B2"}) {
        feedback_.events.clear();
        EXPECT_EQ(open({}, pick), nullptr);
        EXPECT_EQ(feedback_.events, std::vector<std::string>{"log: " + kNotFound}) << pick;

        feedback_.events.clear();
        EXPECT_EQ(open({{"/dev/hidraw0", "HID\\VID_046D&PID_C52B", "1"}, {"/dev/hidraw1", "HID\\VID_0483&PID_A125", "2"}},
                       pick),
                  nullptr);
        EXPECT_EQ(feedback_.events, std::vector<std::string>{"log: " + kNotFound}) << pick;
        EXPECT_TRUE(backend_->opened.empty());
    }
}

// hidraw lists a device once for each of its top-level collections, all with one node.
TEST_F(HidOpen, TheOnlyDeviceIsTakenHoweverOftenItIsListed) {
    const auto transport = open({{"/dev/hidraw0", "HID\\VID_046D&PID_C52B", "8D5F1A"},
                                 {"/dev/hidraw1", "HID\\VID_0483&PID_A124", "3657A8B2"},
                                 {"/dev/hidraw1", "HID\\VID_0483&PID_A124", "3657A8B2"}});
    EXPECT_EQ(path_of(transport), "/dev/hidraw1");
    EXPECT_EQ(backend_->opened, std::vector<std::string>{"/dev/hidraw1"});
    EXPECT_EQ(feedback_.events, std::vector<std::string>{"log: " + kFound});
    ASSERT_EQ(port_->attached().size(), 1u);
    EXPECT_EQ(port_->attached()[0].serial_number, "3657A8B2");
}

TEST_F(HidOpen, SeveralDevicesWithNonePickedAreRefusedBeforeAnythingIsSent) {
    EXPECT_EQ(open(kThree), nullptr);
    EXPECT_EQ(feedback_.events, std::vector<std::string>{"error: Several Zyvora Plus 2.0 devices are attached:" +
                                                         kThreeListed +
                                                         "\nPick one with --device hid:PATH or --device hid:SERIAL."});
    EXPECT_TRUE(backend_->opened.empty());
}

TEST_F(HidOpen, APickTakesTheDeviceAtItsPathOrWithItsSerialNumber) {
    const struct {
        std::string pick;
        std::string path;
        std::string serial;  // as the port then tells it, for the station book
    } cases[] = {
        {"/dev/hidraw2", "/dev/hidraw2", "3657A8C0"},
        {"3657A8B2", "/dev/hidraw1", "3657A8B2"},
        {"/dev/hidraw3", "/dev/hidraw3", ""},  // no serial number: by its path
    };
    for (const auto& c : cases) {
        feedback_.events.clear();
        const auto transport = open(kThree, c.pick);
        EXPECT_EQ(path_of(transport), c.path) << c.pick;
        EXPECT_EQ(port_->serial_number(), c.serial) << c.pick;
        EXPECT_EQ(port_->device_path(), c.path) << c.pick;
        EXPECT_EQ(backend_->opened, std::vector<std::string>{c.path}) << c.pick;
        EXPECT_EQ(feedback_.events, std::vector<std::string>{"log: " + kFound}) << c.pick;
    }
}

TEST_F(HidOpen, APickThatMatchesNoneSaysSoAndListsThoseAttached) {
    // Another maker's device does not count, by its path nor by its serial number; no
    // serial number is not the empty one.
    for (const std::string pick : {"/dev/hidraw9", "3657A8B", "/dev/hidraw0", "8D5F1A", "hidraw1"}) {
        feedback_.events.clear();
        EXPECT_EQ(open(kThree, pick), nullptr) << pick;
        EXPECT_EQ(feedback_.events, std::vector<std::string>{"error: No Zyvora Plus 2.0 with the path or serial number " +
                                                             pick + " is attached. Attached:" + kThreeListed});
        EXPECT_TRUE(backend_->opened.empty()) << pick;
    }
}

TEST_F(HidOpen, ASerialNumberThatSeveralDevicesShareAsksForThePath) {
    EXPECT_EQ(open({{"/dev/hidraw4", "HID\\VID_0483&PID_A124", "0001"},
                    {"/dev/hidraw5", "HID\\VID_0483&PID_A124", "0002"},
                    {"/dev/hidraw6", "HID\\VID_0483&PID_A124", "0001"}},
                   "0001"),
              nullptr);
    EXPECT_EQ(feedback_.events,
              std::vector<std::string>{"error: Several Zyvora Plus 2.0 devices have the serial number 0001:\n"
                                       "/dev/hidraw4 (serial number 0001)\n/dev/hidraw6 (serial number 0001)\n"
                                       "Pick one with --device hid:PATH."});
    EXPECT_TRUE(backend_->opened.empty());
}

TEST_F(HidOpen, AChooserIsAskedOnlyAmongSeveralAndItsCancelSendsNothing) {
    std::vector<std::vector<std::string>> asked;  // the paths of every question
    std::optional<std::size_t> answer;
    chooser_ = [&](const std::vector<HidInterface>& devices) {
        asked.emplace_back();
        for (const auto& d : devices) asked.back().push_back(d.path);
        return answer;
    };
    const std::vector<std::string> three = {"/dev/hidraw1", "/dev/hidraw2", "/dev/hidraw3"};

    answer = 2;
    EXPECT_EQ(path_of(open(kThree)), "/dev/hidraw3");
    EXPECT_EQ(asked, std::vector<std::vector<std::string>>{three});
    EXPECT_EQ(feedback_.events, std::vector<std::string>{"log: " + kFound});

    // Cancel, or an answer that is none of them: no device is opened and nothing is logged.
    for (const std::optional<std::size_t> refusal : {std::optional<std::size_t>{}, std::optional<std::size_t>{3}}) {
        asked.clear();
        feedback_.events.clear();
        answer = refusal;
        EXPECT_EQ(open(kThree), nullptr);
        EXPECT_EQ(asked, std::vector<std::vector<std::string>>{three});
        EXPECT_TRUE(feedback_.events.empty());
        EXPECT_TRUE(backend_->opened.empty());
    }

    // One device, or a pick that leaves one: nothing to ask.
    asked.clear();
    feedback_.events.clear();
    EXPECT_EQ(path_of(open({kThree[0], kThree[2]})), "/dev/hidraw2");
    EXPECT_EQ(path_of(open(kThree, "3657A8B2")), "/dev/hidraw1");
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(feedback_.lines(), (std::vector<std::string>{kFound, kFound}));
}

TEST_F(HidOpen, ADeviceAnotherProgramHoldsIsNotOpened) {
    in_use_ = {"/dev/hidraw2"};
    EXPECT_EQ(open(kThree, "/dev/hidraw2"), nullptr);
    EXPECT_EQ(feedback_.lines(), (std::vector<std::string>{kFound, kInUse}));
    EXPECT_TRUE(feedback_.boxes().empty());
    EXPECT_TRUE(backend_->sent().empty());
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
    auto transport = open({{"/dev/hidraw4", "HID\\VID_0483&PID_A124", "0001"}});
    EXPECT_EQ(feedback_.lines(),
              (std::vector<std::string>{kFound,
                                        "Zyvora Plus 2.0 could not be opened: Failed to open a device with path "
                                        "'/dev/hidraw4': Permission denied. On Linux, install the udev rule "
                                        "resources/50-zyvora-plus.rules (see README), then reload udev's rules "
                                        "(sudo udevadm control --reload-rules && sudo udevadm trigger "
                                        "--subsystem-match=hidraw)."}));
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
    open({{"p", "HID\\VID_0483&PID_A124", ""}});
    EXPECT_EQ(feedback_.lines().back(),
              "Zyvora Plus 2.0 could not be opened: Permission denied. On Linux, install the udev rule "
              "resources/50-zyvora-plus.rules (see README), then reload udev's rules (sudo udevadm control "
              "--reload-rules && sudo udevadm trigger --subsystem-match=hidraw).");
}

// The hint names the rule where one is installed: to reload where udev reads it, to move where not;
// away from the seat, to join the rule's group.
TEST(PermissionHint, NamesTheInstalledRuleOrHowToInstallIt) {
    const std::string reload = "(sudo udevadm control --reload-rules && sudo udevadm trigger --subsystem-match=hidraw)";
    const std::string local = ::testing::TempDir() + "50-zyvora-plus.rules";
    const SeatAccess seat{true, false, "ann"}, remote{false, false, "ann"}, member{false, true, "ann"};
    { std::ofstream(local) << "# rule\n"; }
    EXPECT_EQ(permission_hint({"/nowhere/50-zyvora-plus.rules", local}, remote),
              "The udev rule " + local + " is where udev does not read it: copy it to /etc/udev/rules.d/, then "
              "reload udev's rules " + reload + ".");
    EXPECT_EQ(permission_hint({"/nowhere/50-zyvora-plus.rules"}, seat),
              "On Linux, install the udev rule resources/50-zyvora-plus.rules (see README), then reload udev's "
              "rules " + reload + ".");
    std::remove(local.c_str());
    // Any rule udev reads stands in for ours, which this machine need not have.
    for (const char* folder : {"/usr/lib/udev/rules.d/", "/lib/udev/rules.d/"}) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            const std::string rule = entry.path().string();
            for (const SeatAccess& access : {seat, member}) {
                EXPECT_EQ(permission_hint({local, rule}, access),
                          "The udev rule " + rule + " is installed: reload udev's rules " + reload +
                              " or replug the device.");
            }
            EXPECT_EQ(permission_hint({local, rule}, remote),
                      "The udev rule " + rule + " is installed: away from the seat it gives the device to the "
                      "group plugdev; join it (sudo adduser ann plugdev), log in again and replug the device.");
            return;
        }
    }
}

TEST_F(HidOpen, ListAsksEveryDeviceInTurnAndNamesThoseThatCannotAnswer) {
    in_use_ = {"/dev/hidraw2"};
    refused_["/dev/hidraw4"] = "Permission denied.";
    std::vector<HidInterface> four = kThree;
    four.push_back({"/dev/hidraw4", "HID\\VID_0483&PID_A124", "3657A8C4"});
    make_port(four);
    backend_->devices["/dev/hidraw3"].firmware_version.reset();
    backend_->devices["/dev/hidraw1"].firmware_version = 112;

    EXPECT_EQ(port_->list(feedback_),
              (std::vector<ListedDevice>{
                  {"/dev/hidraw1", "3657A8B2", "firmware 1.12, hardware Zyvora Plus 2.0 rev B"},
                  {"/dev/hidraw2", "3657A8C0", "in use by another program"},
                  {"/dev/hidraw3", "", "does not answer"},
                  {"/dev/hidraw4", "3657A8C4", "cannot be opened: Permission denied"},
              }));
    EXPECT_TRUE(feedback_.events.empty());
    EXPECT_EQ(backend_->opened, (std::vector<std::string>{"/dev/hidraw1", "/dev/hidraw2", "/dev/hidraw3", "/dev/hidraw4"}));
    // One open at a time, and none left open: a device is let go before the next is asked.
    EXPECT_EQ(backend_->most_open, 1);
    EXPECT_EQ(backend_->open_now, 0);
    EXPECT_EQ(backend_->sent(), (std::vector<std::string>{"/dev/hidraw1: 251", "/dev/hidraw1: 250", "/dev/hidraw3: 251"}));
}

TEST_F(HidOpen, ListWithAPickShowsItsDevicesAloneAndNoneAttachedIsAnEmptyList) {
    make_port(kThree, "3657A8C0");
    EXPECT_EQ(port_->list(feedback_),
              (std::vector<ListedDevice>{{"/dev/hidraw2", "3657A8C0", "firmware 1.13, hardware Zyvora Plus 2.0 rev B"}}));

    make_port(kThree, "/dev/hidraw7");
    EXPECT_EQ(port_->list(feedback_), std::nullopt);
    EXPECT_EQ(feedback_.events, std::vector<std::string>{"error: No Zyvora Plus 2.0 with the path or serial number "
                                                         "/dev/hidraw7 is attached. Attached:" + kThreeListed});
    EXPECT_TRUE(backend_->opened.empty());

    feedback_.events.clear();
    for (const std::string pick : {"", "/dev/hidraw7"}) {
        make_port({kThree[0]}, pick);
        EXPECT_EQ(port_->list(feedback_), std::vector<ListedDevice>{}) << pick;
    }
    EXPECT_TRUE(feedback_.events.empty());
}

// A folder stands for a device node: it opens and locks as a node does, and hidapi refuses it
// cleanly, where a plain file crashes hidapi 0.13's open.
class NodeFile : public ::testing::Test {
protected:
    // Whether another program could lock it now.
    bool free_for_others() const { return test::free_for_others(path_); }

    test::TempFolder node_{"zyvora-node"};
    const std::string path_ = node_.path();
};

TEST_F(NodeFile, AnExclusiveLockHoldsUntilItGoes) {
    {
        ExclusiveLock lock;
        EXPECT_EQ(lock.take(path_), ExclusiveLock::Result::Held);
        EXPECT_TRUE(lock.held());
        EXPECT_FALSE(free_for_others());
        ExclusiveLock second;
        EXPECT_EQ(second.take(path_), ExclusiveLock::Result::InUse);
        EXPECT_FALSE(second.held());
        ExclusiveLock moved = std::move(lock);
        EXPECT_FALSE(lock.held());
        EXPECT_FALSE(free_for_others());
    }
    EXPECT_TRUE(free_for_others());
    ExclusiveLock missing;
    EXPECT_EQ(missing.take(path_ + "/missing"), ExclusiveLock::Result::NoFile);
}

TEST_F(NodeFile, HidapiLeavesANodeThatAnotherProgramHoldsUnopened) {
    HidOpening opening;
    {
        const test::HeldByOthers held(path_);
        opening = make_hidapi_backend()->open(path_);
        EXPECT_TRUE(opening.in_use);
        EXPECT_EQ(opening.transport, nullptr);
        EXPECT_EQ(opening.why, "");
    }

    // Free, but no HID device: hidapi refuses it, and the lock taken for it is let go.
    opening = make_hidapi_backend()->open(path_);
    EXPECT_FALSE(opening.in_use);
    EXPECT_EQ(opening.transport, nullptr);
    EXPECT_FALSE(opening.why.empty());
    EXPECT_TRUE(free_for_others());
}

TEST(HidapiBackend, APathThatCannotBeOpenedGivesAReason) {
    const HidOpening opening = make_hidapi_backend()->open("/nonexistent/hidraw99");
    EXPECT_EQ(opening.transport, nullptr);
    EXPECT_FALSE(opening.in_use);
    EXPECT_FALSE(opening.why.empty());
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
