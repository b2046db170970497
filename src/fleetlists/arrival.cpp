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
    // Not given (kNoTime), or no time of the day: nothing says the fleet has arrived, so the
    // code the server sent stays.
    if (!isTimeOfDay(entry.ZielZeit)) {
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
