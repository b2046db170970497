#include "app/startup.h"

#include "app/command_line.h"
#include "app/event_loop.h"
#include "app/exit_program.h"
#include "app/main_window.h"
#include "app/messages.h"
#include "exchange/proxy_settings.h"
#include "fleetlists/catalogue.h"
#include "platform/connection.h"
#include "platform/error_message.h"

namespace reef::app {

StartupServices defaultStartupServices() {
    StartupServices services;
    services.loadServerConfig = [] {
        return exchange::loadServerConfig(exchange::builtInServerConfig());
    };
    services.loadProxySettings = [](AppState& state) {
        return exchange::loadProxySettings(state.proxy);
    };
    services.startSockets = [] { return platform::startSockets(); };
    return services;
}

bool startProgram(platform::Platform& ui, AppState& state, const std::string& commandLine,
                  const StartupServices& services) {
    state = AppState{};
    state.fleet.tables = fleetlists::buildFleetListTables();
    state.bridge = std::make_shared<platform::UiBridge>(ui);

    const exchange::ServerConfigLoad serverConfig = services.loadServerConfig();
    state.serverConfig = serverConfig.config;
    state.fleet.passwordSite = serverConfig.config.passwordSite;
    if (!serverConfig.badKey.empty()) {
        platform::showError(ui, exchange::serverConfigProblemText(serverConfig.badKey));
    }

    if (proxySwitchGiven(commandLine) && !services.loadProxySettings(state)) {
        platform::showError(ui, kProxyLoadFailedMessage);
    }

    if (!openMainWindow(ui, state.main)) {
        platform::showError(ui, platform::kWindowFailedMessage);
        failureExit(ui, state);
        return false;
    }

    // The end of the session cannot wait for the loop to come round.
    ui.setUrgentEventHandler(
        [&ui, &state](const platform::Event& event) { dispatchEvent(ui, state, event); });

    state.trayMenu = createTrayMenu(ui);
    // A missing tray icon is not worth a message: the window then minimises as usual.
    state.trayIcon = ui.addTrayIcon(state.main.window, kTrayTooltip);

    if (!services.startSockets()) {
        ui.setEnabled(state.main.enemyListButton, false);
        ui.setEnabled(state.main.alliedListButton, false);
        platform::showError(ui, kSocketsFailedMessage);
    }
    return true;
}

int runProgram(platform::Platform& ui, const std::string& commandLine,
               const StartupServices& services) {
    AppState state;
    if (!startProgram(ui, state, commandLine, services)) {
        return state.exitCode;
    }
    const int exitCode = runEventLoop(ui, state);
    ui.setUrgentEventHandler({}); // it refers to the state, which ends here
    return exitCode;
}

} // namespace reef::app
