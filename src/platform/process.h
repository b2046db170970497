#pragma once
// What the process was started with.

#include <memory>
#include <string>

namespace reef::platform {

class Platform;

// The whole command line as one text (CP1252), the program's own path first. On Windows it is
// the line as the process got it, so the program splits it by its own rules; elsewhere the
// arguments are joined, with quotes around those that hold blanks.
std::string processCommandLine(int argc, char** argv);

// The real user interface of this system: Win32, or GTK in the native Linux program; empty
// when it cannot be opened (no display).
std::unique_ptr<Platform> createNativePlatform();

} // namespace reef::platform
