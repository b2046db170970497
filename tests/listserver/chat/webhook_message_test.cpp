// Which writes become chat alerts, the message bodies of the three formats, and the checks
// of what an admin gives.

#include "listserver/chat/chat_markup.h"
#include "listserver/chat/webhook_message.h"
#include "listserver/core/webhook.h"
#include "text/cp1252.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace reef::listserver;
using nlohmann::json;

namespace {

// This file's literals are Windows-1252, as the stored entries are; what the chat gets is
// UTF-8, written here as u8 literals.
std::string utf8(std::u8string_view text) {
    return std::string(text.begin(), text.end());
}

constexpr std::int32_t kNow = 13 * 3600 + 5 * 60;

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
    entry.ZielZeit = 14 * 3600;  // 3 ticks after kNow
    entry.BasisZeit = 16 * 3600; // 9 ticks after kNow
    entry.Von = "Bert";
    return entry;
}

json bodyOf(AlertKind kind, const FleetEntry& entry, WebhookFormat format,
            const std::string& mention = "") {
    return json::parse(webhookBody({kind, entry, kNow}, format, mention));
}

TEST(WebhookAlert, OnlyNewEnemiesAndNewCallsForHelpBecomeAlerts) {
    using Case = std::tuple<ListKind, std::optional<int>, int, std::optional<AlertKind>>;
    const auto E = ListKind::Enemy;
    const auto A = ListKind::Allied;
    const auto none = std::nullopt;
    const std::vector<Case> cases = {
        {E, none, 0, AlertKind::NewEnemy},
        {E, none, 1, AlertKind::NewEnemy},
        {A, none, 1, none},
        {E, 0, 1, AlertKind::EnemyHelp},
        {E, 1, 3, AlertKind::EnemyHelp},
        {E, 0, 2, none},
        {E, 1, 4, none},
        {E, 1, 1, none}, // another field changed
        {A, 0, 1, AlertKind::AlliedHelp},
        {A, 0, 2, AlertKind::AlliedHelp},
        {A, 1, 3, AlertKind::AlliedHelp},
        {A, 3, 3, none},
        {A, 0, 4, none},
        {A, 3, 0, none},
    };
    const auto withHelp = [](int code) {
        FleetEntry entry;
        entry.Hilfe = code;
        return entry;
    };
    for (const auto& [list, before, after, expected] : cases) {
        std::optional<FleetEntry> previous;
        if (before)
            previous = withHelp(*before);
        EXPECT_EQ(alertFor(list, previous, withHelp(after)), expected)
            << static_cast<int>(list) << ": " << before.value_or(-1) << " -> " << after;
    }
}

TEST(WebhookBody, DiscordEmbedHasTitleHelpColourAndTheEntrysFields) {
    const json body = bodyOf(AlertKind::NewEnemy, enemyEntry(), WebhookFormat::Discord);
    const json& embed = body["embeds"][0];
    EXPECT_EQ(embed["title"],
              utf8(u8"Neue gegnerische Flotte: Klaus Müller ") + "\xe2\x86\x92 Anna");
    EXPECT_EQ(embed["color"], 0xFF4747);
    json fields = json::object();
    for (const json& field : embed["fields"])
        fields[field["name"].get<std::string>()] = field["value"];
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
    EXPECT_EQ(fields, expected);
    EXPECT_FALSE(body.contains("content"));
    EXPECT_EQ(body["allowed_mentions"], json({{"parse", json::array()}})) << "no one is pinged";
}

TEST(WebhookBody, DiscordMentionIsTheContentAndOnlyWhatItNamesMayPing) {
    const json body =
        bodyOf(AlertKind::NewEnemy, enemyEntry(), WebhookFormat::Discord, "<@&123> <@!456> @here");
    EXPECT_EQ(body["content"], "<@&123> <@!456> @here");
    const json expected = {{"parse", {"everyone"}}, {"roles", {"123"}}, {"users", {"456"}}};
    EXPECT_EQ(body["allowed_mentions"], expected);
}

TEST(WebhookBody, SlackTextHasTitleHelpSentenceAndOneLinePerField) {
    FleetEntry ally;
    ally.Hilfe = 1;
    ally.Name = "Paul";
    ally.Basis = "7:7:7";
    ally.Modus = 1;
    ally.ZielName = "Otto";
    ally.ZielBasis = "8:8:8";
    ally.BasisZeit = 12 * 3600; // earlier today: past
    const json body = bodyOf(AlertKind::AlliedHelp, ally, WebhookFormat::Slack, "@alle");
    EXPECT_EQ(body, json({{"text", utf8(u8"@alle Verbündete Flotten: Hilfe von Paul\n"
                                        u8"Paul möchte Hilfe beim Ziel und wünscht Deffer bei "
                                        u8"Rückkehr. Kontaktieren!\n"
                                        u8"Name: Paul\nAllianz: –\nBasis: 7:7:7\n"
                                        u8"Ziel Name: Otto\nZiel Basis: 8:8:8\n"
                                        u8"Auftrag: Verteidigen\nImpakt Time: n/a\n"
                                        u8"Uhrzeit Rückkehr: 12:00 Uhr (abgelaufen)")}}));
}

