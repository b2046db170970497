#include "platform/gtk/gtk_platform.h"
#include "platform/process.h"

namespace reef::platform {

std::unique_ptr<Platform> createNativePlatform() {
    return gtk::GtkPlatform::create();
}

} // namespace reef::platform
