#include "calc/attack_limits.h"

#include "text/integer_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>

namespace reef::calc {
namespace {

struct LimitCase {
    const char* typed;
    const char* upper;
    const char* lower;
};

void PrintTo(const LimitCase& c, std::ostream* out) {
    *out << '"' << c.typed << '"';
}

class AttackLimitExamples : public ::testing::TestWithParam<LimitCase> {};

TEST_P(AttackLimitExamples, GroupedLimits) {
    const LimitCase& c = GetParam();
    const std::int64_t points = pointsValue(c.typed);
    EXPECT_EQ(text::groupedText(upperAttackLimit(points)), c.upper);
    EXPECT_EQ(text::groupedText(lowerAttackLimit(points)), c.lower);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AttackLimitExamples,
    ::testing::Values(
        LimitCase{"1000", "1.666", "600"}, LimitCase{"1.000.000", "1.666.666", "600.000"},
        LimitCase{"12345", "20.575", "7.407"}, LimitCase{"999", "1.665", "599"},
        LimitCase{"5", "8", "3"}, LimitCase{"", "0", "0"}, LimitCase{"Punkte", "0", "0"},
        LimitCase{"-1234", "-2.056", "-740"}, LimitCase{"-123456", "-205.760", "-74.073"},
        LimitCase{"-1.234", "-2.056", "-740"}, LimitCase{"-123", "-205", "-73"},
        LimitCase{"1.2.3.4", "2.056", "740"}, LimitCase{"1500 Punkte", "2.500", "900"},
        LimitCase{"12a34", "20", "7"},
        LimitCase{"92233720368547759", "-153.722.867.280.912.928", "55.340.232.221.128.655"}));

TEST(PointsValue, IgnoresDotsAnywhere) {
    EXPECT_EQ(pointsValue("1.2.3.4"), 1234);
    EXPECT_EQ(pointsValue("1.2.3"), 123);
    EXPECT_EQ(pointsValue(".5."), 5);
    EXPECT_EQ(pointsValue("-.1.000"), -1000);
    EXPECT_EQ(pointsValue("..."), 0);
}

TEST(PointsValue, StopsAtTheFirstOtherCharacter) {
    EXPECT_EQ(pointsValue("1500 Punkte"), 1500);
    EXPECT_EQ(pointsValue("12a34"), 12);
    EXPECT_EQ(pointsValue("  \t+77"), 77);
    EXPECT_EQ(pointsValue("1,5"), 1);
}

TEST(PointsValue, Reads64Bits) {
    EXPECT_EQ(pointsValue("9.223.372.036.854.775.807"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(pointsValue("4294967296"), 4294967296);
    // One more wraps around.
    EXPECT_EQ(pointsValue("9223372036854775808"), std::numeric_limits<std::int64_t>::min());
}

TEST(AttackLimits, TruncateTowardZero) {
    EXPECT_EQ(upperAttackLimit(1), 1);   // 100 / 60
    EXPECT_EQ(lowerAttackLimit(1), 0);   // 60 / 100
    EXPECT_EQ(upperAttackLimit(-1), -1); // -100 / 60
    EXPECT_EQ(lowerAttackLimit(-1), 0);
}

TEST(AttackLimits, ProductWrapsAt64Bits) {
    // The largest value whose product with 100 still fits.
    EXPECT_EQ(upperAttackLimit(92233720368547758), 153722867280912930);
    // Beyond it the product wraps around.
    EXPECT_EQ(upperAttackLimit(92233720368547759), -153722867280912928);
    EXPECT_EQ(lowerAttackLimit(92233720368547759), 55340232221128655);
    EXPECT_EQ(upperAttackLimit(-92233720368547759), 153722867280912928);
    EXPECT_EQ(upperAttackLimit(100000000000000000), -140779067895159193);
    EXPECT_EQ(lowerAttackLimit(100000000000000000), 60000000000000000);
    EXPECT_EQ(upperAttackLimit(std::numeric_limits<std::int64_t>::max()), -1);
    EXPECT_EQ(lowerAttackLimit(std::numeric_limits<std::int64_t>::max()), 0);
    EXPECT_EQ(upperAttackLimit(std::numeric_limits<std::int64_t>::min()), 0);
    EXPECT_EQ(lowerAttackLimit(std::numeric_limits<std::int64_t>::min()), 0);
}

} // namespace
} // namespace reef::calc
