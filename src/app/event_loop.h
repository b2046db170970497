#pragma once
// The one event loop that serves every window of the program.

#include "app/app_state.h"
#include "platform/platform.h"

#include <optional>

namespace reef::app {

// The longest wait for an event: the periodic checks of the list windows run at least this
// often.
inline constexpr int kEventWaitMs = 30000;

// Hands one event to the window it belongs to: main window, ETA plan, fleet distribution,
// attack limit, allied list, enemy list, enemy dialog, allied dialog, in this order. Events of
// windows that are not open are dropped.
void dispatchEvent(platform::Platform& ui, AppState& state, const platform::Event& event);

// The periodic checks of the open list windows, after every event and every time-out.
void listWindowTimers(platform::Platform& ui, AppState& state);

// One pass: wait, dispatch, periodic checks.
void runEventLoopOnce(platform::Platform& ui, AppState& state);

// Runs until the exit sequence has run; returns the exit code.
int runEventLoop(platform::Platform& ui, AppState& state);

} // namespace reef::app
