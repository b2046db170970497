#pragma once
// The one way the program ends.

#include "app/app_state.h"
#include "platform/platform.h"

namespace reef::app {

// Writes the cache files of the open list windows (allied first), releases everything and
// ends the event loop with exit code 0.
void exitProgram(platform::Platform& ui, AppState& state);

// The end after a failure that leaves no list worth saving: releases everything and ends the
// event loop with exit code 0, without writing cache files.
void failureExit(platform::Platform& ui, AppState& state);

} // namespace reef::app
