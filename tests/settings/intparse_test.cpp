#include <gtest/gtest.h>

#include "intparse.h"

using zyvora::try_parse_int;

TEST(IntegerParser, AcceptsTheProductsForms) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"0", 0},           {"250", 250},        {"  42", 42},     {"+7", 7},           {"-1", -1},
        {"$1F", 31},        {"x1f", 31},         {"X10", 16},      {"0x1F", 31},        {"0X1f", 31},
        {"-$10", -16},      {"+0x10", 16},       {"007", 7},       {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},              {"$7FFFFFFF", INT32_MAX},              {"-0x80000000", INT32_MIN},
    };
    for (const auto& [text, value] : cases) {
        ASSERT_EQ(try_parse_int(text), value) << text;
    }
}

TEST(IntegerParser, RefusesEverythingElse) {
    for (const char* text : {"", " ", "-", "+", "$", "0x", "x", "12 ", "1.5", "1e3", "abc", "0x1G", "--1",
                             "+-1", "2147483648", "-2147483649", "$80000000", "99999999999", "\t5", "1\n", "- 1"}) {
        EXPECT_FALSE(try_parse_int(text).has_value()) << '"' << text << '"';
    }
}

TEST(IntegerParser, ConversionErrorNamesTheText) {
    try {
        zyvora::parse_int(" 12a");
        FAIL();
    } catch (const zyvora::ConversionError& e) {
        EXPECT_STREQ(e.what(), "' 12a' is not a valid integer value");
    }
}
