// The warnings about a hand-edited settings file, each held against what the reader really does
// with the same text.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "../support/expected_defaults.h"
#include "lint.h"
#include "passes.h"
#include "registry.h"
#include "settingsfile.h"

namespace zyvora {
namespace {

const Registry& tables() { return Registry::instance(); }

// The defaults file with each line of the list replaced.
std::string defaults_with(const std::vector<std::pair<std::string, std::string>>& lines) {
    std::string text = "\n" + std::string(test::kDefaultsFile);  // the first line too starts after a newline
    for (const auto& [line, replacement] : lines) {
        const auto at = text.find("\n" + line + "\n");
        EXPECT_NE(at, std::string::npos) << line;
        if (at != std::string::npos) text.replace(at + 1, line.size(), replacement);
    }
    return text.substr(1);
}

std::vector<std::string> warning_texts(const std::string& text) {
    std::vector<std::string> texts;
    for (const LintWarning& w : lint_settings_file(tables(), text)) texts.push_back(w.text);
    return texts;
}

// The controls as the read pass leaves them after `text`.
ControlStore read_text(const std::string& text) {
    SettingsFile file;
    EXPECT_TRUE(file.parse(text));
    ControlStore store = test::startup_store(tables());
    read(tables(), store, file);
    return store;
}

TEST(SettingsFileLint, SavedFilesHaveNoWarnings) {
    EXPECT_EQ(warning_texts(std::string(test::kDefaultsFile)), std::vector<std::string>{});
    // Sections and keys match without regard to case, as the reader matches them.
    EXPECT_EQ(warning_texts(defaults_with({{"[Radio]", "[RADIO]"}, {"TXdelay=250", "txdelay=300"}})),
              std::vector<std::string>{});
}

TEST(SettingsFileLint, NamesTheUnknownWithTheNearestKnown) {
    const std::vector<std::pair<std::vector<std::pair<std::string, std::string>>, std::vector<std::string>>> cases = {
        {{{"TXdelay=250", "TXdelya=5000"}},
         {"[Radio] TXdelya is not a known key; did you mean TXdelay?", "[Radio] lacks TXdelay; it reads as its default."}},
        {{{"TXdelay=250", "TXdelay=250\nFoo=1"}}, {"[Radio] Foo is not a known key."}},
        // A whole unknown section is one warning, not one per key.
        {{{"[Radio]", "[Radoi]"}},
         {"[Radoi] is not a known section; did you mean [Radio]?", "[Radio] is missing; its 14 keys read as their defaults."}},
        {{{"[Radio]", "[Bogus]\nX=1\n[Radio]"}}, {"[Bogus] is not a known section."}},
        {{{"Version=v1.13", "Version=v1.13\nVersoin=2"}}, {"[!WARNING] Versoin is not a known key; did you mean Version?"}},
        // In the order of the file.
        {{{"[!WARNING]", "Stray=1\n[!WARNING]"}, {"Quiettime=400", "Quiettime=abc"}, {"Debug_rf=1", "Debug_rx=1"}},
         {"Stray is before the first section; it is not read.",
          "[Radio] Quiettime=abc is not an integer; it reads as 400.",
          "[Debug] Debug_rx is not a known key; did you mean Debug_rf?",
          "[Debug] lacks Debug_rf; it reads as its default."}},
    };
    for (const auto& [lines, expected] : cases) {
        SCOPED_TRACE(lines.front().second);
        EXPECT_EQ(warning_texts(defaults_with(lines)), expected);
    }
}

TEST(SettingsFileLint, WarningsNameTheirSectionAndKeyAsTheFileSpellsThem) {
    const auto warnings = lint_settings_file(tables(), defaults_with({{"[Radio]", "[RADIO]"}, {"TXdelay=250", "TXdelya=1"},
                                                                      {"[Beacons]", "[Beacns]"}}));
    ASSERT_EQ(warnings.size(), 4u);
    EXPECT_EQ(std::pair(warnings[0].section, warnings[0].key), std::pair(std::string("RADIO"), std::string("TXdelya")));
    EXPECT_EQ(std::pair(warnings[1].section, warnings[1].key), std::pair(std::string("Beacns"), std::string()));
    // What is missing, the tables spell.
    EXPECT_EQ(std::pair(warnings[2].section, warnings[2].missing), std::pair(std::string("Radio"), true));
    EXPECT_EQ(std::pair(warnings[3].section, warnings[3].missing), std::pair(std::string("Beacons"), true));
    EXPECT_FALSE(warnings[0].missing || warnings[1].missing);
}

// A file that is not all there: a line per missing section, and per section that lacks keys one
// line naming them, or counting them when many. Reading is the same: each reads as its default.
TEST(SettingsFileLint, MissingSectionsAndKeysAreOneLineEach) {
    const std::vector<std::pair<std::vector<std::pair<std::string, std::string>>, std::vector<std::string>>> cases = {
        {{{"Gamma_units=1", ""}}, {"[Gamma] lacks Gamma_units; it reads as its default."}},
        {{{"TXdelay=250", ""}, {"PTT=0", ""}, {"Baudrate=0", ""}},
         {"[Radio] lacks TXdelay, PTT and Baudrate; they read as their defaults."}},
        {{{"Callsign=NOCALL", ""}, {"SSID=0", ""}, {"TXdelay=250", ""}, {"PTT=0", ""}, {"Squelch=0", ""}, {"Baudrate=0", ""}},
         {"[Radio] lacks 6 of its 14 keys; they read as their defaults."}},
        {{{"[GPS]", ""}, {"GPS_baudrate=3", ""}}, {"[GPS] is missing; its key reads as its default."}},
        // A section with no keys left lacks them all; the header is the reader's business.
        {{{"Thermo_enable=1", ""}, {"Thermo_type=0", ""}, {"Version=v1.13", ""}},
         {"[Thermo] is missing; its 2 keys read as their defaults."}},
        // Keys match without regard to case, as the reader matches them.
        {{{"Gamma_units=1", "GAMMA_UNITS=1"}}, {}},
    };
    for (const auto& [lines, expected] : cases) {
        SCOPED_TRACE(lines.front().first);
        EXPECT_EQ(warning_texts(defaults_with(lines)), expected);
    }
    EXPECT_EQ(missing_keys(tables(), std::string(test::kDefaultsFile)), std::vector<const FileKey*>{});
}

// An integer warning fires exactly when the reader falls back to the key's missing value.
TEST(SettingsFileLint, IntegerWarningsFollowTheReader) {
    const std::vector<std::pair<std::string, std::string>> read_as = {
        {"0x10", "16"}, {" 12", "12"}, {"12 ", "12"}, {"-5", "-5"}, {"+7", "7"}, {"$1F", "31"}, {"X1f", "31"},
        {"-2147483648", "-2147483648"}, {"12abc", ""}, {"", ""}, {"99999999999", ""}, {"2147483648", ""},
        {"0x", ""}, {"-", ""}, {"\"12\"", ""}, {"1 2", ""}, {"1.5", ""}, {"abc", ""},
    };
    for (const auto& [value, read] : read_as) {
        SCOPED_TRACE("Quiettime=" + value);
        const std::string text = defaults_with({{"Quiettime=400", "Quiettime=" + value}});
        const bool falls_back = read.empty();
        EXPECT_EQ(read_text(text).text("Quiettime"), falls_back ? "400" : read);
        // The value as the file's INI reading has it, trimmed at both ends.
        std::string shown = value;
        while (!shown.empty() && shown.front() == ' ') shown.erase(0, 1);
        while (!shown.empty() && shown.back() == ' ') shown.pop_back();
        EXPECT_EQ(warning_texts(text), falls_back ? std::vector<std::string>{"[Radio] Quiettime=" + shown +
                                                                             " is not an integer; it reads as 400."}
                                                  : std::vector<std::string>{});
    }
}

TEST(SettingsFileLint, EveryNumberKindNamesWhatItReadsAs) {
    // A choice's index, a check box and a boolean read through the same integer rule.
    EXPECT_EQ(warning_texts(defaults_with({{"Quiettime_randomize=3", "Quiettime_randomize=x"},
                                           {"Ntp_enable=1", "Ntp_enable=false"}})),
              (std::vector<std::string>{"[Radio] Quiettime_randomize=x is not an integer; it reads as 3.",
                                        "[RTC] Ntp_enable=false is not an integer; it reads as 1."}));
    ControlStore store = read_text(defaults_with({{"Ntp_enable=1", "Ntp_enable=false"}}));
    EXPECT_TRUE(store.checked("Ntp_enable"));
}

TEST(SettingsFileLint, AKeyGivenTwiceReadsItsLastValue) {
    const std::string text = defaults_with({{"TXdelay=250", "TXdelay=250\nQuiettime=500\ntxdelay=300"}});
    EXPECT_EQ(warning_texts(text), (std::vector<std::string>{"[Radio] TXdelay is given 2 times; the last (300) is read.",
                                                             "[Radio] Quiettime is given 2 times; the last (400) is read."}));
    EXPECT_EQ(read_text(text).text("Txdelay"), "300");
    EXPECT_EQ(read_text(text).text("Quiettime"), "400");
    // A section given twice is one section; its keys count over both.
    const std::string again = std::string(test::kDefaultsFile) + "[Radio]\nTXdelay=abc\n";
    EXPECT_EQ(warning_texts(again), (std::vector<std::string>{"[Radio] TXdelay is given 2 times; the last (abc) is read.",
                                                              "[Radio] TXdelay=abc is not an integer; it reads as 250."}));
    EXPECT_EQ(read_text(again).text("Txdelay"), "250");
}

// A number the device takes unchecked is stored as its low bits: one outside its field's range
// would reach the device as another number, so the warning names both. The bytes stay as they were.
TEST(SettingsFileLint, NumbersOutsideTheirFieldNameWhatTheDeviceGets) {
    const std::vector<std::tuple<std::string, std::string, std::string, std::size_t, std::vector<std::uint8_t>>> cases = {
        {"Www_port=80", "Www_port=70000", "[WWW] Www_port 70000 does not fit the field (0 - 65535): the device gets 4464.",
         1852, {0x70, 0x11}},
        {"Telnet_port=23", "Telnet_port=-1", "[Telnet] Telnet_port -1 does not fit the field (0 - 65535): the device gets 65535.",
         1898, {0xFF, 0xFF}},
        {"Kisstcpip_port=12345", "Kisstcpip_port=65536",
         "[KISSTCPIP] Kisstcpip_port 65536 does not fit the field (0 - 65535): the device gets 0.", 1902, {0, 0}},
        // As the reader takes the number; the section and key as the file spells them.
        {"Aprsisserver_port=14580", "APRSISSERVER_PORT=0x11170",
         "[APRSISServer] APRSISSERVER_PORT 70000 does not fit the field (0 - 65535): the device gets 4464.", 1906, {0x70, 0x11}},
        {"SlowSpeed=8", "SlowSpeed=-1",
         "[PositionReports] SlowSpeed -1 does not fit the field (0 - 65535): the device gets 65535.", 2686, {0xFF, 0xFF}},
        {"TurnSlope=410", "TurnSlope=-65536",
         "[PositionReports] TurnSlope -65536 does not fit the field (0 - 65535): the device gets 0.", 2682, {0, 0}},
        {"FastPeriod=90", "FastPeriod=2147483647",
         "[PositionReports] FastPeriod 2147483647 does not fit the field (0 - 65535): the device gets 65535.", 2692,
         {0xFF, 0xFF}},
        // The ends of the range fit.
        {"Www_port=80", "Www_port=65535", "", 1852, {0xFF, 0xFF}},
        {"MinTurnAngle=27", "MinTurnAngle=0", "", 2680, {0, 0}},
        // A range the encode pass checks is its business, not the lint's.
        {"Statsupload_port=80", "Statsupload_port=70000", "", 0, {}},
    };
    for (const auto& [line, replacement, expected, offset, stored] : cases) {
        SCOPED_TRACE(replacement);
        const std::string text = defaults_with({{line, replacement}});
        EXPECT_EQ(warning_texts(text), expected.empty() ? std::vector<std::string>{} : std::vector<std::string>{expected});
        if (stored.empty()) continue;
        Image image{};
        ASSERT_EQ(encode(tables(), read_text(text), image, {}).size(), 0u);
        EXPECT_EQ(std::vector<std::uint8_t>(image.begin() + offset, image.begin() + offset + 2), stored);
    }
}

TEST(SettingsFileLint, TextsLongerThanTheirFieldAreCutAtEncode) {
    const std::string long_message(120, 'a'), fitting(96, 'a');
    const std::vector<std::pair<std::pair<std::string, std::string>, std::string>> cases = {
        {{"Beacon1_msg=@<date>z<lat>/<long>-ZyvoraPlus2.0 U=<volt>V,T=<temp>C/<tempf>F", "Beacon1_msg=" + long_message},
         "[Beacons] Beacon1_msg is 120 characters long; the device keeps the first 96."},
        {{"Callsign=NOCALL", "Callsign=SP1ABCDE"}, "[Radio] Callsign is 8 characters long; the device keeps the first 6."},
        {{"SymbolCode=>", "SymbolCode=ab"}, "[PositionReports] SymbolCode is 2 characters long; the device keeps the first 1."},
        {{"Www_user=admin", "Www_user=administrator"}, "[WWW] Www_user is 13 characters long; the device keeps the first 12."},
        // What fits is no warning, the quotes the reader strips not counted.
        {{"Callsign=NOCALL", "Callsign=\"SP1ABC\""}, ""},
        {{"Beacon2_msg=", "Beacon2_msg=" + fitting}, ""},
        // A position of the wrong length fails the encode pass's own check instead.
        {{"Latitude=5223.08N", "Latitude=5223.08NNN"}, ""},
    };
    for (const auto& [line, expected] : cases) {
        SCOPED_TRACE(line.second);
        const std::string text = defaults_with({line});
        EXPECT_EQ(warning_texts(text), expected.empty() ? std::vector<std::string>{} : std::vector<std::string>{expected});
        // The file is read whole: only the device's field cuts it.
        const auto value = line.second.substr(line.second.find('=') + 1);
        Image image{};
        const auto failures = encode(tables(), read_text(text), image, {});
        if (expected.empty() || !failures.empty()) continue;
        const auto kept = std::stoul(expected.substr(expected.rfind(' ') + 1));
        EXPECT_NE(std::string(image.begin(), image.end()).find(value.substr(0, kept)), std::string::npos);
        EXPECT_EQ(std::string(image.begin(), image.end()).find(value.substr(0, kept + 1)), std::string::npos);
    }
}

}  // namespace
}  // namespace zyvora
