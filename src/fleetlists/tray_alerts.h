#pragma once
// The notification a download raises from the tray icon, by "Alarm.dat" and the player's name
// in "FrendPre.dat".

#include "fleetlists/fleet_lists.h"
#include "platform/platform.h"

#include <cstdint>
#include <vector>

namespace reef::fleetlists {

// Called on the user-interface thread when a download has brought `after` in place of
// `before`; a click on the notification opens the list (FleetLists::alertedList).
void alertOnDownload(platform::Platform& ui, FleetLists& fleet, FleetListKind kind,
                     const std::vector<FleetEntry>& before, const std::vector<FleetEntry>& after,
                     std::int64_t localNow);

} // namespace reef::fleetlists
