// "Did you mean ...?": the nearest known name to a typing slip, and none for a different word.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "nearest.h"

namespace zyvora {
namespace {

TEST(Nearest, FindsTheNameATypingSlipMeant) {
    const std::vector<std::string> verbs = {"defaults", "check", "encode", "decode", "read", "write", "diff", "get"};
    const std::vector<std::string> keys = {"Callsign", "SSID", "TXdelay", "Quiettime", "Quiettime_randomize"};
    const struct {
        const char* word;
        const std::vector<std::string>& candidates;
        std::optional<std::string> found;
    } cases[] = {
        {"chek", verbs, "check"},            // a letter left out
        {"TXdelya", keys, "TXdelay"},        // two letters swapped
        {"txdelay", keys, "TXdelay"},        // case alone is no difference
        {"quiettime_randomise", keys, "Quiettime_randomize"},
        {"wirte", verbs, "write"},
        {"ecnode", verbs, "encode"},
        {"dif", verbs, "diff"},              // short words: two edits still count as a slip
        {"upload", verbs, std::nullopt},     // a different word
        {"Latitude", keys, std::nullopt},
        {"", verbs, std::nullopt},
        {"x", {}, std::nullopt},
        {"red", verbs, "read"},              // ties go to the earlier candidate: read before decode
    };
    for (const auto& c : cases) EXPECT_EQ(nearest(c.word, c.candidates), c.found) << c.word;
}

// A word far longer than every name is no slip of any: it is answered without comparing it
// letter by letter (a megabyte-long key in a settings file).
TEST(Nearest, AWordFarLongerThanEveryNameMeansNone) {
    const std::vector<std::string> keys = {"Callsign", "SSID", "TXdelay", "Quiettime_randomize"};
    EXPECT_EQ(nearest(std::string(1 << 20, 'K'), keys), std::nullopt);
    EXPECT_EQ(nearest("Quiettime_randomizeXYZABCDEFGHIJ", keys), std::nullopt);  // more edits than a slip
    EXPECT_EQ(nearest("Quiettime_randomizeXY", keys), "Quiettime_randomize");
}

}  // namespace
}  // namespace zyvora
