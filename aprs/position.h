#pragma once
// Positions as people write them and as the device keeps them: its own DDMM.MMN and DDDMM.MME
// fields, decimal degrees, degrees-minutes-seconds, a pasted pair and Maidenhead locators; and
// how far and which way one position lies from another.
#include <optional>
#include <string>
#include <string_view>

namespace zyvora::aprs {

enum class Axis { latitude, longitude };

struct Position {
    double latitude = 0;   // degrees, north positive
    double longitude = 0;  // degrees, east positive
};

// The device's field text of `degrees`, rounded to a hundredth of a minute: "5223.08N", "01658.14E".
std::string field_text(double degrees, Axis axis);

// A text in the field's own format as degrees; nullopt for any other text.
std::optional<double> from_field(std::string_view text, Axis axis);

// What a text typed or pasted into a latitude or longitude field means.
struct PositionReading {
    std::optional<double> latitude, longitude;  // at least one
    std::string kind;  // "decimal degrees", "degrees, minutes and seconds", "a Maidenhead locator"
};

// Reads decimal degrees (52.3847, -16.9245, 52.3847N), degrees and minutes or degrees, minutes
// and seconds (52°23'05"N, 52 23.08 N), a pair of either ("52.3847, 16.9245") or a Maidenhead
// locator of 4, 6 or 8 characters (its square's centre). A lone value is taken on `axis` unless
// its hemisphere letter says otherwise. Nullopt for what is none of these or out of range.
std::optional<PositionReading> read_position(std::string_view text, Axis axis);

// The centre of a Maidenhead square ("JO82", "JO82kj", "JO82kj15"), any case.
std::optional<Position> maidenhead_centre(std::string_view locator);

// Great-circle distance in kilometres and the initial bearing in degrees (0 to 360, 0 north).
double distance_km(Position from, Position to);
double bearing_degrees(Position from, Position to);

}  // namespace zyvora::aprs
