#pragma once
// From the command line to the running event loop.

#include "app/app_state.h"
#include "exchange/server_config.h"
#include "platform/platform.h"

#include <functional>
#include <string>

namespace reef::app {

// What start-up asks of the world outside the windows; tests replace them.
struct StartupServices {
    // Reads "Server.dat" over the built-in server values.
    std::function<exchange::ServerConfigLoad()> loadServerConfig;
    // Reads "Proxy.dat" into the state's proxy settings; false when it cannot be loaded.
    std::function<bool(AppState&)> loadProxySettings;
    // Starts the socket library; false when it cannot be initialised.
    std::function<bool()> startSockets;
};

StartupServices defaultStartupServices();

// Start-up up to the event loop. False when the program has already ended (main window
// failed); the state then holds the exit code.
bool startProgram(platform::Platform& ui, AppState& state, const std::string& commandLine,
                  const StartupServices& services);

// Start-up, the event loop and the exit: the process's exit code.
int runProgram(platform::Platform& ui, const std::string& commandLine,
               const StartupServices& services = defaultStartupServices());

} // namespace reef::app
