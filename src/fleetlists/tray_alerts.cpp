#include "fleetlists/tray_alerts.h"

#include "fleetlists/list_alerts.h"
#include "fleetlists/own_fleet_data.h"

namespace reef::fleetlists {

void alertOnDownload(platform::Platform& ui, FleetLists& fleet, FleetListKind kind,
                     const std::vector<FleetEntry>& before, const std::vector<FleetEntry>& after,
                     std::int64_t localNow) {
    const AlarmSettings settings = loadAlarmSettings();
    // Switched off, a download reads no more files and compares nothing.
    if (kind == FleetListKind::Enemy ? !settings.enemy : !settings.help) {
        return;
    }
    const std::string ownName = kind == FleetListKind::Enemy ? loadOwnName() : std::string();
    const auto alert = alertForDownload(kind, before, after, settings, ownName, localNow);
    if (!alert) {
        return;
    }
    fleet.alertedList = kind;
    ui.showTrayNotification({alert->title, alert->text, alert->sound});
}

} // namespace reef::fleetlists
