// The row groups several areas share: each row's name, key, place and check, through a small
// area of its own, so that a fault in a group shows once rather than in every area that uses it.
#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <string>

#include "groups.h"
#include "passes.h"
#include "registry.h"

namespace zyvora {
namespace {

Area group_area() {
    AreaBuilder a("groups");
    a.section("Groups");
    ReportGroup g;
    g.prefix = "R_";
    g.callsigns = 100;
    g.rates = 120;
    g.rate_length = 4;
    g.rf_default = "5";
    g.is_default = "0";
    g.name = "Report";
    g.call_name = "Rpt";
    g.rate_tail = ", or 0 to disable";
    add_report_group(a, g);
    CallsignPair pair;
    pair.call = "P_call";
    pair.ssid = "P_ssid";
    pair.call_key = "PathKey";
    pair.ssid_key = "SsidKey";
    pair.offset = 140;
    pair.call_default = "WIDE1";
    pair.ssid_default = "1";
    pair.caption = "Path:";
    pair.call_hint = "pair call hint";
    pair.ssid_hint = "pair ssid hint";
    pair.ssid_message = "P - SSID range error.";
    add_callsign_pair(a, pair);
    return a.take();
}

class Groups : public ::testing::Test {
protected:
    Groups() : registry_({group_area()}), store_(registry_.make_store()) {}

    std::optional<std::string> encode_one(const std::string& name) {
        const int id = store_.require(name);
        return encode_field(registry_.settings()[id], store_, id, image_);
    }
    std::string bytes(std::size_t offset, std::size_t count) const {
        return std::string(reinterpret_cast<const char*>(image_.data()) + offset, count);
    }

