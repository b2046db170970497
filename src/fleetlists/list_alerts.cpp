#include "fleetlists/list_alerts.h"

#include "fleetlists/list_view_fill.h"
#include "fleetlists/ticks.h"
#include "text/date_text.h"

#include <cstddef>
#include <cstring>
#include <unordered_map>

namespace reef::fleetlists {

namespace {

constexpr std::int8_t kHelpCall = 1; // "Hilfe" in the allied list
constexpr std::int32_t kDefend = 1;  // mission "Verteidigen"
// A notification is a few lines; the rest of a long count is left to the list window.
constexpr std::size_t kNamedInCount = 5;

// Name and return time, the return time in front with a fixed width so that no two
// entries share a key by accident.
std::string identityOf(const FleetEntry& entry) {
    std::string key(sizeof entry.BasisZeit, '\0');
    std::memcpy(key.data(), &entry.BasisZeit, sizeof entry.BasisZeit);
    return key + entry.Name;
}

// For each entry of `after`, the entry of `before` it continues; null for a new entry.
std::vector<const FleetEntry*> previousEntries(const std::vector<FleetEntry>& before,
                                               const std::vector<FleetEntry>& after) {
    std::unordered_map<std::string, std::vector<std::size_t>> unmatched;
    for (std::size_t i = 0; i < before.size(); ++i) {
        unmatched[identityOf(before[i])].push_back(i);
    }
    std::vector<const FleetEntry*> previous(after.size(), nullptr);
    // Same base first, so that two fleets of one player that come home together keep theirs.
    for (const bool sameBase : {true, false}) {
        for (std::size_t i = 0; i < after.size(); ++i) {
            if (previous[i] != nullptr) {
                continue;
            }
            const auto found = unmatched.find(identityOf(after[i]));
            if (found == unmatched.end()) {
                continue;
            }
            std::vector<std::size_t>& candidates = found->second;
            for (std::size_t c = 0; c < candidates.size(); ++c) {
                const FleetEntry& candidate = before[candidates[c]];
                if (!sameBase || candidate.Basis == after[i].Basis) {
                    previous[i] = &candidate;
                    candidates.erase(candidates.begin() + static_cast<std::ptrdiff_t>(c));
                    break;
                }
            }
        }
    }
    return previous;
}

bool isOwnTarget(const FleetEntry& entry, const std::string& ownLower) {
    return !ownLower.empty() && latin1Lower(entry.ZielName) == ownLower;
}

std::string withInParentheses(const std::string& name, const std::string& extra) {
    return extra.empty() ? name : name + " (" + extra + ")";
}

// "14:20:00 (in 3 Ticks)", as the list shows the time, with the countdown.
std::string clockWithTicks(std::int32_t time, std::int64_t localNow) {
    const int ticks = ticksUntil(time, localNow);
    std::string countdown = ticks < 0    ? "abgelaufen"
                            : ticks == 1 ? "in 1 Tick"
                                         : "in " + std::to_string(ticks) + " Ticks";
    return text::formatDate("%hh:%ii:00", time) + " (" + countdown + ")";
}

// "Bert (EVL) greift Anna (1:2:3) an, Ankunft 14:20:00 (in 3 Ticks)"
std::string movementText(const FleetEntry& entry, std::int64_t localNow) {
    const std::string target = withInParentheses(entry.ZielName, entry.ZielBasis);
    std::string text =
        withInParentheses(entry.Name, entry.Allianz) +
        (entry.Modus == kDefend ? " verteidigt " + target : " greift " + target + " an");
    if (entry.ZielZeit != kNoTime) {
        text += ", Ankunft " + clockWithTicks(entry.ZielZeit, localNow);
    }
    return text;
}

std::string namedList(const std::vector<const FleetEntry*>& entries, bool targets) {
    std::string text;
    for (std::size_t i = 0; i < entries.size() && i < kNamedInCount; ++i) {
        const FleetEntry& entry = *entries[i];
        text += (i == 0 ? "" : ", ") +
                (targets ? withInParentheses(entry.ZielName, entry.ZielBasis) : entry.Name);
    }
    if (entries.size() > kNamedInCount) {
        text += ", ...";
    }
    return text;
}

} // namespace

std::optional<ListAlert> alertForDownload(FleetListKind kind, const std::vector<FleetEntry>& before,
                                          const std::vector<FleetEntry>& after,
                                          const AlarmSettings& settings, const std::string& ownName,
                                          std::int64_t localNow) {
    const bool enemy = kind == FleetListKind::Enemy;
    if (enemy ? !settings.enemy : !settings.help) {
        return std::nullopt;
    }
    const std::string ownLower = latin1Lower(ownName);
    const std::vector<const FleetEntry*> previous = previousEntries(before, after);
    std::vector<const FleetEntry*> raised;
    bool onPlayer = false;
    for (std::size_t i = 0; i < after.size(); ++i) {
        const FleetEntry& entry = after[i];
        if (enemy) {
            const bool own = isOwnTarget(entry, ownLower);
            if (previous[i] != nullptr || (settings.ownOnly && !own)) {
                continue;
            }
            onPlayer = onPlayer || own;
        } else if (entry.Hilfe != kHelpCall ||
                   (previous[i] != nullptr && previous[i]->Hilfe == kHelpCall)) {
            continue;
        }
        raised.push_back(&entry);
    }
    if (raised.empty()) {
        return std::nullopt;
    }
    ListAlert alert;
    alert.sound = settings.sound;
    alert.title = onPlayer ? "Angriff auf dich!"
                  : enemy  ? "Reef - Tools: Gegnerische Flotten"
                           : "Reef - Tools: Verbündete Flotten";
    const std::size_t count = raised.size();
    if (count == 1 && enemy) {
        alert.text = "Neue gegnerische Flotte: " + movementText(*raised[0], localNow);
    } else if (count == 1) {
        alert.text = "Hilfe gesucht: " + movementText(*raised[0], localNow) + ", Rückkehr " +
                     clockWithTicks(raised[0]->BasisZeit, localNow);
    } else if (enemy) {
        alert.text =
            std::to_string(count) + " neue gegnerische Flotten, Ziele: " + namedList(raised, true);
    } else {
        alert.text = std::to_string(count) + " Hilfegesuche: " + namedList(raised, false);
    }
    return alert;
}

} // namespace reef::fleetlists
