// The radio and digipeater-common area: the first bytes a "Write config" stores and the first
// checks it can fail on.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "../support/expected_defaults.h"
#include "passes.h"
#include "registry.h"

namespace zyvora {
namespace {

const std::string kLatitudeMessage = "Our latitude - syntax error (e.g. 5221.60N, format: DDMM.MM).";
const std::string kLongitudeLengthMessage = "Our longitude - syntax error (e.g. 01653.63E, format DDDMM.MM).";
const std::string kLongitudeSyntaxMessage = "Our longitude - syntax error (e.g. 01653.63E, format: DDDMM.MM).";
const std::string kSsidMessage = "Callsign - SSID range error (0 - 15).";

class RadioArea : public ::testing::Test {
protected:
    RadioArea() : registry_(Registry::instance()), store_(test::startup_store(registry_)) {}

    std::vector<Failure> encode_now(bool all = false) {
        EncodeOptions options;
        options.all = all;
        options.nonce = 0;
        return encode(registry_, store_, image_, options);
    }
    std::string bytes(std::size_t offset, std::size_t count) const {
        return std::string(reinterpret_cast<const char*>(image_.data()) + offset, count);
    }

    const Registry& registry_;
    ControlStore store_;
    Image image_{};
};

TEST_F(RadioArea, DefaultsFillBytes14To55) {
    ASSERT_TRUE(encode_now().empty());
    const std::vector<std::uint8_t> radio(image_.begin() + 14, image_.begin() + 56);
    EXPECT_EQ(radio, std::vector<std::uint8_t>(test::kDefaultRadioBytes.begin(), test::kDefaultRadioBytes.end()));
}

TEST_F(RadioArea, ChecksAtTheirBoundaries) {
    struct Case {
        const char* control;
        const char* text;
        std::string message;  // empty: passes and stores `stored` at `offset`
        std::size_t offset;
        std::string stored;
    };
    using namespace std::string_literals;
    const Case cases[] = {
        {"Callsign", "", "Callsign - too short (e.g. NOCALL-4).", 0, ""},
        {"Callsign", "a", "", 14, "A     0\0"s},
        {"Callsign", "test", "", 14, "TEST  0\0"s},
        {"Callsign", "nocall-4", "", 14, "NOCALL0\0"s},
        {"Ssid", "15", "", 20, "?\0"s},
        {"Ssid", "$A", "", 20, ":\0"s},
        {"Ssid", "16", kSsidMessage, 0, ""},
        {"Ssid", "-1", kSsidMessage, 0, ""},
        {"Txdelay", "199", "TX delay - range error (200 - 1000).", 0, ""},
        {"Txdelay", "200", "", 24, "\xC8\x00"s},
        {"Txdelay", "1000", "", 24, "\xE8\x03"s},
        {"Txdelay", "1001", "TX delay - range error (200 - 1000).", 0, ""},
        {"Txdelay", "65736", "TX delay - range error (200 - 1000).", 0, ""},  // 200 once narrowed
        {"Quiettime", "199", "Quiet time - range error (200 - 3000).", 0, ""},
        {"Quiettime", "200", "", 26, "\xC8\x00"s},
        {"Quiettime", "3000", "", 26, "\xB8\x0B"s},
        {"Quiettime", "3001", "Quiet time - range error (200 - 3000).", 0, ""},
        {"Floodtimeout", "14", "Duplicate checking - range error (15 - 180).", 0, ""},
        {"Floodtimeout", "15", "", 30, "\x0F"s},
        {"Floodtimeout", "180", "", 30, "\xB4"s},
        {"Floodtimeout", "181", "Duplicate checking - range error (15 - 180).", 0, ""},
        {"Floodtimeout", "271", "Duplicate checking - range error (15 - 180).", 0, ""},  // 15 once narrowed
        {"Floodtimeout", "300", "Duplicate checking - range error (15 - 180).", 0, ""},
        {"Latitude", "5223.08n", kLatitudeMessage, 0, ""},
        {"Latitude", "9000.00N", kLatitudeMessage, 0, ""},
        {"Latitude", "5260.00N", kLatitudeMessage, 0, ""},
        {"Latitude", "5223.8N", kLatitudeMessage, 0, ""},
        {"Latitude", "8959.99N", "", 31, "8959.99N\0"s},
        {"Latitude", "0000.00S", "", 31, "0000.00S\0"s},
        {"Longitude", "1658.14E", kLongitudeLengthMessage, 0, ""},
        {"Longitude", "016580.14E", kLongitudeLengthMessage, 0, ""},
        {"Longitude", "01658.14e", kLongitudeSyntaxMessage, 0, ""},
        {"Longitude", "18000.00E", kLongitudeSyntaxMessage, 0, ""},
        {"Longitude", "17959.99W", "", 40, "17959.99W\0"s},
    };
    for (const auto& c : cases) {
        store_ = test::startup_store(registry_);
        store_.set_text(c.control, c.text);
        const auto failures = encode_now();
        if (!c.message.empty()) {
            ASSERT_EQ(failures.size(), 1u) << c.control << " = " << c.text;
            EXPECT_EQ(failures[0].control, c.control);
            EXPECT_EQ(failures[0].message, c.message) << c.control << " = " << c.text;
            EXPECT_FALSE(failures[0].conversion);
            continue;
        }
        EXPECT_TRUE(failures.empty()) << c.control << " = " << c.text << ": " << failures[0].message;
        EXPECT_EQ(bytes(c.offset, c.stored.size()), c.stored) << c.control << " = " << c.text;
        EXPECT_EQ(store_.text(c.control), c.text);  // the control keeps what was typed
    }
}

TEST_F(RadioArea, NumberThatIsNoNumberFailsWithTheParsersError) {
    for (const char* control : {"Ssid", "Txdelay", "Quiettime", "Floodtimeout"}) {
        for (const char* text : {"", "abc", "1.5"}) {
            store_ = test::startup_store(registry_);
            store_.set_text(control, text);
            const auto failures = encode_now();
            ASSERT_EQ(failures.size(), 1u) << control;
            EXPECT_EQ(failures[0].message, "'" + std::string(text) + "' is not a valid integer value");
            EXPECT_TRUE(failures[0].conversion);
        }
    }
}

TEST_F(RadioArea, ChoiceWithoutSelectionFails) {
    const std::pair<const char*, const char*> cases[] = {
        {"Baudrate", "Baudrate - no item selected."},
        {"Quiettime_randomize", "Randomize quiet time - no item selected."},
        {"Ptt", "PTT - no item selected."},
        {"Squelch", "Squelch level - no item selected."},
        {"Busydetect", "Channel busy detect - no item selected."},
        {"Consecutive_packets", "Consecutive packets send - no item selected."},
        {"Output_level", "Output level - no item selected."},
        {"Input_amplifier", "Input amplifier - no item selected."},
        {"Digion", "Digipeater on - no item selected."},
    };
    for (const auto& [control, message] : cases) {
        store_ = test::startup_store(registry_);
        store_.set_index(control, -1);
        const auto failures = encode_now();
        ASSERT_EQ(failures.size(), 1u) << control;
        EXPECT_EQ(failures[0].message, message);
    }
}

TEST_F(RadioArea, AllCollectsEveryFailureInPassOrder) {
    store_.set_text("Floodtimeout", "14");
    store_.set_text("Longitude", "1658.14E");
    store_.set_index("Squelch", -1);
    store_.set_text("Txdelay", "1001");
    store_.set_text("Ssid", "");
    store_.set_text("Callsign", "");

    const auto first = encode_now();
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].message, "Callsign - too short (e.g. NOCALL-4).");

