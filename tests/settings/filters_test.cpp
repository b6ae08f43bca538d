// The digipeater filters: eight path rules with their flag byte, the path filter areas and the
// callsign filter entries, from image bytes 1584 to 1824.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/area_fixture.h"
#include "passes.h"
#include "registry.h"
#include "settingsfile.h"

namespace zyvora {
namespace {

using namespace std::string_literals;

std::string ssid_message(int k) {
    return "Callsign filter " + std::to_string(k) + " - SSID range error (0 - 15, or wildcard '*').";
}

using Filters = test::AreaFixture;

TEST_F(Filters, DefaultsFillBytes1584To1824) {
    ASSERT_TRUE(encode_now().empty());
    EXPECT_EQ(bytes(1584, 1825 - 1584), test::default_filter_bytes());
}

TEST_F(Filters, RuleFlagsAndFields) {
    // Rule 4 is not traceable: "No APRS-IS" (2) and all five boxes give 0xFA.
    store_.set_index("Pathn4_active", 2);
    for (const char* box : {"directonly", "areaall", "arearad0", "arearad1", "arearect0"}) {
        store_.set_checked("Pathn4_"s + box, true);
    }
    store_.set_text("Pathn4_name", "wide");
    store_.set_text("Pathn4_lower", "5");  // hop limits are not compared with each other
    store_.set_text("Pathn4_higher", "2");
    // Rule 8 traceable, never enabled, only RAD1.
    store_.set_index("Pathn8_traceable", 1);
    store_.set_checked("Pathn8_areaall", false);
    store_.set_checked("Pathn8_arearad1", true);
    store_.set_text("Pathn8_name", "ABCDE");
    store_.set_text("Pathn3_name", "TOOLONG");  // from a file: cut to the field, the rest untouched
    ASSERT_TRUE(encode_now().empty());
    EXPECT_EQ(bytes(1602, 9), "TOOLO\0"s + "\x01\x07\x10"s);
    EXPECT_EQ(bytes(1611, 9), "wide\0\0"s + "\x05\x02\xFA"s);
    EXPECT_EQ(bytes(1647, 9), "ABCDE\0"s + "\x01\x07\x44"s);
}

TEST_F(Filters, HopLimitsAtTheirBoundaries) {
    struct Case {
        const char* control;
        const char* text;
        std::string message;  // empty: passes and stores `stored` at 1584 + 6 or + 7
    };
    const std::string lower = "Path(n-N) 1, n>= value range error (1 - 7).";
    const std::string higher = "Path(n-N) 1, n<= value range error (1 - 7).";
    const Case cases[] = {
        {"Pathn1_lower", "0", lower}, {"Pathn1_lower", "8", lower},
        {"Pathn1_lower", "1", ""},    {"Pathn1_lower", "7", ""},
        {"Pathn1_higher", "0", higher}, {"Pathn1_higher", "8", higher},
        {"Pathn1_higher", "1", ""},     {"Pathn1_higher", "7", ""},
    };
    for (const auto& c : cases) {
        store_ = test::startup_store(registry_);
        store_.set_text(c.control, c.text);
        if (!c.message.empty()) {
            expect_failure(c.control, c.message);
            continue;
        }
        ASSERT_TRUE(encode_now().empty()) << c.control << " = " << c.text;
        const std::size_t offset = std::string(c.control) == "Pathn1_lower" ? 1590 : 1591;
        EXPECT_EQ(bytes(offset, 1), std::string(1, static_cast<char>(c.text[0] - '0'))) << c.control;
    }
    store_ = test::startup_store(registry_);
    store_.set_text("Pathn6_higher", "9");
    expect_failure("Pathn6_higher", "Path(n-N) 6, n<= value range error (1 - 7).");
}

TEST_F(Filters, HopLimitThatIsNoNumberFailsWithTheParsersError) {
    store_.set_text("Pathn2_lower", "");
    const auto failures = encode_now();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].message, "'' is not a valid integer value");
    EXPECT_TRUE(failures[0].conversion);
}