TEST(WebhookBody, JsonIsThePlainEntryWithItsHelpTextAndCountdowns) {
    FleetEntry entry = enemyEntry();
    entry.Hilfe = 3;
    entry.ZielZeit.reset();
    entry.UpdateZeit = kNow;
    const json expected = {
        {"Ereignis", "gegner_hilfe"},
        {"Liste", "Reef_Enemy"},
        {"Hilfe", 3},
        {"HilfeName", "Achtung"},
        {"HilfeText", "Anna weis noch nichts vom Angriff und wird wohl seine Flotte verlieren. "
                      "(Eingetragen von Bert)"},
        {"Name", utf8(u8"Klaus Müller")},
        {"Allianz", "Haie"},
        {"Basis", "1:2:3"},
        {"Punkte", 0},
        {"Schiffe", 500},
        {"Modus", 2},
        {"Auftrag", "Angreifen"},
        {"ZielName", "Anna"},
        {"ZielAllianz", "Korallen"},
        {"ZielBasis", "4:5:6"},
        {"ZielPunkte", 0},
        {"ZielZeit", nullptr},
        {"ZielTicks", nullptr},
        {"BasisZeit", 57600},
        {"BasisTicks", 9},
        {"UpdateZeit", kNow},
        {"Von", "Bert"},
    };
    EXPECT_EQ(bodyOf(AlertKind::EnemyHelp, entry, WebhookFormat::Json), expected);
}

TEST(WebhookBody, AMembersValueNeitherPingsNorLinksButTheAdminsMentionDoes) {
    const std::string zw = utf8(u8"\u200b"); // after "@" and "]": no mention, no link
    const std::string slackLink = "<https://evil.example|Allianz-Forum: neues Passwort>";
    const std::string link = "[Neues Passwort hier](https://evil.example)";
    const std::string marks = "**a** __b__ ~~c~~ ||d|| `e` # f - g > h 1. i \\";
    const std::vector<std::tuple<WebhookFormat, std::string, std::string>> cases = {
        {WebhookFormat::Slack, "<!channel> <!everyone>", "&lt;!channel&gt; &lt;!everyone&gt;"},
        {WebhookFormat::Slack, slackLink,
         "&lt;https://evil.example|Allianz-Forum: neues Passwort&gt;"},
        {WebhookFormat::Slack, "@channel & @all @here",
         "@" + zw + "channel &amp; @" + zw + "all @" + zw + "here"},
        {WebhookFormat::Slack, link, "[Neues Passwort hier]" + zw + "(https://evil.example)"},
        {WebhookFormat::Discord, link, "\\[Neues Passwort hier\\](https://evil\\.example)"},
        {WebhookFormat::Discord, "@everyone <@123> <#9>",
         "@" + zw + "everyone \\<@" + zw + "123\\> \\<\\#9\\>"},
        {WebhookFormat::Discord, marks,
         "\\*\\*a\\*\\* \\_\\_b\\_\\_ \\~\\~c\\~\\~ \\|\\|d\\|\\| \\`e\\` \\# f \\- g "
         "\\> h 1\\. i \\\\"},
        {WebhookFormat::Json, link + " <!channel> @everyone", link + " <!channel> @everyone"},
    };
    for (const auto& [format, name, shown] : cases) {
        FleetEntry entry = enemyEntry();
        entry.Name = name;
        const std::string mention = format == WebhookFormat::Slack ? "<!here>" : "@here";
        const json body = bodyOf(AlertKind::NewEnemy, entry, format, mention);
        const std::string title = "Neue gegnerische Flotte: " + shown + " \xe2\x86\x92 Anna";
        if (format == WebhookFormat::Slack) {
            EXPECT_EQ(body["text"].get<std::string>().rfind(
                          "<!here> " + title + "\nAngreifer: " + shown + "\n", 0),
                      0u)
                << body;
        } else if (format == WebhookFormat::Discord) {
            EXPECT_EQ(body["content"], "@here");
            EXPECT_EQ(body["embeds"][0]["title"], title);
            EXPECT_EQ(body["embeds"][0]["fields"][0]["value"], shown);
        } else {
            EXPECT_EQ(body["Name"], shown);
        }
    }
    // Escaped, two long names still fit the 256 characters of an embed's title.
    FleetEntry entry = enemyEntry();
    entry.Name = entry.ZielName = std::string(100, '_');
    const std::string title =
        bodyOf(AlertKind::NewEnemy, entry, WebhookFormat::Discord)["embeds"][0]["title"];
    EXPECT_EQ(std::count_if(title.begin(), title.end(), [](char c) { return (c & 0xC0) != 0x80; }),
              256)
        << title;
    EXPECT_TRUE(title.ends_with(utf8(u8"…"))) << title;
}

