#pragma once
// A headless user interface for the calculator windows: the test acts as the user, and
// every event the action raises is handed to the window's handler at once, as the event
// loop would.

#include "platform/headless/headless_platform.h"

#include <functional>
#include <string>

namespace reef::calc::testing {

class WindowHarness {
  public:
    using Handler = std::function<void(const platform::Event&)>;

    platform::headless::HeadlessPlatform ui;
    platform::headless::HeadlessDriver user{ui};

    void setHandler(Handler handler) { handler_ = std::move(handler); }

    // Hands every queued event to the handler; returns how many there were.
    int dispatch() {
        int count = 0;
        while (const auto event = ui.waitEvent(0)) {
            ++count;
            if (handler_) {
                handler_(*event);
            }
        }
        return count;
    }

    // Key by key, each keystroke handled before the next, as a user types. '\b' is the
    // backspace key.
    void type(platform::ControlId field, const std::string& keys) {
        for (const char key : keys) {
            user.typeText(field, std::string(1, key));
            dispatch();
        }
    }

    void click(platform::ControlId control) {
        user.click(control);
        dispatch();
    }

    void tab() {
        user.pressTab();
        dispatch();
    }

    void paste(platform::ControlId field, const std::string& text) {
        user.pasteText(field, text);
        dispatch();
    }

  private:
    Handler handler_;
};

} // namespace reef::calc::testing
