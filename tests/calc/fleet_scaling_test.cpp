#include "calc/fleet_scaling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace reef::calc {
namespace {

FleetRowTexts row(std::initializer_list<const char*> texts) {
    FleetRowTexts result;
    std::size_t i = 0;
    for (const char* text : texts) {
        result[i++] = std::string(text);
    }
    return result;
}

TEST(SumRow, AddsTheSixClassesIntoTheTotal) {
    FleetRowTexts r = row({"10", "20", "", "0", "abc", "5", "999"});
    sumRow(r);
    EXPECT_EQ(r[kTotalColumn], "35");
    EXPECT_EQ(r[0], "10");
}

TEST(SumRow, EmptyRowGivesZero) {
    FleetRowTexts r;
    sumRow(r);
    EXPECT_EQ(r[kTotalColumn], "0");
}

TEST(SumRow, WrapsAt32Bits) {
    FleetRowTexts r = row({"2147483647", "1"});
    sumRow(r);
    EXPECT_EQ(r[kTotalColumn], "-2147483648");
    FleetRowTexts big = row({"4294967296", "4294967297", "7"});
    sumRow(big); // each value itself wraps: 0 + 1 + 7
    EXPECT_EQ(big[kTotalColumn], "8");
}

TEST(SumRow, ReadsSignsAndLeadingBlanksOfPastedText) {
    FleetRowTexts r = row({" -5", "\t+3", "12abc"});
    sumRow(r);
    EXPECT_EQ(r[kTotalColumn], "10");
}

TEST(ScaleHaben, WorkedExampleFromOneClass) {
    const FleetRowTexts soll = row({"10", "20", "0", "0", "0", "5", "35"});
    FleetRowTexts haben = row({"4"});
    scaleHaben(soll, haben, 0);
    EXPECT_EQ(haben, row({"4", "8", "0", "0", "0", "2", ""}));
    sumRow(haben);
    EXPECT_EQ(haben[kTotalColumn], "14");
}

TEST(ScaleHaben, WorkedExampleFromTheTotalLeavesTheTotalAlone) {
    const FleetRowTexts soll = row({"10", "20", "0", "0", "0", "5", "35"});
    FleetRowTexts haben = row({"4", "8", "0", "0", "0", "2", "70"});
    scaleHaben(soll, haben, kTotalColumn);
    EXPECT_EQ(haben, row({"20", "40", "0", "0", "0", "10", "70"}));
}

TEST(ScaleHaben, ThreeEqualClassesRoundEachShare) {
    const FleetRowTexts soll = row({"1", "1", "1", "0", "0", "0", "3"});
    FleetRowTexts haben = row({"", "", "", "", "", "", "5"});
    scaleHaben(soll, haben, kTotalColumn);
    EXPECT_EQ(haben, row({"2", "2", "2", "0", "0", "0", "5"}));
    sumRow(haben);
    EXPECT_EQ(haben[kTotalColumn], "6");
}

TEST(ScaleHaben, HalvesGoToTheEvenNeighbour) {
    FleetRowTexts haben = row({"", "3"});
    scaleHaben(row({"1", "3"}), haben, 1);
    EXPECT_EQ(haben[0], "1");

    haben = row({"", "5"});
    scaleHaben(row({"2", "4"}), haben, 1);
    EXPECT_EQ(haben[0], "2"); // 2.5

    haben = row({"", "7"});
    scaleHaben(row({"2", "4"}), haben, 1);
    EXPECT_EQ(haben[0], "4"); // 3.5
}

TEST(ScaleHaben, DividesBeforeMultiplyingInDoublePrecision) {
    // 3 / 22 * 55 is 7.4999... in double precision, not the exact 7.5 (which would give 8).
    FleetRowTexts haben = row({"", "55"});
    scaleHaben(row({"3", "22"}), haben, 1);
    EXPECT_EQ(haben[0], "7");
    // 7 / 50 * 75 is 10.500...02, not the exact 10.5 (which would give 10).
    haben = row({"", "75"});
    scaleHaben(row({"7", "50"}), haben, 1);
    EXPECT_EQ(haben[0], "11");
}

TEST(ScaleHaben, InputsAreRoundedToSinglePrecision) {
    // 16777217 has no single-precision form; it reads as 16777216.
    FleetRowTexts haben = row({"", "16777217"});
    scaleHaben(row({"1", "1"}), haben, 1);
    EXPECT_EQ(haben[0], "16777216");
}

TEST(ScaleHaben, ZeroOrEmptySollColumnChangesNothing) {
    const FleetRowTexts before = row({"1", "2", "3", "4", "5", "6", "21"});
    for (const char* sollText : {"", "0", "000", "abc"}) {
        FleetRowTexts soll = row({"10", "20", "30", "40", "50", "60", "210"});
        soll[2] = sollText;
        FleetRowTexts haben = before;
        scaleHaben(soll, haben, 2);
        EXPECT_EQ(haben, before) << "SOLL text '" << sollText << "'";
    }
    FleetRowTexts haben = before;
    scaleHaben(row({"10", "20", "30", "40", "50", "60", ""}), haben, kTotalColumn);
    EXPECT_EQ(haben, before);
}

TEST(ScaleHaben, SollReadingAsZeroFloatIsTreatedAsZero) {
    // Only pasted text gets here: its integer value is 1, its floating value 0.
    const FleetRowTexts before = row({"1", "2", "3", "4", "5", "6", "21"});
    FleetRowTexts haben = before;
    scaleHaben(row({"10", "1e-50", "30", "40", "50", "60"}), haben, 1);
    EXPECT_EQ(haben, before);
}

TEST(ScaleHaben, ResultsBeyond32BitsStopAtTheRangeEnds) {
    // Typed digits only, but more than a 32-bit field holds.
    FleetRowTexts haben = row({"", "99999999999"});
    scaleHaben(row({"1", "1"}), haben, 1);
    EXPECT_EQ(haben[0], "2147483647");

    haben = row({"", "99999999999"});
    scaleHaben(row({"-1", "1"}), haben, 1);
    EXPECT_EQ(haben[0], "-2147483648");
}

TEST(ScaleHaben, InfiniteInputGivesNoUndefinedConversion) {
    // 1 / 1 * inf and 0 / 1 * inf (not a number).
    FleetRowTexts haben = row({"", "1e999"});
    scaleHaben(row({"1", "1", "0"}), haben, 1);
    EXPECT_EQ(haben[0], "2147483647");
    EXPECT_EQ(haben[2], "0");
}

TEST(NearestInt32, RoundsHalvesToEven) {
    EXPECT_EQ(nearestInt32(0.5), 0);
    EXPECT_EQ(nearestInt32(1.5), 2);
    EXPECT_EQ(nearestInt32(2.5), 2);
    EXPECT_EQ(nearestInt32(-2.5), -2);
    EXPECT_EQ(nearestInt32(-3.5), -4);
    EXPECT_EQ(nearestInt32(2.4999), 2);
    EXPECT_EQ(nearestInt32(2.5001), 3);
}

TEST(NearestInt32, ClampsAtTheRangeEnds) {
    EXPECT_EQ(nearestInt32(2147483647.4), 2147483647);
    EXPECT_EQ(nearestInt32(2147483647.5), 2147483647); // the even neighbour is 2^31
    EXPECT_EQ(nearestInt32(-2147483648.5), -2147483647 - 1);
    EXPECT_EQ(nearestInt32(-2147483649.0), -2147483647 - 1);
    EXPECT_EQ(nearestInt32(1e300), 2147483647);
    EXPECT_EQ(nearestInt32(std::numeric_limits<double>::infinity()), 2147483647);
    EXPECT_EQ(nearestInt32(-std::numeric_limits<double>::infinity()), -2147483647 - 1);
    EXPECT_EQ(nearestInt32(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(FloatValue, ReadsLikeAtof) {
    EXPECT_EQ(floatValue("12abc"), 12.0f);
    EXPECT_EQ(floatValue(""), 0.0f);
    EXPECT_EQ(floatValue("abc"), 0.0f);
    EXPECT_EQ(floatValue("  \t7"), 7.0f);
    EXPECT_EQ(floatValue("-2.5"), -2.5f);
    EXPECT_EQ(floatValue("1e3"), 1000.0f);
}

TEST(FloatValue, RoundsToSinglePrecision) {
    EXPECT_EQ(floatValue("16777217"), 16777216.0f);
    EXPECT_EQ(floatValue("0.1"), 0.1f);
    EXPECT_EQ(floatValue("1e-50"), 0.0f);
}

TEST(FloatValue, BeyondTheFloatRange) {
    constexpr float kMax = std::numeric_limits<float>::max();
    EXPECT_EQ(floatValue("1e999"), std::numeric_limits<float>::infinity());
    EXPECT_EQ(floatValue("-1e300"), -std::numeric_limits<float>::infinity());
    EXPECT_EQ(floatValue("3.5e38"), std::numeric_limits<float>::infinity());
    // Above the largest float but nearer to it than to the overflow point.
    EXPECT_EQ(floatValue("3.40282350e38"), kMax);
    EXPECT_EQ(floatValue("-3.40282350e38"), -kMax);
}

} // namespace
} // namespace reef::calc
