#pragma once
// Opening the tool windows from the main window and the tray menu: each window exists at most
// once, and asking for an open one brings it to the front instead.

#include "app/app_state.h"
#include "platform/platform.h"

namespace reef::app {

void openEtaPlanOnce(platform::Platform& ui, AppState& state);
void openFleetDistributionOnce(platform::Platform& ui, AppState& state);
// A window that cannot be created ends the program.
void openAttackLimitOnce(platform::Platform& ui, AppState& state);
void openListWindowOnce(platform::Platform& ui, AppState& state, fleetlists::FleetListKind kind);
// Writes "Readme.txt" and opens it in the text editor.
void openReadme(platform::Platform& ui);

} // namespace reef::app
