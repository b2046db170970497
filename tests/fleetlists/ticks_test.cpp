#include "fleetlists/ticks.h"

#include <gtest/gtest.h>

using namespace reef::fleetlists;

namespace {

constexpr std::int32_t at(int hours, int minutes, int seconds = 0) {
    return hours * 3600 + minutes * 60 + seconds;
}

} // namespace

TEST(TicksUntil, AtFiveMinutesPastTen) {
    const std::int64_t now = at(10, 5);
    EXPECT_EQ(ticksUntil(at(10, 20), now), 1);
    EXPECT_EQ(ticksUntil(at(10, 0), now), 0) << "a time of the current slot";
    EXPECT_EQ(ticksUntil(at(9, 40), now), -1);
    EXPECT_EQ(ticksUntil(at(20, 0), now), 30);
    EXPECT_EQ(ticksUntil(at(23, 40), now), -1) << "more than 10 hours ahead is yesterday's";
}

TEST(TicksUntil, ThePreviousSlotInsideTheLastTwentyMinutesIsADayAway) {
    EXPECT_EQ(ticksUntil(at(9, 50), at(10, 5)), 71);
    EXPECT_EQ(ticksUntil(at(9, 45), at(10, 5)), 71) << "exactly one tick back";
    EXPECT_EQ(ticksUntil(at(9, 44, 59), at(10, 5)), -1);
}

TEST(TicksUntil, AcrossMidnight) {
    EXPECT_EQ(ticksUntil(at(0, 30), at(23, 50)), 2);
    EXPECT_EQ(ticksUntil(at(7, 0), at(22, 0)), 27);
    EXPECT_EQ(ticksUntil(at(9, 0), at(22, 0)), -1);
    EXPECT_EQ(ticksUntil(at(8, 0), at(22, 0)), 30) << "exactly 14 hours back: tomorrow's";
    EXPECT_EQ(ticksUntil(at(8, 0, 1), at(22, 0)), -1);
}

TEST(TicksUntil, OneTickBackIsNotPastButOneSecondMoreIs) {
    EXPECT_EQ(ticksUntil(at(10, 0), at(10, 20)), 71);
    EXPECT_EQ(ticksUntil(at(10, 0), at(10, 20, 1)), -1);
}

TEST(TicksUntil, FourteenHoursBackIsNotPastButOneSecondLessIs) {
    const std::int64_t now = at(20, 0);
    EXPECT_EQ(ticksUntil(at(6, 0), now), 30) << "exactly 14 hours back counts as tomorrow's";
    EXPECT_EQ(ticksUntil(at(6, 0, 1), now), -1);
    EXPECT_EQ(ticksUntil(at(5, 59, 59), now), 29);
}

TEST(TicksUntil, JustAfterMidnightLateTimesAreYesterdays) {
    EXPECT_EQ(ticksUntil(at(23, 55), at(0, 10)), -1);
    EXPECT_EQ(ticksUntil(at(10, 10), at(0, 10)), 30) << "exactly 10 hours ahead";
    EXPECT_EQ(ticksUntil(at(10, 10, 1), at(0, 10)), -1);
    EXPECT_EQ(ticksUntil(at(0, 0), at(0, 10)), 0);
}

TEST(TicksUntil, TheMorningRuleEndsAtTwoPm) {
    // Before 14:00 a time more than 10 hours ahead is yesterday's; from 14:00 on the window
    // behind now decides alone.
    EXPECT_EQ(ticksUntil(at(23, 59, 59), at(13, 59, 59)), 30);
    EXPECT_EQ(ticksUntil(at(23, 59, 59), at(13, 59, 58)), -1);
    EXPECT_EQ(ticksUntil(at(23, 59, 59), at(14, 0)), 29);
    EXPECT_EQ(ticksUntil(at(0, 0), at(14, 0)), 30);
}

TEST(TicksUntil, NowIsTheTimeOfDayOfALocalDateTime) {
    // 08.12.2026 15:48:07 local time.
    const std::int64_t localNow = 1796744887;
    EXPECT_EQ(secondOfDay(localNow), at(15, 48, 7));
    EXPECT_EQ(ticksUntil(at(16, 0), localNow), 1);
    EXPECT_EQ(ticksUntil(at(15, 0), localNow), -1);
    EXPECT_EQ(secondOfDay(-1), at(23, 59, 59));
}

TEST(TicksUntil, EveryResultIsPastOrOneOfTheDaysTicks) {
    for (std::int32_t now = 0; now < 86400; now += 97) {
        int future = 0;
        for (std::int32_t t = 0; t < 86400; t += 60) {
            const int ticks = ticksUntil(t, now);
            ASSERT_GE(ticks, -1) << now << " " << t;
            ASSERT_LE(ticks, 71) << now << " " << t;
            future += ticks >= 0 ? 1 : 0;
        }
        // At most 10 h 20 min of a day's minutes count as future.
        ASSERT_LE(future, 37200 / 60 + 1) << now;
    }
}

TEST(SnapToTick, TruncatesTowardZero) {
    EXPECT_EQ(snapToTick(37500), 37200);
    EXPECT_EQ(snapToTick(37200), 37200);
    EXPECT_EQ(snapToTick(1199), 0);
    EXPECT_EQ(snapToTick(86399), 85200);
    EXPECT_EQ(snapToTick(-1), 0);
    EXPECT_EQ(snapToTick(-1201), -1200);
}

// Values a list server or a cache file may hold that are no time of the day: they have no
// countdown, count as past for whoever asks ticksUntil, and order after every time of the day.
TEST(TicksUntil, ValuesOutsideTheDayArePastAndOrderLast) {
    const std::int32_t outside[] = {86400, 200000, -1, -10000, 2147483647, -2147483647 - 1};
    for (const std::int64_t now :
         {std::int64_t{0}, std::int64_t{at(10, 5)}, std::int64_t{at(16, 40)},
          std::int64_t{at(23, 59, 59)}, std::int64_t{1'700'000'000}}) {
        for (const std::int32_t t : outside) {
            EXPECT_FALSE(isTimeOfDay(t)) << t;
            EXPECT_EQ(ticksUntil(t, now), -1) << now << " " << t;
            EXPECT_EQ(returnOrderKey(t, now), kReturnOrderKeys - 1) << now << " " << t;
        }
        for (std::int32_t t = 0; t < 86400; t += 599) {
            ASSERT_TRUE(isTimeOfDay(t));
            ASSERT_EQ(returnOrderKey(t, now), ticksUntil(t, now) + 1) << now << " " << t;
            ASSERT_LT(returnOrderKey(t, now), kReturnOrderKeys - 1);
        }
        EXPECT_TRUE(isTimeOfDay(86399));
    }
}