TEST_F(Filters, RadiiAtTheirBoundaries) {
    struct Case {
        const char* control;
        const char* text;
        std::string message;
        std::size_t offset;
        std::string stored;
    };
    const std::string rad0 = "Path filter area RAD0 distance range error (1 - 3000).";
    const std::string rad1 = "Path filter area RAD1 distance range error (1 - 3000).";
    const Case cases[] = {
        {"Area_rad0_radius", "0", rad0, 0, ""},
        {"Area_rad0_radius", "3001", rad0, 0, ""},
        {"Area_rad0_radius", "1", "", 1656, "\x01\x00"s},
        {"Area_rad0_radius", "3000", "", 1656, "\xB8\x0B"s},
        // Tested although no rule asks for RAD1.
        {"Area_rad1_radius", "0", rad1, 0, ""},
        {"Area_rad1_radius", "3001", rad1, 0, ""},
        {"Area_rad1_radius", "1", "", 1658, "\x01\x00"s},
        {"Area_rad1_radius", "3000", "", 1658, "\xB8\x0B"s},
    };
    for (const auto& c : cases) {
        store_ = test::startup_store(registry_);
        store_.set_text(c.control, c.text);
        if (!c.message.empty()) {
            expect_failure(c.control, c.message);
            continue;
        }
        ASSERT_TRUE(encode_now().empty()) << c.control << " = " << c.text;
        EXPECT_EQ(bytes(c.offset, 2), c.stored) << c.control << " = " << c.text;
    }
}

TEST_F(Filters, CoordinatesLengthThenSyntaxMessages) {
    struct Case {
        const char* control;
        const char* too_short;
        const char* bad_syntax;
        std::string length_message;
        std::string syntax_message;
    };
    const Case cases[] = {
        {"Area_rad1_latitude", "5221.5N", "5221.05n",
         "Path filter area RAD1 latitude - syntax error (e.g. 5221.05N, format: DDMM.MM).",
         "Path filter area RAD1 latitude - syntax error (e.g. 5221.05N, format: DDMM.MM)."},
        {"Area_rad1_longitude", "1643.89E", "01643.89e",
         "Path filter area RAD1 longitude - syntax error (e.g. 01643.89E, format DDDMM.MM).",
         "Path filter area RAD1 longitude - syntax error (e.g. 01643.89E, format: DDDMM.MM)."},
        {"Area_rect0_nwlatitude", "52321.05N", "5260.00N",
         "Path filter area RECT0 north-west latitude - syntax error (e.g. 5232.05N, format: DDMM.MM).",
         "Path filter area RECT0 north-west latitude - syntax error (e.g. 5232.05N, format: DDMM.MM)."},
        {"Area_rect0_nwlongitude", "1633.84E", "01633.84e",
         "Path filter area RECT0 north-west longitude - syntax error (e.g. 01633.84E, format DDDMM.MM).",
         "Path filter area RECT0 north-west longitude - syntax error (e.g. 01643.89E, format: DDDMM.MM)."},
        {"Area_rect0_selatitude", "", "9000.00S",
         "Path filter area RECT0 south-east latitude - syntax error (e.g. 5217.58N, format: DDMM.MM).",
         "Path filter area RECT0 south-east latitude - syntax error (e.g. 5217.58N, format: DDMM.MM)."},
        {"Area_rect0_selongitude", "017130.95E", "18000.00W",
         "Path filter area RECT0 south-east longitude - syntax error (e.g. 01713.95E, format DDDMM.MM).",
         "Path filter area RECT0 south-east longitude - syntax error (e.g. 01713.95E, format: DDDMM.MM)."},
    };
    for (const auto& c : cases) {
        store_ = test::startup_store(registry_);
        store_.set_text(c.control, c.too_short);
        expect_failure(c.control, c.length_message);
        store_.set_text(c.control, c.bad_syntax);
        expect_failure(c.control, c.syntax_message);
    }
}

