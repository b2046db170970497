#pragma once
// Settles a row's help request once its fleet has reached the target.

#include "fleetlists/fleet_entry.h"

#include <cstdint>

namespace reef::fleetlists {

// When ZielZeit is a time of the day (given, and within the day) and its tick has come or
// passed: an enemy row becomes settled (5); an allied "Ziel" (3) becomes "OK" (0) and
// "Abbruch" (4) becomes settled, other codes stay.
void applyArrival(FleetListKind kind, FleetEntry& entry, std::int64_t localNow);

} // namespace reef::fleetlists
