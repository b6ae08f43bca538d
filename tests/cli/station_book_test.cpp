// The station book through zyvora-cli: what read, write and upload-firmware file under each
// simulated device's serial number, `history`, restoring an entry, and an index that lies.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "../support/cli_runner.h"
#include "../support/stand_in_firmware.h"
#include "image.h"

namespace zyvora {
namespace {

namespace fs = std::filesystem;
using test::Outcome;

const std::string& kFound = test::kFoundLine;

unsigned mode_of(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

class StationBook : public test::CliTest {
protected:
    std::string stations() const { return data_ + "/zyvora-configurator/stations"; }
    std::string station(const std::string& serial) const { return stations() + "/" + serial; }

    nlohmann::json index_of(const std::string& serial) const {
        return nlohmann::json::parse(read_whole_file(station(serial) + "/index.json").value_or("null"));
    }

    // A settings file of the defaults with this call sign, and the PC time left alone so that
    // the image written is the same each time.
    void station_file(const std::string& name, const std::string& call, const std::string& ssid) const {
        write(name, defaults_with({{"Callsign=NOCALL", "Callsign=" + call}, {"SSID=0", "SSID=" + ssid},
                                   {"Uploadpctime=1", "Uploadpctime=0"}}));
    }

    void expect_ok(const std::vector<std::string>& args) const {
        const Outcome r = run(args);
        EXPECT_EQ(r.status, 0) << args.back() << ": " << r.err;
    }

    // Two writes to sim:A, one to sim:B.
    void write_three() const {
        station_file("a1.cfg", "OK1XYZ", "9");
        station_file("a2.cfg", "OK1ABC", "5");
        station_file("b.cfg", "OK2BBB", "1");
        expect_ok({"--device", "sim:A", "write", "a1.cfg"});
        expect_ok({"--device", "sim:A", "write", "a2.cfg"});
        expect_ok({"--device", "sim:B", "write", "b.cfg"});
    }
};

TEST_F(StationBook, WritesFileWhatWasReplacedAndWhatWasWrittenUnderEachSerialNumber) {
    write_three();
    std::set<std::string> folders;
    for (const auto& item : fs::directory_iterator(stations())) folders.insert(item.path().filename().string());
    EXPECT_EQ(folders, (std::set<std::string>{"SIM-A", "SIM-B"}));
    EXPECT_EQ(mode_of(stations()), 0700u);

    const struct {
        std::string serial;
        std::vector<std::pair<std::string, std::string>> entries;  // kind, call sign, in filing order
    } cases[] = {
        {"SIM-A",
         {{"before-write", "NOCALL-0"}, {"written", "OK1XYZ-9"}, {"before-write", "OK1XYZ-9"}, {"written", "OK1ABC-5"}}},
        {"SIM-B", {{"before-write", "NOCALL-0"}, {"written", "OK2BBB-1"}}},
    };
    for (const auto& c : cases) {
        const std::string folder = station(c.serial);
        EXPECT_EQ(mode_of(folder), 0700u) << c.serial;
        EXPECT_EQ(mode_of(folder + "/index.json"), 0600u) << c.serial;
        const nlohmann::json index = index_of(c.serial);
        EXPECT_EQ(index["serial_number"], c.serial);
        ASSERT_EQ(index["entries"].size(), c.entries.size()) << c.serial;
        for (std::size_t i = 0; i < c.entries.size(); ++i) {
            const nlohmann::json& e = index["entries"][i];
            const auto& [kind, call] = c.entries[i];
            EXPECT_EQ(e["kind"], kind) << c.serial << " " << i;
            EXPECT_EQ(e["call"], call) << c.serial << " " << i;
            EXPECT_EQ(e["firmware"], "1.13");
            const std::string cfg = e["cfg"], bin = e["bin"];
            // The date and time, then the call sign-SSID, and a number for a second entry in one second.
            EXPECT_TRUE(std::regex_match(cfg, std::regex(R"(\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d_)" + call + R"((_\d+)?\.cfg)")))
                << cfg;
            EXPECT_EQ(bin, cfg.substr(0, cfg.size() - 4) + ".bin");
            EXPECT_EQ(mode_of(folder + "/" + cfg), 0600u) << cfg;
            EXPECT_EQ(mode_of(folder + "/" + bin), 0600u) << bin;
            EXPECT_EQ(read_whole_file(folder + "/" + bin).value_or("").size(), kImageSize);
        }
    }
    // What was written is filed as the device holds it: the settings file `read` saves of it.
    const std::string written = station("SIM-A") + "/" + index_of("SIM-A")["entries"][3]["cfg"].get<std::string>();
    expect_ok({"--device", "sim:A", "read", "now.cfg"});
    EXPECT_EQ(read_whole_file(written), contents("now.cfg"));
    // The backup kept before each write is the settings file filed before it.
    const std::string before = station("SIM-A") + "/" + index_of("SIM-A")["entries"][2]["cfg"].get<std::string>();
    std::set<std::string> backups;
    for (const auto& item : fs::directory_iterator(data_ + "/zyvora-configurator/backups")) {
        if (item.path().extension() == ".cfg") backups.insert(read_whole_file(item.path()).value_or(""));
    }
    EXPECT_TRUE(backups.count(read_whole_file(before).value_or("?"))) << before;
}

TEST_F(StationBook, WhatAWriteFilesFollowsItsBackup) {
    station_file("a.cfg", "OK1XYZ", "9");
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> kinds;
        bool raw_first;  // the entry before the write holds no settings file
    } cases[] = {
        {{"--device", "sim:A", "write", "a.cfg", "--no-backup"}, {"written"}, false},
        {{"--device", "sim:A", "--sim-erased", "write", "a.cfg"}, {"before-write", "written"}, true},
        {{"--device", "sim:A", "write", "a.cfg", "--dry-run"}, {}, false},
        {{"--device", "sim:A", "--sim-fault", "write@3=gone", "write", "a.cfg"}, {"before-write"}, false},
    };
    for (const auto& c : cases) {
        fs::remove_all(stations());
        fs::remove(path("A"));
        run(c.args);
        std::vector<std::string> kinds;
        const nlohmann::json index = index_of("SIM-A");
        for (const auto& e : index.is_object() ? index["entries"] : nlohmann::json::array()) kinds.push_back(e["kind"]);
        EXPECT_EQ(kinds, c.kinds) << c.args[3];
        if (c.raw_first) EXPECT_TRUE(index["entries"][0]["cfg"].is_null());
    }
}

TEST_F(StationBook, HistoryListsADevicesEntriesNewestFirstAndFiltersBySerialOrCall) {
    write_three();
    const nlohmann::json a = index_of("SIM-A");
    const auto line = [&](int i) {
        const nlohmann::json& e = a["entries"][i];
        return e["date"].get<std::string>() + "\t" + e["kind"].get<std::string>() + "\t" + e["call"].get<std::string>() +
               "\t1.13\t" + station("SIM-A") + "/" + e["cfg"].get<std::string>() + "\n";
    };
    const std::string sim_a = line(3) + line(2) + line(1) + line(0);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--device", "sim:A", "history"},
                                                 {"history", "SIM-A"}, {"history", "sim-a"}}) {
        const Outcome r = run(args);
        EXPECT_EQ(r.status, 0) << args.back();
        EXPECT_EQ(r.out, (args[0] == "--device" ? kFound : "") + sim_a) << args.back();
        EXPECT_EQ(r.err, "");
    }

