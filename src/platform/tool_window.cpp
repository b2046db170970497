#include "platform/tool_window.h"

#include "platform/error_message.h"

namespace reef::platform {

WindowId openToolWindow(Platform& ui, const std::string& title, int clientWidth, int clientHeight,
                        const std::function<bool(WindowId)>& createControls) {
    WindowId window = ui.openWindow(title, clientWidth, clientHeight);
    if (window && createControls && !createControls(window)) {
        ui.closeWindow(window);
        window = {};
    }
    if (!window) {
        showError(ui, kWindowFailedMessage);
    }
    return window;
}

} // namespace reef::platform
