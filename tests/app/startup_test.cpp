#include "app_fixture.h"

#include <gtest/gtest.h>

#include <fstream>

namespace reef::app::testing {
namespace {

using platform::MessageBoxKind;

TEST_F(AppTest, ProxySwitchLoadsProxyDat) {
    ASSERT_TRUE(start("ReefTools.exe Proxy"));
    EXPECT_EQ(proxyLoads, 1);
    EXPECT_TRUE(user.shownMessageBoxes().empty());
}

TEST_F(AppTest, WithoutTheExactSwitchNothingIsLoadedAndNothingShown) {
    for (const char* line : {"ReefTools.exe", "ReefTools.exe proxy", "ReefTools.exe x Proxy"}) {
        ASSERT_TRUE(start(line)) << line;
        EXPECT_EQ(proxyLoads, 0) << line;
        EXPECT_TRUE(user.shownMessageBoxes().empty()) << line;
        for (platform::WindowId window : ui.openWindows()) {
            ui.closeWindow(window);
        }
    }
}

TEST_F(AppTest, ProxyDatThatCannotBeLoadedIsReportedBeforeTheMainWindow) {
    proxyLoadResult = false;
    std::size_t windowsWhenReported = 99;
    services.loadProxySettings = [&](AppState&) {
        windowsWhenReported = ui.openWindows().size();
        return false;
    };
    ASSERT_TRUE(start("ReefTools.exe Proxy"));
    EXPECT_EQ(windowsWhenReported, 0u);
    ASSERT_EQ(user.shownMessageBoxes().size(), 1u);
    EXPECT_EQ(user.shownMessageBoxes()[0].caption, "Error: Reef - Tools");
    EXPECT_EQ(user.shownMessageBoxes()[0].text, "Konnte Daten für Proxy nicht laden!");
    EXPECT_EQ(user.shownMessageBoxes()[0].kind, MessageBoxKind::Error);
    EXPECT_TRUE(user.isWindowOpen(state.main.window)) << "start-up goes on";
}

TEST_F(AppTest, MainWindowThatCannotBeOpenedEndsTheProgramWithCodeZero) {
    ui.failNextWindowOpens(1);
    EXPECT_FALSE(start());
    EXPECT_TRUE(state.exiting);
    EXPECT_EQ(state.exitCode, 0);
    ASSERT_EQ(user.shownMessageBoxes().size(), 1u);
    EXPECT_EQ(user.shownMessageBoxes()[0].caption, "Error: Reef - Tools");
    EXPECT_EQ(user.shownMessageBoxes()[0].text, "Fenster konnte nicht geöffnet werden!");
    EXPECT_FALSE(user.hasTrayIcon());
}

TEST_F(AppTest, SocketLibraryFailureDisablesTheListButtonsAndSaysSo) {
    socketsResult = false;
    ASSERT_TRUE(start());
    EXPECT_FALSE(ui.isEnabled(state.main.enemyListButton));
    EXPECT_FALSE(ui.isEnabled(state.main.alliedListButton));
    EXPECT_TRUE(ui.isEnabled(state.main.etaPlanButton));
    ASSERT_EQ(user.shownMessageBoxes().size(), 1u);
    EXPECT_EQ(user.shownMessageBoxes()[0].text, "Konnte Netzwerkbefehle nicht initialisieren!\n"
                                                "Feature ''Flottenlisten'' deaktiviert");
    EXPECT_EQ(user.shownMessageBoxes()[0].kind, MessageBoxKind::Error);
}

TEST_F(AppTest, BadServerConfigIsReportedOnceBeforeTheMainWindowAndStartUpGoesOn) {
    std::size_t windowsWhenRead = 99;
    services.loadServerConfig = [&] {
        windowsWhenRead = ui.openWindows().size();
        return server::ServerConfigLoad{.config = server::builtInServerConfig(), .badKey = "Port"};
    };
    ASSERT_TRUE(start());
    EXPECT_EQ(windowsWhenRead, 0u);
    ASSERT_EQ(user.shownMessageBoxes().size(), 1u);
    EXPECT_EQ(user.shownMessageBoxes()[0].caption, "Error: Reef - Tools");
    EXPECT_EQ(user.shownMessageBoxes()[0].text,
              "Ungültiger Wert für ''Port'' in der Datei ''Server.dat''!\n"
              "Es werden die eingebauten Serverdaten verwendet.");
    EXPECT_EQ(user.shownMessageBoxes()[0].kind, MessageBoxKind::Error);
    EXPECT_EQ(state.serverConfig, server::builtInServerConfig());
    EXPECT_TRUE(user.isWindowOpen(state.main.window));
}

TEST_F(AppTest, StartUpBuildsTheSharedTables) {
    ASSERT_TRUE(start());
    EXPECT_EQ(state.fleet.tables.missions.missions[2].text, "Angreifen");
    EXPECT_EQ(state.fleet.columnWidths[0], 80);
    for (const fleetlists::ListWindowState& list : state.fleet.lists) {
        EXPECT_FALSE(list.window);
        EXPECT_TRUE(list.rows.empty());
    }
}

} // namespace
} // namespace reef::app::testing

