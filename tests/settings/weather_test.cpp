// The weather beacon (image 57..109) and the Weather Underground uploads (2474..2607).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/area_fixture.h"
#include "settingsfile.h"

namespace zyvora {
namespace {

using namespace std::string_literals;
using test::text_field;
using Weather = test::AreaFixture;

constexpr const char* kRapidFireMessage = "WeatherUnderground \"Rapid fire\" send rate range error (5 - 60).";
constexpr const char* kNormalRateMessage = "WeatherUnderground normal send rate range error (1 - 240).";
constexpr const char* kRfRateMessage = "Weather report tx rate (RF) range error (5 - 1440).";
constexpr const char* kIsRateMessage = "Weather report tx rate (APRSIS) range error (5 - 1440).";
constexpr const char* kCommentMessage = "Weather report comment - forbidden characters.";
constexpr const char* kDestShort = "Weather destination - too short (e.g. APQK06).";
constexpr const char* kDestSsid = "Weather destination - SSID range error (0 - 15).";
constexpr const char* kPathSsid = "Weather path - SSID range error (0 - 15).";

TEST_F(Weather, DefaultsFillBytes56To109And2474To2608) {
    ASSERT_TRUE(encode_now().empty());
    const std::string beacon = "\x05"s                             // 56 station model WS-2300
                               + "APQK060" + "WIDE2 2"             // 57 destination, 64 path
                               + "\x00"s                           // 71 belongs to no setting
                               + "\x05\x00\x05\x00"s               // 72 RF, 74 APRS-IS: 5 minutes
                               + text_field("Zyvora weather", 33)  // 76..108 comment
                               + "\x00"s;                          // 109
    EXPECT_EQ(bytes(56, 109 - 56 + 1), beacon);

    const std::string underground = "\x00"s                                                // 2474 disabled
                                    + text_field("", 25) + text_field("", 25)              // 2475 ID, 2500 password
                                    + text_field("weatherstation.wunderground.com", 40)   // 2525
                                    + text_field("rtupdate.wunderground.com", 40)         // 2565
                                    + "\x00\x01\x05"s                                     // 2605 normal, 1 min, 5 s
                                    + "\x03"s;                                            // 2608 GPS 9600 baud
    EXPECT_EQ(bytes(2474, 2608 - 2474 + 1), underground);
}

TEST_F(Weather, ChecksAndTheirMessages) {
    struct Case {
        std::vector<std::pair<const char*, const char*>> texts;
        std::string failing;  // empty: passes
        std::string message;
    };
    const std::vector<Case> cases = {
        {{{"Weather_comment", "tab\there"}}, "Weather_comment", kCommentMessage},
        {{{"Weather_comment", "25\xB0" "C"}}, "Weather_comment", kCommentMessage},
        {{{"Weather_comment", "DEL\x7F"}}, "Weather_comment", kCommentMessage},
        {{{"Weather_comment", "Wx: 20C, 80% (ok) ~!#$&*+-./;<=>?@[\\]^_`{|}'\""}}, "", ""},
        {{{"Weather_comment", ""}}, "", ""},
        {{{"Weather_txrate_rf", "0"}}, "", ""},
        {{{"Weather_txrate_rf", "4"}}, "Weather_txrate_rf", kRfRateMessage},
        {{{"Weather_txrate_rf", "5"}}, "", ""},
        {{{"Weather_txrate_rf", "1440"}}, "", ""},
        {{{"Weather_txrate_rf", "1441"}}, "Weather_txrate_rf", kRfRateMessage},
        {{{"Weather_txrate_rf", "65541"}}, "Weather_txrate_rf", kRfRateMessage},  // 5 once narrowed
        {{{"Weather_txrate_rf", "-1"}}, "Weather_txrate_rf", kRfRateMessage},
        {{{"Weather_txrate_aprsis", "0"}}, "", ""},
        {{{"Weather_txrate_aprsis", "4"}}, "Weather_txrate_aprsis", kIsRateMessage},
        {{{"Weather_txrate_aprsis", "1440"}}, "", ""},
        {{{"Weather_txrate_aprsis", "1441"}}, "Weather_txrate_aprsis", kIsRateMessage},
        {{{"WU_normalrate", "0"}}, "WU_normalrate", kNormalRateMessage},
        {{{"WU_normalrate", "1"}}, "", ""},
        {{{"WU_normalrate", "240"}}, "", ""},
        {{{"WU_normalrate", "241"}}, "WU_normalrate", kNormalRateMessage},
        {{{"WU_normalrate", "257"}}, "WU_normalrate", kNormalRateMessage},  // 1 once narrowed
        {{{"WU_rapidfirerate", "4"}}, "WU_rapidfirerate", kRapidFireMessage},
        {{{"WU_rapidfirerate", "5"}}, "", ""},
        {{{"WU_rapidfirerate", "60"}}, "", ""},
        {{{"WU_rapidfirerate", "61"}}, "WU_rapidfirerate", kRapidFireMessage},
        {{{"WU_rapidfirerate", "261"}}, "WU_rapidfirerate", kRapidFireMessage},  // 5 once narrowed
        {{{"Weather_dest_string", ""}}, "Weather_dest_string", kDestShort},
        {{{"Weather_dest_string", ""}, {"Weather_dest_ssid", "16"}}, "Weather_dest_string", kDestShort},
        {{{"Weather_dest_ssid", "16"}}, "Weather_dest_ssid", kDestSsid},
        {{{"Weather_dest_ssid", "-1"}}, "Weather_dest_ssid", kDestSsid},
        {{{"Weather_dest_ssid", "x"}}, "Weather_dest_ssid", kDestSsid},
        {{{"Weather_dest_ssid", ""}}, "Weather_dest_ssid", kDestSsid},
        {{{"Weather_dest_ssid", "$F"}}, "", ""},
        {{{"Weather_path_string", ""}, {"Weather_path_ssid", "x"}}, "", ""},
        {{{"Weather_path_ssid", "16"}}, "Weather_path_ssid", kPathSsid},
        {{{"Weather_path_ssid", "-1"}}, "Weather_path_ssid", kPathSsid},
        {{{"Weather_path_ssid", "x"}}, "Weather_path_ssid", kPathSsid},
        {{{"Weather_path_ssid", ""}}, "Weather_path_ssid", kPathSsid},
        {{{"Weather_path_ssid", "15"}}, "", ""},
        {{{"WU_stationid", "\t"}, {"WU_password", "\xB0"}}, "", ""},  // only the comment is looked at
    };
    for (const Case& c : cases) {
        store_ = test::startup_store(registry_);
        for (const auto& [control, text] : c.texts) store_.set_text(control, text);
        if (c.failing.empty()) {
            EXPECT_TRUE(encode_now().empty()) << c.texts[0].first << "=" << c.texts[0].second;
        } else {
            expect_failure(c.failing, c.message);
        }
    }
}

TEST_F(Weather, UndergroundRatesAreCheckedWhateverTheSwitchAndMethod) {
    for (int enable : {0, 1}) {
        for (int method : {0, 1}) {
            store_ = test::startup_store(registry_);
            store_.set_index("WU_enable", enable);
            store_.set_index("WU_sendmethod", method);
            store_.set_text("WU_rapidfirerate", "61");
            expect_failure("WU_rapidfirerate", kRapidFireMessage);
            store_.set_text("WU_rapidfirerate", "60");
            store_.set_text("WU_normalrate", "0");
            expect_failure("WU_normalrate", kNormalRateMessage);
        }
    }
}

TEST_F(Weather, PassOrderAndCheckAll) {
    store_.set_text("Weather_dest_ssid", "16");
    store_.set_text("Weather_path_ssid", "16");
    store_.set_text("Weather_txrate_rf", "4");
    store_.set_text("Weather_txrate_aprsis", "4");
    store_.set_text("Weather_comment", "\t");
    store_.set_text("WU_normalrate", "0");
    store_.set_text("WU_rapidfirerate", "0");
    store_.set_text("Tele_holdoff", "251");  // the telemetry part runs before
    expect_failure("Tele_holdoff", "First telemetry data packet delay range error (0 - 250).");

    store_.set_text("Tele_holdoff", "60");
    EXPECT_EQ(encode_all_messages(), (std::vector<std::string>{kDestSsid, kPathSsid, kRfRateMessage, kIsRateMessage,
                                                               kCommentMessage, kNormalRateMessage,
                                                               kRapidFireMessage}));
}

TEST_F(Weather, ChoicesWithoutSelectionAreRefused) {
    const std::pair<const char*, const char*> cases[] = {
        {"WU_enable", "Weather reports to Weather Underground - no item selected."},
        {"WU_sendmethod", "Weather send method - no item selected."},
    };
    for (const auto& [control, message] : cases) expect_no_selection_refused(control, message);
}

TEST_F(Weather, RatesThatAreNoNumberEndThePassWithTheParsersError) {
    struct Case {
        const char* control;
        const char* text;
    };
    for (const Case& c : std::vector<Case>{{"Weather_txrate_rf", ""},
                                           {"Weather_txrate_aprsis", "5x"},
                                           {"WU_normalrate", ""},
                                           {"WU_rapidfirerate", "x"}}) {
        store_ = test::startup_store(registry_);
        store_.set_text(c.control, c.text);
        const auto failures = encode_now();
        ASSERT_EQ(failures.size(), 1u) << c.control;
        EXPECT_EQ(failures[0].control, c.control);
        EXPECT_TRUE(failures[0].conversion);
        EXPECT_EQ(failures[0].message, "'"s + c.text + "' is not a valid integer value");
    }
}

TEST_F(Weather, FieldsAsStored) {
    store_.set_text("Weather_dest_string", "apzq1");
    store_.set_text("Weather_dest_ssid", "15");
    store_.set_text("Weather_path_string", "");
    store_.set_text("Weather_path_ssid", "not a number");
    store_.set_text("Weather_txrate_rf", "0");
    store_.set_text("Weather_txrate_aprsis", "1440");
    const std::string longest(32, '~');
    store_.set_text("Weather_comment", longest);
    store_.set_index("WU_enable", 1);
    store_.set_text("WU_stationid", "IWARSZAW123");
    store_.set_text("WU_password", "s3cr3t pass");
    store_.set_text("WU_normalserver", std::string(39, 'n'));
    store_.set_text("WU_rapidfireserver", "rt.example.org");
    store_.set_index("WU_sendmethod", 1);
    store_.set_text("WU_normalrate", "240");
    store_.set_text("WU_rapidfirerate", "60");
    ASSERT_TRUE(encode_now().empty());

    EXPECT_EQ(bytes(57, 53), "APZQ1 ?"s + "      0" + "\x00"s + "\x00\x00\xA0\x05"s + longest + "\0\0"s);
    EXPECT_EQ(store_.text("Weather_dest_string"), "apzq1");  // the control keeps what was typed
    EXPECT_EQ(bytes(2474, 134), "\x01"s + text_field("IWARSZAW123", 25) + text_field("s3cr3t pass", 25) +
                                    std::string(39, 'n') + "\0"s + text_field("rt.example.org", 40) +
                                    "\x01\xF0\x3C"s);
}

TEST_F(Weather, DecodeShowsTheStoredValues) {
    store_.set_text("Weather_dest_string", "apzq1");
    store_.set_text("Weather_dest_ssid", "15");
    store_.set_text("Weather_path_string", "wide1");
    store_.set_text("Weather_path_ssid", "$1");
    store_.set_text("Weather_txrate_rf", "0030");
    store_.set_text("Weather_txrate_aprsis", "0");
    store_.set_text("Weather_comment", "Wx <temp>");
    store_.set_index("WU_enable", 1);
    store_.set_text("WU_stationid", "IWARSZAW123");
    store_.set_text("WU_password", "s3cr3t");
    store_.set_text("WU_normalserver", "wx.example.org");
    store_.set_text("WU_rapidfireserver", "");
    store_.set_index("WU_sendmethod", 1);
    store_.set_text("WU_normalrate", "$F0");
    store_.set_text("WU_rapidfirerate", "60");
    ASSERT_TRUE(encode_now().empty());

    ControlStore shown = registry_.make_store();
    ASSERT_FALSE(decode(registry_, shown, image_));
    const std::vector<std::pair<const char*, const char*>> texts = {
        {"Weather_dest_string", "APZQ1"}, {"Weather_dest_ssid", "15"},          {"Weather_path_string", "WIDE1"},
        {"Weather_path_ssid", "1"},       {"Weather_txrate_rf", "30"},          {"Weather_txrate_aprsis", "0"},
        {"Weather_comment", "Wx <temp>"}, {"WU_stationid", "IWARSZAW123"},      {"WU_password", "s3cr3t"},
        {"WU_normalserver", "wx.example.org"}, {"WU_rapidfireserver", ""},      {"WU_normalrate", "240"},
        {"WU_rapidfirerate", "60"},
    };
    for (const auto& [control, text] : texts) EXPECT_EQ(shown.text(control), text) << control;
    EXPECT_EQ(shown.index("WU_enable"), 1);
    EXPECT_EQ(shown.index("WU_sendmethod"), 1);

    // An empty path is stored with SSID '0' and shows as "0".
    store_.set_text("Weather_path_string", "");
    store_.set_text("Weather_path_ssid", "x");
    ASSERT_TRUE(encode_now().empty());
    ASSERT_FALSE(decode(registry_, shown, image_));
    EXPECT_EQ(shown.text("Weather_path_string"), "");
    EXPECT_EQ(shown.text("Weather_path_ssid"), "0");
}

TEST_F(Weather, SettingsFileKeysAndThePasswordInClear) {
    store_.set_text("WU_stationid", "IWARSZAW123");
    store_.set_text("WU_password", "s3cr3t pass");
    store_.set_index("WU_sendmethod", 1);
    store_.set_text("WU_rapidfirerate", "0010");
    SettingsFile file;
    save(registry_, store_, file);
    const std::string text = file.serialise();
    EXPECT_NE(text.find("[WeatherUnderground]\n"
                        "Enable=0\n"
                        "StationID=IWARSZAW123\n"
                        "Password=s3cr3t pass\n"
                        "Normalserver=weatherstation.wunderground.com\n"
                        "Rapidfireserver=rtupdate.wunderground.com\n"
                        "Sendmethod=1\n"
                        "Normal_rate=1\n"
                        "Rapidfire_rate=10\n"),
              std::string::npos)
        << text;

    ControlStore back = test::startup_store(registry_);
    read(registry_, back, file);
    EXPECT_EQ(back.text("WU_password"), "s3cr3t pass");
    EXPECT_EQ(back.text("WU_rapidfirerate"), "10");
    EXPECT_EQ(back.index("WU_sendmethod"), 1);
}

TEST_F(Weather, AFileWithoutTheUndergroundSectionGivesItsDefaults) {
    store_.set_index("WU_enable", 1);
    store_.set_text("WU_stationid", "IWARSZAW123");
    store_.set_text("WU_password", "s3cr3t");
    store_.set_text("WU_normalserver", "");
    store_.set_text("WU_rapidfireserver", "rt.example.org");
    store_.set_index("WU_sendmethod", 1);
    store_.set_text("WU_normalrate", "99");
    store_.set_text("WU_rapidfirerate", "");
    SettingsFile file;
    ASSERT_TRUE(file.parse("[Weather]\nWeather_comment=Mine\n"));
    read(registry_, store_, file);
    EXPECT_EQ(store_.text("Weather_comment"), "Mine");
    EXPECT_EQ(store_.index("WU_enable"), 0);
    EXPECT_EQ(store_.text("WU_stationid"), "");
    EXPECT_EQ(store_.text("WU_password"), "");
    EXPECT_EQ(store_.text("WU_normalserver"), "weatherstation.wunderground.com");
    EXPECT_EQ(store_.text("WU_rapidfireserver"), "rtupdate.wunderground.com");
    EXPECT_EQ(store_.index("WU_sendmethod"), 0);
    EXPECT_EQ(store_.text("WU_normalrate"), "1");
    EXPECT_EQ(store_.text("WU_rapidfirerate"), "5");
}

TEST_F(Weather, OverlongTextsFromAFileStayInTheirFields) {
    SettingsFile file;
    ASSERT_TRUE(file.parse("[Weather]\nWeather_dest_string=apqk06xyz\nWeather_path_string=wide2wide\n"
                           "Weather_comment=" + std::string(40, 'c') +
                           "\n[WeatherUnderground]\nStationID=" + std::string(30, 'i') +
                           "\nPassword=" + std::string(30, 'p') + "\nNormalserver=" + std::string(50, 'n') +
                           "\nRapidfireserver=" + std::string(50, 'r') + "\n"));
    read(registry_, store_, file);
    ASSERT_TRUE(encode_now().empty());
    EXPECT_EQ(bytes(57, 19), "APQK060"s + "WIDE2W2" + "\x00\x05\x00\x05\x00"s);
    EXPECT_EQ(bytes(76, 34), std::string(32, 'c') + "\0\0"s);  // then 109, no setting's
    EXPECT_EQ(bytes(2475, 26), std::string(24, 'i') + "\0p"s);
    EXPECT_EQ(bytes(2500, 26), std::string(24, 'p') + "\0n"s);
    EXPECT_EQ(bytes(2525, 41), std::string(39, 'n') + "\0r"s);
    EXPECT_EQ(bytes(2565, 41), std::string(39, 'r') + "\0\0"s);  // then the send method, 0
}

}  // namespace
}  // namespace zyvora
