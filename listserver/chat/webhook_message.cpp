#include "listserver/chat/webhook_message.h"

#include "listserver/chat/chat_markup.h"
#include "listserver/chat/webhook_texts.h"
#include "text/cp1252.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <functional>
#include <vector>

namespace reef::listserver {

namespace {

using nlohmann::json;

constexpr int kHilfe = 1;
constexpr int kAlliedDeff = 2;
constexpr int kAlliedZiel = 3;
constexpr int kEnemyAchtung = 3;

// A chat field may not be empty.
constexpr const char* kNotGiven = "–";
// Discord refuses a message whose embed title is longer.
constexpr std::size_t kDiscordTitleCharacters = 256;

bool isCallForHelp(ListKind list, int code) {
    if (list == ListKind::Enemy)
        return code == kHilfe || code == kEnemyAchtung;
    return code == kHilfe || code == kAlliedDeff || code == kAlliedZiel;
}

ListKind listOf(AlertKind kind) {
    return kind == AlertKind::AlliedHelp ? ListKind::Allied : ListKind::Enemy;
}

std::string clockText(std::int32_t secondsOfDay) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", (secondsOfDay / 3600) % 24,
                  (secondsOfDay / 60) % 60);
    return text;
}

std::string ticksText(int ticks) {
    if (ticks < 0)
        return "abgelaufen";
    return "in " + std::to_string(ticks) + (ticks == 1 ? " Tick" : " Ticks");
}

// "14:20 Uhr (in 3 Ticks)"; the impact time may be left out.
std::string timeField(const std::optional<std::int32_t>& time, std::int32_t now) {
    if (!time)
        return "n/a";
    return clockText(*time) + " Uhr (" + ticksText(ticksUntil(*time, now)) + ")";
}

std::string orNotGiven(const std::string& cp1252, WebhookFormat format) {
    return cp1252.empty() ? kNotGiven : memberText(cp1252, format);
}

std::string helpSentence(const Alert& alert, WebhookFormat format) {
    return helpSentenceOf(listOf(alert.kind), alert.entry,
                          [format](std::string_view cp1252) { return memberText(cp1252, format); });
}

struct Field {
    std::string name;
    std::string value;
};

using Shown = std::function<std::string(const std::string&)>;

std::string titleOf(const Alert& alert, const Shown& shown) {
    const FleetEntry& entry = alert.entry;
    switch (alert.kind) {
    case AlertKind::NewEnemy:
        return "Neue gegnerische Flotte: " + shown(entry.Name) + " → " + shown(entry.ZielName);
    case AlertKind::EnemyHelp:
        return std::string("Gegnerische Flotten: ") + helpText(ListKind::Enemy, entry.Hilfe).name +
               " bei " + shown(entry.ZielName);
    case AlertKind::AlliedHelp:
        break;
    }
    return std::string("Verbündete Flotten: ") + helpText(ListKind::Allied, entry.Hilfe).name +
           " von " + shown(entry.Name);
}

std::string title(const Alert& alert, WebhookFormat format) {
    return titleOf(alert,
                   [format](const std::string& cp1252) { return memberText(cp1252, format); });
}

// Named as the list windows name their columns.
std::vector<Field> fields(const Alert& alert, WebhookFormat format) {
    const FleetEntry& entry = alert.entry;
    const bool enemy = listOf(alert.kind) == ListKind::Enemy;
    std::vector<Field> out = {
        {enemy ? "Angreifer" : "Name", orNotGiven(entry.Name, format)},
        {"Allianz", orNotGiven(entry.Allianz, format)},
        {"Basis", orNotGiven(entry.Basis, format)},
        {"Ziel Name", orNotGiven(entry.ZielName, format)},
        {"Ziel Basis", orNotGiven(entry.ZielBasis, format)},
        {"Auftrag", missionText(entry.Modus)},
        {"Impakt Time", timeField(entry.ZielZeit, alert.nowTimeOfDay)},
        {"Uhrzeit Rückkehr", timeField(entry.BasisZeit, alert.nowTimeOfDay)},
    };
    if (enemy)
        out.push_back({"Eingetragen von", orNotGiven(entry.Von, format)});
    return out;
}

// Only what the mention names may ping: never "@everyone" out of a player's name, and no one
// at all without a mention.
json allowedMentions(const std::string& mention) {
    json parse = json::array();
    json roles = json::array();
    json users = json::array();
    if (mention.find("@everyone") != std::string::npos ||
        mention.find("@here") != std::string::npos)
        parse.push_back("everyone");
    for (std::size_t at = mention.find("<@"); at != std::string::npos;
         at = mention.find("<@", at + 2)) {
        std::size_t digits = at + 2;
        const bool role = digits < mention.size() && mention[digits] == '&';
        if (role || (digits < mention.size() && mention[digits] == '!'))
            ++digits;
        std::size_t end = digits;
        while (end < mention.size() && mention[end] >= '0' && mention[end] <= '9')
            ++end;
        if (end == digits || end >= mention.size() || mention[end] != '>')
            continue;
        (role ? roles : users).push_back(mention.substr(digits, end - digits));
    }
    json allowed = {{"parse", parse}};
    if (!roles.empty())
        allowed["roles"] = roles;
    if (!users.empty())
        allowed["users"] = users;
    return allowed;
}

