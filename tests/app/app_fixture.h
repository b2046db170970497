#pragma once
// A started program over the headless backend, driven as a user would.

#include "app/app_state.h"
#include "app/event_loop.h"
#include "app/startup.h"
#include "platform/headless/headless_platform.h"
#include "support/event_harness.h"
#include "support/scoped_temp_dir.h"

#include <gtest/gtest.h>

#include <string>

namespace reef::app::testing {

class AppTest : public ::testing::Test, protected reef::testing::EventHarness {
  protected:
    AppState state;
    StartupServices services;
    int proxyLoads = 0;
    bool proxyLoadResult = true;
    bool socketsResult = true;

    AppTest() {
        services.loadServerConfig = [] {
            return exchange::ServerConfigLoad{.config = exchange::builtInServerConfig(),
                                              .badKey = {}};
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

    // Handles every event the user's actions have queued with the program's own loop, which
    // also runs the list windows' timers after each; posted tasks wait for their test.
    int handleEvents() override {
        int count = 0;
        for (; count < 100 && !ui.pendingEvents().empty() && !state.exiting; ++count) {
            runEventLoopOnce(ui, state);
        }
        return count;
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
