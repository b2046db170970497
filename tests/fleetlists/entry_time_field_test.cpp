#include "fleetlists/entry_time_field.h"

#include <gtest/gtest.h>

using reef::fleetlists::snappedTimeText;
using reef::fleetlists::tickLabelText;

namespace {

// 08.12.2026 10:05 local time.
constexpr std::int64_t kTenPastTen = 1796688000 + 10 * 3600 + 5 * 60;

struct TimeCase {
    const char* text;
    const char* snapped;
    const char* ticks; // at 10:05
};

TEST(EntryTimeField, SnapsToTheTickGridAndCountsTheTicksOfTheSnappedTime) {
    const TimeCase cases[] = {
        {"10:25", "10:20", "1"},    {"10:19", "10:00", "0"},    {"23:59", "23:40", "abg."},
        {"7.45", "07:40", "abg."},  {"10:20:00", "10:20", "1"}, {"20:00", "20:00", "30"},
        {"09:50", "09:40", "abg."}, {"", "00:00", "abg."},      {"24:00", "00:00", "abg."},
        {"12:60", "00:00", "abg."}, {"abc", "00:00", "abg."},   {"12", "00:00", "abg."}};
    for (const TimeCase& c : cases) {
        EXPECT_EQ(snappedTimeText(c.text), c.snapped) << c.text;
        EXPECT_EQ(tickLabelText(c.text, kTenPastTen), c.ticks) << c.text;
    }
    // At 22:00 midnight, what an empty field counts to, is 6 ticks away.
    EXPECT_EQ(tickLabelText("", kTenPastTen + 12 * 3600 - 5 * 60), "6");
}

} // namespace
