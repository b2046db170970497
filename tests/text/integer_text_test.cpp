#include "text/integer_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

using namespace reef::text;

TEST(IntValue, SkipsBlanksAndTabsThenOneSignThenDigits) {
    EXPECT_EQ(intValue("  \t 42"), 42);
    EXPECT_EQ(intValue("-17abc"), -17);
    EXPECT_EQ(intValue("+5"), 5);
    EXPECT_EQ(intValue("12abc"), 12);
    EXPECT_EQ(intValue("1.234"), 1);
}

TEST(IntValue, NoDigitsGiveZero) {
    EXPECT_EQ(intValue(""), 0);
    EXPECT_EQ(intValue("abc"), 0);
    EXPECT_EQ(intValue("-"), 0);
    EXPECT_EQ(intValue("--5"), 0);
    EXPECT_EQ(intValue("+-5"), 0);
    EXPECT_EQ(intValue("\n5"), 0) << "only blanks and tabs are skipped";
    EXPECT_EQ(intValue(" - 5"), 0) << "no blank between sign and digits";
}

TEST(IntValue, WrapsAt32Bits) {
    EXPECT_EQ(intValue("2147483647"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(intValue("2147483648"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(intValue("-2147483648"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(intValue("4294967296"), 0);
    EXPECT_EQ(intValue("4294967297"), 1);
    EXPECT_EQ(intValue("99999999999999999999999"), -159383553);
}

TEST(Int64Value, WrapsAt64Bits) {
    EXPECT_EQ(int64Value("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(int64Value("9223372036854775808"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(int64Value("18446744073709551617"), 1);
    EXPECT_EQ(int64Value(" -123456789012"), -123456789012);
    EXPECT_EQ(int64Value("2147483648"), 2147483648);
}

TEST(DecimalText, PlainDigitsWithMinus) {
    EXPECT_EQ(decimalText(0), "0");
    EXPECT_EQ(decimalText(1234567), "1234567");
    EXPECT_EQ(decimalText(-42), "-42");
    EXPECT_EQ(decimalText(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
}

TEST(GroupedText, GroupsOfThreeFromTheRight) {
    EXPECT_EQ(groupedText(0), "0");
    EXPECT_EQ(groupedText(999), "999");
    EXPECT_EQ(groupedText(1000), "1.000");
    EXPECT_EQ(groupedText(1234567), "1.234.567");
    EXPECT_EQ(groupedText(123456), "123.456");
}

TEST(GroupedText, MinusStandsBeforeTheFirstGroupNeverAlone) {
    EXPECT_EQ(groupedText(-123), "-123");
    EXPECT_EQ(groupedText(-740), "-740");
    EXPECT_EQ(groupedText(-205760), "-205.760");
    EXPECT_EQ(groupedText(-1234), "-1.234");
    EXPECT_EQ(groupedText(std::numeric_limits<std::int64_t>::min()), "-9.223.372.036.854.775.808");
}