TEST_F(Filters, CoordinatesArePackedSouthAndEastNegative) {
    store_.set_text("Area_rad1_latitude", "5221.05S");
    store_.set_text("Area_rect0_selongitude", "01713.95W");
    ASSERT_TRUE(encode_now().empty());
    EXPECT_EQ(bytes(1660, 4), "\x87\x08\xF8\xFF"s);  // -522105
    EXPECT_EQ(bytes(1680, 4), "\x83\x9D\x02\x00"s);  // 171395
}

TEST_F(Filters, CallsignEntrySsids) {
    const std::pair<const char*, std::string> stored[] = {{"*", "*"}, {"15", "\x3F"}, {"0", "0"}};
    for (const auto& [text, byte] : stored) {
        store_ = test::startup_store(registry_);
        store_.set_text("Callfilter_ssid3", text);
        ASSERT_TRUE(encode_now().empty()) << text;
        EXPECT_EQ(bytes(1685 + 7 * 2 + 6, 1), byte) << text;
    }
    for (const char* text : {"**", "a", "-1", "", "16", " *"}) {
        store_ = test::startup_store(registry_);
        store_.set_text("Callfilter_ssid3", text);
        expect_failure("Callfilter_ssid3", ssid_message(3));
    }
    // Checked whether or not the entry has a call sign, the last entry included.
    store_ = test::startup_store(registry_);
    store_.set_text("Callfilter_ssid20", "x");
    expect_failure("Callfilter_ssid20", ssid_message(20));
}

TEST_F(Filters, CallsignsAreUpperCasedWithWildcardsKept) {
    store_.set_text("Callfilter_callsign1", "sp*");
    store_.set_text("Callfilter_callsign2", "ab?d");
    store_.set_text("Callfilter_ssid2", "5");
    store_.set_text("Callfilter_callsign20", "toolongcall");  // from a file: cut to the field
    store_.set_index("Callfilter_rule", 1);
    ASSERT_TRUE(encode_now().empty());
    EXPECT_EQ(bytes(1684, 1 + 7 + 7), "\x01"s + "SP*   *" + "AB?D  5");
    EXPECT_EQ(bytes(1818, 8), "TOOLON*a"s);  // the next field, the WWW user "admin", is its own
}

TEST_F(Filters, ChoiceWithoutSelectionNamesTheRule) {
    const std::pair<const char*, const char*> cases[] = {
        {"Pathn3_active", "Path(n-N) 3 - Enable if: no item selected."},
        {"Pathn7_traceable", "Path(n-N) 7 - Traceable: no item selected."},
        {"Callfilter_rule", "General rule - no item selected."},
    };
    for (const auto& [control, message] : cases) {
        store_ = test::startup_store(registry_);
        store_.set_index(control, -1);
        expect_failure(control, message);
    }
}

