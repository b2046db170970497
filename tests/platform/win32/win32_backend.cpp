// The conformance suite's backend: the Win32 platform and its driver, with an editor that
// records instead of opening windows.

#include "platform/conformance/backend_under_test.h"
#include "platform/win32/test_paths.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_ui_driver.h"

namespace reef::platform::conformance {

BackendUnderTest makeBackendUnderTest() {
    win32::Win32Options options;
    options.editorProgram = win32::editorProbePath();
    auto platform = std::make_unique<win32::Win32Platform>(options);
    auto driver = std::make_unique<win32::Win32UiDriver>(*platform);
    BackendUnderTest backend;
    backend.driver = std::move(driver);
    backend.platform = std::move(platform);
    // The driver settles the message queue after every action, so short polls suffice; the
    // patience covers a slow, shared machine.
    backend.pollMs = 20;
    backend.quietPolls = 3;
    backend.patiencePolls = 100;
    return backend;
}

} // namespace reef::platform::conformance