namespace reef::app::testing {
namespace {

TEST(DefaultStartup, ProxySwitchReadsProxyDatIntoTheState) {
    reef::testing::ScopedTempDir cwd;
    {
        std::ofstream("Proxy.dat", std::ios::binary)
            << "IP = 10.0.0.7\r\nPort = 1080\r\nTyp = 2\r\n";
    }
    platform::headless::HeadlessPlatform ui;
    platform::headless::HeadlessDriver user(ui);
    AppState state;
    StartupServices services = defaultStartupServices();
    services.startSockets = [] { return true; };
    ASSERT_TRUE(startProgram(ui, state, "ReefTools.exe Proxy", services));
    EXPECT_EQ(state.proxy.host, "10.0.0.7");
    EXPECT_EQ(state.proxy.port, 1080);
    EXPECT_EQ(state.proxy.type, 2);
    EXPECT_TRUE(state.proxy.userId.empty()) << "missing keys take their defaults";
    EXPECT_TRUE(user.shownMessageBoxes().empty());
}

TEST(DefaultStartup, ServerDatBesideTheProgramChoosesTheServerAndThePasswordSite) {
    reef::testing::ScopedTempDir cwd;
    {
        std::ofstream("Server.dat", std::ios::binary)
            << "Host = lists.example.org\r\nPasswortSeite = forum.example.org\r\n";
    }
    platform::headless::HeadlessPlatform ui;
    platform::headless::HeadlessDriver user(ui);
    AppState state;
    StartupServices services = defaultStartupServices();
    services.startSockets = [] { return true; };
    ASSERT_TRUE(startProgram(ui, state, "ReefTools.exe", services));
    EXPECT_EQ(state.serverConfig.listServer, (server::ListServerAddress{"lists.example.org", 80}));
    EXPECT_EQ(state.fleet.passwordSite, "forum.example.org");
    EXPECT_TRUE(user.shownMessageBoxes().empty());
}

TEST(DefaultStartup, MissingProxyDatIsReportedAndConnectionsStayDirect) {
    reef::testing::ScopedTempDir cwd;
    platform::headless::HeadlessPlatform ui;
    platform::headless::HeadlessDriver user(ui);
    AppState state;
    StartupServices services = defaultStartupServices();
    services.startSockets = [] { return true; };
    ASSERT_TRUE(startProgram(ui, state, "ReefTools.exe Proxy", services));
    EXPECT_TRUE(state.proxy.host.empty());
    ASSERT_EQ(user.shownMessageBoxes().size(), 1u);
    EXPECT_EQ(user.shownMessageBoxes()[0].text, "Konnte Daten für Proxy nicht laden!");
}

} // namespace
} // namespace reef::app::testing
