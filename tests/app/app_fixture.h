#pragma once
// A started program over the headless backend, driven as a user would.

#include "app/app_state.h"
#include "app/event_loop.h"
#include "app/startup.h"
#include "platform/headless/headless_platform.h"
#include "support/scoped_temp_dir.h"

#include <gtest/gtest.h>

#include <string>

namespace reef::app::testing {

class AppTest : public ::testing::Test {
  protected:
    platform::headless::HeadlessPlatform ui;
    platform::headless::HeadlessDriver user{ui};
    AppState state;
    StartupServices services;
    int proxyLoads = 0;
    bool proxyLoadResult = true;
    bool socketsResult = true;

    AppTest() {
        services.loadServerConfig = [] {
            return server::ServerConfigLoad{.config = server::builtInServerConfig(), .badKey = {}};
        };
        services.loadProxySettings = [this](AppState&) {
            ++proxyLoads;
            return proxyLoadResult;
        };
        services.startSockets = [this] { return socketsResult; };
    }

    bool start(const std::string& commandLine = "ReefTools.exe") {
        return startProgram(ui, state, commandLine, services);
    }

    // Handles every event the user's actions have queued, as the loop does.
    void handleEvents() {
        for (int i = 0; i < 100 && !ui.pendingEvents().empty() && !state.exiting; ++i) {
            runEventLoopOnce(ui, state);
        }
    }

    void clickAndHandle(platform::ControlId control) {
        user.click(control);
        handleEvents();
    }

    void chooseTrayItem(int item) {
        user.clickTray(platform::TrayEventType::RightClick);
        handleEvents();
        ASSERT_TRUE(user.isPopupMenuShown());
        user.choosePopupItem(item);
        handleEvents();
    }
};

} // namespace reef::app::testing
