// Which downloads raise which notification, and "Alarm.dat" as a player may write it.

#include "fleetlists/list_alerts.h"
#include "support/scoped_temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace reef::fleetlists {
namespace {

constexpr FleetListKind kEnemy = FleetListKind::Enemy;
constexpr FleetListKind kAllied = FleetListKind::Allied;
// 10:05:00 local time on 08.12.2026.
constexpr std::int64_t kNow = 1796688000 + 10 * 3600 + 5 * 60;

FleetEntry fleet(const std::string& name, const std::string& target, std::int8_t help = 0) {
    FleetEntry entry;
    entry.Hilfe = help;
    entry.Name = name;
    entry.Allianz = "EVL";
    entry.Basis = "1:2:3";
    entry.Schiffe = 40;
    entry.Modus = 2;
    entry.ZielName = target;
    entry.ZielBasis = "4:5:6";
    entry.ZielZeit = 11 * 3600; // 3 ticks away
    entry.BasisZeit = 12 * 3600;
    entry.Von = "Otto";
    return entry;
}

template <typename Change> FleetEntry changed(FleetEntry entry, Change change) {
    change(entry);
    return entry;
}

struct Case {
    const char* what;
    FleetListKind kind;
    std::vector<FleetEntry> before;
    std::vector<FleetEntry> after;
    AlarmSettings settings;
    std::optional<ListAlert> expected;
};

TEST(ListAlerts, WhichDownloadRaisesWhichNotification) {
    const FleetEntry bert = fleet("Bert", "Anna");
    const FleetEntry carl = fleet("Carl", "Dora");
    const FleetEntry onMe = fleet("Emil", "mÄx");
    const FleetEntry helpCall = fleet("Paul", "Zack", 1);
    const AlarmSettings all;
    const AlarmSettings ownOnly{.ownOnly = true};
    const AlarmSettings quiet{.sound = false};
    const std::string enemyTitle = "Reef - Tools: Gegnerische Flotten";
    const std::string alliedTitle = "Reef - Tools: Verbündete Flotten";
    const std::vector<Case> cases = {
        {"a new enemy entry",
         kEnemy,
         {bert},
         {bert, carl},
         all,
         ListAlert{enemyTitle,
                   "Neue gegnerische Flotte: Carl (EVL) greift Dora (4:5:6) an, Ankunft "
                   "11:00:00 (in 3 Ticks)",
                   true}},
        {"an attack on the player, without sound",
         kEnemy,
         {},
         {onMe},
         quiet,
         ListAlert{"Angriff auf dich!",
                   "Neue gegnerische Flotte: Emil (EVL) greift mÄx (4:5:6) an, Ankunft "
                   "11:00:00 (in 3 Ticks)",
                   false}},
        {"a defence, no alliance, no impact time, one tick",
         kEnemy,
         {},
         {changed(bert,
                  [](FleetEntry& e) {
                      e.Modus = 1;
                      e.Allianz = "";
                      e.ZielZeit = kNoTime;
                  })},
         all,
         ListAlert{enemyTitle, "Neue gegnerische Flotte: Bert verteidigt Anna (4:5:6)", true}},
        {"several at once, one of them on the player",
         kEnemy,
         {bert},
         {carl, bert, onMe},
         all,
         ListAlert{"Angriff auf dich!",
                   "2 neue gegnerische Flotten, Ziele: Dora (4:5:6), mÄx (4:5:6)", true}},
        {"changes that keep name and return time raise nothing",
         kEnemy,
         {bert, carl},
         {changed(carl,
                  [](FleetEntry& e) {
                      e.Schiffe = 99;
                      e.Hilfe = 1;
                      e.Basis = "9:9:9";
                      e.UpdateZeit = 555;
                  }),
          bert},
         all,
         std::nullopt},
        {"a new return time is a new entry",
         kEnemy,
         {bert},
         {changed(bert, [](FleetEntry& e) { e.BasisZeit = 13 * 3600; })},
         all,
         ListAlert{enemyTitle,
                   "Neue gegnerische Flotte: Bert (EVL) greift Anna (4:5:6) an, Ankunft "
                   "11:00:00 (in 3 Ticks)",
                   true}},
        {"a second fleet of one player home at the same time, from another base",
         kEnemy,
         {bert},
         {bert, changed(bert, [](FleetEntry& e) { e.Basis = "7:7:7"; })},
         all,
         ListAlert{enemyTitle,
                   "Neue gegnerische Flotte: Bert (EVL) greift Anna (4:5:6) an, Ankunft "
                   "11:00:00 (in 3 Ticks)",
                   true}},
        {"only attacks on the player", kEnemy, {}, {bert, carl}, ownOnly, std::nullopt},
        {"only attacks on the player, one of them",
         kEnemy,
         {},
         {bert, onMe},
         ownOnly,
         ListAlert{"Angriff auf dich!",
                   "Neue gegnerische Flotte: Emil (EVL) greift mÄx (4:5:6) an, Ankunft "
                   "11:00:00 (in 3 Ticks)",
                   true}},
        {"enemy alerts off", kEnemy, {}, {onMe}, AlarmSettings{.enemy = false}, std::nullopt},
        {"an allied entry that now calls for help",
         kAllied,
         {fleet("Paul", "Zack")},
         {helpCall},
         all,
         ListAlert{alliedTitle,
                   "Hilfe gesucht: Paul (EVL) greift Zack (4:5:6) an, Ankunft 11:00:00 (in 3 "
                   "Ticks), Rückkehr 12:00:00 (in 6 Ticks)",
                   true}},
        {"a new allied entry that calls for help",
         kAllied,
         {},
         {helpCall, fleet("Olga", "Zack")},
         all,
         ListAlert{alliedTitle,
                   "Hilfe gesucht: Paul (EVL) greift Zack (4:5:6) an, Ankunft 11:00:00 (in 3 "
                   "Ticks), Rückkehr 12:00:00 (in 6 Ticks)",
                   true}},
        {"two calls for help",
         kAllied,
         {},
         {helpCall, changed(helpCall, [](FleetEntry& e) { e.Name = "Rudi"; })},
         all,
         ListAlert{alliedTitle, "2 Hilfegesuche: Paul, Rudi", true}},
        {"a call for help that stands, a target on the player, other codes",
         kAllied,
         {helpCall},
         {helpCall, fleet("Emil", "Max", 2), fleet("Udo", "Max", 3)},
         all,
         std::nullopt},
        {"help alerts off", kAllied, {}, {helpCall}, AlarmSettings{.help = false}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto alert = alertForDownload(c.kind, c.before, c.after, c.settings, "MäX", kNow);
        ASSERT_EQ(alert.has_value(), c.expected.has_value());
        if (alert) {
            EXPECT_EQ(alert->title, c.expected->title);
            EXPECT_EQ(alert->text, c.expected->text);
            EXPECT_EQ(alert->sound, c.expected->sound);
        }
    }
}

TEST(ListAlerts, ACountNamesTheFirstFiveTargets) {
    std::vector<FleetEntry> after;
    for (const char* target : {"A", "B", "C", "D", "E", "F", "G"}) {
        after.push_back(fleet(std::string("X") + target, target));
    }
    const auto alert = alertForDownload(kEnemy, {}, after, {}, "", kNow);
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->text, "7 neue gegnerische Flotten, Ziele: A (4:5:6), B (4:5:6), C (4:5:6), "
                           "D (4:5:6), E (4:5:6), ...");
}

TEST(AlarmSettingsFile, EveryKeyIsOneOrZeroAndAnythingElseKeepsItsDefault) {
    const struct {
        const char* content; // nullptr: no file
        AlarmSettings expected;
    } cases[] = {
        {nullptr, {}},
        {"", {}},
        {"Gegner = 0\r\nHilfe = 0\r\nNurEigene = 1\r\nTon = 0\r\n",
         {.enemy = false, .help = false, .ownOnly = true, .sound = false}},
        {"  gegner=0\nTON =\t0  \n", {.enemy = false, .sound = false}},
        {"Gegner = 2\nHilfe = nein\nNurEigene = 01\nTon =\n", {}},
        {"Gegner = -0\nHilfe = 0x\n[Alt]\nTon = 0\n", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content ? c.content : "(no file)");
        reef::testing::ScopedTempDir dir;
        if (c.content) {
            std::ofstream(kAlarmFileName, std::ios::binary) << c.content;
        }
        EXPECT_EQ(loadAlarmSettings(), c.expected);
    }
}

} // namespace
} // namespace reef::fleetlists
