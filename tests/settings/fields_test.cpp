// Every field kind once, through a small area of its own so that each kind's rule shows alone.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "intparse.h"
#include "passes.h"
#include "registry.h"

namespace zyvora {
namespace {

Area field_kinds_area() {
    AreaBuilder a("kinds");
    a.section("Kinds");
    a.choice("Mode", {"Off", "On", "Auto"}, 1).caption("Operating mode:").index8(100);
    a.choice("Band", {"2m", "70cm"}, 0).caption("Band:").no_selection("Band - pick one.").index8(101);
    a.check("Enabled", true).caption("Enabled").index8(102);
    a.edit("Count", 3, "5").number(103, 1);
    a.edit("Wide", 5, "1").number(104, 2);
    a.edit("Port", 5, "8080").number(106, 2, 1024, 65535, "Port - range error (1024 - 65535).");
    a.edit("Interval", 4, "0").number(108, 2, 10, 600, "Interval - range error (10 - 600).").allow_zero();
    a.edit("Timeout", 3, "30").number(110, 1, 1, 99, "Timeout - range error (1 - 99).");
    a.edit("Comment", 10, "").text(120, 6);
    a.edit("Name", 10, "").text(130, 6).upper().printable("Name - forbidden character.");
    a.edit("Lat", 8, "0000.00N").packed_latitude(140, "Lat - length error.", "Lat - syntax error.");
    a.edit("Lon", 9, "00000.00W").packed_longitude(144, "Lon - length error.", "Lon - syntax error.");
    a.edit("Path_call", 6, "").call_text(150);
    a.edit("Path_ssid", 2, "0").call_ssid(156, "Path - SSID range error (0 - 15).").companion("Path_call");
    a.edit("Filter_call", 6, "").call_text(160);
    a.edit("Filter_ssid", 2, "0").call_ssid(166, "Filter - SSID range error (0 - 15, *).").wildcard();
    // Three settings sharing byte 170.
    a.check("Low_bit", false).flag_bits(170, 0, 1);
    a.choice("Speed", {"slow", "medium", "fast"}, 0).caption("Speed:").flag_bits(170, 1, 2);
    a.check("High_bit", false).flag_bits(170, 7, 1);
    return a.take();
}

class FieldKinds : public ::testing::Test {
protected:
    FieldKinds() : registry_({field_kinds_area()}), store_(registry_.make_store()) {
        image_.fill(0xAA);
    }

    // Encodes one control's text (or index, or check) into image_.
    std::optional<std::string> encode_one(const std::string& name) {
        const int id = store_.require(name);
        return encode_field(registry_.settings()[id], store_, id, image_);
    }
    void decode_one(const std::string& name) {
        const int id = store_.require(name);
        decode_field(registry_.settings()[id], store_, id, image_);
    }
    std::string bytes(std::size_t offset, std::size_t count) const {
        return std::string(reinterpret_cast<const char*>(image_.data()) + offset, count);
    }