    // A call sign finds the device's entries and the older backups' alike, with or without its SSID.
    const auto kinds_of = [&](const std::vector<std::string>& args) {
        const Outcome r = run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        std::multiset<std::string> kinds;
        for (const auto& e : nlohmann::json::parse(r.out)) kinds.insert(e["kind"].get<std::string>() + " " + e["call"].get<std::string>());
        return kinds;
    };
    const std::multiset<std::string> xyz = {"written OK1XYZ-9", "before-write OK1XYZ-9", "backup OK1XYZ-9"};
    EXPECT_EQ(kinds_of({"history", "OK1XYZ", "--json"}), xyz);
    EXPECT_EQ(kinds_of({"history", "ok1xyz-9", "--json"}), xyz);
    EXPECT_EQ(kinds_of({"history", "OK1XYZ-8", "--json"}), std::multiset<std::string>{});
    EXPECT_EQ(kinds_of({"history", "--json"}).size(), 4u + 2u + 3u);

    const Outcome none = run({"history", "NOSUCH"});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "No entries in the station book.\n");
}

TEST_F(StationBook, HistoryRefusesADeviceAndAFilterTogetherAndDeviceOptionsWithoutADevice) {
    expect_run({"--device", "sim:A", "history", "OK1XYZ"}, 2, "",
               "zyvora-cli: history takes --device or a serial number or call sign, not both\n");
    expect_run({"history", "--sim-serial", "X"}, 2, "", "zyvora-cli: --sim-serial does not apply to history\n");
}

