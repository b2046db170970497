#pragma once
// The conformance suite is compiled into each backend's test executable. That executable
// defines makeBackendUnderTest(), which the suite calls once per test case for a fresh
// platform (created on the test's thread, which becomes the user-interface thread) and a
// driver acting on it.

#include "platform/platform.h"
#include "platform/ui_driver.h"

#include <memory>

namespace reef::platform::conformance {

struct BackendUnderTest {
    // Destroyed in reverse order: the driver before the platform it acts on.
    std::unique_ptr<Platform> platform;
    std::unique_ptr<UiDriver> driver;
    // Timeout of one waitEvent call while the suite polls for events. A real backend needs
    // a little real time for its messages to arrive; an in-memory one needs none.
    int pollMs = 50;
    // Empty waits in a row after which the suite takes it that no further event will come.
    int quietPolls = 3;
    // Empty waits after which an expected event counts as missing.
    int patiencePolls = 40;
};

BackendUnderTest makeBackendUnderTest();

} // namespace reef::platform::conformance
