#include "position.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <utility>
#include <vector>

namespace zyvora::aprs {

namespace {

constexpr double kEarthRadiusKm = 6371.0088;  // the mean radius

bool digits(std::string_view text, std::size_t first, std::size_t count) {
    if (first + count > text.size()) return false;
    for (std::size_t i = first; i < first + count; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    }
    return true;
}

int number(std::string_view text, std::size_t first, std::size_t count) {
    int value = 0;
    for (std::size_t i = first; i < first + count; ++i) value = value * 10 + (text[i] - '0');
    return value;
}

double limit(Axis axis) { return axis == Axis::latitude ? 90.0 : 180.0; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

std::optional<Axis> axis_of(char letter) {
    switch (std::toupper(static_cast<unsigned char>(letter))) {
    case 'N': case 'S': return Axis::latitude;
    case 'E': case 'W': return Axis::longitude;
    default: return std::nullopt;
    }
}

bool negative_letter(char letter) {
    const int c = std::toupper(static_cast<unsigned char>(letter));
    return c == 'S' || c == 'W';
}

struct Coordinate {
    double degrees;
    std::optional<Axis> axis;  // what its hemisphere letter says
    int parts;                 // 0: the device's format; 1 to 3: degrees, minutes, seconds
};

// One coordinate: the device's format, or up to three numbers (only the last with a fraction)
// with a sign or a hemisphere letter before or after them, any separators between.
std::optional<Coordinate> coordinate(std::string_view text) {
    text = trimmed(text);
    if (text.empty()) return std::nullopt;
    for (const Axis axis : {Axis::latitude, Axis::longitude}) {
        if (const auto degrees = from_field(text, axis)) return Coordinate{*degrees, axis, 0};
    }
    std::optional<char> letter;
    if (axis_of(text.front())) {
        letter = text.front();
        text.remove_prefix(1);
    } else if (axis_of(text.back())) {
        letter = text.back();
        text.remove_suffix(1);
    }
    text = trimmed(text);
    bool minus = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        minus = text.front() == '-';
        text.remove_prefix(1);
    }
    if (minus && letter) return std::nullopt;  // "-52N" says two things
    std::vector<std::string> numbers;
    std::string current;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isdigit(u) || c == '.') {
            current += c;
        } else if (std::isalpha(u) || c == '-' || c == '+' || c == ',') {
            return std::nullopt;
        } else if (!current.empty()) {  // a space, a degree sign, a prime
            numbers.push_back(current);
            current.clear();
        }
    }
    if (!current.empty()) numbers.push_back(current);
    if (numbers.empty() || numbers.size() > 3) return std::nullopt;
    double value = 0, unit = 1;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const std::string& n = numbers[i];
        const std::size_t dot = n.find('.');
        const bool last = i + 1 == numbers.size();
        if (n == "." || std::count(n.begin(), n.end(), '.') > 1) return std::nullopt;
        if (dot != std::string::npos && !last) return std::nullopt;
        const double part = std::strtod(n.c_str(), nullptr);
        if (i > 0 && part >= 60) return std::nullopt;
        value += part / unit;
        unit *= 60;
    }
    if (letter && negative_letter(*letter)) minus = true;
    return Coordinate{minus ? -value : value, letter ? axis_of(*letter) : std::nullopt, static_cast<int>(numbers.size())};
}

const char* kind_of(int parts) {
    switch (parts) {
    case 0: return "the device's format";
    case 1: return "decimal degrees";
    case 2: return "degrees and minutes";
    default: return "degrees, minutes and seconds";
    }
}

bool in_range(double degrees, Axis axis) { return std::isfinite(degrees) && std::fabs(degrees) <= limit(axis); }

// A pair split at its comma or semicolon, or after the first hemisphere letter that ends a part.
std::optional<std::pair<std::string_view, std::string_view>> pair_parts(std::string_view text) {
    const std::size_t comma = text.find_first_of(",;");
    if (comma != std::string_view::npos) {
        if (text.find_first_of(",;", comma + 1) != std::string_view::npos) return std::nullopt;
        return std::pair{text.substr(0, comma), text.substr(comma + 1)};
    }
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        if (axis_of(text[i]) && std::isspace(static_cast<unsigned char>(text[i + 1]))) {
            return std::pair{text.substr(0, i + 1), text.substr(i + 1)};
        }
    }
    // Letters in front: "N52 23 05 E16 55 28".
    for (std::size_t i = 2; i < text.size(); ++i) {
        if (axis_of(text[i]) && std::isspace(static_cast<unsigned char>(text[i - 1])) && i + 1 < text.size() &&
            text.find_first_of("0123456789", i) != std::string_view::npos) {
            return std::pair{text.substr(0, i), text.substr(i)};
        }
    }
    return std::nullopt;
}

}  // namespace

