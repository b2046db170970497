#include "app/event_loop.h"

#include "app/exit_program.h"
#include "app/list_workers.h"
#include "app/main_window.h"
#include "calc/attack_limit_window.h"
#include "calc/fleet_distribution_window.h"
#include "etaplan/eta_plan_window.h"
#include "fleetlists/entry_dialog.h"
#include "fleetlists/list_window.h"

namespace reef::app {

namespace {

using fleetlists::FleetListKind;

void handleListEvent(platform::Platform& ui, AppState& state, FleetListKind kind,
                     const platform::Event& event) {
    switch (fleetlists::handleListWindowEvent(ui, state.fleet, kind, event)) {
    case fleetlists::ListWindowAction::StartDownload:
        startListDownload(ui, state, kind);
        break;
    case fleetlists::ListWindowAction::FailureExit:
        failureExit(ui, state);
        break;
    case fleetlists::ListWindowAction::None:
        break;
    }
}

void handleDialogEvent(platform::Platform& ui, AppState& state, FleetListKind kind,
                       const platform::Event& event) {
    if (const auto submission = fleetlists::handleEntryDialogEvent(ui, state.fleet, kind, event)) {
        startEntrySubmission(ui, state, *submission);
    }
}

} // namespace

void dispatchEvent(platform::Platform& ui, AppState& state, const platform::Event& event) {
    // The end of the Windows session ends the program as "Programm beenden" does, without a
    // question: the system may end the process as soon as this returns.
    if (event.kind == platform::EventKind::SessionEnd) {
        if (!state.exiting) {
            exitProgram(ui, state);
        }
        return;
    }
    const platform::WindowId window = event.window;
    if (!window) {
        return;
    }
    if (window == state.main.window) {
        handleMainWindowEvent(ui, state, event);
    } else if (window == state.etaPlan.window) {
        etaplan::handleEtaPlanEvent(ui, state.etaPlan, event);
    } else if (window == state.fleetDistribution.window) {
        calc::handleFleetDistributionEvent(ui, state.fleetDistribution, event);
    } else if (window == state.attackLimit.window) {
        calc::handleAttackLimitEvent(ui, state.attackLimit, event);
    } else if (window == state.list(FleetListKind::Allied).window) {
        handleListEvent(ui, state, FleetListKind::Allied, event);
    } else if (window == state.list(FleetListKind::Enemy).window) {
        handleListEvent(ui, state, FleetListKind::Enemy, event);
    } else if (window == state.list(FleetListKind::Enemy).dialog) {
        handleDialogEvent(ui, state, FleetListKind::Enemy, event);
    } else if (window == state.list(FleetListKind::Allied).dialog) {
        handleDialogEvent(ui, state, FleetListKind::Allied, event);
    }
}

void listWindowTimers(platform::Platform& ui, AppState& state) {
    for (const FleetListKind kind : fleetlists::listWindowTimers(ui, state.fleet)) {
        startListDownload(ui, state, kind);
    }
}

void runEventLoopOnce(platform::Platform& ui, AppState& state) {
    if (const std::optional<platform::Event> event = ui.waitEvent(kEventWaitMs)) {
        dispatchEvent(ui, state, *event);
    }
    if (!state.exiting) {
        listWindowTimers(ui, state);
    }
}

int runEventLoop(platform::Platform& ui, AppState& state) {
    while (!state.exiting) {
        runEventLoopOnce(ui, state);
    }
    return state.exitCode;
}

} // namespace reef::app
