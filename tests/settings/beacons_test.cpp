// The eight beacons (image 656..1583) and the GPS position reports (2609..2693).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/area_fixture.h"
#include "intparse.h"
#include "settingsfile.h"

namespace zyvora {
namespace {

using namespace std::string_literals;
using Beacons = test::AreaFixture;

constexpr const char* kMessage1 = test::kBeacon1Message;

std::string beacon_message(int k, const std::string& what) { return "Beacon " + std::to_string(k) + " " + what; }

using test::beacon_record;

TEST_F(Beacons, DefaultsFillBytes656To1583And2609To2693) {
    ASSERT_TRUE(encode_now().empty());
    EXPECT_EQ(bytes(656, 928), test::default_beacon_bytes());
    EXPECT_EQ(bytes(2609, 85), test::default_position_bytes());
}

TEST_F(Beacons, EveryBeaconIsCheckedInOrder) {
    struct Case {
        const char* control;
        const char* text;
        std::string failing;  // empty: passes
        std::string message;
    };
    const std::vector<Case> cases = {
        {"Beacon3_dest_string", "A", "", ""},
        {"Beacon3_dest_string", "", "Beacon3_dest_string", beacon_message(3, "destination - too short (e.g. APQK06).")},
        {"Beacon3_dest_ssid", "16", "Beacon3_dest_ssid", beacon_message(3, "destination - SSID range error (0 - 15).")},
        {"Beacon3_dest_ssid", "-1", "Beacon3_dest_ssid", beacon_message(3, "destination - SSID range error (0 - 15).")},
        {"Beacon3_dest_ssid", "x", "Beacon3_dest_ssid", beacon_message(3, "destination - SSID range error (0 - 15).")},
        {"Beacon5_path_ssid", "x", "Beacon5_path_ssid", beacon_message(5, "path - SSID range error (0 - 15).")},
        {"Beacon5_path_ssid", "15", "", ""},
        {"Beacon2_txrate_rf", "0", "", ""},
        {"Beacon2_txrate_rf", "4", "Beacon2_txrate_rf", beacon_message(2, "tx rate (RF) range error (5 - 1440), or 0 to disable.")},
        {"Beacon2_txrate_rf", "5", "", ""},
        {"Beacon2_txrate_rf", "1440", "", ""},
        {"Beacon2_txrate_rf", "1441", "Beacon2_txrate_rf", beacon_message(2, "tx rate (RF) range error (5 - 1440), or 0 to disable.")},
        {"Beacon8_txrate_aprsis", "4", "Beacon8_txrate_aprsis", beacon_message(8, "tx rate (APRSIS) range error (5 - 1440), or 0 to disable.")},
        {"Beacon8_txrate_aprsis", "1440", "", ""},
        {"Beacon4_msg", "tab\there", "Beacon4_msg", beacon_message(4, "message - forbidden characters.")},
        {"Beacon4_msg", "DEL\x7F", "Beacon4_msg", beacon_message(4, "message - forbidden characters.")},
        {"Beacon4_msg", "25\xB0" "C", "Beacon4_msg", beacon_message(4, "message - forbidden characters.")},
        {"Beacon4_msg", "~ <gamma>", "", ""},
        {"Position_ssid3", "x", "", ""},  // path 3 is empty: its SSID is not looked at
        {"Position_ssid1", "16", "Position_ssid1",
         "GPS SmartBeaconing / Position report path 1 - SSID range error (0 - 15)."},
        {"Position_ssid2", "", "Position_ssid2",
         "GPS SmartBeaconing / Position report path 2 - SSID range error (0 - 15)."},
        {"Smartbeaconing_turn_slope", "9999", "", ""},
        {"Smartbeaconing_min_turn_angle", "0", "", ""},
    };
    for (const Case& c : cases) {
        store_ = test::startup_store(registry_);
        store_.set_text(c.control, c.text);
        if (c.failing.empty()) {
            EXPECT_TRUE(encode_now().empty()) << c.control << "=" << c.text;
        } else {
            expect_failure(c.failing, c.message);
        }
    }
}

TEST_F(Beacons, TheFirstFailureStopsThePassAndCheckAllListsEach) {
    store_.set_text("Beacon3_dest_string", "");
    store_.set_index("Beacon3_enable", 0);
    store_.set_text("Beacon6_msg", "\t");
    store_.set_text("Position_path3", "wide3");  // SSID 3 is empty
    expect_failure("Beacon3_dest_string", beacon_message(3, "destination - too short (e.g. APQK06)."));

    EncodeOptions all;
    all.all = true;
    all.nonce = 0;
    const auto failures = encode(registry_, store_, image_, all);
    ASSERT_EQ(failures.size(), 3u);
    EXPECT_EQ(failures[1].message, beacon_message(6, "message - forbidden characters."));
    EXPECT_EQ(failures[2].message, "GPS SmartBeaconing / Position report path 3 - SSID range error (0 - 15).");
}

TEST_F(Beacons, RatesThatAreNoNumberEndThePassWithTheParsersError) {
    store_.set_text("Beacon7_txrate_rf", "");
    auto failures = encode_now();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_TRUE(failures[0].conversion);
    EXPECT_EQ(failures[0].message, "'' is not a valid integer value");

    store_ = test::startup_store(registry_);
    store_.set_text("Smartbeaconing_fast_period", "9O");
    failures = encode_now();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].control, "Smartbeaconing_fast_period");
    EXPECT_TRUE(failures[0].conversion);
}

