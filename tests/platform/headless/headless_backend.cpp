// The conformance suite's backend: the in-memory platform and its driver.

#include "platform/conformance/backend_under_test.h"
#include "platform/headless/headless_platform.h"

namespace reef::platform::conformance {

BackendUnderTest makeBackendUnderTest() {
    auto platform = std::make_unique<headless::HeadlessPlatform>();
    auto driver = std::make_unique<headless::HeadlessDriver>(*platform);
    BackendUnderTest backend;
    backend.driver = std::move(driver);
    backend.platform = std::move(platform);
    // Everything happens at once in memory; no poll needs real time.
    backend.pollMs = 0;
    backend.quietPolls = 1;
    backend.patiencePolls = 1;
    return backend;
}

} // namespace reef::platform::conformance
