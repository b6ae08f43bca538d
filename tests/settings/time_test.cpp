// The "RTC/NTP time" page: the PC time fill, the clock option and the bytes they lead to.
#include <gtest/gtest.h>

#include "../support/expected_defaults.h"
#include "../support/recording_feedback.h"
#include "operations.h"
#include "passes.h"
#include "settingsfile.h"

namespace zyvora {
namespace {

using testing::RecordingFeedback;

const char* const kDateTime[] = {"Rtcyear", "Rtcmonth", "Rtcday", "Rtchour", "Rtcmin"};

std::vector<std::uint8_t> bytes(const Image& image, std::size_t from, std::size_t to) {
    return {image.begin() + from, image.begin() + to + 1};
}

TEST(TimePage, StartUpFillsThePcTimeAndLocksTheEdits) {
    const Registry& registry = Registry::instance();
    RecordingFeedback feedback;
    const ControlStore store = start_up_store(registry, feedback, [] { return test::kNow; });
    const char* const expected[] = {"2026", "4", "3", "9", "5"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(store.text(kDateTime[i]), expected[i]);
        EXPECT_FALSE(store.enabled(store.require(kDateTime[i]))) << kDateTime[i];
    }
    EXPECT_TRUE(store.checked("Uploadpctime"));
    EXPECT_TRUE(feedback.boxes().empty());
}

TEST(TimePage, DefaultBytes600To655) {
    const Registry& registry = Registry::instance();
    ControlStore store = test::startup_store(registry);
    Image image{};
    ASSERT_TRUE(encode(registry, store, image, {false, 0}).empty());
    std::vector<std::uint8_t> ntp = {0x01};
    for (char c : std::string("pool.ntp.org")) ntp.push_back(static_cast<std::uint8_t>(c));
    ntp.resize(33, 0);
    EXPECT_EQ(bytes(image, 600, 632), ntp);
    EXPECT_EQ(bytes(image, 650, 655), (std::vector<std::uint8_t>{0xEA, 0x07, 0x04, 0x03, 0x09, 0x05}));
}

TEST(TimePage, WriteRefreshesTheTimeOnlyWhenAsked) {
    const Registry& registry = Registry::instance();
    ControlStore store = test::startup_store(registry);
    Image image{};
    RecordingFeedback feedback;
    const Clock later = [] { return LocalTime{2027, 12, 31, 23, 59}; };

    ASSERT_TRUE(encode_settings(registry, store, image, feedback, false, later));
    EXPECT_EQ(bytes(image, 650, 655), (std::vector<std::uint8_t>{0xEB, 0x07, 12, 31, 23, 59}));

    // By hand: what the edits show is sent, and an empty one stops the write.
    store.set_checked("Uploadpctime", false);
    store.set_text("Rtcyear", "2030");
    store.set_text("Rtcmin", "7");
    ASSERT_TRUE(encode_settings(registry, store, image, feedback, false, later));
    EXPECT_EQ(bytes(image, 650, 655), (std::vector<std::uint8_t>{0xEE, 0x07, 12, 31, 23, 7}));
    store.set_text("Rtchour", "");
    EXPECT_FALSE(encode_settings(registry, store, image, feedback, false, later));
    EXPECT_EQ(feedback.boxes(), std::vector<std::string>{"error: '' is not a valid integer value"});
}

// Typed by hand, a date or time the clock cannot hold stops the write instead of reaching the
// device as another number; the ends of each range pass.
TEST(TimePage, HandTypedDateAndTimeAreRangeChecked) {
    const Registry& registry = Registry::instance();
    const Clock later = [] { return LocalTime{2027, 12, 31, 23, 59}; };
    const struct {
        const char* control;
        const char* text;
        const char* message;  // empty: passes
    } cases[] = {
        {"Rtcmonth", "99", "RTC month - range error (1 - 12)."},
        {"Rtcmonth", "0", "RTC month - range error (1 - 12)."},
        {"Rtcmonth", "12", ""},
        {"Rtchour", "77", "RTC hour - range error (0 - 23)."},
        {"Rtchour", "-1", "RTC hour - range error (0 - 23)."},
        {"Rtchour", "0", ""},
        {"Rtcday", "32", "RTC day - range error (1 - 31)."},
        {"Rtcday", "1", ""},
        {"Rtcmin", "60", "RTC minute - range error (0 - 59)."},
        {"Rtcmin", "59", ""},
        {"Rtcyear", "-1", "RTC year - range error (0 - 65535)."},
        {"Rtcyear", "9999", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.control) + "=" + c.text);
        ControlStore store = test::startup_store(registry);
        store.set_checked("Uploadpctime", false);
        store.set_text(c.control, c.text);
        Image image{};
        RecordingFeedback feedback;
        EXPECT_EQ(encode_settings(registry, store, image, feedback, false, later), *c.message == 0);
        EXPECT_EQ(feedback.boxes(), *c.message == 0 ? std::vector<std::string>{}
                                                    : std::vector<std::string>{std::string("info: ") + c.message});
    }
    // The PC's time is always in range, whatever the edits held.
    ControlStore store = test::startup_store(registry);
    store.set_text("Rtcmonth", "99");
    Image image{};
    RecordingFeedback feedback;
    ASSERT_TRUE(encode_settings(registry, store, image, feedback, false, later));
    EXPECT_EQ(bytes(image, 650, 655), (std::vector<std::uint8_t>{0xEB, 0x07, 12, 31, 23, 59}));
}

TEST(TimePage, ReadingAFileSettlesTheClockOption) {
    const Registry& registry = Registry::instance();
    ControlStore store = test::startup_store(registry);
    SettingsFile file;
    file.parse("[!WARNING]\nApplication=Zyvora Plus 2.0 Configurator\nVersion=v1.13\n[RTC]\nUploadpctime=0\nNtp_enable=0\n");
    read(registry, store, file);
    registry.settle(store);
    EXPECT_FALSE(store.checked("Uploadpctime"));
    EXPECT_FALSE(store.checked("Ntp_enable"));
    EXPECT_EQ(store.text("Ntp_servername"), "pool.ntp.org");  // missing key
    for (const char* name : kDateTime) EXPECT_TRUE(store.enabled(store.require(name))) << name;
    EXPECT_EQ(store.text("Rtcyear"), "2026");  // the file does not hold the date and time
}

TEST(TimePage, DecodeLeavesTheDateAndTimeAlone) {
    const Registry& registry = Registry::instance();
    ControlStore store = test::startup_store(registry);
    Image image{};
    ASSERT_TRUE(encode(registry, store, image, {false, 0}).empty());
    image[600] = 7;  // any non-zero byte enables NTP
    image[650] = 0x10;
    image[655] = 42;

    ControlStore decoded = test::startup_store(registry);
    decoded.set_text("Rtcmin", "33");
    decoded.set_checked("Ntp_enable", false);
    decoded.set_checked("Uploadpctime", false);
    ASSERT_FALSE(decode(registry, decoded, image).has_value());
    EXPECT_TRUE(decoded.checked("Ntp_enable"));
    EXPECT_FALSE(decoded.checked("Uploadpctime"));
    EXPECT_EQ(decoded.text("Rtcyear"), "2026");
    EXPECT_EQ(decoded.text("Rtcmin"), "33");
}

}  // namespace
}  // namespace zyvora
