#pragma once
// Errors the user must see are modal boxes with this caption, an error icon and OK; every
// window of the program reports a failed creation with the same text.

#include "platform/platform.h"

#include <string>

namespace reef::platform {

inline constexpr const char* kErrorCaption = "Error: Reef - Tools";
inline constexpr const char* kWindowFailedMessage = "Fenster konnte nicht geöffnet werden!";

inline void showError(Platform& ui, const std::string& text) {
    ui.messageBox(kErrorCaption, text, MessageBoxKind::Error);
}

} // namespace reef::platform
