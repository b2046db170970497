// The conformance suite's backend: the GTK platform on the display the tests run on (a
// private Xvfb in the test command) and its driver, with an editor that only succeeds.

#include "platform/conformance/backend_under_test.h"
#include "platform/gtk/gtk_platform.h"
#include "platform/gtk/gtk_ui_driver.h"

#include <cstdlib>

namespace reef::platform::conformance {

BackendUnderTest makeBackendUnderTest() {
    // The driver's key presses carry the characters themselves; the simple input method
    // takes them as they are, whatever input method the machine would choose.
    setenv("GTK_IM_MODULE", "gtk-im-context-simple", 1);
    BackendUnderTest backend;
    auto platform = gtk::GtkPlatform::create(gtk::GtkOptions{.editorProgram = "true"});
    if (!platform) {
        return backend; // no display: the suite's set-up says so
    }
    backend.driver = std::make_unique<gtk::GtkUiDriver>(*platform);
    backend.platform = std::move(platform);
    // The driver lets the X server and the main loop settle after every action, so short
    // polls suffice; the patience covers a slow, shared machine.
    backend.pollMs = 20;
    backend.quietPolls = 3;
    backend.patiencePolls = 100;
    return backend;
}

} // namespace reef::platform::conformance
