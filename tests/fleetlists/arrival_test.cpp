#include "fleetlists/arrival.h"

#include <gtest/gtest.h>

using namespace reef::fleetlists;

namespace {

constexpr std::int64_t kNow = 10 * 3600 + 5 * 60; // 10:05

FleetEntry entryWith(int code, std::int32_t zielZeit) {
    FleetEntry entry;
    entry.Hilfe = static_cast<std::int8_t>(code);
    entry.ZielZeit = zielZeit;
    return entry;
}

int arrivedCode(FleetListKind kind, int code, std::int32_t zielZeit) {
    FleetEntry entry = entryWith(code, zielZeit);
    applyArrival(kind, entry, kNow);
    return entry.Hilfe;
}

constexpr std::int32_t kThisSlot = 10 * 3600;        // 0 ticks
constexpr std::int32_t kPast = 9 * 3600 + 20 * 60;   // -1
constexpr std::int32_t kNextSlot = 10 * 3600 + 1200; // 1 tick

} // namespace

TEST(ApplyArrival, AlliedCodesAfterArrival) {
    for (const std::int32_t arrived : {kThisSlot, kPast}) {
        EXPECT_EQ(arrivedCode(FleetListKind::Allied, 0, arrived), 0);
        EXPECT_EQ(arrivedCode(FleetListKind::Allied, 1, arrived), 1) << "help stays wanted";
        EXPECT_EQ(arrivedCode(FleetListKind::Allied, 2, arrived), 2);
        EXPECT_EQ(arrivedCode(FleetListKind::Allied, 3, arrived), 0) << "Ziel becomes OK";
        EXPECT_EQ(arrivedCode(FleetListKind::Allied, 4, arrived), 5) << "Abbruch is settled";
        EXPECT_EQ(arrivedCode(FleetListKind::Allied, 5, arrived), 5);
    }
}

TEST(ApplyArrival, EveryArrivedEnemyIsSettled) {
    for (const std::int32_t arrived : {kThisSlot, kPast}) {
        for (int code = 0; code < 6; ++code) {
            EXPECT_EQ(arrivedCode(FleetListKind::Enemy, code, arrived), 5) << code;
        }
    }
}

TEST(ApplyArrival, NothingChangesBeforeArrival) {
    for (const auto kind : {FleetListKind::Allied, FleetListKind::Enemy}) {
        for (int code = 0; code < 6; ++code) {
            EXPECT_EQ(arrivedCode(kind, code, kNextSlot), code);
        }
    }
}

TEST(ApplyArrival, UnknownOrOutOfDayTargetTimeChangesNothing) {
    // -1 would otherwise count as a past time of the day; a value outside the day says
    // nothing about an arrival, so the code the server sent stays.
    for (const auto kind : {FleetListKind::Allied, FleetListKind::Enemy}) {
        for (const std::int32_t zielZeit : {kNoTime, -10000, 86400, 200000, 2147483647}) {
            for (int code = 0; code < 6; ++code) {
                EXPECT_EQ(arrivedCode(kind, code, zielZeit), code) << zielZeit;
            }
        }
    }
}

TEST(ApplyArrival, OnlyTheHelpCodeChanges) {
    FleetEntry entry = entryWith(3, kPast);
    entry.Name = "Paul";
    entry.BasisZeit = 12 * 3600;
    FleetEntry expected = entry;
    expected.Hilfe = 0;
    applyArrival(FleetListKind::Allied, entry, kNow);
    EXPECT_EQ(entry, expected);
}