    Registry registry_;
    ControlStore store_;
    Image image_{};
};

TEST_F(Groups, RowsInOrderWithTheirControlsAndKeys) {
    struct Row {
        const char* name;
        const char* caption;
        const char* spoken;
        const char* hint;
        int max_length;
        const char* default_text;
        const char* key;
        KeyKind kind;
    };
    const Row rows[] = {
        {"R_dest_string", "Dest:", "Dest", "Report destination to-call.", 6, "APQK06", "R_dest_string", KeyKind::Text},
        {"R_dest_ssid", "-", "Dest SSID", "Report destination SSID.", 2, "0", "R_dest_ssid", KeyKind::Text},
        {"R_path_ssid", "-", "Path SSID", "Report path SSID.", 2, "2", "R_path_ssid", KeyKind::Text},
        {"R_path_string", "Path:", "Path", "Report path.", 6, "WIDE2", "R_path_string", KeyKind::Text},
        {"R_txrate_rf", "RF[min]:", "RF [min]", "Report TX rate to RF (minutes). Set 0 to disable.", 4, "5", "R_txrate_rf", KeyKind::Integer},
        {"R_txrate_aprsis", "IS[min]:", "IS [min]", "Report TX rate to APRS-IS (minutes). Set 0 to disable.", 4, "0", "R_txrate_aprsis", KeyKind::Integer},
        {"P_call", "Path:", "Path", "pair call hint", 6, "WIDE1", "PathKey", KeyKind::Text},
        {"P_ssid", "-", "Path SSID", "pair ssid hint", 2, "1", "SsidKey", KeyKind::Text},
    };
    const auto& settings = registry_.settings();
    ASSERT_EQ(settings.size(), std::size(rows));
    for (std::size_t i = 0; i < settings.size(); ++i) {
        const Setting& s = settings[i];
        const Row& r = rows[i];
        EXPECT_EQ(s.control.name, r.name);
        EXPECT_EQ(s.control.caption, r.caption) << r.name;
        EXPECT_EQ(spoken_name(s.control), r.spoken) << r.name;
        EXPECT_EQ(s.control.hint, r.hint) << r.name;
        EXPECT_TRUE(s.control.hint_on_hover) << r.name;
        EXPECT_EQ(s.control.max_length, r.max_length) << r.name;
        EXPECT_EQ(s.control.default_text, r.default_text) << r.name;
        ASSERT_TRUE(s.key.has_value()) << r.name;
        EXPECT_EQ(s.key->section, "Groups") << r.name;
        EXPECT_EQ(s.key->name, r.key) << r.name;
        EXPECT_EQ(s.key->kind, r.kind) << r.name;
    }
}

TEST_F(Groups, EachRowChecksAndStoresInItsPlace) {
    struct Case {
        const char* control;
        const char* text;
        const char* message;  // nullptr: stored
        std::size_t offset;
        std::string stored;
    };
    using namespace std::string_literals;
    const Case cases[] = {
        {"R_dest_string", "apqk06", nullptr, 100, "APQK06"},
        {"R_dest_string", "", "Rpt destination - too short (e.g. APQK06).", 100, "\0\0\0\0\0\0"s},
        // The destination's SSID is checked whatever the destination holds.
        {"R_dest_ssid", "15", nullptr, 106, "?"},
        {"R_dest_ssid", "16", "Rpt destination - SSID range error (0 - 15).", 106, "\0"s},
        {"R_path_string", "wide1", nullptr, 107, "WIDE1 "},
        {"R_path_ssid", "3", nullptr, 113, "3"},
        {"R_path_ssid", "x", "Rpt path - SSID range error (0 - 15).", 113, "\0"s},
        {"R_txrate_rf", "0", nullptr, 120, "\0\0"s},
        {"R_txrate_rf", "4", "Report tx rate (RF) range error (5 - 1440), or 0 to disable.", 120, "\0\0"s},
        {"R_txrate_rf", "1440", nullptr, 120, "\xA0\x05"s},
        {"R_txrate_aprsis", "5", nullptr, 122, "\x05\0"s},
        {"R_txrate_aprsis", "1441", "Report tx rate (APRSIS) range error (5 - 1440), or 0 to disable.", 122, "\0\0"s},
        {"P_call", "wide2", nullptr, 140, "WIDE2 "},
        {"P_ssid", "16", "P - SSID range error.", 146, "\0"s},
    };
    for (const auto& c : cases) {
        image_.fill(0);
        store_.set_text("R_path_string", "WIDE2");
        store_.set_text("P_call", "WIDE1");
        store_.set_text(c.control, c.text);
        EXPECT_EQ(encode_one(c.control), c.message ? std::optional<std::string>(c.message) : std::nullopt)
            << c.control << " = " << c.text;
        EXPECT_EQ(bytes(c.offset, c.stored.size()), c.stored) << c.control << " = " << c.text;
    }
}

// An empty path or call sign skips its SSID, which is stored as '0' whatever its edit holds.
TEST_F(Groups, AnEmptyPathSkipsItsSsid) {
    const struct {
        const char* call;
        const char* ssid;
        std::size_t offset;
    } pairs[] = {{"R_path_string", "R_path_ssid", 113}, {"P_call", "P_ssid", 146}};
    for (const auto& p : pairs) {
        image_.fill(0);
        store_.set_text(p.call, "");
        store_.set_text(p.ssid, "junk");
        EXPECT_EQ(encode_one(p.ssid), std::nullopt) << p.ssid;
        EXPECT_EQ(image_[p.offset], '0') << p.ssid;
    }
}

// A group at bytes 100 (call signs) and 120 (rates), with no options set.
ReportGroup plain_group(const char* prefix, const char* name) {
    ReportGroup g;
    g.prefix = prefix;
    g.callsigns = 100;
    g.rates = 120;
    g.name = name;
    return g;
}

std::string names_of(const Registry& registry, const std::vector<int>& rows) {
    std::string names;
    for (int row : rows) names += registry.settings()[static_cast<std::size_t>(row)].control.name + ' ';
    return names;
}

// A path's SSID is checked before the path is stored, but the file holds every call sign before
// its SSID; a group saved after a later row keeps its own order there.
TEST_F(Groups, TheFileHoldsEachCallSignBeforeItsSsid) {
    EXPECT_EQ(names_of(registry_, registry_.encode_rows()),
              "R_dest_string R_dest_ssid R_path_ssid R_path_string R_txrate_rf R_txrate_aprsis P_call P_ssid ");
    EXPECT_EQ(names_of(registry_, registry_.save_rows()),
              "R_dest_string R_dest_ssid R_path_string R_path_ssid R_txrate_rf R_txrate_aprsis P_call P_ssid ");

    AreaBuilder a("moved");
    a.section("Moved");
    ReportGroup g = plain_group("D_", "Data");
    g.saved_after = "Last";
    add_report_group(a, g);
    CallsignPair pair;
    pair.call = pair.call_key = "Q_call";
    pair.ssid = pair.ssid_key = "Q_ssid";
    pair.offset = 140;
    pair.ssid_first = true;
    add_callsign_pair(a, pair);
    a.edit("Last", 2, "1").number(150, 1).key("Last", KeyKind::Integer);
    std::vector<Area> areas;
    areas.push_back(a.take());
    const Registry moved(std::move(areas));
    EXPECT_EQ(names_of(moved, moved.encode_rows()),
              "D_dest_string D_dest_ssid D_path_ssid D_path_string D_txrate_rf D_txrate_aprsis Q_ssid Q_call Last ");
    EXPECT_EQ(names_of(moved, moved.save_rows()),
              "Q_call Q_ssid Last D_dest_string D_dest_ssid D_path_string D_path_ssid D_txrate_rf D_txrate_aprsis ");
}

// A callsign pair encoded as the encode pass does it, call then SSID: the call upper-cased, cut
// to six and padded with spaces, then '0' + SSID. A refused SSID leaves its byte as it was, and
// nothing outside the seven bytes changes.
TEST_F(Groups, ACallsignPairPacksCallAndSsid) {
    struct Case {
        const char* call;
        const char* ssid;
        const char* message;  // nullptr: stored
        const char* field;    // the seven bytes at 140
    };
    const Case cases[] = {
        {"sp5x", "12", nullptr, "SP5X  <"},
        {"SP5X", "15", nullptr, "SP5X  ?"},
        {"a", "0", nullptr, "A     0"},
        {"abcdefgh", "1", nullptr, "ABCDEF1"},
        {"", "junk", nullptr, "      0"},
        {"SP5X", "16", "P - SSID range error.", "SP5X  \xAA"},
        {"SP5X", "-1", "P - SSID range error.", "SP5X  \xAA"},
        {"SP5X", "", "P - SSID range error.", "SP5X  \xAA"},
        {"SP5X", "*", "P - SSID range error.", "SP5X  \xAA"},
    };
    for (const auto& c : cases) {
        image_.fill(0xAA);
        store_.set_text("P_call", c.call);
        store_.set_text("P_ssid", c.ssid);
        EXPECT_EQ(encode_one("P_call"), std::nullopt) << c.call << '-' << c.ssid;
        EXPECT_EQ(encode_one("P_ssid"), c.message ? std::optional<std::string>(c.message) : std::nullopt)
            << c.call << '-' << c.ssid;
        EXPECT_EQ(bytes(139, 9), "\xAA" + std::string(c.field) + "\xAA") << c.call << '-' << c.ssid;
    }
}

// Without hints on hover for its call signs and without a name of their own, the group's call rows
// have their hints for screen readers only and their messages take the group's name.
TEST(ReportGroups, CallRowsWithoutHintsTakeTheGroupsName) {
    AreaBuilder a("plain");
    a.section("Plain");
    ReportGroup g = plain_group("T_", "Telemetry data");
    g.call_hints = false;
    g.path_ssid_first = false;
    add_report_group(a, g);
    const Area area = a.take();
    ASSERT_EQ(area.settings.size(), 6u);
    const char* hints[] = {"Telemetry data destination to-call.", "Telemetry data destination SSID.",
                           "Telemetry data path.", "Telemetry data path SSID."};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(area.settings[i].control.hint, hints[i]) << i;
        EXPECT_FALSE(area.settings[i].control.hint_on_hover) << i;
    }
    EXPECT_TRUE(area.settings[4].control.hint_on_hover);
    EXPECT_EQ(area.settings[0].field.message, "Telemetry data destination - too short (e.g. APQK06).");
    EXPECT_EQ(area.settings[3].field.message, "Telemetry data path - SSID range error (0 - 15).");
    EXPECT_EQ(area.settings[4].control.hint, "Telemetry data TX rate to RF (minutes). Set 0 to disable.");
    EXPECT_EQ(area.settings[5].field.message, "Telemetry data tx rate (APRSIS) range error (5 - 1440).");
}

// A caption read as a control's name: on one line, without its colon, its unit set apart.
TEST(Captions, ReadAsNamesOnOneLineWithoutTheirColon) {
    const std::pair<const char*, const char*> cases[] = {
        {"RF[min]:", "RF [min]"},
        {"1 min\naverage:", "1 min average"},
        {"Slow Speed [km/h]:", "Slow Speed [km/h]"},
        {"latitude, ", "latitude,"},
        {"Enabled", "Enabled"},
        {"", ""},
    };
    for (const auto& [caption, words] : cases) EXPECT_EQ(caption_words(caption), words) << caption;
}

}  // namespace
}  // namespace zyvora
