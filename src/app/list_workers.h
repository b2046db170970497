#pragma once
// The workers of the fleet lists as the windows see them: started on the user-interface
// thread with a copy of all they need, handing every change of a window back to that thread.

#include "app/app_state.h"
#include "fleetlists/entry_submission.h"
#include "platform/platform.h"

namespace reef::app {

// The list's three buttons are disabled already. Marks the list busy until the worker ends.
void startListDownload(platform::Platform& ui, AppState& state, fleetlists::FleetListKind kind);

// The dialog has handed over its values; ListPassword is the dialog's password now.
void startEntrySubmission(platform::Platform& ui, AppState& state,
                          const fleetlists::EntrySubmission& submission);

// At the end of the program: every worker loses its window and its way to the user
// interface and ends by itself at its next check; the threads are detached when the state
// goes, never waited for.
void releaseWorkers(AppState& state);

} // namespace reef::app
