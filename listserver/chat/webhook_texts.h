#pragma once
// The desktop program's texts and rules that an alert repeats, in UTF-8 for the chat: the
// help-status names, colours and sentences, the missions and the tick countdown. The list
// server builds without the desktop program's modules, so they are kept here once more; a
// test holds both copies equal.

#include "listserver/core/entry.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace reef::listserver {

struct HelpText {
    const char* name;     // the text of the help cell ("" for a settled request)
    std::uint32_t colour; // 0xRRGGBB, the help cell's background
    const char* sentence; // joined to a player name without a separator
};

// Codes outside 0..5 read as the settled code 5.
const HelpText& helpText(ListKind kind, int code);
// "n/a", "Verteidigen" or "Angreifen"; codes outside 0..2 read as "n/a".
const char* missionText(int modus);

// The line a list window shows for a row's help status: the player's name and the sentence
// (the enemy list names the target and who entered it).
std::string helpSentenceOf(ListKind kind, const FleetEntry& entry);
// The same with each player's name as `shown` writes it (UTF-8 for a chat's markup).
using ShownText = std::function<std::string(std::string_view cp1252)>;
std::string helpSentenceOf(ListKind kind, const FleetEntry& entry, const ShownText& shown);

// Tick boundaries from nowTimeOfDay to the clock time t (both seconds since midnight),
// 0..71; -1 when t counts as past.
int ticksUntil(std::int32_t t, std::int32_t nowTimeOfDay);

} // namespace reef::listserver
