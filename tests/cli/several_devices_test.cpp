// One verb on several devices: --device given more than once, `--device all` at the enumeration
// seam, file names made from each device's serial number and call sign, faults aimed at one
// device, and the table that ends the run.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "../support/cli_runner.h"
#include "../support/recording_feedback.h"
#include "hid.h"
#include "several_devices.h"

namespace zyvora {
namespace {

using test::Outcome;

const std::string kHeader = "device\tserial\tcall sign\toutcome\tbackup\n";

class SeveralDevices : public test::CliTest {
protected:
    // A settings file of the defaults with this call sign, the PC time left alone so that a
    // read gives the same bytes back.
    void station_file(const std::string& name, const std::string& call, const std::string& ssid) const {
        write(name, defaults_with({{"Callsign=NOCALL", "Callsign=" + call}, {"SSID=0", "SSID=" + ssid},
                                   {"Uploadpctime=1", "Uploadpctime=0"}}));
    }
    // The table with each backup that is a settings file of the backups folder as <backup>.
    std::string backups_named(const std::string& table) const {
        const std::regex kept("\t(" + data_ + "/zyvora-configurator/backups/[0-9_-]+\\.cfg)\n");
        std::string out = table;
        std::smatch m;
        for (std::string rest = table; std::regex_search(rest, m, kept); rest = m.suffix()) {
            EXPECT_TRUE(std::filesystem::exists(m[1].str())) << m[1];
            out.replace(out.find(m[1].str()), m[1].length(), "<backup>");
        }
        return out;
    }
    std::string call_on(const std::string& device) const {
        return run({"--device", device, "get", "device", "Radio/Callsign"}).out;
    }
    void sites() const {
        std::filesystem::create_directory(path("sites"));
        station_file("sites/SIM-A.cfg", "OK1AAA", "1");
        station_file("sites/SIM-B.cfg", "OK2BBB", "2");
    }
};

// The devices before the verb, or after it on either side of the file: --device takes one word.
TEST_F(SeveralDevices, AWriteTakesEachDeviceItsOwnFileAndEndsWithTheTable) {
    sites();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--device", "sim:A", "--device", "sim:B", "write", "sites/{serial}.cfg"},
          std::vector<std::string>{"write", "--device", "sim:A", "sites/{serial}.cfg", "--device", "sim:B"}}) {
        const Outcome r = run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(backups_named(r.out),
                  kHeader + "sim:A\tSIM-A\tOK1AAA-1\tok\t<backup>\nsim:B\tSIM-B\tOK2BBB-2\tok\t<backup>\n");
        EXPECT_EQ(call_on("sim:A"), "OK1AAA\n");
        EXPECT_EQ(call_on("sim:B"), "OK2BBB\n");
    }
}

// A fault after a --device is that device's alone; one before every --device is all of theirs.
TEST_F(SeveralDevices, OneDevicesFailureStopsNoOtherAndTheExitStatusSaysSo) {
    const std::string failed = "failed: at page 1 of 512: Page write error: 1/512";
    const struct {
        std::vector<std::string> args;
        std::vector<bool> written;  // sim:A, sim:B
    } cases[] = {
        {{"--device", "sim:A", "--device", "sim:B", "--sim-fault", "write=no-reply", "write", "sites/{serial}.cfg"},
         {true, false}},
        {{"--device", "sim:A", "--sim-fault", "write=no-reply", "write", "sites/{serial}.cfg", "--device", "sim:B"},
         {false, true}},
        {{"--sim-fault", "write=no-reply", "--device", "sim:A", "--device", "sim:B", "write", "sites/{serial}.cfg"},
         {false, false}},
    };
    sites();
    for (const auto& c : cases) {
        std::filesystem::remove_all(data_ + "/zyvora-configurator");
        std::filesystem::remove(path("A"));
        std::filesystem::remove(path("B"));
        const Outcome r = run(c.args);
        EXPECT_EQ(r.status, 1) << r.err;
        const auto row = [&](const std::string& device, const std::string& serial, const std::string& call,
                             bool written) {
            return device + "\t" + serial + "\t" + (written ? call : "-") + "\t" + (written ? "ok" : failed) + "\t<backup>\n";
        };
        EXPECT_EQ(backups_named(r.out), kHeader + row("sim:A", "SIM-A", "OK1AAA-1", c.written[0]) +
                             row("sim:B", "SIM-B", "OK2BBB-2", c.written[1]))
            << r.err;
        // The device that succeeded holds its settings, whatever the other's fault did.
        if (c.written[0]) EXPECT_EQ(call_on("sim:A"), "OK1AAA\n");
        if (c.written[1]) EXPECT_EQ(call_on("sim:B"), "OK2BBB\n");
    }
}

