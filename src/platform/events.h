#pragma once

#include "platform/handles.h"

namespace reef::platform {

enum class EventKind {
    CloseRequest, // title bar close box or system menu
    Control,
    MenuCommand, // an item of a popup menu; belongs to the menu's owner window
    Tray,        // belongs to the window that owns the tray icon
    // The Windows session ends (log-off, shutdown): the process may be ended as soon as the
    // event has been handled. Belongs to no window; see Platform::setUrgentEventHandler.
    SessionEnd,
};

enum class ControlEventType {
    Changed,   // the user changed an edit field's text (never for texts the program sets)
    LostFocus, // the control lost the keyboard focus
    Activated, // everything else: a click, a selection, a list-view click
};

enum class TrayEventType {
    LeftClick,
    RightClick,
    LeftDoubleClick,
    RightDoubleClick,
    NotificationClick, // on the notification the icon last showed
};

struct Event {
    EventKind kind = EventKind::CloseRequest;
    WindowId window;
    ControlId control;                                          // Control events
    ControlEventType controlType = ControlEventType::Activated; // Control events
    int menuItem = -1;                                          // MenuCommand events
    TrayEventType trayType = TrayEventType::LeftClick;          // Tray events
};

} // namespace reef::platform
