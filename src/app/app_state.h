#pragma once
// The program's one state record: every window and control handle, the state of both fleet
// lists, the shared tables and the proxy settings. A window handle is empty while its window
// is closed; opening once and all close handling rely on that.

#include "calc/attack_limit_window.h"
#include "calc/fleet_distribution_window.h"
#include "etaplan/eta_plan_window.h"
#include "exchange/proxy_settings.h"
#include "exchange/server_config.h"
#include "fleetlists/fleet_lists.h"
#include "platform/handles.h"
#include "platform/ui_bridge.h"
#include "platform/worker_threads.h"

#include <array>
#include <memory>
#include <string>

namespace reef::app {

struct MainWindow {
    platform::WindowId window;
    platform::ControlId etaPlanButton;
    platform::ControlId fleetDistributionButton;
    platform::ControlId attackLimitButton;
    platform::ControlId enemyListButton;
    platform::ControlId alliedListButton;
    platform::ControlId notice;
    platform::ControlId exitButton;
    platform::ControlId helpButton;
};

struct AppState {
    MainWindow main;
    platform::MenuId trayMenu;
    bool trayIcon = false;

    etaplan::EtaPlanWindow etaPlan;
    calc::FleetDistributionWindow fleetDistribution;
    calc::AttackLimitWindow attackLimit;

    fleetlists::FleetLists fleet;

    // Empty (direct connections) unless the program was started with "Proxy".
    exchange::ProxySettings proxy;

    // The list server and the password site: built in, or from "Server.dat" beside the
    // program. Read once at start-up.
    exchange::ServerConfig serverConfig;

    // The workers of the lists and their way back to the user-interface thread.
    std::shared_ptr<platform::UiBridge> bridge;
    platform::WorkerThreads workers;

    // Set by the exit sequence; the event loop ends and the process ends with the code.
    bool exiting = false;
    int exitCode = 0;

    fleetlists::ListWindowState& list(fleetlists::FleetListKind kind) { return fleet.list(kind); }
};

} // namespace reef::app
