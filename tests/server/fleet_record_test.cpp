// Rows of a downloaded list: one record into an entry, the body parsed however it is cut into
// blocks, and the order by return ticks.

#include "fleetlists/ticks.h"
#include "server/fleet_record.h"
#include "server/list_body_parser.h"
#include "wire/list_format.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using reef::fleetlists::FleetEntry;
using reef::fleetlists::FleetListKind;
using reef::server::ListBodyParser;
using reef::server::parseFleetRecord;
using reef::server::sortByReturnTicks;

// 10:05:00.
constexpr std::int64_t kNow = 19844LL * 86400 + 10 * 3600 + 5 * 60;

std::string record(const std::string& hilfe, const std::string& name, const std::string& zielZeit,
                   const std::string& basisZeit = "36000") {
    std::string text;
    reef::wire::appendRecord(text, {hilfe, name, "A", "B", " -12", "+7x", "2", "ZN", "ZA", "ZB",
                                    "9999999999", "V", zielZeit, basisZeit, "1700000000"});
    return text;
}

TEST(ParseFleetRecord, ReadsTheFifteenFieldsAndReturnsTheRest) {
    std::vector<FleetEntry> list;
    const std::string text = record("3", "Anna", "") + "<|rest";
    EXPECT_EQ(parseFleetRecord(FleetListKind::Allied, list, text, kNow), "<|rest");
    ASSERT_EQ(list.size(), 1u);
    const FleetEntry& e = list[0];
    EXPECT_EQ(e.Hilfe, 3);
    EXPECT_EQ(e.Name, "Anna");
    EXPECT_EQ(e.Punkte, -12);
    EXPECT_EQ(e.Schiffe, 7);
    EXPECT_EQ(e.Modus, 2);
    EXPECT_EQ(e.ZielPunkte, 9999999999);
    EXPECT_EQ(e.Von, "V");
    EXPECT_EQ(e.ZielZeit, reef::fleetlists::kNoTime);
    EXPECT_EQ(e.BasisZeit, 36000);
    EXPECT_EQ(e.UpdateZeit, 1700000000);
}

TEST(ParseFleetRecord, LineBreaksAndNulInsideTextsBecomeBlanks) {
    std::vector<FleetEntry> list;
    parseFleetRecord(FleetListKind::Allied, list, record("0", std::string("a\rb\nc\0d", 7), ""),
                     kNow);
    EXPECT_EQ(list.at(0).Name, "a b c d");
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

TEST(ParseFleetRecord, AddsNothingWithoutAWholeRecord) {
    std::vector<FleetEntry> list;
    const std::string text = record("3", "Anna", "").substr(0, 40);
    EXPECT_EQ(parseFleetRecord(FleetListKind::Allied, list, text, kNow), text);
    EXPECT_TRUE(list.empty());
}

TEST(ListBodyParser, GivesTheSameRowsWhereverTheBodyIsCut) {
    const std::string body = record("1", "a", "") + "\r\n" + record("2", "b|", "40000") +
                             record("4", "c<", "") + std::string(reef::wire::kEndMarker);
    for (std::size_t cut = 0; cut <= body.size(); ++cut) {
        ListBodyParser parser(FleetListKind::Allied, kNow);
        bool finished = false;
        for (const std::string_view piece :
             {std::string_view(body).substr(0, cut), std::string_view(body).substr(cut)}) {
            parser.append(piece);
            finished = parser.takeEndMarker() || finished;
            parser.parseWholeRecords();
        }
        EXPECT_TRUE(finished) << cut;
        ASSERT_EQ(parser.rows().size(), 3u) << cut;
        EXPECT_EQ(parser.rows()[1].Name, "b|");
        EXPECT_EQ(parser.rows()[2].Name, "c<");
    }
}

// The selection sort the order is defined by, written out as the reference.
void selectionSort(std::vector<FleetEntry>& list, std::int64_t now) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        int best = 10000;
        std::size_t at = i;
        for (std::size_t j = i; j < list.size(); ++j) {
            const int ticks = reef::fleetlists::ticksUntil(list[j].BasisZeit, now);
            if (ticks < best) {
                best = ticks;
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
            selectionSort(expected, kNow);
            sortByReturnTicks(list, kNow);
            EXPECT_EQ(list, expected) << size;
        }
    }
}

TEST(SortByReturnTicks, TiesDoNotKeepTheirOrder) {
    std::vector<FleetEntry> list(3);
    const std::pair<const char*, std::int32_t> rows[] = {{"A", 43200}, {"B", 43200}, {"C", 36000}};
    for (std::size_t i = 0; i < 3; ++i) {
        list[i].Name = rows[i].first;
        list[i].BasisZeit = rows[i].second;
    }
    sortByReturnTicks(list, kNow);
    EXPECT_EQ(list[0].Name + list[1].Name + list[2].Name, "CBA");
}

} // namespace
