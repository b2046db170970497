#pragma once
// What a download tells the player from the tray icon: the entries it brings that were not in
// the list it replaces (enemy list), or whose help status became "Hilfe" (allied list).

#include "fleetlists/alarm_settings.h"
#include "fleetlists/fleet_entry.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace reef::fleetlists {

struct ListAlert {
    std::string title;
    std::string text;
    bool sound = true;
};

// `before` is the list the download replaces, `after` the downloaded one. An entry is the
// same across downloads when its name and return time are (as the list server finds the
// entry a change replaces), so a change of ships or help says nothing of its own; of several
// such entries the one with the same base is taken first. ownName is "Name" of
// "FrendPre.dat", compared with the target as the enemy list compares who entered a row.
// Nothing when the download brings nothing the settings ask for.
std::optional<ListAlert> alertForDownload(FleetListKind kind, const std::vector<FleetEntry>& before,
                                          const std::vector<FleetEntry>& after,
                                          const AlarmSettings& settings, const std::string& ownName,
                                          std::int64_t localNow);

} // namespace reef::fleetlists
