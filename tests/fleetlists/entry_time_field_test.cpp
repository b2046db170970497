#include "fleetlists/entry_time_field.h"

#include <gtest/gtest.h>

using reef::fleetlists::snappedTimeText;
using reef::fleetlists::tickLabelText;

namespace {

// 08.12.2026 10:05 local time.
constexpr std::int64_t kTenPastTen = 1796688000 + 10 * 3600 + 5 * 60;

struct SnapCase {
    const char* text;
    const char* snapped;
};

TEST(SnappedTimeText, MovesTheTimeDownOntoTheTickGrid) {
    const SnapCase cases[] = {
        {"10:25", "10:20"}, {"10:20", "10:20"}, {"10:19", "10:00"},    {"23:59", "23:40"},
        {"7:5", "07:00"},   {"7.45", "07:40"},  {"10:20:00", "10:20"}, {"0:0", "00:00"},
    };
    for (const SnapCase& c : cases) {
        EXPECT_EQ(snappedTimeText(c.text), c.snapped) << c.text;
    }
}

TEST(SnappedTimeText, TextThatIsNoClockTimeBecomesMidnight) {
    for (const char* text : {"", "24:00", "12:60", "abc", "12", ":30"}) {
        EXPECT_EQ(snappedTimeText(text), "00:00") << text;
    }
}

struct TickCase {
    const char* text;
    const char* label;
};

TEST(TickLabelText, CountsTicksToTheSnappedTimeOrSaysItHasPassed) {
    const TickCase cases[] = {
        {"10:20", "1"},  {"10:25", "1"},    {"10:00", "0"},    {"09:50", "abg."},
        {"20:00", "30"}, {"09:40", "abg."}, {"23:40", "abg."}, {"", "abg."},
    };
    for (const TickCase& c : cases) {
        EXPECT_EQ(tickLabelText(c.text, kTenPastTen), c.label) << c.text;
    }
}

TEST(TickLabelText, EmptyTextCountsToMidnightAfterTwoInTheAfternoon) {
    // 22:00: midnight is 6 ticks away.
    const std::int64_t tenPm = 1796688000 + 22 * 3600;
    EXPECT_EQ(tickLabelText("", tenPm), "6");
}

} // namespace
