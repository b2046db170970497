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

std::string nameOf(FleetListKind kind, int code) {
    return tables().help.find(kind, code)->name;
}

Color colourOf(FleetListKind kind, int code) {
    return tables().help.find(kind, code)->background;
}

constexpr Color kGreen = rgb(133, 194, 61);
constexpr Color kRed = rgb(255, 71, 71);
constexpr Color kCyan = rgb(78, 212, 236);
constexpr Color kAmber = rgb(255, 204, 0);

} // namespace

TEST(HelpStatusCatalogue, AlliedNamesAndColours) {
    const auto kind = FleetListKind::Allied;
    const std::vector<std::string> names{"OK", "Hilfe", "Deff", "Ziel", "Abbruch", ""};
    const std::vector<Color> colours{kGreen, kRed, kRed, kCyan, kAmber, kWhite};
    for (int code = 0; code < 6; ++code) {
        EXPECT_EQ(nameOf(kind, code), names[static_cast<std::size_t>(code)]) << code;
        EXPECT_EQ(colourOf(kind, code), colours[static_cast<std::size_t>(code)]) << code;
    }
}

TEST(HelpStatusCatalogue, EnemyNamesAndColours) {
    const auto kind = FleetListKind::Enemy;
    const std::vector<std::string> names{"OK", "Hilfe", "kann", "Achtung", "gedefft", ""};
    const std::vector<Color> colours{kGreen, kRed, kCyan, kAmber, kWhite, kWhite};
    for (int code = 0; code < 6; ++code) {
        EXPECT_EQ(nameOf(kind, code), names[static_cast<std::size_t>(code)]) << code;
        EXPECT_EQ(colourOf(kind, code), colours[static_cast<std::size_t>(code)]) << code;
    }
}

TEST(HelpStatusCatalogue, SentencesBringTheirOwnJoint) {
    for (const auto kind : {FleetListKind::Allied, FleetListKind::Enemy}) {
        for (int code = 0; code < 5; ++code) {
            EXPECT_EQ(tables().help.find(kind, code)->description.front(), ' ') << code;
        }
        EXPECT_EQ(tables().help.find(kind, 5)->description.front(), 's');
    }
    EXPECT_EQ(tables().help.find(FleetListKind::Enemy, 2)->description,
              " hat nichts dagegen, wenn noch mehr deffen kommen. ");
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
