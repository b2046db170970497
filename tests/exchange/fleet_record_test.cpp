// Rows of a downloaded list: one record into an entry, the body parsed however it is cut into
// blocks, and the order by return ticks.

#include "exchange/fleet_record.h"
#include "exchange/list_body_parser.h"
#include "fleetlists/ticks.h"
#include "wire/list_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>

namespace {

using reef::fleetlists::FleetEntry;
using reef::fleetlists::FleetListKind;
using namespace reef::exchange;

constexpr std::int64_t kNow = 19844LL * 86400 + 10 * 3600 + 5 * 60; // 10:05:00

std::string record(const std::string& hilfe, const std::string& name, const std::string& zielZeit) {
    std::string text;
    reef::wire::appendRecord(text, {hilfe, name, "A", "B", " -12", "+7x", "2", "ZN", "ZA", "ZB",
                                    "9999999999", "V", zielZeit, "36000", "1700000000"});
    return text;
}

TEST(ParseFleetRecord, ReadsTheFifteenFieldsAndReturnsTheRest) {
    std::vector<FleetEntry> list;
    const std::string text = record("3", std::string("a\rb\nc\0d", 7), "") + "<|rest";
    EXPECT_EQ(parseFleetRecord(FleetListKind::Allied, list, text, kNow), "<|rest");
    FleetEntry expected{.Hilfe = 3,
                        .Name = "a b c d",
                        .Allianz = "A",
                        .Basis = "B",
                        .Punkte = -12,
                        .Schiffe = 7,
                        .Modus = 2,
                        .ZielName = "ZN",
                        .ZielAllianz = "ZA",
                        .ZielBasis = "ZB",
                        .ZielPunkte = 9999999999,
                        .ZielZeit = reef::fleetlists::kNoTime,
                        .BasisZeit = 36000,
                        .UpdateZeit = 1700000000,
                        .Von = "V"};
    EXPECT_EQ(list, std::vector<FleetEntry>{expected});
    EXPECT_EQ(parseFleetRecord(FleetListKind::Allied, list, "<|3|><|a", kNow), "<|3|><|a");
    EXPECT_EQ(list.size(), 1u);
}

TEST(ParseFleetRecord, SettlesArrivedFleetsOnly) {
    std::vector<FleetEntry> list;
    parseFleetRecord(FleetListKind::Allied, list, record("3", "arrived", "36000"), kNow);
    parseFleetRecord(FleetListKind::Allied, list, record("3", "underway", "43200"), kNow);
    parseFleetRecord(FleetListKind::Enemy, list, record("1", "enemy", "36000"), kNow);
    EXPECT_EQ(list.at(0).Hilfe, 0);
    EXPECT_EQ(list.at(1).Hilfe, 3);
    EXPECT_EQ(list.at(2).Hilfe, 5);
}

// Numbers no list server of this program sends are kept as far as their fields hold them
// (the help code in 8 bits, counts and times in 32, each wrapping); a target time outside the
// day settles nothing.
TEST(ParseFleetRecord, KeepsOutOfRangeNumbersAsTheirFieldsHoldThem) {
    std::vector<FleetEntry> list;
    for (const auto& values : std::vector<reef::wire::RecordValues>{
             {"99", "a", "", "B", "0", "5000000000", "7", "Z", "", "ZB", "0", "", "200000",
              "-10000", "1700000000"},
             {"300", "b", "", "B", "0", "2147483648", "-1", "Z", "", "ZB", "0", "", "-7",
              "2147483647", "99999999999"},
             {"4", "c", "", "B", "0", "-3", "2", "Z", "", "ZB", "0", "", "86400", "-2147483648",
              "-5"}}) {
        std::string text;
        reef::wire::appendRecord(text, values);
        EXPECT_EQ(parseFleetRecord(FleetListKind::Enemy, list, text, kNow), "");
    }
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].Hilfe, 99);
    EXPECT_EQ(list[1].Hilfe, 300 - 256);
    EXPECT_EQ(list[2].Hilfe, 4) << "the target time outside the day settles nothing";
    EXPECT_EQ(list[0].Schiffe, 705032704) << "5000000000 wraps at 32 bits";
    EXPECT_EQ(list[1].Schiffe, -2147483647 - 1);
    EXPECT_EQ(list[0].Modus, 7);
    EXPECT_EQ(list[1].Modus, -1);
    EXPECT_EQ(list[0].ZielZeit, 200000);
    EXPECT_EQ(list[0].BasisZeit, -10000);
    EXPECT_EQ(list[1].BasisZeit, 2147483647);
    EXPECT_EQ(list[2].BasisZeit, -2147483647 - 1);
    EXPECT_EQ(list[1].UpdateZeit, static_cast<std::int32_t>(99999999999 % 4294967296));
}

