// The area tables prove their own layout: every field in bytes of its own, every row placed by
// the save order, every key once per section. Small hand-made tables show each fault the check names.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "group_names.h"
#include "image.h"
#include "page_tree.h"
#include "passes.h"
#include "registry.h"
#include "table_check.h"
#include "telemetry.h"

namespace zyvora {
namespace {

using Problems = std::vector<std::string>;
using Tables = std::vector<Area>;

Problems problems_of(const Tables& t) { return layout_problems(t); }

TEST(Tables, TheProductsTablesHaveNoLayoutProblem) { EXPECT_EQ(problems_of(product_tables()), Problems{}); }

// The window and the CLI's messages say where each setting is shown.
TEST(Tables, EveryProductRowIsOnAPage) {
    for (const Area& area : product_tables()) {
        for (const Setting& s : area.settings) EXPECT_FALSE(page_path(s.control.page).empty()) << s.control.name;
    }
}

// The window lays out the repeated groups by these counts and names: every member up to the
// count is declared under them, and no member after it.
TEST(Tables, GroupCountsAndNamesMatchTheDeclaredControls) {
    struct Group {
        const char* what;
        int count;
        std::function<std::vector<std::string>(int)> names;
    };
    const std::vector<Group> groups = {
        {"path rule", kPathRules,
         [](int k) { return std::vector<std::string>{path_rule_prefix(k) + "name", path_rule_prefix(k) + "active"}; }},
        {"callsign entry", kCallEntries,
         [](int k) {
             return std::vector<std::string>{call_entry_control("callsign", k), call_entry_control("ssid", k)};
         }},
        {"beacon", kBeacons,
         [](int k) { return std::vector<std::string>{beacon_prefix(k) + "dest_string", beacon_prefix(k) + "msg"}; }},
        {"filter row", kFilterRows,
         [](int k) {
             return std::vector<std::string>{filter_row_control("callsign", k), filter_row_control("ssid", k),
                                             filter_row_control("type", k)};
         }},
        {"analog channel", kAnalogChannels,
         [](int k) { return std::vector<std::string>{analog_prefix(k) + "source", analog_prefix(k) + "average"}; }},
        {"digital channel", kDigitalChannels,
         [](int k) { return std::vector<std::string>{digital_prefix(k) + "source", digital_prefix(k) + "inverted"}; }},
    };
    const ControlStore store = Registry::instance().make_store();
    for (const Group& g : groups) {
        for (int k = 1; k <= g.count + 1; ++k) {
            for (const std::string& name : g.names(k)) {
                if (k <= g.count) {
                    EXPECT_GE(store.id(name), 0) << g.what << " " << k << ": " << name;
                } else {
                    EXPECT_EQ(store.id(name), -1) << g.what << " past the last: " << name;
                }
            }
        }
    }
    EXPECT_EQ(path_rule_prefix(3), "Pathn3_");
    EXPECT_EQ(call_entry_control("ssid", 12), "Callfilter_ssid12");
    EXPECT_EQ(beacon_prefix(7), "Beacon7_");
    EXPECT_EQ(filter_row_control("type", 9), "Packet2rf_filter_type09");
    EXPECT_EQ(filter_row_control("callsign", 10), "Packet2rf_filter_callsign10");
}

// Two small areas laid out soundly: flag bits sharing a byte, a row saved after the row that
// follows it, a row in the file only, a row in the image only and never read back.
Tables sound_tables() {
    AreaBuilder radio("radio");
    radio.section("Radio");
    radio.edit("Ssid", 2, "0").call_ssid(20, "SSID range error.").key("SSID", KeyKind::Text).saved_after("Call");
    radio.edit("Call", 6, "NOCALL").call_text(14).key("Call", KeyKind::Text);
    radio.check("Low", false).flag_bits(21, 0, 1).key("Low", KeyKind::Check);
    radio.choice("Speed", {"slow", "medium", "fast"}, 0).flag_bits(21, 1, 2).key("Speed", KeyKind::Index);
    radio.check("Upload", true).key("Upload", KeyKind::Boolean);
    AreaBuilder beacon("beacon");
    beacon.section("Beacon");
    beacon.edit("Text", 10, "").text(30, 11).key("Text", KeyKind::Text);
    beacon.edit("Rate", 3, "10").number(41, 2).key("Rate", KeyKind::Integer);
    beacon.edit("Year", 4, "").number(43, 2).encode_only();
    Tables tables;
    tables.push_back(radio.take());
    tables.push_back(beacon.take());
    return tables;
}

Area& area(Tables& t, const std::string& name) {
    for (Area& a : t) {
        if (a.name == name) return a;
    }
    throw std::out_of_range("no area " + name);
}

Setting& row(Tables& t, const std::string& control) {
    for (Area& a : t) {
        for (Setting& s : a.settings) {
            if (s.control.name == control) return s;
        }
    }
    throw std::out_of_range("no row " + control);
}

TEST(Tables, APageIsNamedByItsTabsAsTheWindowShowsThem) {
    EXPECT_EQ(page_caption("TabSheet_radio"), "Radio");
    EXPECT_EQ(page_caption("TabSheet_beacons14"), "Beacons / Beacons 1-4");
    EXPECT_EQ(page_caption("TForm4_rows"), "APRS-IS packets to RF filter");
    EXPECT_EQ(page_path("TabSheet_www"), (std::vector<std::string>{"Remote access", "WWW"}));
    EXPECT_EQ(page_path("TabSheet_nowhere"), std::vector<std::string>{});
    EXPECT_EQ(page_caption("TabSheet_nowhere"), "TabSheet_nowhere");
}

TEST(Tables, SoundHandMadeTablesHaveNoLayoutProblem) { EXPECT_EQ(problems_of(sound_tables()), Problems{}); }

struct Case {
    const char* fault;
    std::function<void(Tables&)> make;
    Problems problems;
};

void expect_problems(const std::vector<Case>& cases) {
    for (const auto& c : cases) {
        Tables t = sound_tables();
        c.make(t);
        EXPECT_EQ(problems_of(t), c.problems) << c.fault;
    }
}

TEST(Tables, FieldsThatShareBytesAreNamedByBothRows) {
    expect_problems({
        {"two fields overlapping",
         [](Tables& t) { row(t, "Rate").field.offset = 40; },
         {"beacon/Rate (bytes 40..41) overlaps beacon/Text (bytes 30..40)"}},
        {"a field written only by the encode pass still owns its bytes",
         [](Tables& t) { row(t, "Year").field.offset = 42; },
         {"beacon/Year (bytes 42..43) overlaps beacon/Rate (bytes 41..42)"}},
        {"two flag-bit fields sharing a bit",
         [](Tables& t) { row(t, "Speed").field.shift = 0; },
         {"radio/Speed (byte 21 bits 0..1) overlaps radio/Low (byte 21 bit 0)"}},
        {"a whole byte over the flag bits",
         [](Tables& t) { row(t, "Ssid").field.offset = 21; },
         {"radio/Low (byte 21 bit 0) overlaps radio/Ssid (byte 21)",
          "radio/Speed (byte 21 bits 1..2) overlaps radio/Ssid (byte 21)"}},
    });
}

// Each field kind, given a text that fills it, at byte 100; the check's idea of its bytes must be
// exactly what its encode writes, so a neighbour on the last written byte overlaps it and one
// on the next byte does not.
TEST(Tables, EachFieldKindOwnsExactlyTheBytesItsEncodeWrites) {
    struct Kind {
        const char* what;
        std::function<void(AreaBuilder&)> add;
        std::size_t written;  // bytes from 100 the encode changes
        const char* span;     // as the check names them
    };
    const Kind kinds[] = {
        {"index", [](AreaBuilder& a) { a.choice("F", {"a", "b", "c"}, 2).index8(100); }, 1, "byte 100"},
        {"flag bits", [](AreaBuilder& a) { a.check("F", true).flag_bits(100, 7, 1); }, 1, "byte 100 bit 7"},
        {"number of 1 byte", [](AreaBuilder& a) { a.edit("F", 3, "255").number(100, 1); }, 1, "byte 100"},
        {"number of 2 bytes", [](AreaBuilder& a) { a.edit("F", 5, "65535").number(100, 2); }, 2, "bytes 100..101"},
        {"text", [](AreaBuilder& a) { a.edit("F", 20, "abcdefghijklmnopqrst").text(100, 8); }, 8, "bytes 100..107"},
        {"fixed latitude", [](AreaBuilder& a) { a.edit("F", 8, "5223.08N").fixed_latitude(100, "L", "S"); }, 9,
         "bytes 100..108"},
        {"fixed longitude", [](AreaBuilder& a) { a.edit("F", 9, "01658.14E").fixed_longitude(100, "L", "S"); }, 10,
         "bytes 100..109"},
        {"packed latitude", [](AreaBuilder& a) { a.edit("F", 8, "8959.99N").packed_latitude(100, "L", "S"); }, 4,
         "bytes 100..103"},
        {"packed longitude", [](AreaBuilder& a) { a.edit("F", 9, "17959.99W").packed_longitude(100, "L", "S"); }, 4,
         "bytes 100..103"},
        {"station call", [](AreaBuilder& a) { a.edit("F", 6, "N0CALL").station_call(100, "M", "C"); }, 6, "bytes 100..105"},
        {"station SSID", [](AreaBuilder& a) { a.edit("F", 2, "15").station_ssid(100, "M"); }, 1, "byte 100"},
        {"call text", [](AreaBuilder& a) { a.edit("F", 6, "ab").call_text(100); }, 6, "bytes 100..105"},
        {"character", [](AreaBuilder& a) { a.edit("F", 1, "x").character(100); }, 1, "byte 100"},
        {"call SSID", [](AreaBuilder& a) { a.edit("F", 2, "15").call_ssid(100, "M"); }, 1, "byte 100"},
    };
    const auto tables = [](const Kind& kind, std::uint16_t next) {
        AreaBuilder a("t");
        kind.add(a);
        a.choice("Next", {"a", "b"}, 1).index8(next);
        Tables t;
        t.push_back(a.take());
        return t;
    };
    for (const auto& kind : kinds) {
        const auto after = static_cast<std::uint16_t>(100 + kind.written);
        Tables t = tables(kind, after);
        const Registry registry(std::move(t));
        const ControlStore store = registry.make_store();
        Image image;
        image.fill(0x55);  // no byte a kind writes here, and flag bit 7 clear
        ASSERT_EQ(encode_field(registry.settings()[0], store, 0, image), std::nullopt) << kind.what;
        std::size_t last = 0;
        for (std::size_t i = 0; i < image.size(); ++i) {
            if (image[i] != 0x55) last = i;
        }
        EXPECT_EQ(last, 100 + kind.written - 1) << kind.what;

        EXPECT_EQ(problems_of(tables(kind, after)), Problems{}) << kind.what;
        const auto on_last = static_cast<std::uint16_t>(after - 1);
        EXPECT_EQ(problems_of(tables(kind, on_last)),
                  Problems{"t/Next (byte " + std::to_string(on_last) + ") overlaps t/F (" + kind.span + ")"})
            << kind.what;
    }
}

TEST(Tables, FieldsStayInTheUsedRegionAndOffTheFrame) {
    expect_problems({
        {"a field over the checksum and the nonce",
         [](Tables& t) { row(t, "Text").field.offset = 0; },
         {"beacon/Text (bytes 0..10) lies over the checksum (bytes 0..3)",
          "beacon/Text (bytes 0..10) lies over the write nonce (bytes 4..5)",
          "beacon/Text (bytes 0..10) lies over the version tag (bytes 6..13)"}},
        {"a field over the version tag's terminator",
         [](Tables& t) { row(t, "Call").field.offset = 13; },
         {"radio/Call (bytes 13..18) lies over the version tag (bytes 6..13)"}},
        {"a field over the end marker and past the used region",
         [](Tables& t) { row(t, "Text").field.offset = 2700; },
         {"beacon/Text (bytes 2700..2710) lies over the end marker (bytes 2705..2707)",
          "beacon/Text (bytes 2700..2710) runs past the used region, which ends at byte 2707"}},
        {"a field just before the end marker",
         [](Tables& t) { row(t, "Rate").field.offset = 2703; },
         {}},
    });
}

TEST(Tables, FieldKindsTakeOnlySizesTheirCodecsWrite) {
    expect_problems({
        {"a number of three bytes",
         [](Tables& t) { row(t, "Rate").field.size = 3; },
         {"beacon/Rate: a number of 3 bytes, not 1 or 2"}},
        // A range its field cannot hold would pass numbers the device gets as others.
        {"a one-byte number checked up to 300",
         [](Tables& t) {
             Field& f = row(t, "Rate").field;
             f.size = 1;
             f.range_checked = true;
             f.lo = 1;
             f.hi = 300;
         },
         {"beacon/Rate: range 1 - 300 does not fit the field (0 - 255)"}},
        {"a number below zero", [](Tables& t) { row(t, "Rate").field.lo = -1; },
         {"beacon/Rate: range -1 - 65535 does not fit the field (0 - 65535)"}},
        {"a text with no room for its NUL",
         [](Tables& t) { row(t, "Text").field.size = 0; },
         {"beacon/Text: a text of 0 bytes, no room for its NUL"}},
        {"flag bits past the byte's top bit",
         [](Tables& t) { row(t, "Speed").field.shift = 7; },
         {"radio/Speed: 2 flag bits at bit 7 do not fit in a byte"}},
        {"an SSID whose call sign is no control",
         [](Tables& t) { row(t, "Ssid").field.companion = "Cal"; },
         {"radio/Ssid: companion Cal is no control"}},
        // Every front end names a setting's page from the page tree.
        {"a row shown on a page no tab holds",
         [](Tables& t) { row(t, "Rate").control.page = "TabSheet_beacon"; },
         {"beacon/Rate: page TabSheet_beacon is in no tab and no window"}},
        {"rows on a sub-page and in the filter window",
         [](Tables& t) {
             row(t, "Rate").control.page = "TabSheet_beacons14";
             row(t, "Text").control.page = "TForm4_rows";
         },
         {}},
    });
}

// Every row with a field is encoded once, in declaration order, by construction; what a table
// can still get wrong is a row the save order never reaches, and one key on two rows.
TEST(Tables, EveryKeyIsSavedExactlyOnce) {
    expect_problems({
        {"a row saved after a control its area does not have",
         [](Tables& t) { row(t, "Upload").saved_after = "Cal"; },
         {"radio/Upload: saved after Cal, which is no control of the area"}},
        {"a row saved after another area's control",
         [](Tables& t) { row(t, "Upload").saved_after = "Rate"; },
         {"radio/Upload: saved after Rate, which is no control of the area"}},
        {"two rows saved after each other",
         [](Tables& t) {
             row(t, "Low").saved_after = "Speed";
             row(t, "Speed").saved_after = "Low";
         },
         {"radio/Low: saved after Speed, which is never saved itself",
          "radio/Speed: saved after Low, which is never saved itself"}},
        {"a key saved twice",
         [](Tables& t) { row(t, "Upload").key->name = "Call"; },
         {"radio/Upload: key [Radio] Call collides with [Radio] Call of radio/Call"}},
    });
}

TEST(Tables, KeysCollideWithoutRegardToCase) {
    expect_problems({
        {"a key colliding case-insensitively",
         [](Tables& t) { row(t, "Speed").key->name = "LOW"; },
         {"radio/Speed: key [Radio] LOW collides with [Radio] Low of radio/Low"}},
        {"a section colliding case-insensitively",
         [](Tables& t) {
             row(t, "Text").key->section = "RADIO";
             row(t, "Text").key->name = "call";
         },
         {"beacon/Text: key [RADIO] call collides with [Radio] Call of radio/Call"}},
        {"one key name in two sections",
         [](Tables& t) { row(t, "Text").key->name = "Call"; },
         {}},
    });
}

TEST(Tables, AControlDeclaredTwiceIsNamedWithEachOfItsFaults) {
    expect_problems({
        {"a row copied into another area",
         [](Tables& t) { area(t, "beacon").settings.push_back(row(t, "Call")); },
         {"beacon/Call: control declared again, first in area radio",
          "beacon/Call (bytes 14..19) overlaps radio/Call (bytes 14..19)",
          "beacon/Call: key [Radio] Call collides with [Radio] Call of radio/Call"}},
    });
}

// The message a registry built from `t` throws; empty when it builds.
std::string construction_error(Tables t) {
    try {
        const Registry registry(std::move(t));
    } catch (const std::logic_error& e) {
        return e.what();
    }
    return {};
}

// Release builds skip the layout check, but never drop a row from the settings file unseen.
TEST(Tables, ARegistryNamesTheRowItCannotSave) {
    Tables unknown_control = sound_tables();
    row(unknown_control, "Rate").saved_after = "Yeer";
    EXPECT_EQ(construction_error(std::move(unknown_control)), "beacon/Rate: saved after Yeer, which is no control of the area");

    EXPECT_EQ(construction_error(sound_tables()), "");
}

#ifndef NDEBUG
TEST(Tables, ADebugRegistryRefusesTablesWithLayoutProblems) {
    Tables t = sound_tables();
    row(t, "Rate").field.offset = 40;
    row(t, "Speed").key->name = "low";
    EXPECT_EQ(construction_error(std::move(t)),
              "beacon/Rate (bytes 40..41) overlaps beacon/Text (bytes 30..40)\n"
              "radio/Speed: key [Radio] low collides with [Radio] Low of radio/Low");
}
#else
// Shown as skipped, so that a run without the check says so.
TEST(Tables, ADebugRegistryRefusesTablesWithLayoutProblems) { GTEST_SKIP() << "built with NDEBUG: no layout check"; }
#endif

}  // namespace
}  // namespace zyvora
