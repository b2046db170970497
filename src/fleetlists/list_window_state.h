#pragma once
// What each list keeps between its window, its entry dialog and its workers. The rows outlive
// the window: closing it keeps them for the next opening.

#include "fleetlists/fleet_entry.h"
#include "platform/handles.h"

#include <cstdint>
#include <vector>

namespace reef::fleetlists {

struct ListWindowState {
    platform::WindowId window; // empty while closed
    platform::ControlId listView;
    platform::ControlId descriptionLine;
    platform::ControlId intervalField;
    platform::ControlId statusBar;
    platform::ControlId newButton;
    platform::ControlId changeButton;
    platform::ControlId refreshButton;

    std::vector<FleetEntry> rows;    // in display order
    std::int32_t interval = 0;       // auto-update, minutes; 0: off
    std::int64_t lastUpdateTick = 0; // tick count (ms) at the end of the last download
    std::int64_t tickMark = 0;       // start of the 20-minute slot last shown (seconds)
    int downloadRetries = 0;

    platform::WindowId dialog; // the open entry dialog, empty while none
    int dialogMode = 0;        // 0: new entry, 1: change entry
    FleetEntry editCopy;       // the entry a change dialog edits
};

} // namespace reef::fleetlists
