// Entry point of ReefTools.exe and, over GTK, of reef-tools.

#include "app/startup.h"
#include "platform/platform.h"
#include "platform/process.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    std::unique_ptr<reef::platform::Platform> ui = reef::platform::createNativePlatform();
    if (!ui) {
        std::fputs("Reef - Tools: no display to open the windows on (is DISPLAY set?)\n", stderr);
        return 1;
    }
    const int exitCode = reef::app::runProgram(*ui, reef::platform::processCommandLine(argc, argv));
    ui.reset();
    // A worker may still wait on the network: it owns what it touches and is detached, and
    // ending here without the static destructors leaves it nothing to trip over.
    std::fflush(nullptr);
    std::_Exit(exitCode);
}
