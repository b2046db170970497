#pragma once
// The two list windows, "Reef - Tools: Verbündete Flotten" and "Reef - Tools: Gegnerische
// Flotten": the rows with their colours and countdowns, the help text of a clicked row, the
// buttons that open the entry dialog or start a download, and the auto-update.

#include "fleetlists/fleet_lists.h"
#include "platform/platform.h"

#include <vector>

namespace reef::fleetlists {

inline constexpr const char* kDescriptionPrompt =
    "Drücke auf einen Eintrag, um mehr über die Bedeutung der Spalte ''Hilfe'' zu erfahren.";

// Opens the window of the kind: loads its cache file, asks for the list password when none
// is known, creates the controls and fills the rows. Empty when the window could not be
// opened; the user has been told and the program must end.
platform::WindowId openListWindow(platform::Platform& ui, FleetLists& fleet, FleetListKind kind);

// What an event of a list window asks of the caller beyond the window itself.
enum class ListWindowAction {
    None,
    StartDownload, // the three buttons are disabled; start the download worker
    FailureExit,   // a window could not be opened: the program ends without saving
};

ListWindowAction handleListWindowEvent(platform::Platform& ui, FleetLists& fleet,
                                       FleetListKind kind, const platform::Event& event);

// Writes the cache file of the kind with the rows as they are and the widths of the open
// view, then closes the window and its entry dialog. The rows stay in memory.
void closeListWindow(platform::Platform& ui, FleetLists& fleet, FleetListKind kind);

// Writes the cache file of an open list window (at closing and at the end of the program).
void saveOpenListCache(platform::Platform& ui, FleetLists& fleet, FleetListKind kind);

// The periodic checks, enemy window first: the kinds whose auto-update is due now (their
// buttons already disabled; the caller starts their downloads); the other open windows get
// their countdown cells rewritten when the 20-minute slot has changed.
std::vector<FleetListKind> listWindowTimers(platform::Platform& ui, FleetLists& fleet);

// The end of work (a worker's end or the dialog's): "Neuer Eintrag" and "Liste
// Aktualisieren" enabled, "Eintrag Aktualisieren" when a row is selected.
void giveButtonsBack(platform::Platform& ui, const ListWindowState& list);

void disableButtons(platform::Platform& ui, const ListWindowState& list);

// Status bar texts: field 1 centred, field 2 right-aligned, as the tabs in front say.
void setStatusField(platform::Platform& ui, const ListWindowState& list, int field,
                    const std::string& text);

} // namespace reef::fleetlists