TEST_F(SeveralDevices, AReadNamesEachFileByTheCallSignOrSerialNumberOfWhatItRead) {
    sites();
    ASSERT_EQ(run({"--device", "sim:A", "--device", "sim:B", "write", "sites/{serial}.cfg"}).status, 0);
    const struct {
        std::vector<std::string> args;
        std::string a, b;  // the files sim:A and sim:B are read into
    } cases[] = {
        {{"--device", "sim:A", "--device", "sim:B", "read", "site-{call}.cfg"}, "site-OK1AAA-1.cfg", "site-OK2BBB-2.cfg"},
        {{"--device", "sim:A", "--device", "sim:B", "read", "{serial}.cfg", "--image", "{serial}-{call}.bin"},
         "SIM-A.cfg", "SIM-B.cfg"},
    };
    // What a read of each alone saves.
    ASSERT_EQ(run({"--device", "sim:A", "read", "alone-a.cfg"}).status, 0);
    ASSERT_EQ(run({"--device", "sim:B", "read", "alone-b.cfg"}).status, 0);
    for (const auto& c : cases) {
        const Outcome r = run(c.args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, kHeader + "sim:A\tSIM-A\tOK1AAA-1\tok\t-\nsim:B\tSIM-B\tOK2BBB-2\tok\t-\n");
        EXPECT_EQ(contents(c.a), contents("alone-a.cfg"));
        EXPECT_EQ(contents(c.b), contents("alone-b.cfg"));
    }
    EXPECT_EQ(contents("SIM-A-OK1AAA-1.bin").size(), 16384u);
    // With one device too.
    EXPECT_EQ(run({"--device", "sim:B", "read", "one-{call}.cfg"}).status, 0);
    EXPECT_EQ(contents("one-OK2BBB-2.cfg"), contents("alone-b.cfg"));
}

TEST_F(SeveralDevices, EachDevicesOwnResultStandsUnderItsHeadingOrInItsRow) {
    const std::string versions = test::kSimVersions;
    expect_run({"--device", "sim:A", "--device", "sim:B", "info"}, 0,
               "== sim:A ==\n" + versions + "Serial number: SIM-A\n== sim:B ==\n" + versions +
                   "Serial number: SIM-B\n" + kHeader + "sim:A\tSIM-A\t-\tok\t-\nsim:B\tSIM-B\t-\tok\t-\n",
               test::kFoundLine + test::kFoundLine);
    const Outcome r = run({"--device", "sim:A", "--device", "sim:B", "--sim-fault", "fwversion=no-reply", "info", "--json"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(nlohmann::json::parse(r.out),
              nlohmann::json::parse(
                  R"([{"device":"sim:A","serial_number":"SIM-A","call":null,"outcome":"ok","reason":null,"backup":null,
                       "result":{"device":"sim:A","firmware_version":"1.13",
                                 "hardware_version":"Zyvora Plus 2.0 simulated hardware","serial_number":"SIM-A"}},
                      {"device":"sim:B","serial_number":"SIM-B","call":null,"outcome":"failed",
                       "reason":"the device does not answer the version query.","backup":null}])"));
}

TEST_F(SeveralDevices, ADryRunShowsEachDevicesChangesUnderItsHeading) {
    sites();
    ASSERT_EQ(run({"--device", "sim:A", "write", "sites/SIM-A.cfg"}).status, 0);
    const Outcome r = run({"--device", "sim:A", "--device", "sim:B", "write", "--dry-run", "sites/SIM-A.cfg"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "== sim:A ==\n== sim:B ==\n" + run({"--device", "sim:B", "write", "--dry-run", "sites/SIM-A.cfg"}).out +
                         kHeader + "sim:A\tSIM-A\tOK1AAA-1\tok\t-\nsim:B\tSIM-B\tOK1AAA-1\tok\t-\n");
}

TEST_F(SeveralDevices, WhatDoesNotHoldTogetherWithSeveralDevicesIsAUsageError) {
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"--device", "sim:A", "--device", "sim:B", "read", "out.cfg"},
         "zyvora-cli: with several devices, out.cfg needs {serial} or {call} in its name, so that each device has a "
         "file of its own\n"},
        {{"--device", "sim:A", "--device", "sim:B", "read", "{call}.cfg", "--image", "-"},
         "zyvora-cli: standard output cannot take the settings of several devices; name the files with {serial} or "
         "{call}\n"},
        {{"--device", "sim:A", "--device", "sim:B", "write", "-"},
         "zyvora-cli: standard input can be read for one device only; give a file, named with {serial} for one per "
         "device\n"},
        {{"--device", "sim:A", "write", "{call}.cfg"},
         "zyvora-cli: {call} is known only once a device is read; the input's name may hold {serial}\n"},
        {{"--device", "sim:A", "--device", "sim:B", "--sim-serial", "X", "info"},
         "zyvora-cli: --sim-serial applies to one simulated device; with several, each takes its serial number from "
         "its EEPROM file's name\n"},
        {{"--device", "sim:A", "--device", "sim:A", "info"}, "zyvora-cli: --device sim:A is given twice\n"},
        {{"--device", "sim:A", "--device", "usb", "info"},
         "zyvora-cli: --device: expected hid, hid:PATH, hid:SERIAL, sim, sim:FILE or all, not usb\n"},
        {{"--device", "sim:A", "--device", "sim:B", "list"},
         "zyvora-cli: list takes one device; several apply to info, read, write, upload-firmware and history\n"},
        {{"--device", "all", "get", "device", "Callsign"},
         "zyvora-cli: get takes one device; several apply to info, read, write, upload-firmware and history\n"},
    };
    for (const auto& c : cases) {
        const Outcome r = run(c.args);
        EXPECT_EQ(r.status, 2) << c.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(std::filesystem::exists(path("A"))) << "nothing was opened";
}

