// The list server's copy of the desktop program's help texts, missions, tick countdown and
// Windows-1252 conversion, held equal to the desktop program's own.

#include "listserver/webhook_texts.h"

#include "fleetlists/catalogue.h"
#include "fleetlists/ticks.h"
#include "text/cp1252.h"

#include <gtest/gtest.h>

using namespace reef;

namespace {

std::uint32_t packed(platform::Color colour) {
    return (std::uint32_t{colour.r} << 16) | (std::uint32_t{colour.g} << 8) | colour.b;
}

TEST(WebhookTexts, HelpNamesColoursAndSentencesAreTheDesktopProgramsInUtf8) {
    const fleetlists::FleetListTables tables = fleetlists::buildFleetListTables();
    for (auto [server, desktop] :
         {std::pair{listserver::ListKind::Allied, fleetlists::FleetListKind::Allied},
          std::pair{listserver::ListKind::Enemy, fleetlists::FleetListKind::Enemy}}) {
        for (int code = 0; code < fleetlists::kHelpCodeCount; ++code) {
            const fleetlists::HelpStatus* expected = tables.help.find(desktop, code);
            ASSERT_NE(expected, nullptr);
            const listserver::HelpText& copy = listserver::helpText(server, code);
            SCOPED_TRACE("kind " + std::to_string(static_cast<int>(server)) + " code " +
                         std::to_string(code));
            EXPECT_EQ(copy.name, text::cp1252ToUtf8(expected->name));
            EXPECT_EQ(copy.colour, packed(expected->background));
            EXPECT_EQ(copy.sentence, text::cp1252ToUtf8(expected->description));
        }
    }
}

TEST(WebhookTexts, MissionsAreTheDesktopProgramsAndUnknownCodesReadAsNotGiven) {
    const fleetlists::FleetListTables tables = fleetlists::buildFleetListTables();
    for (int modus = 0; modus < fleetlists::kMissionCount; ++modus)
        EXPECT_EQ(listserver::missionText(modus),
                  text::cp1252ToUtf8(tables.missions.find(modus)->text));
    EXPECT_STREQ(listserver::missionText(7), "n/a");
    EXPECT_STREQ(listserver::helpText(listserver::ListKind::Enemy, 9).name, "");
}

TEST(WebhookTexts, TickCountdownAgreesWithTheDesktopProgramAtEveryMinute) {
    int compared = 0;
    for (std::int32_t now = 0; now < 86400; now += 60) {
        for (std::int32_t t = 0; t < 86400; t += 300) {
            ASSERT_EQ(listserver::ticksUntil(t, now), fleetlists::ticksUntil(t, now))
                << "now " << now << " t " << t;
            ++compared;
        }
    }
    EXPECT_EQ(compared, 1440 * 288);
}

TEST(WebhookTexts, Cp1252ToUtf8AgreesWithTheDesktopProgramForEveryByte) {
    for (int byte = 0; byte < 256; ++byte) {
        const std::string one(1, static_cast<char>(byte));
        EXPECT_EQ(listserver::cp1252ToUtf8(one), text::cp1252ToUtf8(one)) << byte;
    }
}

} // namespace
