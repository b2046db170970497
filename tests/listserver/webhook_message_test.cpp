// Which writes become chat alerts, and the message bodies of the three formats.

#include "listserver/webhook.h"
#include "listserver/webhook_message.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace reef::listserver;
using nlohmann::json;

namespace {

// This file's literals are Windows-1252 (as the stored entries are); what the chat gets is
// UTF-8, written here as u8 literals.
std::string utf8(std::u8string_view text) {
    return std::string(text.begin(), text.end());
}

FleetEntry enemyEntry() {
    FleetEntry entry;
    entry.Hilfe = 1;
    entry.Name = "Klaus Müller";
    entry.Allianz = "Haie";
    entry.Basis = "1:2:3";
    entry.Schiffe = 500;
    entry.Modus = 2;
    entry.ZielName = "Anna";
    entry.ZielAllianz = "Korallen";
    entry.ZielBasis = "4:5:6";
    entry.ZielZeit = 14 * 3600;  // 3 ticks after 13:05
    entry.BasisZeit = 16 * 3600; // 9 ticks after 13:05
    entry.Von = "Bert";
    return entry;
}

FleetEntry alliedEntry() {
    FleetEntry entry;
    entry.Hilfe = 3;
    entry.Name = "Paul";
    entry.Basis = "7:7:7";
    entry.Modus = 1;
    entry.ZielName = "Otto";
    entry.ZielBasis = "8:8:8";
    entry.BasisZeit = 12 * 3600; // earlier the same day: past
    return entry;
}

constexpr std::int32_t kNow = 13 * 3600 + 5 * 60;

json fieldsOf(const json& embed) {
    json byName = json::object();
    for (const json& field : embed["fields"])
        byName[field["name"].get<std::string>()] = field["value"];
    return byName;
}

struct AlertCase {
    ListKind list;
    std::optional<int> before; // nothing: a new entry
    int after;
    std::optional<AlertKind> expected;
};

TEST(WebhookAlert, OnlyNewEnemiesAndNewCallsForHelpBecomeAlerts) {
    const std::vector<AlertCase> cases = {
        {ListKind::Enemy, std::nullopt, 0, AlertKind::NewEnemy},
        {ListKind::Enemy, std::nullopt, 1, AlertKind::NewEnemy},
        {ListKind::Allied, std::nullopt, 1, std::nullopt},
        {ListKind::Enemy, 0, 1, AlertKind::EnemyHelp},
        {ListKind::Enemy, 1, 3, AlertKind::EnemyHelp},
        {ListKind::Enemy, 0, 2, std::nullopt},
        {ListKind::Enemy, 1, 4, std::nullopt},
        {ListKind::Enemy, 3, 5, std::nullopt},
        {ListKind::Enemy, 1, 1, std::nullopt}, // another field changed
        {ListKind::Allied, 0, 1, AlertKind::AlliedHelp},
        {ListKind::Allied, 0, 2, AlertKind::AlliedHelp},
        {ListKind::Allied, 1, 3, AlertKind::AlliedHelp},
        {ListKind::Allied, 3, 3, std::nullopt},
        {ListKind::Allied, 0, 4, std::nullopt},
        {ListKind::Allied, 3, 0, std::nullopt},
        {ListKind::Allied, 4, 5, std::nullopt},
    };
    for (const AlertCase& each : cases) {
        std::optional<FleetEntry> previous;
        if (each.before) {
            previous = FleetEntry{};
            previous->Hilfe = *each.before;
        }
        FleetEntry stored;
        stored.Hilfe = each.after;
        EXPECT_EQ(alertFor(each.list, previous, stored), each.expected)
            << "list " << static_cast<int>(each.list) << " " << each.before.value_or(-1) << " -> "
            << each.after;
    }
}

TEST(WebhookDiscord, NewEnemyIsAnEmbedInTheHelpColourWithTheEntrysFields) {
    const json body = json::parse(
        webhookBody({AlertKind::NewEnemy, enemyEntry(), kNow}, WebhookFormat::Discord, ""));
    const json& embed = body["embeds"][0];
    EXPECT_EQ(embed["title"],
              utf8(u8"Neue gegnerische Flotte: Klaus Müller ") + "\xe2\x86\x92 Anna");
    EXPECT_EQ(embed["color"], 0xFF4747);
    EXPECT_FALSE(embed.contains("description"));
    const json expected = {
        {"Angreifer", utf8(u8"Klaus Müller")},
        {"Allianz", "Haie"},
        {"Basis", "1:2:3"},
        {"Ziel Name", "Anna"},
        {"Ziel Basis", "4:5:6"},
        {"Auftrag", "Angreifen"},
        {"Impakt Time", "14:00 Uhr (in 3 Ticks)"},
        {utf8(u8"Uhrzeit Rückkehr"), "16:00 Uhr (in 9 Ticks)"},
        {"Eingetragen von", "Bert"},
    };
    EXPECT_EQ(fieldsOf(embed), expected);
    EXPECT_FALSE(body.contains("content"));
    EXPECT_EQ(body["allowed_mentions"], json({{"parse", json::array()}}));
}

TEST(WebhookDiscord, MissingValuesShowADashAndAnImpactTimeLeftOutShowsNotGiven) {
    FleetEntry entry = enemyEntry();
    entry.Allianz.clear();
    entry.ZielZeit.reset();
    entry.BasisZeit = 13 * 3600 + 20 * 60; // the next tick
    const json fields = fieldsOf(json::parse(
        webhookBody({AlertKind::NewEnemy, entry, kNow}, WebhookFormat::Discord, ""))["embeds"][0]);
    EXPECT_EQ(fields["Allianz"], utf8(u8"–"));
    EXPECT_EQ(fields["Impakt Time"], "n/a");
    EXPECT_EQ(fields[utf8(u8"Uhrzeit Rückkehr")], "13:20 Uhr (in 1 Tick)");
}

TEST(WebhookDiscord, TheMentionGoesIntoTheContentAndOnlyWhatItNamesMayPing) {
    const json body = json::parse(webhookBody({AlertKind::NewEnemy, enemyEntry(), kNow},
                                              WebhookFormat::Discord, "<@&123> <@!456> @here"));
    EXPECT_EQ(body["content"], "<@&123> <@!456> @here");
    const json expected = {{"parse", {"everyone"}}, {"roles", {"123"}}, {"users", {"456"}}};
    EXPECT_EQ(body["allowed_mentions"], expected);
}

TEST(WebhookDiscord, EnemyCallForHelpCarriesTheHelpSentenceAndWhoEnteredIt) {
    FleetEntry entry = enemyEntry();
    entry.Hilfe = 3;
    const json embed = json::parse(
        webhookBody({AlertKind::EnemyHelp, entry, kNow}, WebhookFormat::Discord, ""))["embeds"][0];
    EXPECT_EQ(embed["title"], "Gegnerische Flotten: Achtung bei Anna");
    EXPECT_EQ(embed["color"], 0xFFCC00);
    EXPECT_EQ(embed["description"],
              "Anna weis noch nichts vom Angriff und wird wohl seine Flotte verlieren. "
              "(Eingetragen von Bert)");
}

TEST(WebhookDiscord, AlliedCallForHelpNamesTheAllyAndLeavesOutWhoEnteredIt) {
    const json embed = json::parse(webhookBody({AlertKind::AlliedHelp, alliedEntry(), kNow},
                                               WebhookFormat::Discord, ""))["embeds"][0];
    EXPECT_EQ(embed["title"], utf8(u8"Verbündete Flotten: Ziel von Paul"));
    EXPECT_EQ(embed["color"], 0x4ED4EC);
    EXPECT_EQ(embed["description"], utf8(u8"Paul sucht Helfer beim Ziel und braucht keine "
                                         u8"weiteren Deffer bei Rückkehr. Kontaktieren!"));
    const json fields = fieldsOf(embed);
    EXPECT_TRUE(fields.contains("Name"));
    EXPECT_FALSE(fields.contains("Eingetragen von"));
    EXPECT_EQ(fields[utf8(u8"Uhrzeit Rückkehr")], "12:00 Uhr (abgelaufen)");
}

TEST(WebhookSlack, TextHasTitleSentenceAndOneLinePerField) {
    FleetEntry entry = alliedEntry();
    entry.Hilfe = 1;
    const json body = json::parse(
        webhookBody({AlertKind::AlliedHelp, entry, kNow}, WebhookFormat::Slack, "@alle"));
    ASSERT_EQ(body.size(), 1u);
    EXPECT_EQ(body["text"],
              utf8(u8"@alle Verbündete Flotten: Hilfe von Paul\n"
                   u8"Paul möchte Hilfe beim Ziel und wünscht Deffer bei Rückkehr. Kontaktieren!\n"
                   u8"Name: Paul\nAllianz: –\nBasis: 7:7:7\nZiel Name: Otto\nZiel Basis: 8:8:8\n"
                   u8"Auftrag: Verteidigen\nImpakt Time: n/a\n"
                   u8"Uhrzeit Rückkehr: 12:00 Uhr (abgelaufen)"));
}

TEST(WebhookJson, PlainObjectHoldsTheEntryUnderTheListServersKeys) {
    FleetEntry entry = enemyEntry();
    entry.Punkte = 1234567;
    entry.UpdateZeit = kNow;
    const json body =
        json::parse(webhookBody({AlertKind::NewEnemy, entry, kNow}, WebhookFormat::Json, ""));
    const json expected = {
        {"Ereignis", "neuer_gegner"},
        {"Liste", "Reef_Enemy"},
        {"Hilfe", 1},
        {"HilfeName", "Hilfe"},
        {"HilfeText", utf8(u8"Anna braucht noch unbedingt Hilfe. Vermutlich möchte dieser "
                           u8"Spieler gedefft werden. Kontaktieren! (Eingetragen von Bert)")},
        {"Name", utf8(u8"Klaus Müller")},
        {"Allianz", "Haie"},
        {"Basis", "1:2:3"},
        {"Punkte", 1234567},
        {"Schiffe", 500},
        {"Modus", 2},
        {"Auftrag", "Angreifen"},
        {"ZielName", "Anna"},
        {"ZielAllianz", "Korallen"},
        {"ZielBasis", "4:5:6"},
        {"ZielPunkte", 0},
        {"ZielZeit", 50400},
        {"ZielTicks", 3},
        {"BasisZeit", 57600},
        {"BasisTicks", 9},
        {"UpdateZeit", kNow},
        {"Von", "Bert"},
    };
    EXPECT_EQ(body, expected);
}

TEST(WebhookJson, EveryValueIsEscapedAndComesBackAsItsUtf8Text) {
    FleetEntry entry = enemyEntry();
    entry.Name = "a\"b\\c</script>\x80\x9f\xff";
    entry.Von = "}{,\"";
    for (WebhookFormat format :
         {WebhookFormat::Discord, WebhookFormat::Slack, WebhookFormat::Json}) {
        const std::string raw = webhookBody({AlertKind::NewEnemy, entry, kNow}, format, "");
        const json body = json::parse(raw); // throws when a value broke the framing
        if (format == WebhookFormat::Json) {
            EXPECT_EQ(body["Name"], utf8(u8"a\"b\\c</script>€Ÿÿ"));
            EXPECT_EQ(body["Von"], "}{,\"");
        } else {
            EXPECT_NE(body.dump().find(utf8(u8"a\\\"b\\\\c</script>€Ÿÿ")), std::string::npos)
                << raw;
        }
    }
}

struct UrlCase {
    std::string url;
    std::optional<std::string> shown; // nothing: refused
    bool encrypted = false;
};

TEST(WebhookUrl, ShowsOnlySchemeAndHostAndRefusesWhatIsNoHttpUrl) {
    const std::vector<UrlCase> cases = {
        {"https://discord.com/api/webhooks/1/secret", "https://discord.com", true},
        {"https://user:pw@chat.example.org:8443/hooks/abc?x=1", "https://chat.example.org", true},
        {"http://127.0.0.1:9000/hook/secret", "http://127.0.0.1", false},
        {"HTTPS://Discord.com/api/webhooks/1/secret", "https://Discord.com", true},
        {"ftp://example.org/x", std::nullopt},
        {"discord.com/api/webhooks/1/secret", std::nullopt},
        {"https://", std::nullopt},
        {"http://:80/x", std::nullopt},
        {"https://example.org/a b", std::nullopt},
        {"https://example.org/\n", std::nullopt},
        {"https://ex\xE4mple.org/", std::nullopt},
        {"", std::nullopt},
        {"https://example.org/" + std::string(2000, 'a'), std::nullopt},
    };
    for (const UrlCase& each : cases) {
        std::string problem;
        auto checked = checkWebhookUrl(each.url, problem);
        ASSERT_EQ(checked.has_value(), each.shown.has_value()) << each.url << ": " << problem;
        if (checked) {
            EXPECT_EQ(checked->shown, *each.shown);
            EXPECT_EQ(checked->encrypted, each.encrypted) << each.url;
        } else {
            EXPECT_FALSE(problem.empty());
        }
    }
}

TEST(WebhookMention, TakesShortUtf8TextOnly) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"", true},
        {"<@&123456789>", true},
        {utf8(u8"Alarm für alle"), true},
        {"Alarm f\xFCr alle", false}, // Windows-1252, not UTF-8
        {"zeile\nzwei", false},
        {std::string(200, 'a'), true},
        {std::string(201, 'a'), false},
    };
    for (const auto& [mention, accepted] : cases) {
        std::string problem;
        EXPECT_EQ(checkMention(mention, problem), accepted) << mention;
    }
}

TEST(WebhookFormatName, ReadsBackWhatItWrites) {
    for (WebhookFormat format : {WebhookFormat::Discord, WebhookFormat::Slack, WebhookFormat::Json})
        EXPECT_EQ(webhookFormatOf(webhookFormatName(format)), format);
    EXPECT_EQ(webhookFormatOf("teams"), std::nullopt);
}

} // namespace
