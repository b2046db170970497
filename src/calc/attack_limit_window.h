#pragma once
// The attack-limit window "Reef - Tools: Attgrenze".

#include "platform/platform.h"

#include <cstdint>

namespace reef::calc {

struct AttackLimitWindow {
    platform::WindowId window; // empty while closed
    std::int64_t points = 0;   // the last points value entered
    platform::ControlId upperField;
    platform::ControlId pointsField;
    platform::ControlId lowerField;
};

// Opens the window; when it cannot be created, tells the user and returns an empty handle,
// after which the caller ends the program.
platform::WindowId openAttackLimitWindow(platform::Platform& ui, AttackLimitWindow& state);

// Every event of the window, its close request included (closes it and clears the handle).
void handleAttackLimitEvent(platform::Platform& ui, AttackLimitWindow& state,
                            const platform::Event& event);

} // namespace reef::calc
