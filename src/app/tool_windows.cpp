#include "app/tool_windows.h"

#include "app/exit_program.h"
#include "calc/attack_limit_window.h"
#include "calc/fleet_distribution_window.h"
#include "etaplan/eta_plan_window.h"
#include "fleetlists/countdown_cells.h"
#include "fleetlists/list_window.h"
#include "help/help_documents.h"

namespace reef::app {

void openEtaPlanOnce(platform::Platform& ui, AppState& state) {
    if (state.etaPlan.window) {
        ui.bringToFront(state.etaPlan.window);
        return;
    }
    state.etaPlan.window = etaplan::openEtaPlanWindow(ui, state.etaPlan);
}

void openFleetDistributionOnce(platform::Platform& ui, AppState& state) {
    if (state.fleetDistribution.window) {
        ui.bringToFront(state.fleetDistribution.window);
        return;
    }
    state.fleetDistribution.window = calc::openFleetDistributionWindow(ui, state.fleetDistribution);
}

void openAttackLimitOnce(platform::Platform& ui, AppState& state) {
    if (state.attackLimit.window) {
        ui.bringToFront(state.attackLimit.window);
        return;
    }
    state.attackLimit.window = calc::openAttackLimitWindow(ui, state.attackLimit);
    if (!state.attackLimit.window) {
        failureExit(ui, state);
    }
}

void openListWindowOnce(platform::Platform& ui, AppState& state, fleetlists::FleetListKind kind) {
    fleetlists::ListWindowState& list = state.list(kind);
    if (list.window) {
        ui.bringToFront(list.window);
        return;
    }
    if (!fleetlists::openListWindow(ui, state.fleet, kind)) {
        failureExit(ui, state);
        return;
    }
    // An auto-update that is on runs at the next pass of the event loop.
    fleetlists::writeCountdownCells(ui, list.listView, list.rows, ui.clock().localNow());
    list.lastUpdateTick = 0;
}

void openReadme(platform::Platform& ui) {
    help::writeHelpDocument(ui, help::HelpDocument::Readme);
}

} // namespace reef::app