    const auto all = encode_now(true);
    std::vector<std::string> messages;
    std::vector<bool> conversions;
    for (const auto& f : all) {
        messages.push_back(f.message);
        conversions.push_back(f.conversion);
    }
    EXPECT_EQ(messages, (std::vector<std::string>{
                            "Callsign - too short (e.g. NOCALL-4).",
                            "'' is not a valid integer value",
                            "TX delay - range error (200 - 1000).",
                            "Squelch level - no item selected.",
                            kLongitudeLengthMessage,
                            "Duplicate checking - range error (15 - 180).",
                        }));
    EXPECT_EQ(conversions, (std::vector<bool>{false, true, false, false, false, false}));
    // A partial image is never framed, so it cannot pass for a complete one.
    EXPECT_FALSE(verify(image_));
}

TEST_F(RadioArea, DecodeRestoresEveryControl) {
    const std::pair<const char*, const char*> texts[] = {
        {"Callsign", "SP5XYZ"}, {"Ssid", "15"},           {"Txdelay", "1000"},      {"Quiettime", "3000"},
        {"Latitude", "0000.00S"}, {"Longitude", "17959.99W"}, {"Floodtimeout", "180"},
    };
    const std::pair<const char*, int> indexes[] = {
        {"Baudrate", 1}, {"Quiettime_randomize", 4}, {"Ptt", 1},          {"Squelch", 9},
        {"Busydetect", 1}, {"Consecutive_packets", 1}, {"Output_level", 27}, {"Input_amplifier", 8},
        {"Digion", 0},
    };
    for (const auto& [name, text] : texts) store_.set_text(name, text);
    for (const auto& [name, index] : indexes) store_.set_index(name, index);
    ASSERT_TRUE(encode_now().empty());

    ControlStore decoded = test::startup_store(registry_);
    ASSERT_EQ(decode(registry_, decoded, image_), std::nullopt);
    for (const auto& [name, text] : texts) EXPECT_EQ(decoded.text(name), text) << name;
    for (const auto& [name, index] : indexes) EXPECT_EQ(decoded.index(name), index) << name;
}

