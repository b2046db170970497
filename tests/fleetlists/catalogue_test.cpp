#include "fleetlists/catalogue.h"
#include "fleetlists/help_description.h"

#include <gtest/gtest.h>

using namespace reef::fleetlists;
using reef::platform::Color;
using reef::platform::rgb;

namespace {

const FleetListTables& tables() {
    static const FleetListTables built = buildFleetListTables();
    return built;
}

constexpr Color kGreen = rgb(133, 194, 61);
constexpr Color kRed = rgb(255, 71, 71);
constexpr Color kCyan = rgb(78, 212, 236);
constexpr Color kAmber = rgb(255, 204, 0);

} // namespace

namespace {

struct HelpStatusCase {
    FleetListKind kind;
    int code;
    std::string name;
    Color background;
    std::string description;
};

// Every sentence with its own joint to the name in front of it: a leading blank, or the
// "s" of the genitive, and the trailing blank of the enemy's code 2.
const HelpStatusCase kHelpStatuses[] = {
    {FleetListKind::Allied, 0, "OK", kGreen, " hat alles unter Kontrolle."},
    {FleetListKind::Allied, 1, "Hilfe", kRed,
     " möchte Hilfe beim Ziel und wünscht Deffer bei Rückkehr. Kontaktieren!"},
    {FleetListKind::Allied, 2, "Deff", kRed,
     " hat genug Schiffe für das Ziel und sucht Deffer bei Rückkehr. Kontaktieren!"},
    {FleetListKind::Allied, 3, "Ziel", kCyan,
     " sucht Helfer beim Ziel und braucht keine weiteren Deffer bei Rückkehr. Kontaktieren!"},
    {FleetListKind::Allied, 4, "Abbruch", kAmber,
     " wird bald Abbrechen und bittet alle anderen, dies auch zu tun!"},
    {FleetListKind::Allied, 5, "", kWhite,
     "s Hilfewunsch ist erledigt, da dieser Spieler bereits auf dem Rückweg ist."},
    {FleetListKind::Enemy, 0, "OK", kGreen, " hat alles unter Kontrolle."},
    {FleetListKind::Enemy, 1, "Hilfe", kRed,
     " braucht noch unbedingt Hilfe. Vermutlich möchte dieser Spieler gedefft werden. "
     "Kontaktieren!"},
    {FleetListKind::Enemy, 2, "kann", kCyan, " hat nichts dagegen, wenn noch mehr deffen kommen. "},
    {FleetListKind::Enemy, 3, "Achtung", kAmber,
     " weis noch nichts vom Angriff und wird wohl seine Flotte verlieren."},
    {FleetListKind::Enemy, 4, "gedefft", kWhite, " wird vom Gegner verteidigt."},
    {FleetListKind::Enemy, 5, "", kWhite,
     "s Hilfewunsch hat sich erledigt, da der Gegner auf dem Rückweg ist."},
};

} // namespace

TEST(HelpStatusCatalogue, NamesColoursAndSentencesOfBothLists) {
    for (const HelpStatusCase& expected : kHelpStatuses) {
        const HelpStatus* status = tables().help.find(expected.kind, expected.code);
        ASSERT_NE(status, nullptr) << expected.code;
        EXPECT_EQ(status->name, expected.name) << expected.code;
        EXPECT_EQ(status->background, expected.background) << expected.code;
        EXPECT_EQ(status->description, expected.description) << expected.code;
    }
}

TEST(HelpStatusCatalogue, SentencesAreWindows1252) {
    // "ü" of "möchte ... wünscht" is one byte, as every text of the program.
    EXPECT_EQ(tables().help.find(FleetListKind::Allied, 1)->description.substr(0, 8), " m\xF6"
                                                                                      "chte ");
}

TEST(HelpStatusCatalogue, CodesOutsideTheTableHaveNoEntry) {
    EXPECT_EQ(tables().help.find(FleetListKind::Allied, 6), nullptr);
    EXPECT_EQ(tables().help.find(FleetListKind::Enemy, -1), nullptr);
    EXPECT_EQ(tables().help.find(static_cast<FleetListKind>(2), 0), nullptr);
}

TEST(MissionTable, TextsAndColours) {
    const MissionTable& missions = tables().missions;
    EXPECT_EQ(missions.find(0)->text, "n/a");
    EXPECT_EQ(missions.find(0)->background, kWhite);
    EXPECT_EQ(missions.find(1)->text, "Verteidigen");
    EXPECT_EQ(missions.find(1)->background, kGreen);
    EXPECT_EQ(missions.find(2)->text, "Angreifen");
    EXPECT_EQ(missions.find(2)->background, kRed);
    EXPECT_EQ(missions.find(3), nullptr);
    EXPECT_EQ(missions.find(-1), nullptr);
}

TEST(HelpDescription, AlliedSettledRequestFormsTheGenitive) {
    FleetEntry entry;
    entry.Name = "Paul";
    EXPECT_EQ(helpDescription(tables().help, FleetListKind::Allied, 5, entry),
              "Pauls Hilfewunsch ist erledigt, da dieser Spieler bereits auf dem R\xFC"
              "ckweg ist.");
}

TEST(HelpDescription, AlliedIgnoresVon) {
    FleetEntry entry;
    entry.Name = "Paul";
    entry.ZielName = "Zora";
    entry.Von = "Bert";
    EXPECT_EQ(helpDescription(tables().help, FleetListKind::Allied, 0, entry),
              "Paul hat alles unter Kontrolle.");
}

TEST(HelpDescription, EnemyEnteredByTheTargetHimself) {
    FleetEntry entry;
    entry.Name = "Attacker";
    entry.ZielName = "Anna";
    entry.Von = "Anna";
    EXPECT_EQ(helpDescription(tables().help, FleetListKind::Enemy, 3, entry),
              "Anna weis noch nichts vom Angriff und wird wohl seine Flotte verlieren.");
}

TEST(HelpDescription, EnemyEnteredBySomeoneElse) {
    FleetEntry entry;
    entry.ZielName = "Anna";
    entry.Von = "Bert";
    EXPECT_EQ(helpDescription(tables().help, FleetListKind::Enemy, 3, entry),
              "Anna weis noch nichts vom Angriff und wird wohl seine Flotte verlieren. "
              "(Eingetragen von Bert)");
    entry.Von = "anna";
    EXPECT_EQ(helpDescription(tables().help, FleetListKind::Enemy, 2, entry),
              "Anna hat nichts dagegen, wenn noch mehr deffen kommen.  (Eingetragen von anna)")
        << "letter case counts; the sentence's own trailing blank stays";
}

TEST(HelpDescription, UnknownCodeGivesNoText) {
    FleetEntry entry;
    entry.Name = "Paul";
    EXPECT_EQ(helpDescription(tables().help, FleetListKind::Allied, 6, entry), "");
}

TEST(HelpCodeOfName, FindsTheCodeOfAHelpCell) {
    const HelpStatusCatalogue& help = tables().help;
    EXPECT_EQ(helpCodeOfName(help, FleetListKind::Allied, "Deff"), 2);
    EXPECT_EQ(helpCodeOfName(help, FleetListKind::Allied, ""), 5);
    EXPECT_EQ(helpCodeOfName(help, FleetListKind::Allied, "kann"), -1) << "an enemy name";
    EXPECT_EQ(helpCodeOfName(help, FleetListKind::Enemy, "gedefft"), 4);
    EXPECT_EQ(helpCodeOfName(help, FleetListKind::Enemy, "ok"), -1) << "exact comparison";
}
