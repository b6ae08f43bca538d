#pragma once
// The configurator's integer reading: the one rule every number edit and every settings-file
// integer goes through.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zyvora {

// Thrown when a number edit's text is not a whole number: "'%s' is not a valid integer value".
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(std::string_view text);
};

// Leading spaces, an optional sign, then decimal digits or hexadecimal digits after '$', 'x',
// 'X', "0x" or "0X". Nothing may follow the digits; the value must fit a signed 32-bit integer.
std::optional<std::int32_t> try_parse_int(std::string_view text);

// As try_parse_int, but throws ConversionError.
std::int32_t parse_int(std::string_view text);

}  // namespace zyvora
