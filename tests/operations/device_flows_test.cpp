// The device command flows against the simulated device: what reaches the device, what the
// log and the boxes say, and when the controls change.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "../support/expected_defaults.h"
#include "../support/recording_feedback.h"
#include "../support/temp_folder.h"
#include "device_flows.h"
#include "files.h"
#include "operations.h"
#include "passes.h"
#include "simulated_device.h"

namespace zyvora {
namespace {

using testing::RecordingFeedback;
using testing::counted_lines;

// "Write config" as it was before backups and verify, for the tests of what comes before them.
const WriteSafety kPlainWrite{std::nullopt, false};

class DeviceFlows : public ::testing::Test {
protected:
    void make_device(SimOptions options) {
        if (!options.factory_image) options.factory_image = factory_image(registry_);
        std::string why;
        device_ = SimulatedDevice::create(options, &why);
        ASSERT_TRUE(device_) << why;
        port_ = std::make_unique<SimulatedPort>(*device_);
    }
    std::size_t requests_of(Command command) const {
        std::size_t n = 0;
        for (const auto& r : device_->requests()) n += r[1] == static_cast<std::uint8_t>(command);
        return n;
    }

    const Registry& registry_ = Registry::instance();
    ControlStore store_ = test::startup_store(registry_);
    Image image_{};
    RecordingFeedback feedback_;
    std::unique_ptr<SimulatedDevice> device_;
    std::unique_ptr<SimulatedPort> port_;
};

TEST_F(DeviceFlows, ReadThatStopsAfterTheUsedRegionStillDecodes) {
    Image stored = factory_image(registry_);
    ControlStore station = test::startup_store(registry_);
    station.set_text("Callsign", "SP5XYZ");
    ASSERT_TRUE(encode(registry_, station, stored, {false, 7}).empty());
    SimOptions options;
    options.factory_image = stored;
    options.faults.push_back(*parse_sim_fault("read@100=wrong-sum", nullptr));
    make_device(options);

    EXPECT_TRUE(read_config(*port_, registry_, store_, image_, feedback_));
    const auto lines = feedback_.lines();
    EXPECT_EQ(lines[101], "Page read error: 101/512");
    EXPECT_EQ(lines[102], "Eeprom read success.");
    EXPECT_EQ(store_.text("Callsign"), "SP5XYZ");
    EXPECT_EQ(feedback_.boxes(), (std::vector<std::string>{
                                     "message: Firmware version: 1.13\r\nHardware version: Zyvora Plus 2.0 simulated hardware"}));
}

TEST_F(DeviceFlows, OtherVersionTagChangesNoControl) {
    Image stored = factory_image(registry_);
    ControlStore station = test::startup_store(registry_);
    station.set_text("Callsign", "SP5XYZ");
    ASSERT_TRUE(encode(registry_, station, stored, {false, 7}).empty());
    stored[10] = '2';  // v1.12, checksum mended
    const std::uint32_t sum = image_sum(stored);
    for (int i = 0; i < 4; ++i) stored[i] = static_cast<std::uint8_t>(sum >> (8 * i));
    SimOptions options;
    options.factory_image = stored;
    make_device(options);

    EXPECT_FALSE(read_config(*port_, registry_, store_, image_, feedback_));
    EXPECT_EQ(store_.text("Callsign"), "NOCALL");
    EXPECT_EQ(feedback_.lines().back(), "Eeprom read error. Please reload configuration.");
    ASSERT_EQ(feedback_.boxes().size(), 1u);
    EXPECT_TRUE(feedback_.boxes()[0].starts_with("info: Uncompatible configuration version:\nDevice: v1.12"));
}

TEST_F(DeviceFlows, WriteTouchesTheDeviceOnlyWhenEverythingIsRight) {
    make_device({});
    store_.set_text("Txdelay", "199");
    EXPECT_FALSE(write_config(*port_, registry_, store_, image_, feedback_, kPlainWrite));
    EXPECT_EQ(feedback_.events, std::vector<std::string>{"info: TX delay - range error (200 - 1000)."});
    EXPECT_TRUE(device_->requests().empty());

    store_.set_text("Txdelay", "300");
    SimOptions old;
    old.firmware_version = 112;
    make_device(old);
    feedback_.events.clear();
    EXPECT_FALSE(write_config(*port_, registry_, store_, image_, feedback_, kPlainWrite));
    EXPECT_EQ(requests_of(Command::WritePage), 0u);
    EXPECT_EQ(feedback_.boxes().back(),
              "info: Uncompatible firmware version:\nDevice: 1.12\nConfigurator: 1.13\n\n"
              "You need to upload new firmware using \"Upload firmware\" button.");

    SimOptions mute;
    mute.faults.push_back(*parse_sim_fault("fwversion=no-reply", nullptr));
    make_device(mute);
    feedback_.events.clear();
    EXPECT_FALSE(write_config(*port_, registry_, store_, image_, feedback_, kPlainWrite));
    EXPECT_EQ(requests_of(Command::WritePage), 0u);
    EXPECT_TRUE(feedback_.boxes().back().starts_with("info: Uncompatible firmware version:\nDevice: unknown\n"));

    make_device({});
    feedback_.events.clear();
    EXPECT_TRUE(write_config(*port_, registry_, store_, image_, feedback_, kPlainWrite));
    EXPECT_EQ(device_->eeprom(), image_);
    EXPECT_EQ(feedback_.lines().back(), "Eeprom write success");
}

TEST_F(DeviceFlows, UploadDisablesTheButtonsWhateverTheOutcome) {
    make_device({});
    std::vector<bool> states;
    const auto buttons = [&](bool enabled) { states.push_back(enabled); };
    EXPECT_FALSE(upload_firmware_flow(*port_, FirmwareStore::embedded(), feedback_, buttons));
    EXPECT_EQ(states, (std::vector<bool>{false, true}));
    EXPECT_EQ(feedback_.boxes().back(), "info: This build carries no firmware image: give one with --firmware FILE, or build with -DZYVORA_FIRMWARE=path.");

    SimOptions absent;
    absent.not_found = true;
    make_device(absent);
    states.clear();
    EXPECT_FALSE(upload_firmware_flow(*port_, FirmwareStore::embedded(), feedback_, buttons));
    EXPECT_TRUE(states.empty());  // no device: nothing was disabled
}

// A device holding a station's settings, a backup folder of the test's own, and the settings to write.
class SafeWrite : public DeviceFlows {
protected:
    SafeWrite() {
        safety_.backups = folder_.path("backups");
        ControlStore old = test::startup_store(registry_);
        old.set_text("Callsign", "SP5OLD");
        EXPECT_TRUE(encode(registry_, old, old_image_, {false, 7}).empty());
        store_.set_text("Callsign", "SP5NEW");
    }
    void make_station(std::vector<std::string> faults = {}) {
        SimOptions options;
        options.factory_image = old_image_;
        for (const auto& f : faults) options.faults.push_back(*parse_sim_fault(f, nullptr));
        make_device(options);
    }
    std::vector<std::string> backups() const {
        std::vector<std::string> names;
        if (!std::filesystem::exists(*safety_.backups)) return names;
        for (const auto& e : std::filesystem::directory_iterator(*safety_.backups)) names.push_back(e.path().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static std::vector<std::string> joined(std::initializer_list<std::vector<std::string>> parts) {
        std::vector<std::string> all;
        for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    }

    test::TempFolder folder_{"zyvora-backups"};
    WriteSafety safety_;
    Image old_image_{};
    const std::string found_ = "Zyvora Plus 2.0 found, vid: Vid_0483, pid: A124";
};

TEST_F(SafeWrite, BacksUpTheDeviceWritesAndReadsBack) {
    make_station();
    ASSERT_TRUE(write_config(*port_, registry_, store_, image_, feedback_, safety_));
    const auto files = backups();
    ASSERT_EQ(files.size(), 2u);
    const std::string cfg = files[1];
    EXPECT_TRUE(cfg.ends_with(".cfg"));
    EXPECT_EQ(files[0], cfg.substr(0, cfg.size() - 4) + ".bin");
    EXPECT_EQ(feedback_.lines(), joined({{found_},
                                         counted_lines("Page read: ", 512, 512),
                                         {"Backup of the device's settings: " + cfg},
                                         counted_lines("Page written: ", 512, 512),
                                         {"Eeprom write success"},
                                         counted_lines("Page read: ", 512, 512),
                                         {"Verify success: the device holds every byte that was written."}}));
    EXPECT_TRUE(feedback_.boxes().empty());
    EXPECT_EQ(device_->eeprom(), image_);
    EXPECT_TRUE(read_whole_file(files[0]) == std::string(old_image_.begin(), old_image_.end()));
    // The backup is a settings file like any other: reading it gives the old settings back.
    ControlStore restored = test::startup_store(registry_);
    RecordingFeedback quiet;
    ASSERT_TRUE(read_settings_file(registry_, restored, cfg, quiet));
    EXPECT_EQ(restored.text("Callsign"), "SP5OLD");

    // A second write in the same second keeps the first backup.
    ASSERT_TRUE(write_config(*port_, registry_, store_, image_, feedback_, safety_));
    EXPECT_EQ(backups().size(), 4u);
}

// The station book never stops a write: what cannot be filed is told, and the write stands.
TEST_F(SafeWrite, AWriteThatCannotBeFiledStandsWithAWarning) {
    const std::string not_filed = "; the settings are not filed in the station book.";
    const struct {
        std::string book;
        std::string warning;
    } cases[] = {
        {"", "No data folder: neither XDG_DATA_HOME nor HOME names one, and the user has no home folder" + not_filed},
        {"/dev/null/stations", "Unable to write to /dev/null: Not a directory" + not_filed},
    };
    for (const auto& c : cases) {
        make_station();
        feedback_.events.clear();
        WriteSafety safety = safety_;
        safety.book = c.book;
        EXPECT_TRUE(write_config(*port_, registry_, store_, image_, feedback_, safety)) << c.book;
        const auto lines = feedback_.lines();
        // Once for what was replaced, once for what was written, which comes last.
        EXPECT_EQ(std::count(lines.begin(), lines.end(), c.warning), 2) << c.book;
        EXPECT_EQ(lines.back(), c.warning);
        EXPECT_EQ(device_->eeprom(), image_);
    }
}

// Two writes at once (two devices from one script) claim their backup names before either saves,
// so neither backup replaces the other; the half of an older backup keeps its name too.
TEST_F(SafeWrite, BackupNamesAreClaimedAtOnce) {
    std::filesystem::create_directories(*safety_.backups);
    const auto first = claim_backup_name(*safety_.backups);
    ASSERT_TRUE(first) << first.message();
    write_whole_file(*first + "_02.bin", "");
    const auto second = claim_backup_name(*safety_.backups);
    ASSERT_TRUE(second) << second.message();
    EXPECT_NE(*second, *first);
    EXPECT_NE(*second, *first + "_02");
    EXPECT_EQ(read_whole_file(*first + ".cfg"), "");
    EXPECT_EQ(read_whole_file(*second + ".cfg"), "");
    const auto refused = claim_backup_name("/dev/null/backups");
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.message(), "Not a directory");
    EXPECT_EQ(refused.problem().file, "/dev/null/backups");
}

TEST_F(SafeWrite, WhatStopsTheWriteBeforeTheDeviceIsTouched) {
    const std::string unsaved =
        "info: The backup of the device's settings could not be saved, so nothing was written to the device.";
    const struct {
        std::vector<std::string> faults;
        std::optional<std::string> folder;  // none: the test's own; empty: no home folder was found
        std::vector<std::string> boxes;
    } cases[] = {
        {{"read@5=no-reply"}, std::nullopt,
         {"info: The device's settings could not be read for a backup, so nothing was written to the device."}},
        {{}, "/dev/null/backups", {"error: Unable to write to /dev/null/backups: /dev/null: Not a directory", unsaved}},
        {{}, "",
         {"error: No folder for backups: neither XDG_DATA_HOME nor HOME names one, and the user has no home folder.",
          unsaved}},
    };
    for (const auto& c : cases) {
        make_station(c.faults);
        feedback_.events.clear();
        WriteSafety safety = safety_;
        if (c.folder) safety.backups = c.folder;
        EXPECT_FALSE(write_config(*port_, registry_, store_, image_, feedback_, safety));
        EXPECT_EQ(requests_of(Command::WritePage), 0u);
        EXPECT_EQ(feedback_.boxes(), c.boxes);
        EXPECT_EQ(device_->eeprom(), old_image_);
    }
}

// Whatever the device holds is kept before it is replaced, as read: an image of another version
// may be the user's last working configuration. Only one that decodes makes a settings file.
TEST_F(SafeWrite, AnImageThatHoldsNoValidSettingsIsKeptRaw) {
    Image other = old_image_;
    other[10] = '2';  // v1.12, checksum mended
    const std::uint32_t sum = image_sum(other);
    for (int i = 0; i < 4; ++i) other[i] = static_cast<std::uint8_t>(sum >> (8 * i));
    Image erased{};
    erased.fill(0xFF);
    const struct {
        const char* name;
        Image held;
        std::vector<std::string> faults;
        std::vector<std::string> boxes;  // with {} for the backup's name
    } cases[] = {
        {"erased", erased, {}, {}},
        {"another version", other, {}, {}},
        {"another version, and the write fails",
         other,
         {"write@100=corrupt"},
         {"info: Verify failed: page 101 (bytes 3200 to 3231) of the device does not hold what was written.\n"
          "The device's previous image, which holds no valid settings, is kept in {}."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(*safety_.backups);
        SimOptions options;
        options.factory_image = c.held;
        for (const auto& f : c.faults) options.faults.push_back(*parse_sim_fault(f, nullptr));
        make_device(options);
        RecordingFeedback feedback;
        EXPECT_EQ(write_config(*port_, registry_, store_, image_, feedback, safety_), c.boxes.empty());
        const auto files = backups();
        ASSERT_EQ(files.size(), 1u);
        const std::string bin = files[0];
        EXPECT_TRUE(bin.ends_with(".bin"));
        EXPECT_TRUE(read_whole_file(bin) == std::string(c.held.begin(), c.held.end()));
        EXPECT_EQ(feedback.lines().at(513), "The device holds no valid settings (erased, or of another firmware): "
                                            "its raw image is kept in " + bin + ", with no settings file.");
        std::vector<std::string> boxes = c.boxes;
        for (auto& box : boxes) box.replace(box.find("{}"), 2, bin);
        EXPECT_EQ(feedback.boxes(), boxes);
    }
}

// Pages are counted from 1 in every line, as the log counts them.
TEST_F(SafeWrite, AReadBackThatFailsNamesThePageAsTheLogDoes) {
    make_station({"read@100=wrong-sum"});
    const WriteSafety safety{std::nullopt, true};
    EXPECT_FALSE(write_config(*port_, registry_, store_, image_, feedback_, safety));
    EXPECT_EQ(feedback_.boxes(), std::vector<std::string>{"info: Verify failed: page 101 could not be read back."});
    EXPECT_EQ(feedback_.lines().back(), "Page read error: 101/512");
}

TEST_F(SafeWrite, AReadBackThatDiffersFailsNamingThePage) {
    make_station({"write@100=corrupt"});
    EXPECT_FALSE(write_config(*port_, registry_, store_, image_, feedback_, safety_));
    const std::string cfg = backups().at(1);
    EXPECT_EQ(feedback_.boxes(),
              std::vector<std::string>{"info: Verify failed: page 101 (bytes 3200 to 3231) of the device does not hold "
                                       "what was written.\nThe device's previous settings are saved in " +
                                       cfg + "; write that file to restore them."});
    EXPECT_EQ(feedback_.lines().back(), "Page read: 512/512");
}

// The user interrupts (Ctrl+C): a read stops at once; a write, backup and read-back included, goes
// on after the first and stops at a page boundary after the second.
TEST_F(SafeWrite, Interrupts) {
    const std::string held =
        "Interrupted: the device is being written; stopping now would leave it with an incomplete configuration. "
        "This takes about 1 s more. Interrupt again to stop at once and leave it with an incomplete configuration.";
    const struct {
        std::string after;
        int count;
        bool ok;
        std::size_t pages_written;
        std::vector<std::string> boxes;  // with {} for the backup's name
    } cases[] = {
        {"Page read: 10/512", 1, true, 512, {}},
        {"Page read: 10/512", 2, false, 0,
         {"info: Write config stopped by an interrupt; nothing was written to the device."}},
        {"Page written: 100/512", 1, true, 512, {}},
        {"Page written: 100/512", 2, false, 100,
         {"info: Write config stopped after page 100/512: the device holds an incomplete configuration. Write the "
          "settings to it again before it is used.\nThe device's previous settings are saved in {}; write that file "
          "to restore them."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.after + " x" + std::to_string(c.count));
        std::filesystem::remove_all(*safety_.backups);
        make_station();
        RecordingFeedback feedback;
        feedback.interrupt_after = {{c.after, c.count}};
        EXPECT_EQ(write_config(*port_, registry_, store_, image_, feedback, safety_), c.ok);
        EXPECT_EQ(requests_of(Command::WritePage), c.pages_written);
        std::vector<std::string> boxes = c.boxes;
        for (auto& box : boxes) {
            if (const auto at = box.find("{}"); at != std::string::npos) box.replace(at, 2, backups().at(1));
        }
        EXPECT_EQ(feedback.boxes(), boxes);
        const auto lines = feedback.lines();
        EXPECT_EQ(std::count(lines.begin(), lines.end(), held), 1);
        if (c.ok) {
            EXPECT_EQ(device_->eeprom(), image_);
        }
    }

    make_station();
    RecordingFeedback plain;
    plain.interrupt_after = {{found_, 2}};
    EXPECT_FALSE(write_config(*port_, registry_, store_, image_, plain, kPlainWrite));
    EXPECT_EQ(requests_of(Command::WritePage), 0u);
    EXPECT_EQ(plain.boxes(), std::vector<std::string>{"info: Write config stopped by an interrupt; nothing was written "
                                                      "to the device, which still holds its previous settings."});

    make_station();
    feedback_.interrupt_after = {{"Page read: 10/512", 1}};
    const ControlStore before = store_;
    EXPECT_FALSE(read_config(*port_, registry_, store_, image_, feedback_));
    EXPECT_EQ(feedback_.lines().back(), "Read config stopped by an interrupt.");
    EXPECT_EQ(store_.text("Callsign"), before.text("Callsign"));
}

// A device that answers nothing to the first page's write and keeps the page it held: the request
// went out, and the page reads back as it was.
class FirstPageLost : public DevicePort {
public:
    explicit FirstPageLost(DevicePort& device) : device_(device) {}
    std::unique_ptr<Transport> open(Feedback& feedback) override {
        auto inner = device_.open(feedback);
        return inner ? std::make_unique<Lossy>(std::move(inner)) : nullptr;
    }

private:
    class Lossy : public Transport {
    public:
        explicit Lossy(std::unique_ptr<Transport> inner) : inner_(std::move(inner)) {}
        int write(const Report& request) override {
            lost_ = request[1] == static_cast<std::uint8_t>(Command::WritePage) && le16(request, kPageNumberAt) == 0;
            return lost_ ? static_cast<int>(kReportSize) : inner_->write(request);
        }
        int read(Report& reply) override { return lost_ ? 0 : inner_->read(reply); }

    private:
        std::unique_ptr<Transport> inner_;
        bool lost_ = false;
    };
    DevicePort& device_;
};

// A write that fails at its first page says whether the device took it: a request that never went
// out, or a page read back as it was, leaves the device's previous settings whole.
TEST_F(SafeWrite, AWriteThatFailsAtItsFirstPageSaysWhatTheDeviceHolds) {
    const std::string incomplete =
        "info: Write config failed: the device holds an incomplete configuration. Write the settings to it again "
        "before it is used.\nThe device's previous settings are saved in {}; write that file to restore them.";
    const std::string previous =
        "info: Write config failed at page 1/512; nothing was written to the device, which still holds its "
        "previous settings.";
    const struct {
        std::vector<std::string> faults;
        bool first_page_lost;
        std::string box;
        bool device_unchanged;
    } cases[] = {
        {{"write@0=gone"}, false, previous, true},
        {{}, true, previous, true},
        {{"write@0=no-reply"}, false, incomplete, false},  // the device took the page
        {{"write@1=gone"}, false, incomplete, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.box);
        std::filesystem::remove_all(*safety_.backups);
        make_station(c.faults);
        FirstPageLost lossy(*port_);
        DevicePort& port = c.first_page_lost ? static_cast<DevicePort&>(lossy) : *port_;
        RecordingFeedback feedback;
        EXPECT_FALSE(write_config(port, registry_, store_, image_, feedback, safety_));
        std::string box = c.box;
        if (const auto at = box.find("{}"); at != std::string::npos) box.replace(at, 2, backups().at(1));
        EXPECT_EQ(feedback.boxes(), std::vector<std::string>{box});
        EXPECT_EQ(device_->eeprom() == old_image_, c.device_unchanged);
    }
}

}  // namespace
}  // namespace zyvora