TEST_F(RadioArea, DecodeTakesStoredBytesAsTheyAre) {
    ASSERT_TRUE(encode_now().empty());
    std::memcpy(image_.data() + 14, "AB12  ", 6);
    image_[20] = 0;    // SSID character below '0'
    image_[22] = 2;    // one past the last Baudrate item
    image_[30] = 255;  // beyond the Floodtimeout range
    image_[54] = 27;   // the last Output_level item
    image_[55] = 9;    // one past the last Input_amplifier item

    ASSERT_EQ(decode(registry_, store_, image_), std::nullopt);
    EXPECT_EQ(store_.text("Callsign"), "AB12  ");
    EXPECT_EQ(store_.text("Ssid"), "208");
    EXPECT_EQ(store_.index("Baudrate"), -1);
    EXPECT_EQ(store_.text("Floodtimeout"), "255");
    EXPECT_EQ(store_.index("Output_level"), 27);
    EXPECT_EQ(store_.index("Input_amplifier"), -1);

    // The padded call sign encodes back to the same six bytes.
    store_.set_text("Ssid", "3");
    store_.set_text("Floodtimeout", "60");
    store_.set_index("Baudrate", 0);
    store_.set_index("Input_amplifier", 0);
    ASSERT_TRUE(encode_now().empty());
    EXPECT_EQ(bytes(14, 8), std::string("AB12  3\0", 8));

    // A NUL ends the stored call sign early.
    std::memcpy(image_.data() + 14, "AB\0CDE", 6);
    ASSERT_EQ(decode(registry_, store_, image_), std::nullopt);
    EXPECT_EQ(store_.text("Callsign"), "AB");
}

TEST_F(RadioArea, LongCallsignStaysInsideItsSixBytes) {
    store_.set_text("Callsign", "abcdefghi");
    store_.set_text("Ssid", "7");
    ASSERT_TRUE(encode_now().empty());
    EXPECT_EQ(bytes(13, 10), std::string("\0ABCDEF7\0\0", 10));
    EXPECT_EQ(store_.text("Callsign"), "abcdefghi");
}

}  // namespace
}  // namespace zyvora