TEST(ListBodyParser, GivesTheSameRowsWhereverTheBodyIsCut) {
    const std::string body = record("1", "a", "") + "\r\n" + record("2", "b|", "40000") +
                             record("4", "c<", "") + "<>end|<>";
    for (std::size_t cut = 0; cut <= body.size(); ++cut) {
        ListBodyParser parser(FleetListKind::Allied, kNow);
        bool finished = false;
        for (const std::string& piece : {body.substr(0, cut), body.substr(cut)}) {
            parser.append(piece);
            finished = parser.takeEndMarker() || finished;
            parser.parseWholeRecords();
        }
        EXPECT_TRUE(finished) << cut;
        ASSERT_EQ(parser.rows().size(), 3u) << cut;
        EXPECT_EQ(parser.rows()[1].Name + parser.rows()[2].Name, "b|c<") << cut;
    }
}

// The selection sort that defines the order, as the reference; a return time outside the day
// counts as 72 ticks, one more than any time of the day.
int referenceTicks(std::int32_t basisZeit, std::int64_t now) {
    return reef::fleetlists::isTimeOfDay(basisZeit) ? reef::fleetlists::ticksUntil(basisZeit, now)
                                                    : 72;
}

void selectionSort(std::vector<FleetEntry>& list, std::int64_t now = kNow) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        int best = 10000;
        std::size_t at = i;
        for (std::size_t j = i; j < list.size(); ++j) {
            if (referenceTicks(list[j].BasisZeit, now) < best) {
                best = referenceTicks(list[j].BasisZeit, now);
                at = j;
            }
        }
        std::swap(list[i], list[at]);
    }
}

TEST(SortByReturnTicks, GivesTheSelectionSortsOrderTiesIncluded) {
    std::mt19937 random(7);
    for (const std::size_t size : {0u, 1u, 2u, 3u, 10u, 200u}) {
        for (int round = 0; round < 20; ++round) {
            std::vector<FleetEntry> list(size);
            for (std::size_t i = 0; i < size; ++i) {
                // Few distinct times, so that ties are common; some of them past.
                list[i].BasisZeit = static_cast<std::int32_t>(random() % 8) * 7200;
                list[i].Name = std::to_string(i);
            }
            std::vector<FleetEntry> expected = list;
            selectionSort(expected);
            sortByReturnTicks(list, kNow);
            EXPECT_EQ(list, expected) << size;
        }
    }
}

// A server that keeps to no format may send any 32-bit number as a return time: every row
// stays, the times of the day in their order, the others after them.
TEST(SortByReturnTicks, PutsReturnTimesOutsideTheDayLastAtAnyTimeOfDay) {
    const std::int32_t outside[] = {200000,     -10000,          86400,     -1,
                                    2147483647, -2147483647 - 1, 1700000000};
    std::mt19937 random(11);
    for (std::int64_t now = 19844LL * 86400; now < 19845LL * 86400; now += 1111) {
        std::vector<FleetEntry> list(40);
        for (std::size_t i = 0; i < list.size(); ++i) {
            list[i].BasisZeit = random() % 3 == 0 ? outside[random() % std::size(outside)]
                                                  : static_cast<std::int32_t>(random() % 86400);
            list[i].Name = std::to_string(i);
        }
        std::vector<FleetEntry> expected = list;
        selectionSort(expected, now);
        sortByReturnTicks(list, now);
        ASSERT_EQ(list, expected) << now;
        const auto firstOutside =
            std::find_if(list.begin(), list.end(), [](const FleetEntry& entry) {
                return !reef::fleetlists::isTimeOfDay(entry.BasisZeit);
            });
        ASSERT_NE(firstOutside, list.end());
        EXPECT_TRUE(std::none_of(firstOutside, list.end(), [](const FleetEntry& entry) {
            return reef::fleetlists::isTimeOfDay(entry.BasisZeit);
        })) << now;
    }
}

} // namespace