TEST_F(Beacons, FieldsAsStored) {
    store_.set_text("Beacon2_dest_string", "apqk06");
    store_.set_text("Beacon2_dest_ssid", "15");
    store_.set_text("Beacon2_path_string", "");
    store_.set_text("Beacon2_path_ssid", "not a number");
    store_.set_text("Beacon2_txrate_rf", "1440");
    store_.set_index("Beacon2_enable", 4);
    const std::string longest(95, 'x');
    store_.set_text("Beacon2_msg", longest);
    store_.set_index("Mice_message", 7);  // "Emergency"
    store_.set_text("Position_symbol_code", "");
    store_.set_text("Position_symbol_table", "\\");
    store_.set_text("Position_status_text", "On the road");
    store_.set_text("Smartbeaconing_slow_speed", "-1");
    store_.set_text("Position_path2", "");
    store_.set_text("Position_ssid2", "");
    ASSERT_TRUE(encode_now().empty());

    EXPECT_EQ(bytes(772, 116), beacon_record("APQK06?", "      0", 1440, 0, longest, 4));
    EXPECT_EQ(bytes(772 + 113, 2), "\0\0"s);  // the message's zero byte, then the cleared +114
    EXPECT_EQ(store_.text("Beacon2_dest_string"), "apqk06");  // the control keeps what was typed
    EXPECT_EQ(bytes(2676, 1), "\x00"s);
    EXPECT_EQ(bytes(2633, 2), "\0\\"s);
    EXPECT_EQ(bytes(2635, 12), "On the road\0"s);
    EXPECT_EQ(bytes(2686, 2), "\xFF\xFF"s);
    EXPECT_EQ(bytes(2619, 7), "      0");

    // The settings file keeps what was typed and the item index, not the stored 7 minus index.
    SettingsFile file;
    save(registry_, store_, file);
    const std::string text = file.serialise();
    for (const char* line : {"Beacon2_dest_string=apqk06\n", "Beacon2_path_ssid=not a number\n", "MiceMessage=7\n",
                             "SlowSpeed=-1\n", "SymbolCode=\n", "Beacon2_enable=4\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }
}

TEST_F(Beacons, DecodeShowsTheStoredValues) {
    store_.set_text("Beacon8_dest_string", "apzq1");
    store_.set_text("Beacon8_dest_ssid", "$F");
    store_.set_text("Beacon8_path_string", "");
    store_.set_text("Beacon8_path_ssid", "?");
    store_.set_text("Beacon8_txrate_aprsis", "0060");
    store_.set_index("Beacon8_enable", 3);
    store_.set_text("Beacon8_msg", ">Back at <date>");
    store_.set_index("Position_report_mode", 1);
    store_.set_index("Position_report_encoding", 2);
    store_.set_text("Smartbeaconing_slow_speed", "-1");
    store_.set_index("Mice_message", 0);
    store_.set_text("Position_symbol_code", "k");
    store_.set_text("Position_status_text", "QRV 145.500");
    store_.set_index("Position_time", 0);
    store_.set_text("Position_path3", "wide3");
    store_.set_text("Position_ssid3", "3");
    store_.set_index("Position_altitude", 0);
    ASSERT_TRUE(encode_now().empty());

    ControlStore shown = registry_.make_store();
    ASSERT_FALSE(decode(registry_, shown, image_));
    EXPECT_EQ(shown.text("Beacon8_dest_string"), "APZQ1");
    EXPECT_EQ(shown.text("Beacon8_dest_ssid"), "15");
    EXPECT_EQ(shown.text("Beacon8_path_string"), "");
    EXPECT_EQ(shown.text("Beacon8_path_ssid"), "0");
    EXPECT_EQ(shown.text("Beacon8_txrate_aprsis"), "60");
    EXPECT_EQ(shown.index("Beacon8_enable"), 3);
    EXPECT_EQ(shown.text("Beacon8_msg"), ">Back at <date>");
    EXPECT_EQ(shown.text("Beacon1_msg"), kMessage1);
    EXPECT_EQ(shown.index("Position_report_mode"), 1);
    EXPECT_EQ(shown.index("Position_report_encoding"), 2);
    EXPECT_EQ(shown.text("Smartbeaconing_slow_speed"), "65535");
    EXPECT_EQ(shown.text("Smartbeaconing_slow_period"), "1800");
    EXPECT_EQ(shown.index("Mice_message"), 0);
    EXPECT_EQ(shown.text("Position_symbol_code"), "k");
    EXPECT_EQ(shown.text("Position_symbol_table"), "/");
    EXPECT_EQ(shown.text("Position_status_text"), "QRV 145.500");
    EXPECT_EQ(shown.index("Position_time"), 0);
    EXPECT_EQ(shown.text("Position_path1"), "WIDE1");
    EXPECT_EQ(shown.text("Position_path3"), "WIDE3");
    EXPECT_EQ(shown.text("Position_ssid3"), "3");
    EXPECT_EQ(shown.index("Position_coursespeed"), 1);
    EXPECT_EQ(shown.index("Position_altitude"), 0);

    // An empty symbol stored as 0 comes back empty; a Mic-E byte above 7 selects nothing.
    image_[2633] = 0;
    image_[2676] = 9;
    ASSERT_FALSE(decode(registry_, shown, image_));
    EXPECT_EQ(shown.text("Position_symbol_code"), "");
    EXPECT_EQ(shown.index("Mice_message"), -1);
}

TEST_F(Beacons, ChoicesWithoutSelectionAreRefusedNotStoredAsFF) {
    store_.set_index("Beacon6_enable", 9);
    expect_failure("Beacon6_enable", "Beacon 6 - Enable if: no item selected.");
    store_ = test::startup_store(registry_);
    store_.set_index("Mice_message", -1);
    expect_failure("Mice_message", "Mic-E message - no item selected.");
}

TEST_F(Beacons, TextsFromAFileStayInTheirFields) {
    SettingsFile file;
    ASSERT_TRUE(file.parse("[Beacons]\nBeacon1_msg=" + std::string(120, 'm') + "\nBeacon1_dest_string=APQK06XYZ\n"
                           "[PositionReports]\nStatus=" + std::string(60, 's') + "\nSymbolCode=ab\n"));
    read(registry_, store_, file);
    image_.fill(0xEE);
    ASSERT_TRUE(encode_now().empty());
    EXPECT_EQ(bytes(656, 7), "APQK060");
    EXPECT_EQ(bytes(656 + 18, 97), std::string(96, 'm') + '\0');
    EXPECT_EQ(bytes(656 + 115, 1), "\x01"s);  // the enable byte after the message is its own
    EXPECT_EQ(bytes(2633, 1), "a");
    EXPECT_EQ(bytes(2635, 41), std::string(40, 's') + '\0');
    EXPECT_EQ(bytes(2676, 1), "\x07"s);  // the Mic-E byte after the status text is its own
}

TEST_F(Beacons, MissingKeysTakeTheStartUpDefaults) {
    SettingsFile empty;
    ASSERT_TRUE(empty.parse(""));
    ControlStore back = registry_.make_store();
    back.set_text("Beacon1_msg", "x");
    back.set_text("Beacon4_txrate_rf", "30");
    back.set_index("Mice_message", 3);
    back.set_text("Position_path1", "");
    read(registry_, back, empty);
    EXPECT_EQ(back.text("Beacon1_msg"), kMessage1);
    EXPECT_EQ(back.text("Beacon4_txrate_rf"), "0");
    EXPECT_EQ(back.index("Mice_message"), 0);
    EXPECT_EQ(back.text("Position_path1"), "WIDE1");
    EXPECT_EQ(back.text("Position_ssid3"), "");
}

}  // namespace
}  // namespace zyvora