std::string field_text(double degrees, Axis axis) {
    const bool negative = degrees < 0;
    const long long hundredths = std::llround(std::fabs(degrees) * 6000.0);
    const long long whole = hundredths / 6000, minutes = hundredths % 6000;
    const char hemisphere = axis == Axis::latitude ? (negative ? 'S' : 'N') : (negative ? 'W' : 'E');
    char text[16];
    std::snprintf(text, sizeof text, axis == Axis::latitude ? "%02lld%02lld.%02lld%c" : "%03lld%02lld.%02lld%c", whole,
                  minutes / 100, minutes % 100, hemisphere);
    return text;
}

std::optional<double> from_field(std::string_view text, Axis axis) {
    const std::size_t d = axis == Axis::latitude ? 2 : 3;
    if (text.size() != d + 6 || !digits(text, 0, d + 2) || text[d + 2] != '.' || !digits(text, d + 3, 2)) return std::nullopt;
    const char letter = text[d + 5];
    if (axis_of(letter) != axis || std::islower(static_cast<unsigned char>(letter))) return std::nullopt;
    const int degrees = number(text, 0, d), minutes = number(text, d, 2), hundredths = number(text, d + 3, 2);
    const double value = degrees + (minutes + hundredths / 100.0) / 60.0;
    if (minutes >= 60 || value > limit(axis)) return std::nullopt;
    return negative_letter(letter) ? -value : value;
}

std::optional<Position> maidenhead_centre(std::string_view locator) {
    const std::size_t n = locator.size();
    if (n != 4 && n != 6 && n != 8) return std::nullopt;
    auto letter = [&](std::size_t i, char last) -> std::optional<int> {
        const int c = std::toupper(static_cast<unsigned char>(locator[i]));
        if (c < 'A' || c > last) return std::nullopt;
        return c - 'A';
    };
    const auto f0 = letter(0, 'R'), f1 = letter(1, 'R');
    if (!f0 || !f1 || !digits(locator, 2, 2)) return std::nullopt;
    double lon = *f0 * 20.0 - 180 + (locator[2] - '0') * 2.0, lat = *f1 * 10.0 - 90 + (locator[3] - '0');
    double width = 2, height = 1;
    if (n >= 6) {
        const auto s0 = letter(4, 'X'), s1 = letter(5, 'X');
        if (!s0 || !s1) return std::nullopt;
        width /= 24;
        height /= 24;
        lon += *s0 * width;
        lat += *s1 * height;
    }
    if (n == 8) {
        if (!digits(locator, 6, 2)) return std::nullopt;
        width /= 10;
        height /= 10;
        lon += (locator[6] - '0') * width;
        lat += (locator[7] - '0') * height;
    }
    return Position{lat + height / 2, lon + width / 2};
}

std::optional<PositionReading> read_position(std::string_view text, Axis axis) {
    text = trimmed(text);
    if (const auto centre = maidenhead_centre(text)) {
        return PositionReading{centre->latitude, centre->longitude, "a Maidenhead locator"};
    }
    if (const auto parts = pair_parts(text)) {
        const auto first = coordinate(parts->first), second = coordinate(parts->second);
        if (!first || !second) return std::nullopt;
        const Axis a = first->axis.value_or(second->axis == Axis::latitude ? Axis::longitude : Axis::latitude);
        const Axis b = second->axis.value_or(a == Axis::latitude ? Axis::longitude : Axis::latitude);
        if (a == b || !in_range(first->degrees, a) || !in_range(second->degrees, b)) return std::nullopt;
        PositionReading reading;
        (a == Axis::latitude ? reading.latitude : reading.longitude) = first->degrees;
        (b == Axis::latitude ? reading.latitude : reading.longitude) = second->degrees;
        reading.kind = kind_of(std::max(first->parts, second->parts));
        return reading;
    }
    const auto one = coordinate(text);
    if (!one) return std::nullopt;
    const Axis a = one->axis.value_or(axis);
    if (!in_range(one->degrees, a)) return std::nullopt;
    PositionReading reading;
    (a == Axis::latitude ? reading.latitude : reading.longitude) = one->degrees;
    reading.kind = kind_of(one->parts);
    return reading;
}

double distance_km(Position from, Position to) {
    constexpr double rad = std::numbers::pi / 180;
    const double dlat = (to.latitude - from.latitude) * rad, dlon = (to.longitude - from.longitude) * rad;
    const double h = std::sin(dlat / 2) * std::sin(dlat / 2) +
                     std::cos(from.latitude * rad) * std::cos(to.latitude * rad) * std::sin(dlon / 2) * std::sin(dlon / 2);
    return 2 * kEarthRadiusKm * std::asin(std::min(1.0, std::sqrt(h)));
}

double bearing_degrees(Position from, Position to) {
    constexpr double rad = std::numbers::pi / 180;
    const double p1 = from.latitude * rad, p2 = to.latitude * rad, dlon = (to.longitude - from.longitude) * rad;
    const double y = std::sin(dlon) * std::cos(p2);
    const double x = std::cos(p1) * std::sin(p2) - std::sin(p1) * std::cos(p2) * std::cos(dlon);
    const double degrees = std::atan2(y, x) / rad;
    return std::fmod(degrees + 360.0, 360.0);
}

}  // namespace zyvora::aprs