TEST(WebhookBody, EveryByteOfAMembersValueReadsBackAsTypedAndNoMarkStaysBare) {
    std::string every;
    for (int byte = 1; byte < 256; ++byte)
        every += static_cast<char>(byte);
    const std::string zw = utf8(u8"\u200b"), typed = reef::text::cp1252ToUtf8(every);
    // Discord drops the backslash before a mark; Slack decodes its three entities.
    std::string discord = memberText(every, WebhookFormat::Discord), shown;
    for (std::size_t at = 0; at < discord.size(); ++at) {
        if (at > 0 && discord.compare(at, zw.size(), zw) == 0 && discord[at - 1] == '@')
            at += zw.size() - 1;
        else if (discord[at] == '\\' ||
                 std::string_view("*_~`|<>[]#-.").find(discord[at]) == std::string_view::npos)
            shown += discord[discord[at] == '\\' ? ++at : at];
        else
            ADD_FAILURE() << "bare mark " << discord[at] << " at " << at;
    }
    EXPECT_EQ(shown, typed);
    std::string slack = memberText(every, WebhookFormat::Slack);
    EXPECT_EQ(slack.find_first_of("<>"), std::string::npos);
    for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
             {"@" + zw, "@"}, {"]" + zw, "]"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}})
        for (std::size_t at = 0; (at = slack.find(from, at)) != std::string::npos; at += to.size())
            slack.replace(at, from.size(), to);
    EXPECT_EQ(slack, typed);
}

TEST(WebhookBody, EveryValueIsEscapedAndComesBackAsItsUtf8Text) {
    FleetEntry entry = enemyEntry();
    entry.Name = "a\"b\\c</script>\x80\x9f\xff";
    // As JSON text, after each chat's own escaping.
    const std::vector<std::pair<WebhookFormat, std::u8string>> cases = {
        {WebhookFormat::Discord, u8"a\\\"b\\\\\\\\c\\\\</script\\\\>€Ÿÿ"},
        {WebhookFormat::Slack, u8"a\\\"b\\\\c&lt;/script&gt;€Ÿÿ"},
        {WebhookFormat::Json, u8"a\\\"b\\\\c</script>€Ÿÿ"},
    };
    for (const auto& [format, expected] : cases) {
        const json body = bodyOf(AlertKind::NewEnemy, entry, format); // throws when broken
        EXPECT_NE(body.dump().find(utf8(expected)), std::string::npos) << body.dump();
    }
}

TEST(WebhookUrl, ShowsOnlySchemeAndHostAndRefusesWhatIsNoHttpUrl) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"https://discord.com/api/webhooks/1/secret", "https://discord.com"},
        {"https://user:pw@chat.example.org:8443/hooks/abc?x=1", "https://chat.example.org"},
        {"http://127.0.0.1:9000/hook/secret", "http://127.0.0.1"},
        {"ftp://example.org/x", ""},
        {"discord.com/api/webhooks/1/secret", ""},
        {"https://", ""},
        {"https://example.org/a b", ""},
        {"https://example.org/\n", ""},
        {"https://ex\xE4mple.org/", ""},
        {"https://example.org/" + std::string(2000, 'a'), ""},
    };
    for (const auto& [url, shown] : cases) {
        std::string problem;
        auto checked = checkWebhookUrl(url, problem);
        EXPECT_EQ(checked ? checked->shown : problem.empty() ? "no reason" : "", shown) << url;
    }
    std::string problem;
    EXPECT_TRUE(checkWebhookUrl("https://discord.com/x", problem)->encrypted);
    EXPECT_FALSE(checkWebhookUrl("http://discord.com/x", problem)->encrypted);
}

TEST(WebhookMention, TakesShortUtf8TextOnly) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"<@&123456789>", true}, {utf8(u8"Alarm für alle"), true}, {"Alarm f\xFCr alle", false},
        {"zeile\nzwei", false},  {std::string(200, 'a'), true},    {std::string(201, 'a'), false},
    };
    for (const auto& [mention, accepted] : cases) {
        std::string problem;
        EXPECT_EQ(checkMention(mention, problem), accepted) << mention;
    }
}

} // namespace
