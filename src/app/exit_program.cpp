#include "app/exit_program.h"

#include "fleetlists/list_cache.h"
#include "platform/connection.h"

namespace reef::app {

namespace {

void closeIfOpen(platform::Platform& ui, platform::WindowId& window) {
    if (window) {
        ui.closeWindow(window);
        window = {};
    }
}

// Workers hand their rows over whole on the user-interface thread, so the rows are complete
// here whatever a download is doing.
void saveListOnExit(platform::Platform& ui, AppState& state, fleetlists::FleetListKind kind) {
    fleetlists::ListWindowState& list = state.list(kind);
    fleetlists::ListCacheData data;
    data.interval = list.interval;
    data.password = state.fleet.password;
    data.widths = fleetlists::readColumnWidths(ui, list.listView, kind, state.fleet.columnWidths);
    data.rows = list.rows;
    fleetlists::saveListCache(kind, fleetlists::listCacheFileName(kind), data);
}

void releaseEverything(platform::Platform& ui, AppState& state) {
    if (state.trayIcon) {
        ui.removeTrayIcon();
        state.trayIcon = false;
    }
    platform::stopSockets();
    if (state.trayMenu) {
        ui.destroyPopupMenu(state.trayMenu);
        state.trayMenu = {};
    }
    for (fleetlists::ListWindowState& list : state.fleet.lists) {
        closeIfOpen(ui, list.dialog);
        closeIfOpen(ui, list.window);
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
        if (state.list(kind).window) {
            saveListOnExit(ui, state, kind);
        }
    }
    releaseEverything(ui, state);
}

void failureExit(platform::Platform& ui, AppState& state) {
    releaseEverything(ui, state);
}

} // namespace reef::app
