#pragma once
// A headless user interface driven as a user would: after every action the events it raised
// are handled at once, the way the program's event loop would handle them. By default each
// queued event goes to the handler a test sets; a fixture that runs the program's own loop
// overrides handleEvents().

#include "platform/headless/headless_platform.h"

#include <cstdint>
#include <functional>
#include <string>

namespace reef::testing {

class EventHarness {
  public:
    using Handler = std::function<void(const platform::Event&)>;

    explicit EventHarness(std::int64_t localNow = 0) : ui(localNow) {}
    virtual ~EventHarness() = default;
    EventHarness(const EventHarness&) = delete;
    EventHarness& operator=(const EventHarness&) = delete;

    platform::headless::HeadlessPlatform ui;
    platform::headless::HeadlessDriver user{ui};

    void setHandler(Handler handler) { handler_ = std::move(handler); }

    // Hands every queued event to the handler; returns how many there were.
    virtual int handleEvents() {
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
            handleEvents();
        }
    }

    // The whole text as one input, as a burst of keys reaches the field before the program
    // looks, then its events. '\b' is the backspace key.
    void typeAtOnce(platform::ControlId field, const std::string& text) {
        user.typeText(field, text);
        handleEvents();
    }

    void click(platform::ControlId control) {
        user.click(control);
        handleEvents();
    }

    void tab() {
        user.pressTab();
        handleEvents();
    }

    void paste(platform::ControlId field, const std::string& text) {
        user.pasteText(field, text);
        handleEvents();
    }

  private:
    Handler handler_;
};

} // namespace reef::testing
