// The list server's copy of the desktop program's help texts, missions and tick countdown,
// held equal to the desktop program's own, and its names in UTF-8 as the program reads them.

#include "listserver/chat/webhook_texts.h"

#include "fleetlists/catalogue.h"
#include "fleetlists/ticks.h"
#include "text/cp1252.h"

#include <gtest/gtest.h>

using namespace reef;

namespace {

TEST(WebhookTexts, HelpTextsAndMissionsAreTheDesktopProgramsInUtf8) {
    const fleetlists::FleetListTables tables = fleetlists::buildFleetListTables();
    for (int kind = 0; kind < 2; ++kind) {
        for (int code = 0; code < fleetlists::kHelpCodeCount; ++code) {
            const auto* expected =
                tables.help.find(static_cast<fleetlists::FleetListKind>(kind), code);
            const auto& copy = listserver::helpText(static_cast<listserver::ListKind>(kind), code);
            const auto colour = expected->background;
            EXPECT_EQ(copy.name, text::cp1252ToUtf8(expected->name)) << kind << "/" << code;
            EXPECT_EQ(copy.colour, (colour.r << 16u) | (colour.g << 8u) | colour.b);
            EXPECT_EQ(copy.sentence, text::cp1252ToUtf8(expected->description));
        }
    }
    for (int modus = 0; modus < fleetlists::kMissionCount; ++modus)
        EXPECT_EQ(listserver::missionText(modus),
                  text::cp1252ToUtf8(tables.missions.find(modus)->text));
}

TEST(WebhookTexts, TickCountdownAgreesWithTheDesktopProgramAtEveryMinute) {
    for (std::int32_t now = 0; now < 86400; now += 60)
        for (std::int32_t t = 0; t < 86400; t += 300)
            ASSERT_EQ(listserver::ticksUntil(t, now), fleetlists::ticksUntil(t, now))
                << "now " << now << " t " << t;
}

TEST(WebhookTexts, Cp1252ToUtf8AgreesWithTheDesktopProgramForEveryByte) {
    // A player's name in an alert reads back, by the desktop program's reader of UTF-8, as the
    // very bytes the program sent.
    const std::string sentence =
        text::utf8ToCp1252(listserver::helpText(listserver::ListKind::Allied, 1).sentence);
    for (int byte = 0; byte < 256; ++byte) {
        listserver::FleetEntry entry;
        entry.Hilfe = 1;
        entry.Name = std::string(1, static_cast<char>(byte)) + "x";
        EXPECT_EQ(
            text::utf8ToCp1252(listserver::helpSentenceOf(listserver::ListKind::Allied, entry)),
            entry.Name + sentence)
            << byte;
    }
}

} // namespace
