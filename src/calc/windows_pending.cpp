// Placeholders until the calculator windows are built.
#include "calc/attack_limit_window.h"
#include "calc/fleet_distribution_window.h"

namespace reef::calc {

platform::WindowId openFleetDistributionWindow(platform::Platform&, FleetDistributionWindow&) {
    return {};
}
void handleFleetDistributionEvent(platform::Platform&, FleetDistributionWindow&,
                                  const platform::Event&) {}
platform::WindowId openAttackLimitWindow(platform::Platform&, AttackLimitWindow&) {
    return {};
}
void handleAttackLimitEvent(platform::Platform&, AttackLimitWindow&, const platform::Event&) {}

} // namespace reef::calc
