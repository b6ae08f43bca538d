// The integer parser against an independent reading of its rule: the same value or the same
// refusal, and the refusal's exact text, on every input.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "intparse.h"
#include "reference_int.h"

using namespace zyvora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto expected = fuzz::reference_int(text);
    const auto got = try_parse_int(text);
    const auto shown = [](const std::optional<std::int32_t>& v) {
        return v ? std::to_string(*v) : std::string("refused");
    };
    if (got != expected) {
        fuzz::fail("try_parse_int(" + fuzz::escaped(text) + ") gives " + shown(got) + ", the rule " + shown(expected));
    }
    try {
        const std::int32_t value = parse_int(text);
        FUZZ_EXPECT(expected && value == *expected, "parse_int(" + fuzz::escaped(text) + ") gives " +
                                                        std::to_string(value) + ", the rule " + shown(expected));
    } catch (const ConversionError& e) {
        FUZZ_EXPECT(!expected, "parse_int(" + fuzz::escaped(text) + ") refuses, the rule gives " + shown(expected));
        // what() is a C string, so a text with a NUL shows up to it.
        const std::string message = fuzz::reference_error(text);
        FUZZ_EXPECT(std::string_view(e.what()) == std::string_view(message.c_str()),
                    "the conversion error reads " + fuzz::escaped(e.what()));
    }
    return 0;
}
