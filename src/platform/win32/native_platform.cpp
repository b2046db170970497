#include "platform/process.h"
#include "platform/win32/win32_platform.h"

namespace reef::platform {

std::unique_ptr<Platform> createNativePlatform() {
    return std::make_unique<win32::Win32Platform>();
}

} // namespace reef::platform