    Registry registry_;
    ControlStore store_;
    Image image_;
};

TEST_F(FieldKinds, ChoiceAndCheckBoxAsIndexByte) {
    store_.set_index("Mode", 2);
    EXPECT_EQ(encode_one("Mode"), std::nullopt);
    EXPECT_EQ(image_[100], 2);

    store_.set_checked("Enabled", false);
    EXPECT_EQ(encode_one("Enabled"), std::nullopt);
    EXPECT_EQ(image_[102], 0);
    store_.set_checked("Enabled", true);
    EXPECT_EQ(encode_one("Enabled"), std::nullopt);
    EXPECT_EQ(image_[102], 1);

    // No selection must never reach the device as 0xFF.
    image_.fill(0xAA);
    store_.set_index("Mode", 3);
    EXPECT_EQ(store_.index("Mode"), -1);
    EXPECT_EQ(encode_one("Mode"), "Operating mode - no item selected.");
    store_.set_index("Band", -1);
    EXPECT_EQ(encode_one("Band"), "Band - pick one.");
    EXPECT_EQ(bytes(100, 2), "\xAA\xAA");

    image_[100] = 1;
    decode_one("Mode");
    EXPECT_EQ(store_.index("Mode"), 1);
    image_[100] = 3;
    decode_one("Mode");
    EXPECT_EQ(store_.index("Mode"), -1);
    image_[102] = 7;
    store_.set_checked("Enabled", false);
    decode_one("Enabled");
    EXPECT_TRUE(store_.checked("Enabled"));
}

TEST_F(FieldKinds, NumberChecksBeforeNarrowing) {
    struct Case {
        const char* control;
        const char* text;
        const char* message;  // nullptr: stored
        std::string stored;   // little-endian bytes at the field
    };
    using namespace std::string_literals;
    const Case cases[] = {
        // Without a range the number is simply narrowed to the field.
        {"Count", "300", nullptr, "\x2C"s},
        {"Count", "-1", nullptr, "\xFF"s},
        {"Wide", "70000", nullptr, "\x70\x11"s},
        {"Wide", "$1F", nullptr, "\x1F\x00"s},
        {"Port", "1023", "Port - range error (1024 - 65535).", "\xAA\xAA"s},
        {"Port", "1024", nullptr, "\x00\x04"s},
        {"Port", "65535", nullptr, "\xFF\xFF"s},
        {"Port", "66560", "Port - range error (1024 - 65535).", "\xAA\xAA"s},  // 1024 once narrowed
        {"Port", "0", "Port - range error (1024 - 65535).", "\xAA\xAA"s},
        {"Interval", "0", nullptr, "\x00\x00"s},
        {"Interval", "9", "Interval - range error (10 - 600).", "\xAA\xAA"s},
        {"Interval", "10", nullptr, "\x0A\x00"s},
        {"Interval", "600", nullptr, "\x58\x02"s},
        {"Interval", "601", "Interval - range error (10 - 600).", "\xAA\xAA"s},
        // Without allow_zero, 0 is checked like any other number.
        {"Timeout", "0", "Timeout - range error (1 - 99).", "\xAA"s},
        {"Timeout", "1", nullptr, "\x01"s},
        {"Timeout", "99", nullptr, "\x63"s},
        {"Timeout", "100", "Timeout - range error (1 - 99).", "\xAA"s},
    };
    for (const auto& c : cases) {
        image_.fill(0xAA);
        store_.set_text(c.control, c.text);
        const auto message = encode_one(c.control);
        EXPECT_EQ(message, c.message ? std::optional<std::string>(c.message) : std::nullopt)
            << c.control << " = " << c.text;
        const std::size_t offset = registry_.settings()[store_.require(c.control)].field.offset;
        EXPECT_EQ(bytes(offset, c.stored.size()), c.stored) << c.control << " = " << c.text;
    }

    // A text that is no number is the parser's error, ranged field or not, and writes nothing.
    const struct {
        const char* control;
        const char* text;
        const char* error;
    } not_numbers[] = {
        {"Port", "12x", "'12x' is not a valid integer value"},
        {"Timeout", "abc", "'abc' is not a valid integer value"},
        {"Timeout", "", "'' is not a valid integer value"},
        {"Count", "5 ", "'5 ' is not a valid integer value"},
    };
    for (const auto& c : not_numbers) {
        image_.fill(0xAA);
        store_.set_text(c.control, c.text);
        try {
            encode_one(c.control);
            ADD_FAILURE() << "no conversion error for " << c.control << " = " << c.text;
        } catch (const ConversionError& e) {
            EXPECT_STREQ(e.what(), c.error);
        }
        const std::size_t offset = registry_.settings()[store_.require(c.control)].field.offset;
        EXPECT_EQ(bytes(offset, 1), "\xAA") << c.control << " = " << c.text;
    }

    image_[103] = 0xFF;
    image_[104] = 0xFF;
    image_[105] = 0xFF;
    decode_one("Count");
    decode_one("Wide");
    EXPECT_EQ(store_.text("Count"), "255");
    EXPECT_EQ(store_.text("Wide"), "65535");
}

TEST_F(FieldKinds, TextIsCutToItsFieldAndTouchesNothingElse) {
    store_.set_text("Comment", "abcdefgh");
    EXPECT_EQ(encode_one("Comment"), std::nullopt);
    EXPECT_EQ(bytes(119, 8), std::string("\xAA" "abcde\0" "\xAA", 8));

    image_.fill(0xAA);
    store_.set_text("Comment", "ab");
    EXPECT_EQ(encode_one("Comment"), std::nullopt);
    EXPECT_EQ(bytes(119, 8), std::string("\xAA" "ab\0\xAA\xAA\xAA\xAA\xAA", 8));

    // Bytes are stored as they are, with no character conversion.
    store_.set_text("Comment", "caf\xE9");
    EXPECT_EQ(encode_one("Comment"), std::nullopt);
    EXPECT_EQ(bytes(120, 5), std::string("caf\xE9\0", 5));
    decode_one("Comment");
    EXPECT_EQ(store_.text("Comment"), "caf\xE9");

    // A field without a NUL decodes as its whole capacity.
    std::memcpy(image_.data() + 120, "ABCDEF", 6);
    decode_one("Comment");
    EXPECT_EQ(store_.text("Comment"), "ABCDEF");

    store_.set_text("Name", "sp5x-1");
    EXPECT_EQ(encode_one("Name"), std::nullopt);
    EXPECT_EQ(bytes(130, 7), std::string("SP5X-\0\xAA", 7));
    for (const char* bad : {"caf\xE9", "a\x7F", "tab\t", "\x1F"}) {
        image_.fill(0xAA);
        store_.set_text("Name", bad);
        EXPECT_EQ(encode_one("Name"), "Name - forbidden character.") << bad;
        EXPECT_EQ(bytes(130, 6), std::string(6, '\xAA'));
    }
    store_.set_text("Name", " ~");
    EXPECT_EQ(encode_one("Name"), std::nullopt);
}

TEST_F(FieldKinds, PackedCoordinates) {
    struct Case {
        const char* control;
        const char* text;
        const char* message;
        std::int32_t packed;
    };
    const Case cases[] = {
        {"Lat", "5223.08S", nullptr, -522308},
        {"Lat", "8959.99N", nullptr, 895999},
        {"Lat", "5223.8S", "Lat - length error.", 0},
        {"Lat", "52230.08S", "Lat - length error.", 0},
        {"Lat", "9000.00N", "Lat - syntax error.", 0},
        {"Lat", "5260.00N", "Lat - syntax error.", 0},
        {"Lon", "01658.14E", nullptr, -165814},
        {"Lon", "17959.99W", nullptr, 1795999},
        {"Lon", "1658.14E", "Lon - length error.", 0},
        {"Lon", "18000.00W", "Lon - syntax error.", 0},
    };
    for (const auto& c : cases) {
        image_.fill(0xAA);
        store_.set_text(c.control, c.text);
        const std::size_t offset = std::string_view(c.control) == "Lat" ? 140 : 144;
        const auto message = encode_one(c.control);
        if (c.message) {
            EXPECT_EQ(message, c.message) << c.text;
            EXPECT_EQ(bytes(offset, 4), std::string(4, '\xAA')) << c.text;
            continue;
        }
        EXPECT_EQ(message, std::nullopt) << c.text;
        EXPECT_EQ(get_i32(image_, offset), c.packed) << c.text;
        store_.set_text(c.control, "");
        decode_one(c.control);
        EXPECT_EQ(store_.text(c.control), c.text);
    }

    put_i32(image_, 140, INT32_MIN);
    decode_one("Lat");
    EXPECT_EQ(store_.text("Lat"), "21474836.48S");
}

TEST_F(FieldKinds, CallsignFieldWithCompanionAndWildcard) {
    struct Case {
        const char* call_control;
        const char* call;
        const char* ssid;
        const char* message;
        const char* field;  // seven bytes when stored
    };
    const Case cases[] = {
        {"Path_call", "wide2", "2", nullptr, "WIDE2 2"},
        {"Path_call", "wide2", "16", "Path - SSID range error (0 - 15).", nullptr},
        {"Path_call", "wide2", "*", "Path - SSID range error (0 - 15).", nullptr},
        // An empty call sign skips its SSID: whatever the SSID edit holds, '0' is stored.
        {"Path_call", "", "junk", nullptr, "      0"},
        {"Filter_call", "sp5x", "*", nullptr, "SP5X  *"},
        {"Filter_call", "sp5x", "15", nullptr, "SP5X  ?"},
        {"Filter_call", "sp5x", "-1", "Filter - SSID range error (0 - 15, *).", nullptr},
        {"Filter_call", "sp5x", "", "Filter - SSID range error (0 - 15, *).", nullptr},
    };
    for (const auto& c : cases) {
        image_.fill(0xAA);
        const std::string call_control = c.call_control;
        const std::string ssid_control = call_control.substr(0, call_control.find('_')) + "_ssid";
        const std::size_t offset = call_control == "Path_call" ? 150 : 160;
        store_.set_text(call_control, c.call);
        store_.set_text(ssid_control, c.ssid);
        EXPECT_EQ(encode_one(call_control), std::nullopt);
        const auto message = encode_one(ssid_control);
        if (c.message) {
            EXPECT_EQ(message, c.message) << c.call << '-' << c.ssid;
            EXPECT_EQ(image_[offset + 6], 0xAA);
            continue;
        }
        EXPECT_EQ(message, std::nullopt) << c.call << '-' << c.ssid;
        EXPECT_EQ(bytes(offset, 7), c.field);
    }

    std::memcpy(image_.data() + 160, "SP5X  *", 7);
    decode_one("Filter_call");
    decode_one("Filter_ssid");
    EXPECT_EQ(store_.text("Filter_call"), "SP5X");
    EXPECT_EQ(store_.text("Filter_ssid"), "*");
    // Only a field that allows the wildcard shows it as such.
    std::memcpy(image_.data() + 150, "WIDE  *", 7);
    decode_one("Path_ssid");
    EXPECT_EQ(store_.text("Path_ssid"), "-6");  // '*' - '0', the byte read as signed
}

TEST_F(FieldKinds, FlagBitsShareOneByte) {
    image_[170] = 0x10;  // a bit owned by another setting
    store_.set_checked("Low_bit", true);
    store_.set_index("Speed", 2);
    store_.set_checked("High_bit", true);
    for (const char* name : {"Low_bit", "Speed", "High_bit"}) EXPECT_EQ(encode_one(name), std::nullopt) << name;
    EXPECT_EQ(image_[170], 0x95);

    image_[170] = 0x02;
    decode_one("Low_bit");
    decode_one("Speed");
    decode_one("High_bit");
    EXPECT_FALSE(store_.checked("Low_bit"));
    EXPECT_EQ(store_.index("Speed"), 1);
    EXPECT_FALSE(store_.checked("High_bit"));

    // Two bits can hold 3, one past the last item.
    image_[170] = 0x06;
    decode_one("Speed");
    EXPECT_EQ(store_.index("Speed"), -1);
    image_[170] = 0;
    EXPECT_EQ(encode_one("Speed"), "Speed - no item selected.");
    EXPECT_EQ(image_[170], 0);
}

// An option of one field kind refuses a row of another kind, or a row without the range it widens,
// so a misdeclared table fails when it is built instead of being ignored by the passes.
TEST(FieldOptions, EachOptionRefusesOtherKinds) {
    struct Case {
        const char* what;
        std::function<void(SettingBuilder&)> declare;
        bool accepted;
    };
    const Case cases[] = {
        {"allow_zero on a ranged number", [](SettingBuilder& b) { b.number(10, 2, 5, 9, "m").allow_zero(); }, true},
        {"allow_zero without a range", [](SettingBuilder& b) { b.number(10, 2).allow_zero(); }, false},
        {"allow_zero on text", [](SettingBuilder& b) { b.text(10, 4).allow_zero(); }, false},
        {"skip_empty on a number", [](SettingBuilder& b) { b.number(10, 2).skip_empty(); }, true},
        {"skip_empty on a call SSID", [](SettingBuilder& b) { b.call_ssid(10, "m").skip_empty(); }, false},
        {"upper on text", [](SettingBuilder& b) { b.text(10, 4).upper(); }, true},
        {"upper on a call", [](SettingBuilder& b) { b.call_text(10).upper(); }, false},
        {"printable on text", [](SettingBuilder& b) { b.text(10, 4).printable("m"); }, true},
        {"printable on a character", [](SettingBuilder& b) { b.character(10).printable("m"); }, false},
        {"companion on a call SSID", [](SettingBuilder& b) { b.call_ssid(10, "m").companion("C"); }, true},
        {"companion on a station SSID", [](SettingBuilder& b) { b.station_ssid(10, "m").companion("C"); }, false},
        {"wildcard on a call SSID", [](SettingBuilder& b) { b.call_ssid(10, "m").wildcard(); }, true},
        {"wildcard on a number", [](SettingBuilder& b) { b.number(10, 1).wildcard(); }, false},
        {"from_top on an index", [](SettingBuilder& b) { b.index8(10).from_top(); }, true},
        {"from_top on flag bits", [](SettingBuilder& b) { b.flag_bits(10, 0, 2).from_top(); }, false},
        {"encode_only on a number", [](SettingBuilder& b) { b.number(10, 2).encode_only(); }, true},
        {"encode_only outside the image", [](SettingBuilder& b) { b.encode_only(); }, false},
        {"an option before its kind", [](SettingBuilder& b) { b.wildcard().call_ssid(10, "m"); }, false},
    };
    for (const auto& c : cases) {
        AreaBuilder a("options");
        SettingBuilder b = a.edit("Row", 4, "");
        if (c.accepted) {
            EXPECT_NO_THROW(c.declare(b)) << c.what;
        } else {
            EXPECT_THROW(c.declare(b), std::logic_error) << c.what;
        }
    }
}

// Both passes take the areas in their order and each area's rows as declared; the save pass
// moves only the rows that say where the file holds them. A row added anywhere is in both.
TEST(PassOrder, AreasAndRowsFollowTheirPassOrders) {
    AreaBuilder first("first");
    first.section("First");
    first.edit("A2", 4, "x").number(101, 1).key("A2", KeyKind::Text).saved_after("A3");
    first.edit("A1", 4, "x").number(100, 1).key("A1", KeyKind::Text);
    first.edit("A3", 4, "x").number(104, 1).key("A3", KeyKind::Text);
    first.check("A4", true).key("A4", KeyKind::Boolean);  // in the file only
    AreaBuilder second("second");
    second.section("Second");
    second.edit("B1", 4, "x").number(102, 1).key("B1", KeyKind::Text);
    second.edit("B2", 4, "x").number(103, 1);  // in the image only
    std::vector<Area> areas;
    areas.push_back(first.take());
    areas.push_back(second.take());
    const Registry registry(std::move(areas));

    const ControlStore store = registry.make_store();
    Image image;
    EncodeOptions options;
    options.all = true;
    const auto failures = encode(registry, store, image, options);
    std::string order;
    for (const auto& f : failures) {
        EXPECT_TRUE(f.conversion);
        EXPECT_EQ(f.message, "'x' is not a valid integer value");
        order += f.control + ' ';
    }
    EXPECT_EQ(order, "A2 A1 A3 B1 B2 ");

    options.all = false;
    ASSERT_EQ(encode(registry, store, image, options).size(), 1u);

    struct Recorder : KeyWriter {
        void write_string(const std::string& s, const std::string& k, const std::string&) override { keys += s + '.' + k + ' '; }
        void write_integer(const std::string&, const std::string&, std::int32_t) override {}
        void write_bool(const std::string& s, const std::string& k, bool) override { keys += s + '.' + k + ' '; }
        std::string keys;
    } recorder;
    save(registry, store, recorder);
    EXPECT_EQ(recorder.keys, "First.A1 First.A3 First.A2 First.A4 Second.B1 ");
}

}  // namespace
}  // namespace zyvora
