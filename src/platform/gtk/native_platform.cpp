#include "platform/gtk/gtk_platform.h"
#include "platform/process.h"

namespace reef::platform {

std::unique_ptr<Platform> createNativePlatform() {
    // The program has saved what it keeps once it has handled the end of the session.
    return gtk::GtkPlatform::create(gtk::GtkOptions{.endProcessWithSession = true});
}

} // namespace reef::platform
