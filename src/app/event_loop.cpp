#include "app/event_loop.h"

#include "app/exit_program.h"
#include "app/main_window.h"
#include "calc/attack_limit_window.h"
#include "calc/fleet_distribution_window.h"
#include "etaplan/eta_plan_window.h"

namespace reef::app {

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
    }
    // The list windows and their entry dialogs join here, in the order allied list, enemy
    // list, enemy dialog, allied dialog, once they are built.
}

void listWindowTimers(platform::Platform&, AppState&) {
    // Auto-update and the countdown refresh of the list windows run here once they exist.
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
