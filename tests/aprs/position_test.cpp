#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "passcode.h"
#include "position.h"

namespace zyvora::aprs {
namespace {

// What a text reads as, in the device's formats: "lat lon kind", a field that is not given as "-".
std::string shown(std::string_view text, Axis axis) {
    const auto reading = read_position(text, axis);
    if (!reading) return "none";
    return (reading->latitude ? field_text(*reading->latitude, Axis::latitude) : "-") + " " +
           (reading->longitude ? field_text(*reading->longitude, Axis::longitude) : "-") + " " + reading->kind;
}

TEST(Position, ReadsWhatPeopleTypeOrPaste) {
    struct Case {
        const char* text;
        Axis axis;
        const char* reads;
    };
    const std::vector<Case> cases{
        {"5223.08N", Axis::latitude, "5223.08N - the device's format"},
        {"01658.14E", Axis::longitude, "- 01658.14E the device's format"},
        {"52.3847", Axis::latitude, "5223.08N - decimal degrees"},
        {"-16.9245", Axis::longitude, "- 01655.47W decimal degrees"},
        {"16.9245 E", Axis::latitude, "- 01655.47E decimal degrees"},  // the letter wins over the field
        {"S33.8688", Axis::latitude, "3352.13S - decimal degrees"},
        {"52°23'05\"N", Axis::latitude, "5223.08N - degrees, minutes and seconds"},
        {"52 23.08 N", Axis::latitude, "5223.08N - degrees and minutes"},
        {"52.3847, 16.9245", Axis::latitude, "5223.08N 01655.47E decimal degrees"},
        {"52.3847,16.9245", Axis::longitude, "5223.08N 01655.47E decimal degrees"},
        {"16.9245E 52.3847N", Axis::latitude, "5223.08N 01655.47E decimal degrees"},
        {"52°23'05\"N 16°55'28\"E", Axis::latitude, "5223.08N 01655.47E degrees, minutes and seconds"},
        {"N52 23 05 E16 55 28", Axis::latitude, "5223.08N 01655.47E degrees, minutes and seconds"},
        {"5223.08N 01658.14E", Axis::latitude, "5223.08N 01658.14E the device's format"},
        {"JO82", Axis::latitude, "5230.00N 01700.00E a Maidenhead locator"},
        {"jo82kj", Axis::longitude, "5223.75N 01652.50E a Maidenhead locator"},
        {"JO82KJ15", Axis::latitude, "5223.88N 01650.75E a Maidenhead locator"},
        {"59.99999", Axis::latitude, "6000.00N - decimal degrees"},  // minutes carry into degrees
        // Out of range, two signs, a minute of 60, stray words, three parts: none.
        {"91", Axis::latitude, "none"},
        {"181", Axis::longitude, "none"},
        {"-52N", Axis::latitude, "none"},
        {"52 60 00 N", Axis::latitude, "none"},
        {"52.5 30 N", Axis::latitude, "none"},
        {"52.3847N, 16.9245N", Axis::latitude, "none"},
        {"here", Axis::latitude, "none"},
        {"1, 2, 3", Axis::latitude, "none"},
        {"", Axis::latitude, "none"},
        {"5223.08n", Axis::latitude, "none"},
        {"JO8", Axis::latitude, "none"},
        {"ZZ82", Axis::latitude, "none"},
    };
    for (const Case& c : cases) EXPECT_EQ(shown(c.text, c.axis), c.reads) << c.text;
}

TEST(Position, FieldsReadOnlyTheirOwnFormat) {
    EXPECT_DOUBLE_EQ(*from_field("5223.08N", Axis::latitude), 52 + 23.08 / 60);
    EXPECT_DOUBLE_EQ(*from_field("01658.14W", Axis::longitude), -(16 + 58.14 / 60));
    for (const char* text : {"5223.08E", "5260.00N", "9100.00N", "5223.8N", "01658.14E"}) {
        EXPECT_EQ(from_field(text, Axis::latitude), std::nullopt) << text;
    }
    EXPECT_EQ(field_text(-0.0001, Axis::latitude), "0000.01S");
    EXPECT_EQ(field_text(179.99999, Axis::longitude), "18000.00E");
}

TEST(Position, DistanceAndBearing) {
    const Position poznan{52.3847, 16.9245};
    // A tenth of a degree of latitude is about 11.1 km, due south.
    EXPECT_NEAR(distance_km(poznan, {52.2847, 16.9245}), 11.12, 0.01);
    EXPECT_NEAR(bearing_degrees(poznan, {52.2847, 16.9245}), 180, 0.01);
    EXPECT_NEAR(bearing_degrees(poznan, {52.3847, 16.5}), 270, 0.2);
    EXPECT_NEAR(distance_km({0, 0}, {0, 180}), 20015.1, 0.1);
    EXPECT_EQ(distance_km(poznan, poznan), 0);
}

TEST(Passcode, HashesTheBaseCallSign) {
    EXPECT_EQ(passcode("N0CALL"), 13023);
    EXPECT_EQ(passcode("n0call-10"), 13023);
    EXPECT_EQ(passcode("SP5ABC"), 22448);
    EXPECT_EQ(base_call("sp5abc-10"), "SP5ABC");
}

}  // namespace
}  // namespace zyvora::aprs
