// Entry point of ReefTools.exe.

#include "app/startup.h"
#include "platform/platform.h"
#include "platform/process.h"

int main(int argc, char** argv) {
    const std::unique_ptr<reef::platform::Platform> ui = reef::platform::createNativePlatform();
    return reef::app::runProgram(*ui, reef::platform::processCommandLine(argc, argv));
}
