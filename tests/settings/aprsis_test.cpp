// The APRS-IS gateway (image 110..407) and the 24 rows of the APRS-IS to RF filter (408..599).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/area_fixture.h"
#include "settingsfile.h"

namespace zyvora {
namespace {

using namespace std::string_literals;
using test::text_field;
using Aprsis = test::AreaFixture;

std::string row_message(int row) {
    return "APRS-IS packets to RF filter " + std::to_string(row) + " - SSID range error (0 - 15, or wildcard '*').";
}

TEST_F(Aprsis, DefaultsFillBytes110To599) {
    ASSERT_TRUE(encode_now().empty());
    EXPECT_EQ(bytes(110, 600 - 110), test::default_aprsis_bytes());
}

TEST_F(Aprsis, ChecksAndTheirMessages) {
    struct Case {
        const char* control;
        const char* text;
        std::string message;  // empty: passes
    };
    const std::vector<Case> cases = {
        {"Aprsis1_port", "65536", "APRS-IS Server 1 Port - range error (0 - 65535)."},
        {"Aprsis2_port", "-1", "APRS-IS Server 2 Port - range error (0 - 65535)."},
        {"Aprsis3_port", "65535", ""},
        {"Aprsis3_port", "", ""},
        {"Aprsis_timeout", "0", "APRS-IS reconnect timeout - range error (1 - 60)."},
        {"Aprsis_timeout", "61", "APRS-IS reconnect timeout - range error (1 - 60)."},
        {"Aprsis_timeout", "60", ""},
        {"Aprsis_heard_timeout", "241", "APRS-IS heard buffer timeout range error (1 - 240)."},
        {"Aprsis_heard_timeout", "256", "APRS-IS heard buffer timeout range error (1 - 240)."},
        {"Aprsis_heard_timeout", "240", ""},
        {"Aprsis_2rf_dest_ssid", "16", "APRS-IS to RF dest - SSID range error (0 - 15)."},
        {"Aprsis_msg2rf_ssid", "-1", "APRS-IS message path - SSID range error (0 - 15)."},
        {"Aprsis_msg2rf_ssid", "x", "APRS-IS message path - SSID range error (0 - 15)."},
        {"Rfheard_local_maxhops", "8", ""},
        {"Rfheard_local_maxhops", "9", "Local RF heard max. digi-hops range error (0 - 8)."},
        {"Rfheard_local_timeout", "0", "Local RF heard buffer timeout range error (1 - 240)."},
        {"Aprsis_packet2rf_ssid", "", "APRS-IS non-message path - SSID range error (0 - 15)."},
        {"Rfheard_timeout", "241", "RF heard buffer timeout range error (1 - 240)."},
        {"Aprsis_packet2rf_1min", "0", "Max. non-message packets per 1 min range error (1 - 240)."},
        {"Aprsis_packet2rf_2min", "241", "Max. non-message packets per 2 min range error (1 - 240)."},
        {"Aprsis_packet2rf_3min", "300", "Max. non-message packets per 3 min range error (1 - 240)."},
        {"Packet2rf_filter_ssid01", "", row_message(1)},  // a row of type "Not used" with no pattern too
        {"Packet2rf_filter_ssid07", "**", row_message(7)},
        {"Packet2rf_filter_ssid24", "16", row_message(24)},
        {"Packet2rf_filter_ssid12", "15", ""},
    };
    for (const Case& c : cases) {
        store_ = test::startup_store(registry_);
        store_.set_text(c.control, c.text);
        if (c.message.empty()) EXPECT_TRUE(encode_now().empty()) << c.control << "=" << c.text;
        else expect_failure(c.control, c.message);
    }
}

TEST_F(Aprsis, PassOrder) {
    // The non-message path before the if-heard choice and the rates; the filter rows after them.
    store_.set_text("Aprsis_packet2rf_ssid", "99");
    store_.set_text("Rfheard_timeout", "0");
    expect_failure("Aprsis_packet2rf_ssid", "APRS-IS non-message path - SSID range error (0 - 15).");
    store_ = test::startup_store(registry_);
    store_.set_text("Aprsis_packet2rf_3min", "0");
    store_.set_text("Packet2rf_filter_ssid01", "x");
    expect_failure("Aprsis_packet2rf_3min", "Max. non-message packets per 3 min range error (1 - 240).");
    store_ = test::startup_store(registry_);
    store_.set_text("Aprsis_filter", "m/40");
    store_.set_text("Aprsis_timeout", "99");
    store_.set_text("Aprsis3_port", "70000");
    expect_failure("Aprsis3_port", "APRS-IS Server 3 Port - range error (0 - 65535).");

    // Ports, timeouts and counts that are no number end the pass with the parser's error.
    store_ = test::startup_store(registry_);
    store_.set_text("Aprsis_packet2rf_2min", "x");
    const auto failures = encode_now();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_TRUE(failures[0].conversion);
    EXPECT_EQ(failures[0].message, "'x' is not a valid integer value");
}

TEST_F(Aprsis, FieldsAsStored) {
    store_.set_text("Aprsis_user", "sq3abc-10");
    store_.set_text("Aprsis_pass", "PaSs");
    store_.set_text("Aprsis1_port", "65535");
    store_.set_text("Aprsis2_port", "");
    store_.set_text("Aprsis_2rf_dest", "");
    store_.set_text("Aprsis_2rf_dest_ssid", "not a number");
    store_.set_text("Aprsis_msg2rf_path", "wide2");
    store_.set_text("Aprsis_msg2rf_ssid", "15");
    store_.set_text("Packet2rf_filter_callsign03", "sq*");
    store_.set_text("Packet2rf_filter_ssid03", "15");
    store_.set_index("Packet2rf_filter_type03", 6);
    store_.set_text("Packet2rf_filter_callsign24", "s?3a");
    store_.set_index("Packet2rf_filter_type24", 1);
    image_.fill(0xEE);
    ASSERT_TRUE(encode_now().empty());
    EXPECT_EQ(bytes(110, 17), text_field("SQ3ABC-10", 17));
    EXPECT_EQ(store_.text("Aprsis_user"), "sq3abc-10");
    EXPECT_EQ(bytes(127, 5), "PaSs\0"s);
    EXPECT_EQ(bytes(176, 2), "\xFF\xFF"s);
    EXPECT_EQ(bytes(210, 2), "\0\0"s);  // an empty port is not written
    EXPECT_EQ(bytes(377, 7), "      0");
    EXPECT_EQ(bytes(386, 7), "WIDE2 ?");
    EXPECT_EQ(bytes(408 + 16, 8), "SQ*   ?\x06"s);
    EXPECT_EQ(bytes(592, 8), "S?3A  *\x01"s);
}

TEST_F(Aprsis, DecodeShowsTheStoredValues) {
    store_.set_text("Aprsis_user", "sq3abc");
    store_.set_text("Aprsis2_servername", "euro.aprs2.net");
    store_.set_text("Aprsis2_port", "");
    store_.set_text("Aprsis_msg2rf_path", "wide2");
    store_.set_text("Aprsis_msg2rf_ssid", "1");
    store_.set_text("Aprsis_packet2rf_ssid", "15");
    store_.set_text("Aprsis_2rf_dest", "");
    store_.set_text("Rfheard_local_maxhops", "0");
    store_.set_index("Aprsis_fromrf", 0);
    store_.set_text("Packet2rf_filter_callsign09", "dl*");
    store_.set_text("Packet2rf_filter_ssid09", "3");
    store_.set_index("Packet2rf_filter_type09", 4);
    ASSERT_TRUE(encode_now().empty());

    ControlStore shown = registry_.make_store();
    ASSERT_FALSE(decode(registry_, shown, image_));
    EXPECT_EQ(shown.text("Aprsis_user"), "SQ3ABC");
    EXPECT_EQ(shown.text("Aprsis1_servername"), "rotate.aprs2.net");
    EXPECT_EQ(shown.text("Aprsis2_servername"), "euro.aprs2.net");
    EXPECT_EQ(shown.text("Aprsis2_port"), "0");
    EXPECT_EQ(shown.text("Aprsis3_port"), "14580");
    EXPECT_EQ(shown.text("Aprsis_msg2rf_path"), "WIDE2");
    EXPECT_EQ(shown.text("Aprsis_msg2rf_ssid"), "1");
    EXPECT_EQ(shown.text("Aprsis_packet2rf_ssid"), "15");
    EXPECT_EQ(shown.text("Aprsis_2rf_dest"), "");
    EXPECT_EQ(shown.text("Aprsis_2rf_dest_ssid"), "0");
    EXPECT_EQ(shown.text("Rfheard_local_maxhops"), "0");
    EXPECT_EQ(shown.index("Aprsis_fromrf"), 0);
    EXPECT_EQ(shown.text("Aprsis_filter"), "m/40");
    EXPECT_EQ(shown.text("Packet2rf_filter_callsign09"), "DL*");
    EXPECT_EQ(shown.text("Packet2rf_filter_ssid09"), "3");
    EXPECT_EQ(shown.index("Packet2rf_filter_type09"), 4);
    EXPECT_EQ(shown.text("Packet2rf_filter_ssid10"), "*");

    image_[401 + 6] = 0x20;  // an SSID byte below '0' reads as a negative number
    ASSERT_FALSE(decode(registry_, shown, image_));
    EXPECT_EQ(shown.text("Aprsis_packet2rf_ssid"), "-16");
}

TEST_F(Aprsis, SettingsFileOrderKeysAndMissingSection) {
    store_.set_text("Packet2rf_filter_ssid05", "7");
    SettingsFile file;
    save(registry_, store_, file);
    const std::string text = file.serialise();
    EXPECT_LT(text.find("Aprsis_timeout=3\n"), text.find("Aprsis_filter=m/40\n"));
    EXPECT_LT(text.find("Aprsis_packet2rf_path="), text.find("Aprsis_packet2rf_ifheard="));
    EXPECT_LT(text.find("Aprsis_packet2rf_3min=12\n"), text.find("Packet2rf_filter_callsign01=\n"));
    EXPECT_NE(text.find("Packet2rf_filter_ssid05=7\n"), std::string::npos);
    EXPECT_NE(text.find("[I-Gate]\nAprsis_heardtimeout=30\n"), std::string::npos);

    // Without [I-Gate] every control of that section, the filter rows included, takes its default.
    SettingsFile without;
    ASSERT_TRUE(without.parse("[APRS-IS]\nAprsis_user=sq3abc\n"));
    store_.set_text("Aprsis_heard_timeout", "99");
    store_.set_text("Packet2rf_filter_callsign24", "X");
    store_.set_index("Packet2rf_filter_type24", 3);
    store_.set_text("Aprsis_msg2rf_path", "");
    read(registry_, store_, without);
    EXPECT_EQ(store_.text("Aprsis_user"), "sq3abc");
    EXPECT_EQ(store_.text("Aprsis_heard_timeout"), "30");
    EXPECT_EQ(store_.text("Packet2rf_filter_callsign24"), "");
    EXPECT_EQ(store_.text("Packet2rf_filter_ssid05"), "*");
    EXPECT_EQ(store_.index("Packet2rf_filter_type24"), 0);
    EXPECT_EQ(store_.text("Aprsis_msg2rf_path"), "WIDE2");
}

TEST_F(Aprsis, OverlongTextsFromAFileStayInTheirFields) {
    SettingsFile file;
    ASSERT_TRUE(file.parse("[APRS-IS]\nAprsis_filter=" + std::string(200, 'f') + "\nAprsis3_servername=" +
                           std::string(40, 's') + "\n[I-Gate]\nPacket2rf_filter_callsign02=abcdefgh\n"));
    read(registry_, store_, file);
    ASSERT_TRUE(encode_now().empty());
    EXPECT_EQ(bytes(247, 130), std::string(128, 'f') + "\0\x1E"s);  // then the heard timeout, 30
    EXPECT_EQ(bytes(212, 34), std::string(31, 's') + "\0\xF4\x38"s);
    EXPECT_EQ(bytes(416, 8), "ABCDEF*\0"s);
}

}  // namespace
}  // namespace zyvora
