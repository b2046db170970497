#pragma once
// Opening and closing a tool window: every window of the program but the main window goes
// through here, so that a window is either open with all its controls or not open at all.

#include "platform/platform.h"

#include <functional>
#include <string>

namespace reef::platform {

// Opens the window and lets createControls fill it. A window whose controls could not all
// be created is closed again, since it would take input it cannot handle. On failure the
// user is told "Fenster konnte nicht geöffnet werden!" and the handle is empty; whether the
// program goes on is the caller's decision.
WindowId openToolWindow(Platform& ui, const std::string& title, int clientWidth, int clientHeight,
                        const std::function<bool(WindowId)>& createControls);

// Closes the window and resets the record of its handles to `closed`, so that no handle of
// the gone window survives. Nothing happens when the window is not open.
template <typename WindowState>
void closeToolWindow(Platform& ui, WindowState& state, WindowState closed = {}) {
    if (state.window) {
        ui.closeWindow(state.window);
    }
    state = std::move(closed);
}

} // namespace reef::platform
