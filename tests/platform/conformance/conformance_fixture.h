#pragma once
// What every conformance test shares: a fresh backend and ways to fetch events from it.
// A real backend delivers events asynchronously, so the helpers poll waitEvent until the
// expected event arrives or the backend has stayed quiet for a while; they never assume
// that one call returns it.

#include "platform/conformance/backend_under_test.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace reef::platform::conformance {

using EventMatch = std::function<bool(const Event&)>;

inline EventMatch controlEvent(ControlId control, ControlEventType type) {
    return [control, type](const Event& event) {
        return event.kind == EventKind::Control && event.control == control &&
               event.controlType == type;
    };
}

inline EventMatch anyEventOf(ControlId control) {
    return [control](const Event& event) {
        return event.kind == EventKind::Control && event.control == control;
    };
}

inline EventMatch eventOfKind(EventKind kind, WindowId window) {
    return
        [kind, window](const Event& event) { return event.kind == kind && event.window == window; };
}

inline int countMatching(const std::vector<Event>& events, const EventMatch& match) {
    int count = 0;
    for (const Event& event : events) {
        count += match(event) ? 1 : 0;
    }
    return count;
}

// Position of the first matching event, or -1.
inline int indexOf(const std::vector<Event>& events, const EventMatch& match) {
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (match(events[i])) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

class ConformanceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        backend_ = makeBackendUnderTest();
        ASSERT_TRUE(backend_.platform);
        ASSERT_TRUE(backend_.driver);
    }

    Platform& platform() { return *backend_.platform; }
    UiDriver& driver() { return *backend_.driver; }

    WindowId openTestWindow(const std::string& title = "Reef - Tools: Test", int width = 400,
                            int height = 300) {
        const WindowId window = platform().openWindow(title, width, height);
        EXPECT_TRUE(window) << "window could not be opened";
        return window;
    }

    ControlId makeEdit(WindowId window, int y, const EditStyle& style = {},
                       const std::string& text = "") {
        const ControlId edit = platform().createEdit(window, Rect{10, y, 120, 20}, text, style);
        EXPECT_TRUE(edit);
        return edit;
    }

    ControlId makeButton(WindowId window, int y, const std::string& text) {
        const ControlId button = platform().createButton(window, Rect{10, y, 120, 25}, text);
        EXPECT_TRUE(button);
        return button;
    }

    // Every event until the backend stays quiet.
    std::vector<Event> drainEvents() {
        std::vector<Event> events;
        int quiet = 0;
        while (quiet < backend_.quietPolls) {
            if (std::optional<Event> event = platform().waitEvent(backend_.pollMs)) {
                events.push_back(*event);
                quiet = 0;
            } else {
                ++quiet;
            }
        }
        return events;
    }

    // The first matching event; the events before it are appended to `skipped`.
    std::optional<Event> awaitEvent(const EventMatch& match,
                                    std::vector<Event>* skipped = nullptr) {
        int empty = 0;
        while (empty < backend_.patiencePolls) {
            std::optional<Event> event = platform().waitEvent(backend_.pollMs);
            if (!event) {
                ++empty;
                continue;
            }
            if (match(*event)) {
                return event;
            }
            if (skipped) {
                skipped->push_back(*event);
            }
        }
        return std::nullopt;
    }

    // Polls waitEvent until the condition holds, at most about ten seconds of real time;
    // used where worker threads are involved. Events are collected in `seen`.
    bool pumpUntil(const std::function<bool()>& condition, std::vector<Event>* seen = nullptr) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            if (std::optional<Event> event = platform().waitEvent(backend_.pollMs)) {
                if (seen) {
                    seen->push_back(*event);
                }
            } else {
                // An in-memory backend returns at once; give the workers a moment.
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        return true;
    }

    BackendUnderTest backend_;
};

} // namespace reef::platform::conformance
