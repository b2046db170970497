#include "fleetlists/arrival.h"

#include "fleetlists/catalogue.h"
#include "fleetlists/ticks.h"

namespace reef::fleetlists {

namespace {

constexpr std::int8_t kAlliedOk = 0;
constexpr std::int8_t kAlliedTarget = 3;
constexpr std::int8_t kAlliedAbort = 4;

} // namespace

void applyArrival(FleetListKind kind, FleetEntry& entry, std::int64_t localNow) {
    if (entry.ZielZeit == kNoTime) {
        return;
    }
    if (ticksUntil(entry.ZielZeit, localNow) > 0) {
        return;
    }
    if (kind == FleetListKind::Enemy) {
        entry.Hilfe = kHelpSettled;
    } else if (entry.Hilfe == kAlliedTarget) {
        entry.Hilfe = kAlliedOk;
    } else if (entry.Hilfe == kAlliedAbort) {
        entry.Hilfe = kHelpSettled;
    }
}

} // namespace reef::fleetlists
