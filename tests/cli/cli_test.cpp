// zyvora-cli as a script sees it: its exit status, standard output and standard error.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "../support/default_image.h"
#include "../support/cli_runner.h"
#include "../support/expected_defaults.h"
#include "files.h"
#include "image.h"

namespace zyvora {
namespace {

namespace fs = std::filesystem;
using test::Outcome;
using Cli = test::CliTest;

TEST_F(Cli, DefaultsEncodeDecodeRoundTrip) {
    Outcome r = run({"defaults", "start.cfg"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(contents("start.cfg"), test::kDefaultsFile);

    r = run({"encode", "start.cfg", "start.bin"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out + r.err, "");
    const std::string bytes = contents("start.bin");
    ASSERT_EQ(bytes.size(), kImageSize);
    Image image;
    std::copy(bytes.begin(), bytes.end(), image.begin());
    EXPECT_TRUE(verify(image));
    // Every byte as the settings tables give it, but the write nonce and this minute's clock.
    const std::string expected = test::default_image_from_nonce();
    const std::size_t clock = 650 - kNonceOffset;
    EXPECT_EQ(bytes.substr(6, 650 - 6), expected.substr(2, clock - 2));
    EXPECT_EQ(bytes.substr(656, kUsedEnd - 656), expected.substr(clock + 6));
    EXPECT_EQ(bytes.find_first_not_of('\0', kUsedEnd), std::string::npos);

    r = run({"decode", "start.bin", "back.cfg"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out + r.err, "");
    // An empty path is stored with SSID '0', which decodes as "0"; the login is stored upper-cased.
    std::string decoded(test::kDefaultsFile);
    decoded.replace(decoded.find("SSID3=\n"), 7, "SSID3=0\n");
    decoded.replace(decoded.find("Aprsis_user=nocall"), 18, "Aprsis_user=NOCALL");
    EXPECT_EQ(contents("back.cfg"), decoded);
}

TEST_F(Cli, CheckPrintsTheFailingChecks) {
    write("one.cfg", defaults_with("TXdelay=250", "TXdelay=1001"));
    Outcome r = run({"check", "one.cfg"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "one.cfg:12: [Radio] TXdelay: TX delay - range error (200 - 1000).\n");

    std::string three = defaults_with("Callsign=NOCALL", "Callsign=");
    three.replace(three.find("Quiettime=400"), 13, "Quiettime=3001");
    three.replace(three.find("Floodtimeout=60"), 15, "Floodtimeout=14");
    write("three.cfg", three);
    r = run({"check", "three.cfg"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "three.cfg:8: [Radio] Callsign: Callsign - too short (e.g. NOCALL-4).\n");
    r = run({"check", "--all", "three.cfg"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "three.cfg:8: [Radio] Callsign: Callsign - too short (e.g. NOCALL-4).\n"
              "three.cfg:13: [Radio] Quiettime: Quiet time - range error (200 - 3000).\n"
              "three.cfg:26: [Digipeater] Floodtimeout: Duplicate checking - range error (15 - 180).\n");

    write("ssid.cfg", defaults_with("SSID=0", "SSID="));
    r = run({"check", "ssid.cfg"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ssid.cfg:9: [Radio] SSID: '' is not a valid integer value\n");

    write("start.cfg", std::string(test::kDefaultsFile));
    r = run({"check", "--all", "start.cfg"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out + r.err, test::kStartUpAdvice);
}

// A settings file with failing checks in one area: `check --all` shows every message, in the
// order of the encode pass, and fails.
struct CheckCase {
    const char* area;
    std::vector<std::pair<std::string, std::string>> lines;  // defaults file line, its replacement
    std::string err;
};

const CheckCase kCheckCases[] = {
    {"DigipeaterFilter",
     {{"Callfilter_ssid3=*", "Callfilter_ssid3=**"},
      {"Pathn2_higher=7", "Pathn2_higher=8"},
      {"Arearad1_distance=20", "Arearad1_distance=3001"},
      {"Arearect0_nwlongitude=01633.84E", "Arearect0_nwlongitude=1633.84E"},
      {"Arearect0_selatitude=5217.58N", "Arearect0_selatitude=5217.58n"}},
     "Path(n-N) 2, n<= value range error (1 - 7).\n"
     "Path filter area RAD1 distance range error (1 - 3000).\n"
     "Path filter area RECT0 north-west longitude - syntax error (e.g. 01633.84E, format DDDMM.MM).\n"
     "Path filter area RECT0 south-east latitude - syntax error (e.g. 5217.58N, format: DDMM.MM).\n"
     "Callsign filter 3 - SSID range error (0 - 15, or wildcard '*').\n"},
    {"BeaconAndPosition",
     {{"Beacon2_dest_string=APQK06", "Beacon2_dest_string="},
      {"Beacon3_dest_ssid=0", "Beacon3_dest_ssid=16"},
      {"Beacon4_path_ssid=2", "Beacon4_path_ssid=x"},
      {"Beacon5_txrate_rf=0", "Beacon5_txrate_rf=4"},
      {"Beacon6_txrate_aprsis=0", "Beacon6_txrate_aprsis=1441"},
      {"Beacon7_msg=", "Beacon7_msg=25\xB0" "C"},
      {"SSID1=1", "SSID1=-1"},
      {"SSID2=1", "SSID2=y"},
      {"Path3=", "Path3=wide3"}},
     "Beacon 2 destination - too short (e.g. APQK06).\n"
     "Beacon 3 destination - SSID range error (0 - 15).\n"
     "Beacon 4 path - SSID range error (0 - 15).\n"
     "Beacon 5 tx rate (RF) range error (5 - 1440), or 0 to disable.\n"
     "Beacon 6 tx rate (APRSIS) range error (5 - 1440), or 0 to disable.\n"
     "Beacon 7 message - forbidden characters.\n"
     "GPS SmartBeaconing / Position report path 1 - SSID range error (0 - 15).\n"
     "GPS SmartBeaconing / Position report path 2 - SSID range error (0 - 15).\n"
     "GPS SmartBeaconing / Position report path 3 - SSID range error (0 - 15).\n"},
    {"NetworkAndRemoteAccess",
     {{"Ipaddr2=2", "Ipaddr2=256"},
      {"Ipgate3=1", "Ipgate3=300"},
      {"Ipmask0=255", "Ipmask0=-1"},
      {"Ipdns1=168", "Ipdns1=999"},
      {"Statsupload_port=80", "Statsupload_port=65536"},
      {"Statsupload_txrate=5", "Statsupload_txrate=241"}},
     "IP Address - range error (0 - 255).\n"
     "IP Mask - range error (0 - 255).\n"
     "Gateway - range error (0 - 255).\n"
     "DNS - range error (0 - 255).\n"
     "Statistics upload port - range error (0 - 65535).\n"
     "Statistics upload interval - range error (1 - 240).\n"},
    {"GatewayAndFilterWindow",
     {{"Aprsis1_port=14580", "Aprsis1_port=65536"},
      {"Aprsis2_port=14580", "Aprsis2_port=-1"},
      {"Aprsis3_port=14580", "Aprsis3_port=99999"},
      {"Aprsis_timeout=3", "Aprsis_timeout=61"},
      {"Aprsis_heardtimeout=30", "Aprsis_heardtimeout=0"},
      {"Aprsis_2rf_dest_ssid=0", "Aprsis_2rf_dest_ssid=x"},
      {"Aprsis_msg2rf_ssid=1", "Aprsis_msg2rf_ssid=16"},
      {"Rfheard_local_maxhops=2", "Rfheard_local_maxhops=9"},
      {"Rfheard_local_timeout=30", "Rfheard_local_timeout=241"},
      {"Aprsis_packet2rf_ssid=1", "Aprsis_packet2rf_ssid="},
      {"Rfheard_timeout=60", "Rfheard_timeout=0"},
      {"Aprsis_packet2rf_1min=6", "Aprsis_packet2rf_1min=0"},
      {"Aprsis_packet2rf_2min=9", "Aprsis_packet2rf_2min=241"},
      {"Aprsis_packet2rf_3min=12", "Aprsis_packet2rf_3min=0"},
      {"Packet2rf_filter_ssid07=*", "Packet2rf_filter_ssid07=**"},
      {"Packet2rf_filter_ssid24=*", "Packet2rf_filter_ssid24="}},
     "APRS-IS Server 1 Port - range error (0 - 65535).\n"
     "APRS-IS Server 2 Port - range error (0 - 65535).\n"
     "APRS-IS Server 3 Port - range error (0 - 65535).\n"
     "APRS-IS reconnect timeout - range error (1 - 60).\n"
     "APRS-IS heard buffer timeout range error (1 - 240).\n"
     "APRS-IS to RF dest - SSID range error (0 - 15).\n"
     "APRS-IS message path - SSID range error (0 - 15).\n"
     "Local RF heard max. digi-hops range error (0 - 8).\n"
     "Local RF heard buffer timeout range error (1 - 240).\n"
     "APRS-IS non-message path - SSID range error (0 - 15).\n"
     "RF heard buffer timeout range error (1 - 240).\n"
     "Max. non-message packets per 1 min range error (1 - 240).\n"
     "Max. non-message packets per 2 min range error (1 - 240).\n"
     "Max. non-message packets per 3 min range error (1 - 240).\n"
     "APRS-IS packets to RF filter 7 - SSID range error (0 - 15, or wildcard '*').\n"
     "APRS-IS packets to RF filter 24 - SSID range error (0 - 15, or wildcard '*').\n"},
    {"Telemetry",
     {{"Teleparams_dest_string=APQK06", "Teleparams_dest_string="},
      {"Teleparams_dest_ssid=0", "Teleparams_dest_ssid=-1"},
      {"Teleparams_path_ssid=2", "Teleparams_path_ssid=16"},
      {"Teleparams_txrate_rf=60", "Teleparams_txrate_rf=4"},
      {"Teleparams_txrate_aprsis=10", "Teleparams_txrate_aprsis=1441"},
      {"Teledata_dest_string=APQK06", "Teledata_dest_string="},
      {"Teledata_dest_ssid=0", "Teledata_dest_ssid=x"},
      {"Teledata_path_ssid=2", "Teledata_path_ssid="},
      {"Teledata_txrate_rf=10", "Teledata_txrate_rf=1"},
      {"Teledata_txrate_aprsis=5", "Teledata_txrate_aprsis=2000"},
      {"Tele_holdoff=60", "Tele_holdoff=251"},
      {"Teledigital4_source=4", "Teledigital4_source=9"}},
     "Telemetry data destination - too short (e.g. APQK06).\n"
     "Telemetry data destination - SSID range error (0 - 15).\n"
     "Telemetry data path - SSID range error (0 - 15).\n"
     "Telemetry data tx rate (RF) range error (5 - 1440).\n"
     "Telemetry data tx rate (APRSIS) range error (5 - 1440).\n"
     "Telemetry parameters destination - too short (e.g. APQK06).\n"
     "Telemetry parameters destination - SSID range error (0 - 15).\n"
     "Telemetry parameters path - SSID range error (0 - 15).\n"
     "Telemetry parameters tx rate (RF) range error (5 - 1440).\n"
     "Telemetry parameters tx rate (APRSIS) range error (5 - 1440).\n"
     "First telemetry data packet delay range error (0 - 250).\n"
     "Digital 4 - Source: no item selected.\n"},
    {"Weather",
     {{"Weather_dest_string=APQK06", "Weather_dest_string="},
      {"Weather_dest_ssid=0", "Weather_dest_ssid=16"},
      {"Weather_path_ssid=2", "Weather_path_ssid=x"},
      {"Weather_txrate_rf=5", "Weather_txrate_rf=4"},
      {"Weather_txrate_aprsis=5", "Weather_txrate_aprsis=1441"},
      {"Weather_comment=Zyvora weather", "Weather_comment=25\xB0" "C"},
      {"Normal_rate=1", "Normal_rate=0"},
      {"Rapidfire_rate=5", "Rapidfire_rate=61"}},
     "Weather destination - too short (e.g. APQK06).\n"
     "Weather destination - SSID range error (0 - 15).\n"
     "Weather path - SSID range error (0 - 15).\n"
     "Weather report tx rate (RF) range error (5 - 1440).\n"
     "Weather report tx rate (APRSIS) range error (5 - 1440).\n"
     "Weather report comment - forbidden characters.\n"
     "WeatherUnderground normal send rate range error (1 - 240).\n"
     "WeatherUnderground \"Rapid fire\" send rate range error (5 - 60).\n"},
};

class CliCheck : public test::CliTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(CliCheck, ReachesTheAreaMessagesInPassOrder) {
    write("area.cfg", defaults_with(GetParam().lines));
    const Outcome r = run({"check", "--all", "area.cfg"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    // The messages in order; where each stands is CliCheckFile's business.
    static const std::regex place(R"(^area\.cfg(:[0-9]+)?: (\[[^\]\n]+\] [^ :\n]+: )?)", std::regex::multiline);
    EXPECT_EQ(std::regex_replace(r.err, place, ""), GetParam().err);
}

INSTANTIATE_TEST_SUITE_P(Areas, CliCheck, ::testing::ValuesIn(kCheckCases),
                         [](const auto& info) { return std::string(info.param.area); });

TEST_F(Cli, CheckShowsThePortInterlockOnReadingAndPasses) {
    write("kiss.cfg", defaults_with({{"Serial1_mode=1", "Serial1_mode=4"}, {"Serial2_mode=2", "Serial2_mode=4"}}));
    const Outcome r = run({"check", "kiss.cfg"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    // No weather station read: no weather report to advise on.
    EXPECT_EQ(r.err, "RS-232 port 2 changed to None.\nReason:\nKISS output can be selected on one port only.\n" +
                         test::kAdviceRule1 + test::kAdviceBeacon1 + test::kAdviceAirtime);
}

TEST_F(Cli, EncodeRefusesWhatWriteConfigWouldRefuse) {
    write("foreign.cfg", "[Radio]\nCallsign=SP5X\n");
    Outcome r = run({"encode", "foreign.cfg", "out.bin"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Imported configuration file is not a Zyvora Plus 2.0 configuration file. \nOperation aborted.\n");

    write("bad.cfg", defaults_with("Baudrate=0", "Baudrate=9"));
    r = run({"encode", "bad.cfg", "out.bin"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Baudrate - no item selected.\n");
    EXPECT_FALSE(fs::exists(path("out.bin")));
}

TEST_F(Cli, DecodeReportsBadImages) {
    write("start.cfg", std::string(test::kDefaultsFile));
    ASSERT_EQ(run({"encode", "start.cfg", "good.bin"}).status, 0);
    const std::string good = contents("good.bin");

    write("short.bin", good.substr(0, 100));
    Outcome r = run({"decode", "short.bin", "out.cfg"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "short.bin is not a settings image: it holds 100 bytes, an image holds 16384.\n");

    std::string corrupt = good;
    corrupt[20] = '1';
    write("corrupt.bin", corrupt);
    r = run({"decode", "corrupt.bin", "out.cfg"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Eeprom checksum error. Please reload configuration.\n");
    EXPECT_EQ(r.err, "zyvora-cli: decode failed: Eeprom checksum error. Please reload configuration.\n");

    // Another version with a sound checksum: the box goes to stderr, the log line to stdout.
    Image old;
    std::copy(good.begin(), good.end(), old.begin());
    old[10] = '2';
    const std::uint32_t sum = image_sum(old);
    for (int i = 0; i < 4; ++i) old[i] = static_cast<std::uint8_t>(sum >> (8 * i));
    write("old.bin", std::string(old.begin(), old.end()));
    r = run({"decode", "old.bin", "out.cfg"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Eeprom read error. Please reload configuration.\n");
    EXPECT_EQ(r.err,
              "Uncompatible configuration version:\nDevice: v1.12\nConfigurator: v1.13\n\n"
              "You need to use Configurator v1.12 or write new configuration using \"Write config\" button.\n"
              "zyvora-cli: decode failed: Eeprom read error. Please reload configuration.\n");
    EXPECT_FALSE(fs::exists(path("out.cfg")));

    r = run({"decode", "good.bin", "no-such-folder/out.cfg"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Unable to write to no-such-folder/out.cfg\n");

    // A missing input is the operation's failure, named as such, not a usage error.
    for (const char* verb : {"check", "encode", "decode"}) {
        std::vector<std::string> args = {verb, "absent"};
        if (std::string(verb) != "check") args.push_back("out");
        r = run(args);
        EXPECT_EQ(r.status, 1) << verb;
        EXPECT_EQ(r.err, "Unable to read absent: No such file or directory\n") << verb;
    }
}

TEST_F(Cli, UsageErrorsExitWithTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"encode", "only-one.cfg"},
        {"defaults"},
        {"check", "--bogus", "x.cfg"},
        {"defaults", "a.cfg", "b.cfg"},
    };
    for (const auto& args : cases) {
        const Outcome r = run(args);
        std::string line;
        for (const auto& a : args) line += a + ' ';
        EXPECT_EQ(r.status, 2) << line;
        EXPECT_EQ(r.out, "") << line;
        EXPECT_NE(r.err, "") << line;
    }
    EXPECT_TRUE(fs::is_empty(dir_));
}

// The device verbs against the simulated device, its EEPROM kept in a file between runs.
TEST_F(Cli, DeviceVerbsOnTheSimulatedDevice) {
    const std::string found = "Zyvora Plus 2.0 found, vid: Vid_0483, pid: A124\n";
    std::string pages;
    for (int p = 1; p <= 512; ++p) pages += "Page written: " + std::to_string(p) + "/512\n";

    std::string read;
    for (int p = 1; p <= 512; ++p) read += "Page read: " + std::to_string(p) + "/512\n";

    write("station.cfg", defaults_with("Callsign=NOCALL", "Callsign=SP5XYZ"));
    Outcome r = run({"--device", "sim:dev.img", "write", "station.cfg"});
    EXPECT_EQ(r.status, 0) << r.err;
    // The device's factory settings are kept before they are replaced, and the write is read back.
    std::vector<std::string> backups;
    for (const auto& e : fs::directory_iterator(data_ + "/zyvora-configurator/backups")) {
        if (e.path().extension() == ".cfg") backups.push_back(e.path().string());
    }
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(r.out, found + read + "Backup of the device's settings: " + backups[0] + "\n" + pages +
                         "Eeprom write success\n" + read + "Verify success: the device holds every byte that was written.\n");
    EXPECT_EQ(r.err, "");

    r = run({"--device", "sim:dev.img", "read", "back.cfg", "--image", "back.bin"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string tail = "Page read: 512/512\nEeprom read success.\n" + found;
    ASSERT_GE(r.out.size(), tail.size());
    EXPECT_EQ(r.out.substr(0, found.size()), found);
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
    EXPECT_EQ(r.err, "Firmware version: 1.13\nHardware version: Zyvora Plus 2.0 simulated hardware\n");
    EXPECT_NE(contents("back.cfg").find("\nCallsign=SP5XYZ\n"), std::string::npos);
    EXPECT_EQ(contents("back.bin").size(), kImageSize);

    r = run({"--device", "sim:dev.img", "info"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, found + "Firmware version: 1.13\nHardware version: Zyvora Plus 2.0 simulated hardware\n"
                             "Serial number: SIM-DEV\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(Cli, DeviceFailuresExitWithOne) {
    write("station.cfg", std::string(test::kDefaultsFile));
    const std::string found = "Zyvora Plus 2.0 found, vid: Vid_0483, pid: A124\n";

    Outcome r = run({"--device", "sim", "--sim-absent", "info"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Zyvora Plus 2.0 not found.\n");

    r = run({"--device", "sim", "--sim-firmware-version", "112", "write", "station.cfg"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, found);
    EXPECT_EQ(r.err, "Uncompatible firmware version:\nDevice: 1.12\nConfigurator: 1.13\n\n"
                     "You need to upload new firmware using \"Upload firmware\" button.\n");

    r = run({"--device", "sim", "--sim-fault", "read@3=wrong-sum", "read", "out.cfg"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, found + "Page read: 1/512\nPage read: 2/512\nPage read: 3/512\nPage read error: 4/512\n"
                             "Eeprom checksum error. Please reload configuration.\n");
    EXPECT_FALSE(fs::exists(path("out.cfg")));

    r = run({"--device", "sim", "upload-firmware"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");  // the device is not opened when there is nothing to send
    EXPECT_EQ(r.err, "This build carries no firmware image: give one with --firmware FILE, or build with -DZYVORA_FIRMWARE=path.\n");

    std::string firmware(64, '\0');
    for (std::size_t i = 0; i < firmware.size(); ++i) firmware[i] = static_cast<char>(i * 13);
    write("fw.bin", firmware);
    r = run({"--device", "sim", "--firmware", "fw.bin", "upload-firmware"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, found + "Firmware from fw.bin: 64 bytes in 2 pages\n" + read_and_filed("SIM") +
                         "Page written: 1/2\nPage written: 2/2\nFirmware upgrade success\n" + proved());

    for (const char* bad : {"--sim-fault=read@x=gone", "--device=usb"}) {
        r = run({bad, "info"});
        EXPECT_EQ(r.status, 2) << bad;
    }
}

// Textbook XTEA decipherment, written apart from the configurator's, for the words of one block.
void textbook_decipher(std::uint32_t v[2], const std::uint32_t key[4]) {
    const std::uint32_t delta = 0x9E3779B9;
    std::uint32_t v0 = v[0], v1 = v[1], sum = delta * 32;
    for (int i = 0; i < 32; ++i) {
        v1 -= (((v0 << 4) ^ (v0 >> 5)) + v0) ^ (sum + key[(sum >> 11) & 3]);
        sum -= delta;
        v0 -= (((v1 << 4) ^ (v1 >> 5)) + v1) ^ (sum + key[sum & 3]);
    }
    v[0] = v0;
    v[1] = v1;
}

std::uint32_t le32_at(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
    return v;
}

// Bitwise reflected CRC-32, register not inverted at the end.
std::uint32_t bitwise_register(const std::string& bytes, std::size_t from) {
    std::uint32_t reg = 0xFFFFFFFF;
    for (std::size_t at = from; at < bytes.size(); ++at) {
        reg ^= static_cast<unsigned char>(bytes[at]);
        for (int k = 0; k < 8; ++k) reg = (reg & 1) ? (reg >> 1) ^ 0xEDB88320 : reg >> 1;
    }
    return reg;
}

TEST_F(Cli, RufPacksTheSettingsFileAndTheFirmware) {
    write("station.cfg", defaults_with("Callsign=NOCALL", "Callsign=SP5XYZ"));
    std::string firmware(1024, '\0');
    for (std::size_t i = 0; i < firmware.size(); ++i) firmware[i] = static_cast<char>(i * 13);
    write("fw.bin", firmware);
    Outcome r = run({"--firmware", "fw.bin", "ruf", "station.cfg", "out.ruf"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out + r.err, "");

    std::string package = contents("out.ruf");
    ASSERT_EQ(package.size(), 1024u + 16896u);
    EXPECT_EQ(le32_at(package, 0), 1024u);
    EXPECT_EQ(le32_at(package, 4), bitwise_register(package, 512));
    EXPECT_EQ(package.substr(16896), firmware);
    const std::uint32_t key[4] = {0x3c0a1f5e, 0x46b8d297, 0x3ae10f6c, 0x58d7b429};
    Image image;
    for (std::size_t block = 0; block < kImageSize / 8; ++block) {
        std::uint32_t v[2] = {le32_at(package, 512 + 8 * block), le32_at(package, 516 + 8 * block)};
        textbook_decipher(v, key);
        for (int i = 0; i < 8; ++i) image[8 * block + i] = static_cast<std::uint8_t>(v[i / 4] >> (8 * (i % 4)));
    }
    EXPECT_TRUE(verify(image));
    EXPECT_EQ(std::string(image.begin() + 14, image.begin() + 20), "SP5XYZ");

    // Failures: the settings, the destination, the firmware; the old package stays.
    write("bad.cfg", defaults_with("TXdelay=250", "TXdelay=1001"));
    fs::create_directory(path("folder.ruf"));
    const struct {
        std::vector<std::string> args;
        std::string err;
    } failures[] = {
        {{"--firmware", "fw.bin", "ruf", "bad.cfg", "out.ruf"}, "TX delay - range error (200 - 1000).\n"},
        {{"--firmware", "fw.bin", "ruf", "station.cfg", "folder.ruf"}, "Could not open destination file.\n"},
        {{"--firmware", "missing.bin", "ruf", "station.cfg", "out.ruf"},
         "Firmware resource not found (LoadResource).\nmissing.bin: No such file or directory\n"},
    };
    for (const auto& f : failures) {
        r = run(f.args);
        EXPECT_EQ(r.status, 1) << f.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, f.err);
        EXPECT_EQ(contents("out.ruf"), package);
    }
}

}  // namespace
}  // namespace zyvora
