#pragma once
// Everything both fleet lists share on the user-interface thread: their windows, rows and
// dialogs, the one list password, the column widths and the fixed tables.

#include "fleetlists/catalogue.h"
#include "fleetlists/column_widths.h"
#include "fleetlists/list_window_state.h"

#include <array>
#include <cstddef>
#include <string>

namespace reef::fleetlists {

struct FleetLists {
    // Indexed by FleetListKind.
    std::array<ListWindowState, kFleetListKindCount> lists;
    std::string password; // ListPassword: shared by both lists; empty until known
    ColumnWidths columnWidths = kDefaultColumnWidths;
    FleetListTables tables;
    // Where the alliance publishes the list password; shown in the password prompt.
    std::string passwordSite;
    // The list a click on the tray icon's last notification opens.
    FleetListKind alertedList = FleetListKind::Enemy;

    ListWindowState& list(FleetListKind kind) {
        return lists[static_cast<std::size_t>(indexOf(kind))];
    }
    const ListWindowState& list(FleetListKind kind) const {
        return lists[static_cast<std::size_t>(indexOf(kind))];
    }
};

} // namespace reef::fleetlists
