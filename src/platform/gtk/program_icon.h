#pragma once
// The program's icon file (res/ReefTools.ico), built into the program as bytes.

#include <cstddef>

namespace reef::platform::gtk {

extern const unsigned char kProgramIconBytes[];
extern const std::size_t kProgramIconSize;

} // namespace reef::platform::gtk
