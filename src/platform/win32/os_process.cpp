#include "platform/process.h"

#include "text/cp1252.h"

#include <windows.h>

namespace reef::platform {

std::string processCommandLine(int, char**) {
    const wchar_t* line = GetCommandLineW();
    return text::utf16ToCp1252(reinterpret_cast<const char16_t*>(line));
}

} // namespace reef::platform
