#pragma once
// A second, deliberately different reading of the program's integer rule, for the fuzzers to hold
// the real parser against: it validates the digits first and converts with std::from_chars.
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zyvora::fuzz {

inline std::optional<std::int32_t> reference_int(std::string_view text) {
    const std::size_t start = text.find_first_not_of(' ');
    if (start == std::string_view::npos) return std::nullopt;
    text.remove_prefix(start);
    bool negative = false;
    if (text.starts_with('+') || text.starts_with('-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int radix = 10;
    if (text.starts_with('$') || text.starts_with('x') || text.starts_with('X')) {
        radix = 16;
        text.remove_prefix(1);
    } else if (text.starts_with("0x") || text.starts_with("0X")) {
        radix = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    const std::string_view allowed = radix == 16 ? "0123456789abcdefABCDEF" : "0123456789";
    if (text.find_first_not_of(allowed) != std::string_view::npos) return std::nullopt;
    // Leading zeros carry nothing; past 10 decimal or 8 hexadecimal digits nothing fits 32 bits.
    const std::size_t first = text.find_first_not_of('0');
    if (first == std::string_view::npos) return 0;
    text.remove_prefix(first);
    if (text.size() > (radix == 16 ? 8u : 10u)) return std::nullopt;
    std::uint64_t magnitude = 0;
    std::from_chars(text.data(), text.data() + text.size(), magnitude, radix);
    if (magnitude > (negative ? 0x80000000u : 0x7FFFFFFFu)) return std::nullopt;
    return static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(magnitude)
                                              : static_cast<std::int64_t>(magnitude));
}

inline std::string reference_error(std::string_view text) {
    return "'" + std::string(text) + "' is not a valid integer value";
}

}  // namespace zyvora::fuzz
