#include "app/list_workers.h"

#include "fleetlists/list_window.h"

namespace reef::app {

void startListDownload(platform::Platform& ui, AppState& state, fleetlists::FleetListKind kind) {
    // The download is not built yet: the list is free again at once.
    fleetlists::giveButtonsBack(ui, state.list(kind));
}

void startEntrySubmission(platform::Platform&, AppState&, const fleetlists::EntrySubmission&) {}

void releaseWorkers(AppState& state) {
    for (fleetlists::ListWindowState& list : state.fleet.lists) {
        list.openGeneration->store(0);
    }
    if (state.bridge) {
        state.bridge->detach();
    }
    state.workers.detachAll();
}

} // namespace reef::app
