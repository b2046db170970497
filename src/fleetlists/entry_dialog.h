#pragma once
// The entry dialogs of the two lists: a new entry or a change of the selected row.

#include "fleetlists/entry_submission.h"
#include "fleetlists/fleet_lists.h"
#include "platform/platform.h"

#include <optional>
#include <string>

namespace reef::fleetlists {

// Opens the dialog of the kind with the caption suffix ("neuer Eintrag" or "Eintrag
// ändern"); row is -1 for a new entry or the selected row of the list view, whose cells
// prefill it. The list's dialog mode and edit copy are set before. Returns the dialog
// window, also kept as the list's dialog, with a new dialog generation; empty when it could
// not be opened (the user has been told; the program ends).
platform::WindowId openEntryDialog(platform::Platform& ui, FleetLists& fleet, FleetListKind kind,
                                   const std::string& captionSuffix, int row);

// Every event of the dialog's window. "Übernehmen" gives the entry to submit (a new allied
// entry has saved the own fleet first, and the password field has become the list
// password); the dialog stays open, and the caller starts the submission. "Abbrechen" and
// the close box close the dialog and give the list window its buttons back. While the
// list's worker runs, the dialog belongs to it and its events are dropped.
std::optional<EntrySubmission> handleEntryDialogEvent(platform::Platform& ui, FleetLists& fleet,
                                                      FleetListKind kind,
                                                      const platform::Event& event);

// Closes the dialog of the kind, if open, and forgets its controls.
void closeEntryDialog(platform::Platform& ui, FleetLists& fleet, FleetListKind kind);

} // namespace reef::fleetlists