TEST_F(StationBook, WritingAnEntryRestoresIt) {
    write_three();
    const std::string first = station("SIM-A") + "/" + index_of("SIM-A")["entries"][1]["cfg"].get<std::string>();
    expect_ok({"--device", "sim:A", "write", first});
    const Outcome r = run({"--device", "sim:A", "diff", first, "device"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST_F(StationBook, ReadFilesWhatItReadWithTheVersionsAndTheSerialGiven) {
    expect_ok({"--device", "sim:dev.img", "--sim-serial", "3657A8B2", "--sim-hardware", "rev B", "read", "out.cfg"});
    const nlohmann::json e = index_of("3657A8B2")["entries"][0];
    EXPECT_EQ(e["kind"], "read");
    EXPECT_EQ(e["call"], "NOCALL-0");
    EXPECT_EQ(e["hardware"], "rev B");
    EXPECT_EQ(read_whole_file(station("3657A8B2") + "/" + e["cfg"].get<std::string>()), contents("out.cfg"));
}

TEST_F(StationBook, InfoAndListShowTheSerialNumber) {
    const std::string hardware = "Zyvora Plus 2.0 simulated hardware";
    expect_run({"--device", "sim:my dev.img", "info"}, 0,
               kFound + "Firmware version: 1.13\nHardware version: " + hardware + "\nSerial number: SIM-MY-DEV\n", "");
    expect_run({"--device", "sim", "--sim-serial", "X1", "info", "--json"}, 0,
               R"({"device":"sim","firmware_version":"1.13","hardware_version":")" + hardware +
                   R"(","serial_number":"X1"})" "\n",
               kFound);
    expect_run({"--device", "sim:a.img", "list"}, 0, "sim:a.img\tSIM-A\tfirmware 1.13, hardware " + hardware + "\n", "");
}

