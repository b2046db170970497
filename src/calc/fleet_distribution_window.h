#pragma once
// The fleet distribution window "Reef - Tools: Flottenverteilung".

#include "platform/platform.h"

#include <array>

namespace reef::calc {

struct FleetDistributionWindow {
    platform::WindowId window; // empty while closed
    std::array<platform::ControlId, 7> soll{};
    std::array<platform::ControlId, 7> haben{};
    platform::ControlId saveSollButton;
    platform::ControlId loadSollButton;
    platform::ControlId saveHabenButton;
    platform::ControlId loadHabenButton;
};

// Opens the window with all fields empty; when it cannot be created, tells the user and
// returns an empty handle (the program goes on).
platform::WindowId openFleetDistributionWindow(platform::Platform& ui,
                                               FleetDistributionWindow& state);

// Every event of the window, its close request included (closes it and clears the handle).
void handleFleetDistributionEvent(platform::Platform& ui, FleetDistributionWindow& state,
                                  const platform::Event& event);

} // namespace reef::calc
