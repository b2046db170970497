#include "fleetlists/entry_dialog.h"

namespace reef::fleetlists {

// The dialogs themselves are not built yet: opening one gives nothing.
platform::WindowId openEntryDialog(platform::Platform&, FleetLists&, FleetListKind,
                                   const std::string&, int) {
    return {};
}

std::optional<EntrySubmission> handleEntryDialogEvent(platform::Platform&, FleetLists&,
                                                      FleetListKind, const platform::Event&) {
    return std::nullopt;
}

void closeEntryDialog(platform::Platform& ui, FleetLists& fleet, FleetListKind kind) {
    ListWindowState& list = fleet.list(kind);
    if (list.dialog) {
        ui.closeWindow(list.dialog);
    }
    list.dialog = {};
    list.dialogFields = {};
}

} // namespace reef::fleetlists
