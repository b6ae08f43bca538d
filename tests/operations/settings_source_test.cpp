// Settings named as a command line names them: by section and key or by a key name alone.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "registry.h"
#include "settings_source.h"

namespace zyvora {
namespace {

// Two sections that both have a "Rate" key (the product's key names are all unique today).
Registry two_sections() {
    AreaBuilder first("first");
    first.section("First");
    first.edit("First_rate", 4, "1").number(100, 1).key("Rate", KeyKind::Integer);
    first.edit("Gain", 4, "2").number(101, 1).key("Gain", KeyKind::Integer);
    AreaBuilder second("second");
    second.section("Second");
    second.edit("Second_rate", 4, "3").number(102, 1).key("Rate", KeyKind::Integer);
    std::vector<Area> areas;
    areas.push_back(first.take());
    areas.push_back(second.take());
    return Registry(std::move(areas));
}

TEST(FindSetting, NamesBySectionAndKeyOrByAUniqueKeyWithoutRegardToCase) {
    const Registry registry = two_sections();
    const struct {
        std::string name;
        int row;  // -1: not found
        std::string why;
    } cases[] = {
        {"Gain", 1, ""},
        {"gAIN", 1, ""},
        {"first/gain", 1, ""},
        {"Second/Rate", 2, ""},
        {"SECOND/rate", 2, ""},
        {"Rate", -1, "the key Rate is in several sections: First/Rate Second/Rate; give it as Section/Key"},
        {"Gian", -1, "no setting has the key Gian; did you mean Gain?"},
        {"Frist/Rate", -1, "no setting has the key Frist/Rate; did you mean First/Rate?"},
        {"Second.Rate", -1, "no setting has the key Second.Rate; did you mean Second/Rate?"},
        {"Volume", -1, "no setting has the key Volume"},
        {"", -1, "no setting has the key "},
        {"First/", -1, "no setting has the key First/"},
        {"Gain\x1B[2J", -1, "no setting has the key Gain\\x1B[2J"},
    };
    for (const auto& c : cases) {
        const auto row = find_setting(registry, c.name);
        EXPECT_EQ(row ? *row : -1, c.row) << c.name;
        EXPECT_EQ(row ? "" : row.message(), c.why) << c.name;
    }
}

}  // namespace
}  // namespace zyvora