TEST(SeveralDevicesFaults, AFaultAfterADeviceIsItsAloneAndOneBeforeAllIsEverys) {
    const struct {
        std::vector<std::string> args;
        std::vector<std::vector<std::string>> faults;
    } cases[] = {
        {{"--device", "sim:A", "--device", "sim:B", "info"}, {{}, {}}},
        {{"--sim-fault", "read=gone", "--device", "sim:A", "--device=sim:B", "info"}, {{"read=gone"}, {"read=gone"}}},
        {{"--device", "sim:A", "--sim-fault=read=gone", "info", "--device", "sim:B", "--sim-fault", "write@2=corrupt",
          "--sim-fault", "firmware=no-reply"},
         {{"read=gone"}, {"write@2=corrupt", "firmware=no-reply"}}},
        // After the end of the options, a word is no option.
        {{"--device", "sim:A", "--device", "sim:B", "write", "--", "--sim-fault"}, {{}, {}}},
    };
    for (const auto& c : cases) EXPECT_EQ(cli::faults_per_device(c.args, 2), c.faults) << c.args[1];
}

// The USB devices as the system lists them: the enumeration seam `list` is tested at.
class ListedOnly : public HidBackend {
public:
    explicit ListedOnly(std::vector<HidInterface> interfaces) : interfaces_(std::move(interfaces)) {}
    std::vector<HidInterface> enumerate() override { return interfaces_; }
    HidOpening open(const std::string&) override {
        ADD_FAILURE() << "expanding `all` opens no device";
        return {};
    }

private:
    std::vector<HidInterface> interfaces_;
};

TEST(SeveralDevicesAll, AllIsEveryDeviceAttachedEachOnceAndNoneIsAFailure) {
    const std::string ours = "HID\\VID_0483&PID_A124";
    HidPort three(std::make_unique<ListedOnly>(std::vector<HidInterface>{
        {"/dev/hidraw0", ours, "S1"},
        {"/dev/hidraw1", "HID\\VID_046D&PID_C52B", "K"},
        {"/dev/hidraw2", ours, "S2"},
        {"/dev/hidraw2", ours, "S2"},
        {"/dev/hidraw3", ours, ""},
    }));
    testing::RecordingFeedback feedback;
    using cli::GivenDevice;
    EXPECT_EQ(cli::expand_all({{"sim:A", {}}, {"all", {"read=gone"}}, {"hid:/dev/hidraw2", {}}}, three, feedback),
              (std::vector<GivenDevice>{{"sim:A", {}},
                                        {"hid:/dev/hidraw0", {"read=gone"}},
                                        {"hid:/dev/hidraw2", {"read=gone"}},
                                        {"hid:/dev/hidraw3", {"read=gone"}}}));
    EXPECT_TRUE(feedback.events.empty());

    HidPort none(std::make_unique<ListedOnly>(std::vector<HidInterface>{{"/dev/hidraw1", "HID\\VID_046D&PID_C52B", ""}}));
    EXPECT_EQ(cli::expand_all({{"all", {}}}, none, feedback), std::nullopt);
    EXPECT_EQ(feedback.events, std::vector<std::string>{"error: No Zyvora Plus 2.0 attached."});
}

}  // namespace
}  // namespace zyvora
