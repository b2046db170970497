#pragma once
// The ETA plan window "Reef - Tools: ETA-Plan".

#include "platform/platform.h"

namespace reef::etaplan {

struct EtaPlanWindow {
    platform::WindowId window; // empty while closed
};

// Opens the window with the saved settings; when it cannot be created, tells the user and
// returns an empty handle (the program goes on).
platform::WindowId openEtaPlanWindow(platform::Platform& ui, EtaPlanWindow& state);

// Every event of the window, its close request included (closes it and clears the handle).
void handleEtaPlanEvent(platform::Platform& ui, EtaPlanWindow& state, const platform::Event& event);

} // namespace reef::etaplan
