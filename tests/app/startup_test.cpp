#include "app_fixture.h"
#include "support/message_boxes.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

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
    EXPECT_TRUE(reef::testing::shownOneError(user, "Konnte Daten für Proxy nicht laden!"));
    EXPECT_TRUE(user.isWindowOpen(state.main.window)) << "start-up goes on";
}

TEST_F(AppTest, MainWindowThatCannotBeOpenedEndsTheProgramWithCodeZero) {
    ui.failNextWindowOpens(1);
    EXPECT_FALSE(start());
    EXPECT_TRUE(state.exiting);
    EXPECT_EQ(state.exitCode, 0);
    EXPECT_TRUE(reef::testing::shownOneError(user, "Fenster konnte nicht geöffnet werden!"));
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
        return exchange::ServerConfigLoad{.config = exchange::builtInServerConfig(),
                                          .badKey = "Port"};
    };
    ASSERT_TRUE(start());
    EXPECT_EQ(windowsWhenRead, 0u);
    EXPECT_TRUE(reef::testing::shownOneError(
        user, "Ungültiger Wert für ''Port'' in der Datei ''Server.dat''!\n"
              "Es werden die eingebauten Serverdaten verwendet."));
    EXPECT_EQ(state.serverConfig, exchange::builtInServerConfig());
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

// The start-up services the program itself uses, but for the sockets.
class DefaultStartup : public ::testing::Test, protected reef::testing::EventHarness {
  protected:
    bool start(const std::string& commandLine) {
        StartupServices services = defaultStartupServices();
        services.startSockets = [] { return true; };
        return startProgram(ui, state, commandLine, services);
    }

    reef::testing::ScopedTempDir cwd;
    AppState state;
};

TEST_F(DefaultStartup, ProxySwitchReadsProxyDatIntoTheState) {
    reef::testing::putFile("Proxy.dat", "IP = 10.0.0.7\r\nPort = 1080\r\nTyp = 2\r\n");
    ASSERT_TRUE(start("ReefTools.exe Proxy"));
    EXPECT_EQ(state.proxy.host, "10.0.0.7");
    EXPECT_EQ(state.proxy.port, 1080);
    EXPECT_EQ(state.proxy.type, 2);
    EXPECT_TRUE(state.proxy.userId.empty()) << "missing keys take their defaults";
    EXPECT_TRUE(user.shownMessageBoxes().empty());
}

TEST_F(DefaultStartup, ServerDatBesideTheProgramChoosesTheServerAndThePasswordSite) {
    reef::testing::putFile("Server.dat",
                           "Host = lists.example.org\r\nPasswortSeite = forum.example.org\r\n");
    ASSERT_TRUE(start("ReefTools.exe"));
    EXPECT_EQ(state.serverConfig.listServer,
              (exchange::ListServerAddress{"lists.example.org", 80}));
    EXPECT_EQ(state.fleet.passwordSite, "forum.example.org");
    EXPECT_TRUE(user.shownMessageBoxes().empty());
}

TEST_F(DefaultStartup, MissingProxyDatIsReportedAndConnectionsStayDirect) {
    ASSERT_TRUE(start("ReefTools.exe Proxy"));
    EXPECT_TRUE(state.proxy.host.empty());
    EXPECT_TRUE(reef::testing::shownOneError(user, "Konnte Daten für Proxy nicht laden!"));
}

} // namespace
} // namespace reef::app::testing
