#include "app/exit_program.h"

#include "app/list_workers.h"
#include "fleetlists/entry_dialog.h"
#include "fleetlists/list_window.h"
#include "platform/connection.h"

namespace reef::app {

namespace {

void closeIfOpen(platform::Platform& ui, platform::WindowId& window) {
    if (window) {
        ui.closeWindow(window);
        window = {};
    }
}

void releaseEverything(platform::Platform& ui, AppState& state) {
    releaseWorkers(state);
    if (state.trayIcon) {
        ui.removeTrayIcon();
        state.trayIcon = false;
    }
    platform::stopSockets();
    if (state.trayMenu) {
        ui.destroyPopupMenu(state.trayMenu);
        state.trayMenu = {};
    }
    for (const fleetlists::FleetListKind kind :
         {fleetlists::FleetListKind::Allied, fleetlists::FleetListKind::Enemy}) {
        fleetlists::closeEntryDialog(ui, state.fleet, kind);
        closeIfOpen(ui, state.list(kind).window);
    }
    closeIfOpen(ui, state.attackLimit.window);
    closeIfOpen(ui, state.fleetDistribution.window);
    closeIfOpen(ui, state.etaPlan.window);
    closeIfOpen(ui, state.main.window);
    state.exiting = true;
    state.exitCode = 0;
}

} // namespace

void exitProgram(platform::Platform& ui, AppState& state) {
    for (fleetlists::FleetListKind kind :
         {fleetlists::FleetListKind::Allied, fleetlists::FleetListKind::Enemy}) {
        // The rows are complete whatever a worker is doing: workers hand a list over whole
        // on this thread.
        if (state.list(kind).window) {
            fleetlists::saveOpenListCache(ui, state.fleet, kind);
        }
    }
    releaseEverything(ui, state);
}

void failureExit(platform::Platform& ui, AppState& state) {
    releaseEverything(ui, state);
}

} // namespace reef::app
