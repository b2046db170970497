#pragma once
// The ETA plan window "Reef - Tools: ETA-Plan".

#include "platform/platform.h"

namespace reef::etaplan {

struct EtaPlanWindow {
    platform::WindowId window; // empty while closed
    // The controls the handlers read and write; valid only while the window is open.
    platform::ControlId targetField;
    platform::ControlId coordinatorsField;
    platform::ControlId participantsField;
    platform::ControlId channelField;
    platform::ControlId attackTimeField;
    platform::ControlId createPlanButton;
    platform::ControlId saveSettingsButton;
    platform::ControlId planArea;
};

// Opens the window with the saved settings; when it cannot be created, tells the user and
// returns an empty handle (the program goes on).
platform::WindowId openEtaPlanWindow(platform::Platform& ui, EtaPlanWindow& state);

// Every event of the window, its close request included (closes it and clears the handle).
void handleEtaPlanEvent(platform::Platform& ui, EtaPlanWindow& state, const platform::Event& event);

} // namespace reef::etaplan
