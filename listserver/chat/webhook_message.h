#pragma once
// Which stored entries the alliance's chat hears of, and the message for each.

#include "listserver/core/entry.h"
#include "listserver/core/webhook.h"

#include <cstdint>
#include <optional>
#include <string>

namespace reef::listserver {

enum class AlertKind {
    NewEnemy,   // a new entry in the enemy list
    EnemyHelp,  // an enemy entry whose help code became "Hilfe" or "Achtung"
    AlliedHelp, // an allied entry whose help code became "Hilfe", "Deff" or "Ziel"
};

struct Alert {
    AlertKind kind = AlertKind::NewEnemy;
    FleetEntry entry;
    // The server's local time of day when the entry was stored, which the countdowns count
    // from.
    std::int32_t nowTimeOfDay = 0;
};

// The alert a write gives: `previous` is the entry as it was before a change, nothing for a
// new entry. Nothing for every other write.
std::optional<AlertKind> alertFor(ListKind list, const std::optional<FleetEntry>& previous,
                                  const FleetEntry& stored);

// The request body for the webhook's format, in UTF-8 JSON.
std::string webhookBody(const Alert& alert, WebhookFormat format, const std::string& mention);

// The alert as plain text (UTF-8, no chat markup): its title line, and for a call for help the
// sentence of the help status, as a notification shows it.
std::string alertText(const Alert& alert);

// For the log: "new enemy entry", ...
const char* alertName(AlertKind kind);

} // namespace reef::listserver
