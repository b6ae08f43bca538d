// The telemetry reports (image 2052..2473): report settings, analog and digital channels with
// their presets, the Brisel outputs, and the two RS-485 module switches among them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../support/area_fixture.h"
#include "settingsfile.h"
#include "telemetry.h"

namespace zyvora {
namespace {

using namespace std::string_literals;
using Telemetry = test::AreaFixture;

using test::analog_channel;
using test::digital_channel;

struct Preset {
    std::string name, unit, a, b, c;
    bool operator==(const Preset&) const = default;
};

Preset analog_shown(const ControlStore& store, int n) {
    const std::string p = "Teleanalog" + std::to_string(n) + "_";
    return {store.text(p + "name"), store.text(p + "units"), store.text(p + "coefa"), store.text(p + "coefb"),
            store.text(p + "coefc")};
}

void PrintTo(const Preset& p, std::ostream* os) { *os << p.name << "/" << p.unit << "/" << p.a << "/" << p.b << "/" << p.c; }

TEST_F(Telemetry, DefaultsFillBytes2052To2473) {
    ASSERT_TRUE(encode_now().empty());
    EXPECT_EQ(bytes(2052, 2474 - 2052), test::default_telemetry_bytes());
}

TEST_F(Telemetry, ReportSettingsChecks) {
    struct Case {
        const char* control;
        const char* text;
        const char* message;  // nullptr: passes
    };
    const std::vector<Case> cases = {
        {"Teledata_dest_string", "A", nullptr},
        {"Teledata_dest_string", "", "Telemetry data destination - too short (e.g. APQK06)."},
        {"Teledata_dest_ssid", "15", nullptr},
        {"Teledata_dest_ssid", "16", "Telemetry data destination - SSID range error (0 - 15)."},
        {"Teledata_dest_ssid", "-1", "Telemetry data destination - SSID range error (0 - 15)."},
        {"Teledata_dest_ssid", "", "Telemetry data destination - SSID range error (0 - 15)."},
        {"Teledata_path_ssid", "x", "Telemetry data path - SSID range error (0 - 15)."},
        {"Teledata_path_ssid", "-1", "Telemetry data path - SSID range error (0 - 15)."},
        {"Teledata_path_ssid", "$F", nullptr},
        {"Teleparams_dest_string", "", "Telemetry parameters destination - too short (e.g. APQK06)."},
        {"Teleparams_dest_ssid", "99", "Telemetry parameters destination - SSID range error (0 - 15)."},
        {"Teleparams_path_ssid", "16", "Telemetry parameters path - SSID range error (0 - 15)."},
        {"Teledata_txrate_rf", "0", nullptr},
        {"Teledata_txrate_rf", "4", "Telemetry data tx rate (RF) range error (5 - 1440)."},
        {"Teledata_txrate_rf", "5", nullptr},
        {"Teledata_txrate_rf", "1440", nullptr},
        {"Teledata_txrate_rf", "1441", "Telemetry data tx rate (RF) range error (5 - 1440)."},
        {"Teledata_txrate_rf", "-1", "Telemetry data tx rate (RF) range error (5 - 1440)."},
        {"Teledata_txrate_aprsis", "4", "Telemetry data tx rate (APRSIS) range error (5 - 1440)."},
        {"Teledata_txrate_aprsis", "0", nullptr},
        {"Teledata_txrate_aprsis", "1441", "Telemetry data tx rate (APRSIS) range error (5 - 1440)."},
        {"Teleparams_txrate_rf", "4", "Telemetry parameters tx rate (RF) range error (5 - 1440)."},
        {"Teleparams_txrate_rf", "1440", nullptr},
        // Checked before narrowing: 65541 would be 5 in two bytes.
        {"Teleparams_txrate_rf", "65541", "Telemetry parameters tx rate (RF) range error (5 - 1440)."},
        {"Teleparams_txrate_aprsis", "1441", "Telemetry parameters tx rate (APRSIS) range error (5 - 1440)."},
        {"Teleparams_txrate_aprsis", "0", nullptr},
        {"Tele_holdoff", "0", nullptr},
        {"Tele_holdoff", "250", nullptr},
        {"Tele_holdoff", "251", "First telemetry data packet delay range error (0 - 250)."},
        {"Tele_holdoff", "-1", "First telemetry data packet delay range error (0 - 250)."},
        {"Teleanalog3_coefb", "not a number", nullptr},
    };
    for (const Case& c : cases) {
        store_ = test::startup_store(registry_);
        store_.set_text(c.control, c.text);
        if (c.message) expect_failure(c.control, c.message);
        else EXPECT_TRUE(encode_now().empty()) << c.control << "=" << c.text;
    }
}

TEST_F(Telemetry, RatesAndDelayThatAreNoNumberEndThePassWithTheParsersError) {
    for (const char* control : {"Teledata_txrate_rf", "Teleparams_txrate_aprsis", "Tele_holdoff"}) {
        store_ = test::startup_store(registry_);
        store_.set_text(control, "");
        const auto failures = encode_now();
        ASSERT_EQ(failures.size(), 1u) << control;
        EXPECT_EQ(failures[0].control, control);
        EXPECT_EQ(failures[0].message, "'' is not a valid integer value");
        EXPECT_TRUE(failures[0].conversion);
    }
}

TEST_F(Telemetry, DataIsCheckedBeforeParametersAndTheDelayLast) {
    store_.set_text("Tele_holdoff", "300");
    store_.set_text("Teleparams_dest_string", "");
    store_.set_text("Teledata_txrate_aprsis", "1");
    store_.set_index("Teledigital2_inverted", 5);
    expect_failure("Teledata_txrate_aprsis", "Telemetry data tx rate (APRSIS) range error (5 - 1440).");

    EncodeOptions all;
    all.all = true;
    all.nonce = 0;
    const auto failures = encode(registry_, store_, image_, all);
    std::vector<std::string> messages;
    for (const auto& f : failures) messages.push_back(f.message);
    EXPECT_EQ(messages, (std::vector<std::string>{"Telemetry data tx rate (APRSIS) range error (5 - 1440).",
                                                  "Telemetry parameters destination - too short (e.g. APQK06).",
                                                  "First telemetry data packet delay range error (0 - 250).",
                                                  "Digital 2 - Inverted: no item selected."}));
}

TEST_F(Telemetry, CallsignFieldsAsStored) {
    store_.set_text("Teledata_dest_string", "apqk06");
    store_.set_text("Teledata_dest_ssid", "15");
    store_.set_text("Teledata_path_string", "");
    store_.set_text("Teledata_path_ssid", "99");
    store_.set_text("Teleparams_dest_string", "A");
    store_.set_text("Teleparams_path_string", "wide1");
    store_.set_text("Teleparams_path_ssid", "0x1");
    ASSERT_TRUE(encode_now().empty());
    EXPECT_EQ(bytes(2079, 7), "APQK06\x3F"s);
    EXPECT_EQ(store_.text("Teledata_dest_string"), "apqk06");  // the control keeps what was typed
    EXPECT_EQ(bytes(2086, 8), "      0\0"s);                  // empty path; the spare byte stays 0
    EXPECT_EQ(bytes(2098, 14), "A     0WIDE1 1");
}

TEST_F(Telemetry, ChannelsAndOutputsAsStored) {
    store_.set_index("Tele_enable", 1);
    store_.set_text("Teletitle", std::string(23, 't'));
    store_.set_index("Teleanalog2_source", 23);
    store_.set_text("Teleanalog2_name", "Bat");
    store_.set_text("Teleanalog2_units", "V");
    store_.set_text("Teleanalog2_coefa", "-1.5e-3");
    store_.set_text("Teleanalog2_coefb", "12345678");
    store_.set_text("Teleanalog2_coefc", "");
    store_.set_index("Teleanalog2_average", 1);
    store_.set_index("Teledigital8_source", 0);
    store_.set_text("Teledigital8_name", "Dor");
    store_.set_text("Teledigital8_units", "Opn");
    store_.set_index("Teledigital8_inverted", 1);
    store_.set_index("Brisel_output2", 1);
    store_.set_index("Brisel_output4", 1);
    store_.set_index("Telemodule_enable", 1);
    store_.set_index("Bitsmodule_enable", 1);
    store_.set_text("Tele_holdoff", "250");
    ASSERT_TRUE(encode_now().empty());
    EXPECT_EQ(bytes(2052, 27), std::string(23, 't') + "\0\x01\x01\x01"s);
    EXPECT_EQ(bytes(2161, 45), analog_channel(23, "Bat", "V", "-1.5e-3", "12345678", "", 1));
    EXPECT_EQ(bytes(2453, 21), digital_channel(0, "Dor", "Opn", 1) + "\x00\x01\x00\x01\xFA"s);
}

TEST_F(Telemetry, ChoicesWithoutSelectionAreRefused) {
    const std::pair<const char*, const char*> cases[] = {
        {"Tele_enable", "Telemetry reports - no item selected."},
        {"Teleanalog3_source", "Analog 3 - Source: no item selected."},
        {"Teleanalog5_average", "Analog 5 - 1 min average: no item selected."},
        {"Teledigital7_source", "Digital 7 - Source: no item selected."},
        {"Brisel_output3", "Output 3 default state - no item selected."},
        {"Telemodule_enable", "Ovlantarium module (RS-485) - no item selected."},
        {"Bitsmodule_enable", "Brisel module (RS-485) - no item selected."},
    };
    for (const auto& [control, message] : cases) {
        store_ = test::startup_store(registry_);
        store_.set_index(control, 99);
        expect_failure(control, message);
    }
}

TEST_F(Telemetry, AnalogPresetsBySource) {
    // Source index, then name, unit and the coefficients A, B and C.
    const std::vector<std::pair<int, Preset>> table = {
        {1, {"I1", "mA", "0", "19.5", "0"}},      {2, {"I1", "mA", "0", "9.76", "0"}},
        {3, {"I1", "mA", "0", "4.88", "0"}},      {4, {"I2", "mA", "0", "19.5", "0"}},
        {5, {"I2", "mA", "0", "9.76", "0"}},      {6, {"I2", "mA", "0", "4.88", "0"}},
        {7, {"U1", "Volt", "0", "0.1", "0"}},     {8, {"U2", "Volt", "0", "0.1", "0"}},
        {9, {"Temp", "C", "0", "0.5", "-64"}},    {10, {"Temp", "C", "0", "0.5", "-64"}},
        {11, {"Temp", "C", "0", "0.5", "-64"}},   {12, {"Temp", "C", "0", "0.5", "-64"}},
        {13, {"Vin", "Volt", "0", "0.075", "0"}}, {14, {"Rx1h", "Pkt", "0", "10", "0"}},
        {15, {"Rx10m", "Pkt", "0", "1", "0"}},    {16, {"Dg1h", "Pkt", "0", "10", "0"}},
        {17, {"Dg10m", "Pkt", "0", "1", "0"}},    {18, {"Eff", "Pcnt", "0", "1", "0"}},
        {19, {"Eff1h", "Pcnt", "0", "1", "0"}},   {20, {"DgR1h", "Pcnt", "0", "0.001", "0"}},
        {21, {"DgR", "Pcnt", "0", "0.001", "0"}}, {22, {"DgS1h", "Pcnt", "0", "0.001", "0"}},
        {23, {"DgS", "Pcnt", "0", "0.001", "0"}},
    };
    for (int n = 1; n <= kAnalogChannels; ++n) {
        const std::string p = "Teleanalog" + std::to_string(n) + "_";
        const int max_length = store_.decl(store_.require(p + "name")).max_length;
        for (const auto& [source, preset] : table) {
            store_.set_index(p + "source", source);
            store_.set_index(p + "average", 1);
            run_analog_preset(store_, n);
            EXPECT_EQ(analog_shown(store_, n), preset) << "channel " << n << ", source " << source;
            EXPECT_LE(preset.name.size(), static_cast<std::size_t>(max_length));
            EXPECT_EQ(store_.index(p + "source"), source);
            EXPECT_EQ(store_.index(p + "average"), 1);
        }
        store_.set_index(p + "source", 0);
        run_analog_preset(store_, n);
        EXPECT_EQ(analog_shown(store_, n), (Preset{"A" + std::to_string(n), "None", "0", "0", "0"}));
    }
}

TEST_F(Telemetry, PresetsDoNothingWithoutASource) {
    store_.set_index("Teleanalog1_source", 24);
    store_.set_text("Teleanalog1_name", "keep");
    run_analog_preset(store_, 1);
    EXPECT_EQ(analog_shown(store_, 1), (Preset{"keep", "Volt", "0", "0.075", "0"}));

    store_.set_index("Teledigital3_source", -1);
    store_.set_index("Teledigital3_inverted", 1);
    run_digital_preset(store_, 3);
    EXPECT_EQ(store_.text("Teledigital3_name"), "O3");
    EXPECT_EQ(store_.index("Teledigital3_inverted"), 1);
}

TEST_F(Telemetry, DigitalPresetsResetInverted) {
    struct Case {
        int channel;
        int source;
        const char* name;
        const char* label;
    };
    const Case cases[] = {
        {1, 0, "B1", "None"}, {5, 0, "B5", "None"}, {6, 0, "B6", "Non"}, {8, 0, "B8", "Non"},
        {2, 1, "O1", "On"},   {7, 4, "O4", "On"},   {3, 5, "I1", "Hi"},  {8, 8, "I4", "Hi"},
    };
    for (const Case& c : cases) {
        const std::string p = "Teledigital" + std::to_string(c.channel) + "_";
        store_.set_index(p + "source", c.source);
        store_.set_index(p + "inverted", 1);
        run_digital_preset(store_, c.channel);
        EXPECT_EQ(store_.text(p + "name"), c.name) << p << c.source;
        EXPECT_EQ(store_.text(p + "units"), c.label) << p << c.source;
        EXPECT_EQ(store_.index(p + "inverted"), 0) << p << c.source;
        EXPECT_EQ(store_.index(p + "source"), c.source);
    }
}

TEST_F(Telemetry, DecodeShowsTheImageAsItIsWithoutPresets) {
    store_.set_text("Teledata_dest_string", "apzq1");
    store_.set_text("Teledata_dest_ssid", "15");
    store_.set_text("Teleparams_path_string", "");
    store_.set_text("Teledata_txrate_rf", "1440");
    store_.set_text("Tele_holdoff", "0");
    store_.set_index("Teleanalog1_source", 9);  // a temperature source, but not its preset
    store_.set_text("Teleanalog1_name", "Bat");
    store_.set_text("Teleanalog1_coefc", "-64.5");
    store_.set_index("Teledigital6_source", 0);
    store_.set_text("Teledigital6_units", "Up");
    store_.set_index("Brisel_output1", 1);
    store_.set_index("Bitsmodule_enable", 1);
    ASSERT_TRUE(encode_now().empty());
    ASSERT_EQ(bytes(2086, 6), "WIDE2 ");

    ControlStore shown = registry_.make_store();
    ASSERT_FALSE(decode(registry_, shown, image_));
    EXPECT_EQ(shown.text("Teledata_dest_string"), "APZQ1");
    EXPECT_EQ(shown.text("Teledata_dest_ssid"), "15");
    EXPECT_EQ(shown.text("Teledata_path_string"), "WIDE2");
    EXPECT_EQ(shown.text("Teleparams_path_string"), "");
    EXPECT_EQ(shown.text("Teleparams_path_ssid"), "0");
    EXPECT_EQ(shown.text("Teledata_txrate_rf"), "1440");
    EXPECT_EQ(shown.text("Tele_holdoff"), "0");
    EXPECT_EQ(shown.index("Teleanalog1_source"), 9);
    EXPECT_EQ(analog_shown(shown, 1), (Preset{"Bat", "Volt", "0", "0.075", "-64.5"}));
    EXPECT_EQ(shown.index("Teledigital6_source"), 0);
    EXPECT_EQ(shown.text("Teledigital6_name"), "I2");
    EXPECT_EQ(shown.text("Teledigital6_units"), "Up");
    EXPECT_EQ(shown.index("Brisel_output1"), 1);
    EXPECT_EQ(shown.index("Bitsmodule_enable"), 1);
    EXPECT_EQ(shown.index("Telemodule_enable"), 0);

    // Six spaces show an empty path.
    std::fill_n(image_.begin() + 2086, 6, ' ');
    ASSERT_FALSE(decode(registry_, shown, image_));
    EXPECT_EQ(shown.text("Teledata_path_string"), "");
}

TEST_F(Telemetry, SettingsFileKeysAndMissingKeys) {
    store_.set_text("Teledigital3_units", "Lbl");
    store_.set_text("Teleparams_dest_ssid", "$A");
    store_.set_text("Teledata_txrate_aprsis", "$1E");
    SettingsFile file;
    save(registry_, store_, file);
    const std::string text = file.serialise();
    for (const char* line : {"\nTeledigital3_label=Lbl\n", "\nTeleparams_dest_ssid=$A\n",
                             "\nTeledata_txrate_aprsis=30\n", "\nTele_title=ZyvoraPlus20 Telemetry\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(text.find("Teledigital3_units"), std::string::npos);

    // A file without some keys: each takes its file default, and no preset runs.
    SettingsFile partial;
    ASSERT_TRUE(partial.parse("[Telemetry]\nTeledigital4_name=Gate\nTeleanalog2_source=9\nTeleanalog2_units=K\n"));
    read(registry_, store_, partial);
    EXPECT_EQ(store_.index("Teledigital4_source"), 0);
    EXPECT_EQ(store_.text("Teledigital4_name"), "Gate");
    EXPECT_EQ(store_.text("Teledigital4_units"), "None");
    EXPECT_EQ(store_.text("Teledigital7_units"), "Non");
    EXPECT_EQ(store_.index("Teleanalog2_source"), 9);
    EXPECT_EQ(analog_shown(store_, 2), (Preset{"A2", "K", "0", "0", "0"}));
    EXPECT_EQ(store_.index("Teleanalog1_source"), 0);
    EXPECT_EQ(store_.text("Teledata_txrate_rf"), "10");
    EXPECT_EQ(store_.text("Teleparams_txrate_rf"), "60");
    EXPECT_EQ(store_.text("Tele_holdoff"), "60");
    EXPECT_EQ(store_.text("Teletitle"), "ZyvoraPlus20 Telemetry");
}

TEST_F(Telemetry, TextsFromAFileStayInTheirFields) {
    SettingsFile file;
    ASSERT_TRUE(file.parse("[Telemetry]\nTele_title=" + std::string(30, 't') +
                           "\nTeledata_path_string=WIDE2WIDE1\n"
                           "Teleanalog5_name=ABCDEFGHIJ\nTeleanalog5_units=UUUUUUUUUU\n"
                           "Teleanalog5_coefa=123456789012\nTeleanalog5_coefc=CCCCCCCCCCCC\n"
                           "Teledigital8_name=NNNNNNNNN\nTeledigital8_label=LLLLLLLLL\n"));
    read(registry_, store_, file);
    image_.fill(0xEE);
    ASSERT_TRUE(encode_now().empty());
    EXPECT_EQ(bytes(2052, 25), std::string(23, 't') + "\0\0"s);  // the switch after the title is its own
    EXPECT_EQ(bytes(2086, 8), "WIDE2W2\0"s);
    EXPECT_EQ(bytes(2296, 45), analog_channel(0, "ABCDEFG", "UUUUUUU", "12345678", "0", "CCCCCCCC", 0));
    EXPECT_EQ(bytes(2453, 17), digital_channel(0, "NNNNNN", "LLLLLL", 0) + "\0"s);
}

}  // namespace
}  // namespace zyvora