TEST_F(StationBook, AFailureToFileIsAWarningAndTheOperationStands) {
    // The book's place is a file: nothing can be filed, the read is still a success.
    fs::create_directories(data_ + "/zyvora-configurator");
    std::ofstream(stations()) << "in the way";
    const Outcome r = run({"--device", "sim", "--quiet", "read", "out.cfg"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "zyvora-cli: warning: Unable to write to " + stations() +
                         ": Not a directory; the settings are not filed in the station book.\n");
    EXPECT_EQ(contents("out.cfg").substr(0, 9), "[!WARNING");
}

TEST_F(StationBook, ADamagedIndexIsRebuiltFromTheFilesNotTrusted) {
    write("fw.bin", test::stand_in_firmware(32));
    const struct {
        std::string index;
    } cases[] = {
        {"{not json"},
        {"[]"},
        {R"({"entries": [{"kind": "read", "date": "2026-01-01 00:00:00", "cfg": "../../../etc/passwd"}]})"},
        {R"({"entries": [{"kind": "erased", "date": "2026-01-01 00:00:00"}]})"},
        {R"({"entries": [{"kind": "read", "date": 7}]})"},
        {R"({"entries": [{"kind": "read", "date": "\u001b[2J"}]})"},
    };
    for (const auto& c : cases) {
        fs::remove_all(stations());
        expect_ok({"--device", "sim:A", "read", "out.cfg"});
        const std::string cfg = index_of("SIM-A")["entries"][0]["cfg"];
        std::ofstream(station("SIM-A") + "/index.json", std::ios::trunc) << c.index;

        const Outcome r = run({"history", "SIM-A"});
        EXPECT_EQ(r.status, 0) << c.index;
        const std::string date = cfg.substr(0, 10) + " " + cfg.substr(11, 2) + ":" + cfg.substr(14, 2) + ":" + cfg.substr(17, 2);
        EXPECT_EQ(r.out, date + "\tunknown\tNOCALL-0\t-\t" + station("SIM-A") + "/" + cfg + "\n") << c.index;
        EXPECT_EQ(r.err, "zyvora-cli: warning: " + station("SIM-A") +
                             "/index.json is damaged; the entries are listed from their files.\n")
            << c.index;

        // The next entry rewrites the index: the old entry from its name, the new one whole.
        expect_ok({"--device", "sim:A", "--firmware", "fw.bin", "upload-firmware"});
        const nlohmann::json index = index_of("SIM-A");
        ASSERT_EQ(index["entries"].size(), 2u) << c.index;
        EXPECT_EQ(index["entries"][0]["kind"], "unknown");
        EXPECT_EQ(index["entries"][0]["cfg"], cfg);
        EXPECT_EQ(index["entries"][1]["kind"], "before-firmware");
    }
}

TEST_F(StationBook, UploadFirmwareFilesTheSettingsFirstAndAsksTheVersionsAfter) {
    write("fw.bin", test::stand_in_firmware(64));
    const std::string sent = "Page written: 1/2\nPage written: 2/2\nFirmware upgrade success\n";
    const struct {
        std::vector<std::string> options;
        bool settings;        // the device holds valid settings
        int status;
        std::string after;    // the status log after the pages
        std::string err;
    } cases[] = {
        {{}, true, 0, proved(), ""},
        // The simulated device runs what its option says, whatever it was sent.
        {{"--sim-firmware-version", "112", "--sim-hardware", "rev C"}, true, 0, proved("firmware 1.12, hardware rev C"), ""},
        {{"--sim-erased"}, false, 0, proved(), ""},
        {{"--sim-fault", "fwversion=no-reply"}, true, 1, kFound,
         "The firmware upload was sent, but the device does not answer: its versions could not be read after the "
         "upload.\n"},
    };
    for (const auto& c : cases) {
        fs::remove_all(stations());
        std::vector<std::string> args = {"--device", "sim:C", "--firmware", "fw.bin"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back("upload-firmware");
        const Outcome r = run(args);
        const std::string label = c.options.empty() ? "plain" : c.options[0];
        EXPECT_EQ(r.status, c.status) << label;
        EXPECT_EQ(r.err, c.err) << label;
        const nlohmann::json e = index_of("SIM-C")["entries"][0];
        EXPECT_EQ(e["kind"], "before-firmware") << label;
        const std::string filed =
            c.settings ? "Backup of the device's settings: " + station("SIM-C") + "/" + e["cfg"].get<std::string>() + "\n"
                       : "The device holds no valid settings (erased, or of another firmware): its raw image is kept in " +
                             station("SIM-C") + "/" + e["bin"].get<std::string>() + ", with no settings file.\n";
        EXPECT_EQ(e["cfg"].is_null(), !c.settings) << label;
        EXPECT_EQ(r.out, kFound + "Firmware from fw.bin: 64 bytes in 2 pages\n" + page_reads() + filed + sent + c.after)
            << label;
    }
}

TEST_F(StationBook, AnUploadInterruptedWhileTheSettingsAreReadSendsNothingAndFilesNothing) {
    write("fw.bin", test::stand_in_firmware(64));
    test::RunOptions options;
    options.signals_after = {{"Page read: 20/512\n", SIGINT}};
    const Outcome r =
        run({"--device", "sim:C", "--sim-latency-us", "2000", "--firmware", "fw.bin", "upload-firmware"}, options);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Firmware upload stopped by an interrupt; nothing was sent to the device.\n");
    EXPECT_EQ(r.out.find("Page written"), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(station("SIM-C")));
}

}  // namespace
}  // namespace zyvora