json discordBody(const Alert& alert, const std::string& mention) {
    const ListKind list = listOf(alert.kind);
    constexpr WebhookFormat format = WebhookFormat::Discord;
    json embed = {
        {"title", cutToCharacters(title(alert, format), kDiscordTitleCharacters)},
        {"color", helpText(list, alert.entry.Hilfe).colour},
    };
    if (alert.kind != AlertKind::NewEnemy)
        embed["description"] = helpSentence(alert, format);
    json embedFields = json::array();
    for (const Field& field : fields(alert, format))
        embedFields.push_back({{"name", field.name}, {"value", field.value}, {"inline", true}});
    embed["fields"] = embedFields;
    json body = {{"embeds", json::array({embed})}, {"allowed_mentions", allowedMentions(mention)}};
    if (!mention.empty())
        body["content"] = mention;
    return body;
}

json slackBody(const Alert& alert, const std::string& mention) {
    constexpr WebhookFormat format = WebhookFormat::Slack;
    std::string text = mention.empty() ? "" : mention + " ";
    text += title(alert, format);
    if (alert.kind != AlertKind::NewEnemy)
        text += "\n" + helpSentence(alert, format);
    for (const Field& field : fields(alert, format))
        text += "\n" + field.name + ": " + field.value;
    return {{"text", text}};
}

// Stable words for a bot to switch on.
const char* eventCode(AlertKind kind) {
    switch (kind) {
    case AlertKind::NewEnemy:
        return "neuer_gegner";
    case AlertKind::EnemyHelp:
        return "gegner_hilfe";
    case AlertKind::AlliedHelp:
        break;
    }
    return "verbuendete_hilfe";
}

json optionalTicks(const std::optional<std::int32_t>& time, std::int32_t now) {
    return time ? json(ticksUntil(*time, now)) : json(nullptr);
}

// For an alliance's own bot: the entry under the list server's keys, with the texts and
// countdowns a person would read.
json plainBody(const Alert& alert, const std::string& mention) {
    const FleetEntry& entry = alert.entry;
    const ListKind list = listOf(alert.kind);
    json body = {
        {"Ereignis", eventCode(alert.kind)},
        {"Liste", list == ListKind::Allied ? "Reef_Frend" : "Reef_Enemy"},
        {"Hilfe", entry.Hilfe},
        {"HilfeName", helpText(list, entry.Hilfe).name},
        {"HilfeText", helpSentenceOf(list, entry)},
        {"Name", text::cp1252ToUtf8(entry.Name)},
        {"Allianz", text::cp1252ToUtf8(entry.Allianz)},
        {"Basis", text::cp1252ToUtf8(entry.Basis)},
        {"Punkte", entry.Punkte},
        {"Schiffe", entry.Schiffe},
        {"Modus", entry.Modus},
        {"Auftrag", missionText(entry.Modus)},
        {"ZielName", text::cp1252ToUtf8(entry.ZielName)},
        {"ZielAllianz", text::cp1252ToUtf8(entry.ZielAllianz)},
        {"ZielBasis", text::cp1252ToUtf8(entry.ZielBasis)},
        {"ZielPunkte", entry.ZielPunkte},
        {"ZielZeit", entry.ZielZeit ? json(*entry.ZielZeit) : json(nullptr)},
        {"ZielTicks", optionalTicks(entry.ZielZeit, alert.nowTimeOfDay)},
        {"BasisZeit", entry.BasisZeit},
        {"BasisTicks", ticksUntil(entry.BasisZeit, alert.nowTimeOfDay)},
        {"UpdateZeit", entry.UpdateZeit},
        {"Von", text::cp1252ToUtf8(entry.Von)},
    };
    if (!mention.empty())
        body["Erwaehnung"] = mention;
    return body;
}

} // namespace

std::optional<AlertKind> alertFor(ListKind list, const std::optional<FleetEntry>& previous,
                                  const FleetEntry& stored) {
    if (!previous)
        return list == ListKind::Enemy ? std::optional(AlertKind::NewEnemy) : std::nullopt;
    if (previous->Hilfe == stored.Hilfe || !isCallForHelp(list, stored.Hilfe))
        return std::nullopt;
    return list == ListKind::Enemy ? AlertKind::EnemyHelp : AlertKind::AlliedHelp;
}

std::string webhookBody(const Alert& alert, WebhookFormat format, const std::string& mention) {
    json body;
    switch (format) {
    case WebhookFormat::Discord:
        body = discordBody(alert, mention);
        break;
    case WebhookFormat::Slack:
        body = slackBody(alert, mention);
        break;
    case WebhookFormat::Json:
        body = plainBody(alert, mention);
        break;
    }
    // Every text is UTF-8 by construction; a stray byte still must not stop the alert.
    return body.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string alertText(const Alert& alert) {
    std::string text =
        titleOf(alert, [](const std::string& cp1252) { return text::cp1252ToUtf8(cp1252); });
    if (alert.kind != AlertKind::NewEnemy)
        text += "\n" + helpSentenceOf(listOf(alert.kind), alert.entry);
    return text;
}

const char* alertName(AlertKind kind) {
    switch (kind) {
    case AlertKind::NewEnemy:
        return "new enemy entry";
    case AlertKind::EnemyHelp:
        return "enemy entry calls for help";
    case AlertKind::AlliedHelp:
        break;
    }
    return "allied entry calls for help";
}

} // namespace reef::listserver
