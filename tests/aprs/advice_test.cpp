// Advice on a station's settings: what each rule finds, what it leaves alone, and silencing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "advice.h"
#include "operations.h"
#include "passcode.h"

namespace zyvora::aprs {
namespace {

// The start-up settings, with the changes given by control name: "=text", "#index" or "+"/"-" for
// a check box.
ControlStore station(const std::vector<std::pair<std::string, std::string>>& changes) {
    SilentFeedback quiet;
    ControlStore store = start_up_store(Registry::instance(), quiet);
    for (const auto& [name, value] : changes) {
        const int id = store.require(name);
        if (value.starts_with('#')) store.set_index(id, std::stoi(value.substr(1)));
        else if (value == "+" || value == "-") store.set_checked(id, value == "+");
        else store.set_text(id, value.substr(1));
    }
    return store;
}

// "id control: text" of each piece of advice.
std::vector<std::string> said(const ControlStore& store, const std::vector<std::string>& silenced = {}) {
    std::vector<std::string> lines;
    for (const Advice& a : station_advice(store, silenced)) lines.push_back(a.id + " " + a.control + ": " + a.text);
    return lines;
}

// What a station put on the hill at start-up gets: a fixed station sending its beacon and weather
// every 5 minutes and the first path rule serving WIDE 1 to 7 to everyone. A login never set up
// is left alone.
TEST(Advice, TheStartUpSettings) {
    EXPECT_EQ(said(station({})),
              (std::vector<std::string>{
                  "digi-wide-n Pathn1_higher: Path rule 1 digipeats WIDEn-N up to n = 7 for every station: the New-N "
                  "paradigm has digipeaters trap paths of more than 2 (at most 3) hops so that one packet does not "
                  "flood the network. Set n <= to 2 or 3.",
                  "rate Beacon1_txrate_rf: Beacon 1 goes out on RF every 5 min: a fixed station sends every 10 "
                  "minutes or less often (30 is common), leaving the shared channel to others.",
                  "rate Weather_txrate_rf: The weather report goes out on RF every 5 min: a fixed station sends "
                  "every 10 minutes or less often (30 is common), leaving the shared channel to others.",
                  "airtime Baudrate: The beacons put about 1044 bytes an hour on the channel: 10.0 s of airtime an "
                  "hour at 1200 baud."}));
    EXPECT_TRUE(
        said(station({{"Pathn1_higher", "=2"}, {"Beacon1_txrate_rf", "=30"}, {"Weather_txrate_rf", "=10"}})).empty());
    // No weather station read, no weather report sent.
    EXPECT_EQ(said(station({{"Pathn1_higher", "=2"}, {"Beacon1_txrate_rf", "=30"}, {"Serial1_mode", "#0"}})),
              std::vector<std::string>{});
}

// Each rule, from settings that pass every check.
TEST(Advice, EachRuleNamesTheSettingItIsAbout) {
    const std::string good_pass = "=" + std::to_string(passcode("SP5ABC"));
    const std::vector<std::pair<std::string, std::string>> quiet = {
        {"Pathn1_higher", "=2"}, {"Beacon1_txrate_rf", "=30"}, {"Weather_txrate_rf", "=30"}};
    struct Case {
        std::vector<std::pair<std::string, std::string>> changes;
        std::vector<std::string> ids_and_controls;
    };
    const std::vector<Case> cases = {
        {{{"Aprsis_user", "=SP5ABC-10"}, {"Aprsis_pass", "=12345"}}, {"passcode Aprsis_pass"}},
        {{{"Aprsis_user", "=SP5ABC-10"}, {"Aprsis_pass", good_pass}}, {}},
        {{{"Aprsis_user", "=SP5ABC"}, {"Aprsis_pass", "=-1"}}, {"passcode Aprsis_pass"}},
        {{{"Aprsis_user", "=SP5ABC"}, {"Aprsis_pass", "=12345"}, {"Aprsis1_servername", "="}}, {}},
        {{{"Beacon1_path_string", "=RELAY"}, {"Beacon1_path_ssid", "=0"}}, {"path-old Beacon1_path_string"}},
        {{{"Beacon1_path_string", "=wide"}, {"Beacon1_path_ssid", "=0"}}, {"path-old Beacon1_path_string"}},
        {{{"Beacon1_path_string", "=TRACE3"}, {"Beacon1_path_ssid", "=3"}}, {"path-old Beacon1_path_string"}},
        {{{"Beacon1_path_string", "=WIDE3"}, {"Beacon1_path_ssid", "=3"}}, {"path-hops Beacon1_path_string"}},
        {{{"Beacon1_path_string", "=WIDE2"}, {"Beacon1_path_ssid", "=2"}}, {}},
        // A beacon that never goes out is no advice.
        {{{"Beacon2_path_string", "=RELAY"}}, {}},
        {{{"Position_report_mode", "#1"}, {"Position_path1", "=WIDE2"}, {"Position_ssid1", "=1"},
          {"Position_path2", "=WIDE1"}, {"Position_ssid2", "=1"}},
         {"path-wide1 Position_path2"}},
        {{{"Aprsis_packet2rf_path", "=WIDE4"}, {"Aprsis_packet2rf_ssid", "=4"}},
         {"path-hops Aprsis_packet2rf_path"}},
        {{{"Pathn3_active", "#1"}, {"Pathn3_name", "=WIDE"}, {"Pathn3_higher", "=5"}}, {"digi-wide-n Pathn3_higher"}},
        // Trapped for some stations only, or n up to 3, is what the paradigm allows.
        {{{"Pathn3_active", "#1"}, {"Pathn3_name", "=WIDE"}, {"Pathn3_higher", "=5"}, {"Pathn3_areaall", "-"}}, {}},
        {{{"Pathn3_active", "#1"}, {"Pathn3_name", "=WIDE"}, {"Pathn3_higher", "=3"}}, {}},
        {{{"Beacon4_enable", "#1"}, {"Beacon4_txrate_rf", "=9"}},
         {"rate Beacon4_txrate_rf", "airtime Baudrate"}},
        // SmartBeaconing moves the station: its rates follow its speed.
        {{{"Beacon4_enable", "#1"}, {"Beacon4_txrate_rf", "=9"}, {"Position_report_mode", "#1"}}, {}},
        {{{"Tele_enable", "#1"}, {"Teledata_txrate_rf", "=5"}}, {"rate Teledata_txrate_rf", "airtime Baudrate"}},
        {{{"Position_symbol_table", "=x"}}, {"symbol Position_symbol_table"}},
        {{{"Position_symbol_table", "=A"}}, {}},
        {{{"Position_symbol_code", "= "}}, {"symbol Position_symbol_code"}},
    };
    for (const Case& c : cases) {
        auto changes = quiet;
        changes.insert(changes.end(), c.changes.begin(), c.changes.end());
        std::vector<std::string> found;
        for (const Advice& a : station_advice(station(changes))) found.push_back(a.id + " " + a.control);
        EXPECT_EQ(found, c.ids_and_controls) << testing::PrintToString(c.changes);
    }
}

TEST(Advice, TextsSayWhyAndWhatToDo) {
    EXPECT_EQ(said(station({{"Pathn1_higher", "=2"},
                            {"Beacon1_txrate_rf", "=30"},
                            {"Weather_txrate_rf", "=30"},
                            {"Aprsis_user", "=sp5abc-10"},
                            {"Aprsis_pass", "=12345"},
                            {"Beacon1_path_string", "=RELAY"},
                            {"Beacon1_path_ssid", "=0"},
                            {"Position_symbol_table", "=x"}})),
              (std::vector<std::string>{
                  "passcode Aprsis_pass: The APRS-IS password is not the passcode of SP5ABC: the servers take the "
                  "login as receive-only and gate nothing from RF. Use the passcode of SP5ABC (the username without "
                  "its SSID).",
                  "path-old Beacon1_path_string: Beacon 1 path RELAY: RELAY, WIDE and TRACE paths are obsolete "
                  "since the New-N paradigm and digipeaters no longer serve them. Use WIDE1-1,WIDE2-1 or WIDE2-2.",
                  "symbol Position_symbol_table: Symbol table 'x' is none of / (primary), \\ (alternate) or an "
                  "overlay (0-9, A-Z): maps show no symbol for it."}));
}

TEST(Advice, SilencedByIdentifier) {
    const ControlStore store = station({});
    EXPECT_EQ(said(store, {"digi-wide-n", "rate", "airtime"}), std::vector<std::string>{});
    EXPECT_EQ(said(store, {"rate"}).size(), 2u);  // the rule on the path and the airtime
}

// 87 bytes a frame for the start-up beacon (its 60-character message filled in, one path element),
// 12 frames an hour, each after its 250 ms TX delay.
TEST(Advice, AirtimeCountsEveryBeaconAtTheStationsBaudRate) {
    const Airtime slow = beacon_airtime(station({}));
    EXPECT_EQ(slow.bytes, 12 * 87);
    EXPECT_EQ(slow.baud, 1200);
    EXPECT_NEAR(slow.seconds, 12 * (0.25 + 87 * 8 / 1200.0), 1e-9);
    const Airtime two = beacon_airtime(station({{"Beacon2_enable", "#1"}, {"Beacon2_txrate_rf", "=30"},
                                                {"Beacon2_msg", "=hello"}, {"Baudrate", "#1"}}));
    EXPECT_EQ(two.baud, 9600);
    EXPECT_EQ(two.bytes, 12 * 87 + 2 * (2 + 7 * 3 + 2 + 5 + 2));
    EXPECT_NEAR(two.seconds, 12 * (0.25 + 87 * 8 / 9600.0) + 2 * (0.25 + 32 * 8 / 9600.0), 1e-9);
}

}  // namespace
}  // namespace zyvora::aprs