TEST_F(Filters, DecodeShowsTheStoredValues) {
    ASSERT_TRUE(encode_now().empty());
    image_[1593 + 8] = 0xFA;  // rule 2: No APRS-IS, not traceable, all boxes
    image_[1638 + 8] = 0x25;  // rule 7: Always, traceable, RAD0 only
    image_[1638 + 6] = 4;
    const std::string entry = "AB?D  \x35";
    std::copy(entry.begin(), entry.end(), image_.begin() + 1685 + 7 * 4);
    image_[1660] = 0x87, image_[1661] = 0x08, image_[1662] = 0xF8, image_[1663] = 0xFF;  // -522105
    image_[1658] = 0xB8, image_[1659] = 0x0B;
    image_[1684] = 1;

    ControlStore shown = registry_.make_store();
    for (const char* box : {"directonly", "areaall", "arearad0", "arearad1", "arearect0"}) {
        shown.set_checked("Pathn2_"s + box, false);
    }
    ASSERT_FALSE(decode(registry_, shown, image_));
    EXPECT_EQ(shown.index("Pathn2_active"), 2);
    EXPECT_EQ(shown.index("Pathn2_traceable"), 0);
    for (const char* box : {"directonly", "areaall", "arearad0", "arearad1", "arearect0"}) {
        EXPECT_TRUE(shown.checked("Pathn2_"s + box)) << box;
    }
    EXPECT_EQ(shown.index("Pathn7_active"), 1);
    EXPECT_EQ(shown.index("Pathn7_traceable"), 1);
    EXPECT_FALSE(shown.checked("Pathn7_areaall"));
    EXPECT_TRUE(shown.checked("Pathn7_arearad0"));
    EXPECT_EQ(shown.text("Pathn7_lower"), "4");
    EXPECT_EQ(shown.text("Pathn1_name"), "WIDE");
    EXPECT_EQ(shown.text("Pathn3_name"), "");
    EXPECT_EQ(shown.text("Callfilter_callsign5"), "AB?D");
    EXPECT_EQ(shown.text("Callfilter_ssid5"), "5");
    EXPECT_EQ(shown.text("Callfilter_callsign6"), "");
    EXPECT_EQ(shown.text("Callfilter_ssid6"), "*");
    EXPECT_EQ(shown.text("Area_rad1_latitude"), "5221.05S");
    EXPECT_EQ(shown.text("Area_rad1_radius"), "3000");
    EXPECT_EQ(shown.text("Area_rect0_selongitude"), "01713.95E");
    EXPECT_EQ(shown.index("Callfilter_rule"), 1);
}

TEST_F(Filters, SettingsFileRoundTrip) {
    store_.set_text("Pathn5_name", "wide");
    store_.set_text("Pathn5_lower", "3");
    store_.set_index("Pathn5_traceable", 1);
    store_.set_index("Pathn5_active", 2);
    store_.set_checked("Pathn5_arearect0", true);
    store_.set_text("Area_rad0_radius", "007");
    store_.set_text("Area_rect0_nwlongitude", "01633.84W");
    store_.set_index("Callfilter_rule", 1);
    store_.set_text("Callfilter_callsign12", "sq?abc");
    store_.set_text("Callfilter_ssid12", "9");

    SettingsFile file;
    save(registry_, store_, file);
    const std::string text = file.serialise();
    for (const char* line : {"Pathn5_name=wide\n", "Pathn5_lower=3\n", "Pathn5_traceable=1\n", "Pathn5_active=2\n",
                             "Pathn5_arearect0=1\n", "Arearad0_distance=7\n", "Arearect0_nwlongitude=01633.84W\n",
                             "Callfilter_rule=1\n", "Callfilter_callsign12=sq?abc\n", "Callfilter_ssid12=9\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }

    SettingsFile reread;
    ASSERT_TRUE(reread.parse(text));
    ControlStore back = registry_.make_store();
    read(registry_, back, reread);
    for (const auto& s : registry_.settings()) {
        const std::string& name = s.control.name;
        if (name.rfind("Pathn", 0) != 0 && name.rfind("Area_", 0) != 0 && name.rfind("Callfilter_", 0) != 0) continue;
        if (name == "Area_rad0_radius") {
            EXPECT_EQ(back.text(name), "7");  // an integer key is read back in decimal
            continue;
        }
        EXPECT_EQ(back.text(name), store_.text(name)) << name;
        EXPECT_EQ(back.index(name), store_.index(name)) << name;
        EXPECT_EQ(back.checked(name), store_.checked(name)) << name;
    }
}

TEST_F(Filters, MissingKeysTakeTheStartUpDefaults) {
    SettingsFile empty;
    ASSERT_TRUE(empty.parse(""));
    ControlStore back = registry_.make_store();
    back.set_text("Pathn1_name", "X");
    back.set_text("Callfilter_ssid9", "3");
    back.set_index("Pathn2_active", 0);
    read(registry_, back, empty);
    EXPECT_EQ(back.text("Pathn1_name"), "WIDE");
    EXPECT_EQ(back.text("Callfilter_ssid9"), "*");
    EXPECT_EQ(back.index("Pathn2_active"), 1);
}

}  // namespace
}  // namespace zyvora
