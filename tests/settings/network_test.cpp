// The network settings (image 633..649), the time page (600..632, 650..655) and the remote
// access pages (1825..2050).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/area_fixture.h"
#include "settingsfile.h"

namespace zyvora {
namespace {

using namespace std::string_literals;
using test::text_field;
using Network = test::AreaFixture;

TEST_F(Network, DefaultsFillBytes600To655And1825To2050) {
    ASSERT_TRUE(encode_now().empty());
    EXPECT_EQ(bytes(600, 56), test::default_time_network_bytes());
    EXPECT_EQ(bytes(1825, 2052 - 1825), test::default_remote_bytes());
}

TEST_F(Network, RangesAndTheirMessages) {
    struct Case {
        const char* control;
        const char* text;
        const char* message;  // nullptr: passes
    };
    const std::vector<Case> cases = {
        {"Ipaddr0", "256", "IP Address - range error (0 - 255)."},
        {"Ipaddr3", "-1", "IP Address - range error (0 - 255)."},
        {"Ipaddr1", "255", nullptr},
        {"Ipaddr2", "0", nullptr},
        {"Ipmask2", "256", "IP Mask - range error (0 - 255)."},
        {"Ipgate1", "-1", "Gateway - range error (0 - 255)."},
        {"Ipdns3", "256", "DNS - range error (0 - 255)."},
        {"Ipdns0", "$FF", nullptr},
        {"statsupload_port", "65536", "Statistics upload port - range error (0 - 65535)."},
        {"statsupload_port", "-1", "Statistics upload port - range error (0 - 65535)."},
        {"statsupload_port", "65535", nullptr},
        {"statsupload_txrate", "0", "Statistics upload interval - range error (1 - 240)."},
        {"statsupload_txrate", "241", "Statistics upload interval - range error (1 - 240)."},
        {"statsupload_txrate", "1", nullptr},
        {"statsupload_txrate", "240", nullptr},
        {"www_port", "70000", nullptr},
        {"aprsisserver_port", "-1", nullptr},
    };
    for (const Case& c : cases) {
        store_ = test::startup_store(registry_);
        store_.set_text(c.control, c.text);
        if (c.message) expect_failure(c.control, c.message);
        else EXPECT_TRUE(encode_now().empty()) << c.control << "=" << c.text;
    }
}

TEST_F(Network, ADebugChoiceWithoutSelectionIsRefusedByItsCaptionOnOneLine) {
    store_.set_index("Debug_aprsisserver", 2);
    expect_failure("Debug_aprsisserver", "APRSIS server - no item selected.");
}

TEST_F(Network, MaskIsCheckedBeforeTheGatewayThatLiesFirst) {
    store_.set_text("Ipgate0", "300");
    store_.set_text("Ipmask3", "300");
    expect_failure("Ipmask3", "IP Mask - range error (0 - 255).");
}

TEST_F(Network, NumbersThatAreNoNumberEndThePassWithTheParsersError) {
    for (const char* control : {"Ipaddr0", "telnet_port", "statsupload_txrate"}) {
        store_ = test::startup_store(registry_);
        store_.set_text(control, "");
        const auto failures = encode_now();
        ASSERT_EQ(failures.size(), 1u) << control;
        EXPECT_EQ(failures[0].control, control);
        EXPECT_TRUE(failures[0].conversion);
    }
}

TEST_F(Network, FieldsAsStored) {
    store_.set_index("Netconfig", 0);
    store_.set_text("Ipaddr0", "10");
    store_.set_text("Ipgate3", "254");
    store_.set_text("Ipmask2", "0");
    store_.set_text("www_port", "70000");
    store_.set_text("telnet_port", "-1");
    store_.set_text("statsupload_port", "65535");
    store_.set_text("statsupload_id", "00042");
    store_.set_text("www_user", "Ham Radio");
    store_.set_text("telnet_password", "s3cr3T!");
    store_.set_text("aprsisserver_username", "sq3abc");
    store_.set_index("kisstcpip_enable", 1);
    store_.set_index("Debug_gps", 1);
    store_.set_index("Debug_aprsisserver", 0);
    ASSERT_TRUE(encode_now().empty());
    EXPECT_EQ(bytes(633, 17), "\x00\x0A\xA8\x02\x02\xC0\xA8\x02\xFE\xFF\xFF\x00\x00\xC0\xA8\x02\x01"s);
    EXPECT_EQ(bytes(1852, 2), "\x70\x11"s);  // 70000 modulo 65536 = 4464
    EXPECT_EQ(bytes(1898, 2), "\xFF\xFF"s);
    EXPECT_EQ(bytes(2000, 2), "\xFF\xFF"s);
    EXPECT_EQ(bytes(1945, 6), "00042\0"s);
    EXPECT_EQ(bytes(1825, 13), text_field("Ham Radio", 13));
    EXPECT_EQ(bytes(1884, 13), text_field("s3cr3T!", 13));
    EXPECT_EQ(bytes(1908, 7), "sq3abc\0"s);
    EXPECT_EQ(bytes(1900, 1), "\x01"s);
    EXPECT_EQ(bytes(2046, 1), "\x01"s);
    EXPECT_EQ(bytes(2050, 1), "\x00"s);
}

TEST_F(Network, DecodeShowsTheStoredValuesAndLeavesTheClockAlone) {
    store_.set_text("Ipdns1", "7");
    store_.set_text("www_port", "70000");
    store_.set_text("statsupload_id", "007");
    store_.set_text("statsupload_path", "stats/up.php");
    store_.set_text("Ntp_servername", "ntp.example.net");
    store_.set_checked("Ntp_enable", false);
    store_.set_index("aprsisserver_fromis", 1);
    store_.set_index("Debug_ntp", 0);
    ASSERT_TRUE(encode_now().empty());

    ControlStore shown = registry_.make_store();
    shown.set_text("Rtcyear", "1999");
    shown.set_text("Rtcmin", "");
    shown.set_checked("Uploadpctime", false);
    image_[600] = 7;  // any non-zero byte checks the box
    ASSERT_FALSE(decode(registry_, shown, image_));
    EXPECT_EQ(shown.text("Ipdns1"), "7");
    EXPECT_EQ(shown.text("www_port"), "4464");
    EXPECT_EQ(shown.text("statsupload_id"), "007");
    EXPECT_EQ(shown.text("statsupload_path"), "stats/up.php");
    EXPECT_EQ(shown.text("Ntp_servername"), "ntp.example.net");
    EXPECT_TRUE(shown.checked("Ntp_enable"));
    EXPECT_EQ(shown.index("aprsisserver_fromis"), 1);
    EXPECT_EQ(shown.index("Debug_ntp"), 0);
    EXPECT_EQ(shown.index("Debug_dns"), 1);
    EXPECT_EQ(shown.text("Rtcyear"), "1999");
    EXPECT_EQ(shown.text("Rtcmin"), "");
    EXPECT_FALSE(shown.checked("Uploadpctime"));
}

TEST_F(Network, SettingsFileKeysAndOverlongTexts) {
    store_.set_text("statsupload_id", "007");
    store_.set_text("Ipmask3", "$10");
    SettingsFile file;
    save(registry_, store_, file);
    const std::string text = file.serialise();
    for (const char* line : {"Statsupload_id=007\n", "Ipmask3=16\n", "Www_pass=tevan\n", "Debug_aprsisserver=1\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }

    // A text from a file longer than its field is cut to the field; the next field is its own.
    SettingsFile long_texts;
    ASSERT_TRUE(long_texts.parse("[WWW]\nWww_user=" + std::string(20, 'u') + "\n[Statsupload]\nStatsupload_id=1234567\n"));
    read(registry_, store_, long_texts);
    EXPECT_EQ(store_.text("www_user"), std::string(20, 'u'));
    ASSERT_TRUE(encode_now().empty());
    EXPECT_EQ(bytes(1825, 14), std::string(12, 'u') + "\0t"s);
    EXPECT_EQ(bytes(1945, 7), "12345\0001"s);
}

}  // namespace
}  // namespace zyvora
