// The program's own windows over the GTK backend, driven as a user would: every window's
// layout as the program asks for it (the in-memory backend records what was asked), and the
// main flows through the real widgets.

#include "app/app_state.h"
#include "app/event_loop.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "app/tool_windows.h"
#include "exchange/scripted_list_server.h"
#include "fleetlists/entry_dialog.h"
#include "fleetlists/list_cache.h"
#include "fleetlists/list_window.h"
#include "platform/gtk/gtk_platform.h"
#include "platform/gtk/gtk_ui_driver.h"
#include "platform/headless/headless_platform.h"
#include "support/scoped_temp_dir.h"
#include "wire/list_format.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace reef::app::testing {
namespace {

using fleetlists::FleetListKind;
using platform::ControlKind;
using platform::MessageBoxAnswer;
using platform::Rect;
using platform::WindowId;

StartupServices testServices() {
    StartupServices services;
    services.loadServerConfig = [] {
        return exchange::ServerConfigLoad{.config = exchange::builtInServerConfig(), .badKey = {}};
    };
    services.loadProxySettings = [](AppState&) { return true; };
    services.startSockets = [] { return true; };
    return services;
}

std::unique_ptr<platform::gtk::GtkPlatform> openGtk() {
    setenv("GTK_IM_MODULE", "gtk-im-context-simple", 1);
    return platform::gtk::GtkPlatform::create(platform::gtk::GtkOptions{.editorProgram = "true"});
}

// A session bus of the test's own (dbus-daemon) with the notification service of
// notification_service.py on it; the program finds it through DBUS_SESSION_BUS_ADDRESS.
class PrivateNotificationService {
  public:
    explicit PrivateNotificationService(std::string log) : log_(std::move(log)) {
        int out[2];
        if (pipe(out) != 0) {
            return;
        }
        daemon_ = fork();
        if (daemon_ == 0) {
            dup2(out[1], 1);
            close(out[0]);
            execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nopidfile",
                   "--print-address=1", nullptr);
            _exit(127);
        }
        close(out[1]);
        char c = 0;
        while (read(out[0], &c, 1) == 1 && c != '\n') {
            address_ += c;
        }
        close(out[0]);
        if (address_.empty()) {
            return;
        }
        setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
        service_ = fork();
        if (service_ == 0) {
            execl("/usr/bin/python3", "python3", REEF_NOTIFICATION_SERVICE, log_.c_str(), nullptr);
            _exit(127);
        }
        for (int i = 0; i < 500 && lines().empty(); ++i) {
            usleep(20000);
        }
    }
    ~PrivateNotificationService() {
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        for (const pid_t pid : {service_, daemon_}) {
            if (pid > 0) {
                kill(pid, SIGTERM);
                waitpid(pid, nullptr, 0);
            }
        }
    }
    PrivateNotificationService(const PrivateNotificationService&) = delete;
    PrivateNotificationService& operator=(const PrivateNotificationService&) = delete;

    bool ready() const { return !lines().empty() && lines()[0] == "ready"; }

    // The Notify calls the service received, one JSON line each.
    std::vector<std::string> notifications() const {
        std::vector<std::string> calls = lines();
        if (!calls.empty()) {
            calls.erase(calls.begin());
        }
        return calls;
    }

    // The user clicks the notification with this id, as the service reports it.
    void click(guint32 id) const {
        GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
            address_.c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        ASSERT_NE(bus, nullptr);
        g_dbus_connection_emit_signal(bus, nullptr, "/org/freedesktop/Notifications",
                                      "org.freedesktop.Notifications", "ActionInvoked",
                                      g_variant_new("(us)", id, "default"), nullptr);
        g_dbus_connection_flush_sync(bus, nullptr, nullptr);
        g_object_unref(bus);
    }

  private:
    std::vector<std::string> lines() const {
        std::vector<std::string> result;
        std::ifstream in(log_);
        for (std::string line; std::getline(in, line);) {
            result.push_back(line);
        }
        return result;
    }

    std::string log_;
    std::string address_;
    pid_t daemon_ = -1;
    pid_t service_ = -1;
};

// --- every window's layout

// Opens one of the program's windows through its own code.
struct WindowOpening {
    const char* name;
    std::function<void(platform::Platform&, AppState&)> open;
};

const WindowOpening kWindows[] = {
    {"main", [](platform::Platform& ui, AppState& state) { openMainWindow(ui, state.main); }},
    {"eta_plan", [](platform::Platform& ui, AppState& state) { openEtaPlanOnce(ui, state); }},
    {"fleet_distribution",
     [](platform::Platform& ui, AppState& state) { openFleetDistributionOnce(ui, state); }},
    {"attack_limit",
     [](platform::Platform& ui, AppState& state) { openAttackLimitOnce(ui, state); }},
    {"enemy_list",
     [](platform::Platform& ui, AppState& state) {
         fleetlists::openListWindow(ui, state.fleet, FleetListKind::Enemy);
     }},
    {"allied_list",
     [](platform::Platform& ui, AppState& state) {
         fleetlists::openListWindow(ui, state.fleet, FleetListKind::Allied);
     }},
    {"enemy_entry",
     [](platform::Platform& ui, AppState& state) {
         fleetlists::openListWindow(ui, state.fleet, FleetListKind::Enemy);
         fleetlists::openEntryDialog(ui, state.fleet, FleetListKind::Enemy, "neuer Eintrag", -1);
     }},
    {"allied_entry",
     [](platform::Platform& ui, AppState& state) {
         fleetlists::openListWindow(ui, state.fleet, FleetListKind::Allied);
         fleetlists::openEntryDialog(ui, state.fleet, FleetListKind::Allied, "neuer Eintrag", -1);
     }},
};

class WindowLayoutOnGtk : public ::testing::TestWithParam<WindowOpening> {
  protected:
    reef::testing::ScopedTempDir cwd; // the windows read and write their files here
};

TEST_P(WindowLayoutOnGtk, EveryControlStandsWhereTheProgramPutsIt) {
    // The same opening on both backends hands out the same handles, in the same order.
    platform::headless::HeadlessPlatform asked;
    platform::headless::HeadlessDriver askedUser(asked);
    AppState askedState;
    GetParam().open(asked, askedState);

    auto gtk = openGtk();
    ASSERT_TRUE(gtk) << "no X display";
    platform::gtk::GtkUiDriver user(*gtk);
    AppState state;
    GetParam().open(*gtk, state);
    user.settle();

    const std::vector<WindowId> windows = asked.openWindows();
    ASSERT_FALSE(windows.empty());
    for (const WindowId window : windows) {
        ASSERT_TRUE(user.isWindowOpen(window));
        EXPECT_EQ(user.windowTitle(window), askedUser.windowTitle(window));
        EXPECT_EQ(user.clientRect(window), askedUser.clientRect(window))
            << user.windowTitle(window);
        for (const platform::ControlId control : asked.controlsOf(window)) {
            const auto info = asked.controlInfo(control);
            ASSERT_TRUE(info);
            ASSERT_EQ(gtk->controlKind(control), info->kind);
            const Rect placed = user.controlRect(control);
            if (info->kind == ControlKind::StatusBar) {
                // Along the bottom edge, the whole width.
                EXPECT_EQ(placed.y + placed.height, askedUser.clientRect(window).height);
                EXPECT_EQ(placed.width, askedUser.clientRect(window).width);
                continue;
            }
            EXPECT_EQ(placed, info->rect)
                << "control " << control.value << " of " << user.windowTitle(window);
            EXPECT_EQ(gtk->text(control), asked.text(control)) << "control " << control.value;
            EXPECT_EQ(gtk->isEnabled(control), asked.isEnabled(control))
                << "control " << control.value;
            EXPECT_EQ(user.tooltip(control), askedUser.tooltip(control))
                << "control " << control.value;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Windows, WindowLayoutOnGtk, ::testing::ValuesIn(kWindows),
                         [](const auto& info) { return std::string(info.param.name); });

// --- the program over GTK

class ProgramOnGtk : public ::testing::Test {
  protected:
    void SetUp() override {
        ui = openGtk();
        ASSERT_TRUE(ui) << "no X display";
        user = std::make_unique<platform::gtk::GtkUiDriver>(*ui);
        ASSERT_TRUE(startProgram(*ui, state, "reef-tools", testServices()));
        handleEvents();
    }

    void TearDown() override {
        user.reset();
        ui.reset();
    }

    // Hands every event the user's actions raised to the program, as its loop does.
    void handleEvents() {
        int quiet = 0;
        while (quiet < 3 && !state.exiting) {
            if (const auto event = ui->waitEvent(20)) {
                dispatchEvent(*ui, state, *event);
                listWindowTimers(*ui, state);
                quiet = 0;
            } else {
                ++quiet;
            }
        }
    }

    reef::testing::ScopedTempDir cwd;
    std::unique_ptr<platform::gtk::GtkPlatform> ui;
    std::unique_ptr<platform::gtk::GtkUiDriver> user;
    AppState state;
};

TEST_F(ProgramOnGtk, StartsWithTheMainWindowAndTheTrayIcon) {
    EXPECT_EQ(user->windowTitle(state.main.window), "Reef - Tools");
    EXPECT_EQ(user->clientRect(state.main.window), (Rect{0, 0, 200, 210}));
    EXPECT_TRUE(state.trayIcon);
    EXPECT_TRUE(user->hasTrayIcon());
    EXPECT_EQ(user->trayTooltip(), "Reef-Tool 0.2.3.5");
}

TEST_F(ProgramOnGtk, ToolButtonsOpenTheirWindows) {
    user->click(state.main.etaPlanButton);
    handleEvents();
    user->click(state.main.fleetDistributionButton);
    handleEvents();
    user->click(state.main.attackLimitButton);
    handleEvents();
    EXPECT_EQ(user->windowTitle(state.etaPlan.window), "Reef - Tools: ETA-Plan");
    EXPECT_EQ(user->windowTitle(state.fleetDistribution.window), "Reef - Tools: Flottenverteilung");
    EXPECT_EQ(user->windowTitle(state.attackLimit.window), "Reef - Tools: Attgrenze");
}

TEST_F(ProgramOnGtk, AttackLimitFollowsTheTypedPoints) {
    user->click(state.main.attackLimitButton);
    handleEvents();
    ASSERT_TRUE(state.attackLimit.window);
    const std::string upperBefore = ui->text(state.attackLimit.upperField);
    for (const char key : std::string("12000")) {
        user->typeText(state.attackLimit.pointsField, std::string(1, key));
        handleEvents();
    }
    EXPECT_EQ(ui->text(state.attackLimit.pointsField), "12000");
    EXPECT_NE(ui->text(state.attackLimit.upperField), upperBefore);
    EXPECT_FALSE(ui->text(state.attackLimit.lowerField).empty());
}

TEST_F(ProgramOnGtk, EtaPlanGoesToTheClipboardWithItsLineEnds) {
    user->click(state.main.etaPlanButton);
    handleEvents();
    ASSERT_TRUE(state.etaPlan.window);
    user->typeText(state.etaPlan.targetField, "Basis 1");
    handleEvents();
    user->click(state.etaPlan.createPlanButton);
    handleEvents();
    const std::string shown = ui->text(state.etaPlan.planArea);
    ASSERT_NE(shown.find("Ziel: Basis 1\r\n"), std::string::npos) << shown;
    // The area shows one more, empty line than goes to the clipboard.
    EXPECT_EQ(user->clipboardText() + "\r\n", shown);
}

TEST_F(ProgramOnGtk, CloseBoxAsksAndNoKeepsTheProgram) {
    user->queueMessageBoxAnswer(MessageBoxAnswer::No);
    user->requestClose(state.main.window);
    handleEvents();
    ASSERT_EQ(user->shownMessageBoxes().size(), 1u);
    EXPECT_EQ(user->shownMessageBoxes()[0].kind, platform::MessageBoxKind::Question);
    EXPECT_FALSE(state.exiting);
    EXPECT_TRUE(user->isWindowOpen(state.main.window));
}

TEST_F(ProgramOnGtk, TrayMenuEndsTheProgram) {
    user->clickTray(platform::TrayEventType::RightClick);
    handleEvents();
    ASSERT_TRUE(user->isPopupMenuShown());
    user->choosePopupItem(kMenuExit);
    handleEvents();
    EXPECT_TRUE(state.exiting);
    EXPECT_FALSE(user->hasTrayIcon());
    EXPECT_FALSE(user->isWindowOpen(state.main.window));
}

TEST_F(ProgramOnGtk, EndOfTheSessionEndsTheProgramWithoutAQuestion) {
    // SIGTERM, as the desktop sends it when the session ends.
    EXPECT_TRUE(user->endSession());
    EXPECT_TRUE(state.exiting);
    EXPECT_TRUE(user->shownMessageBoxes().empty());
    EXPECT_FALSE(user->isWindowOpen(state.main.window));
}

// A download that brings a new attack on the player, told to the desktop's notification
// service; the click on the notification opens the closed list again.
TEST_F(ProgramOnGtk, ANewAttackReachesTheDesktopsNotificationService) {
    PrivateNotificationService service(cwd.file("notifications.log"));
    ASSERT_TRUE(service.ready());
    fleetlists::ListCacheData cache;
    cache.password = "geheim";
    fleetlists::saveListCache(FleetListKind::Enemy, "tblEnemy.dat", cache);
    std::ofstream("FrendPre.dat") << "Name = Anna\r\n";
    std::string list = "|>Update<|";
    wire::appendRecord(list, {"0", "Carl", "EVL", "1:2:3", "0", "40", "2", "Anna", "", "4:5:6", "0",
                              "Otto", "", "43200", "36000"});
    reef::testing::ScriptedListServer server({reef::testing::okAnswer(list + "<>end|<>")});
    state.serverConfig.listServer = server.address();
    fleetlists::ListWindowState& enemy = state.list(FleetListKind::Enemy);
    user->click(state.main.enemyListButton);
    handleEvents();
    ASSERT_TRUE(enemy.window);
    user->click(enemy.refreshButton);
    const auto until = [&](const std::function<bool()>& done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done() && std::chrono::steady_clock::now() < end) {
            handleEvents();
        }
        return done();
    };
    ASSERT_TRUE(until([&] { return !service.notifications().empty(); }));
    const std::string call = service.notifications()[0];
    EXPECT_NE(call.find("\"summary\": \"Angriff auf dich!\""), std::string::npos) << call;
    EXPECT_NE(call.find("\"body\": \"Neue gegnerische Flotte: Carl (EVL) greift Anna (4:5:6) "
                        "an\""),
              std::string::npos)
        << call;
    EXPECT_NE(call.find("\"app_name\": \"Reef - Tools\""), std::string::npos) << call;
    EXPECT_NE(call.find("\"image-data\""), std::string::npos) << call;

    ASSERT_TRUE(until([&] { return !enemy.workerBusy; }));
    user->requestClose(enemy.window);
    handleEvents();
    ASSERT_FALSE(enemy.window);
    service.click(1);
    EXPECT_TRUE(until([&] { return bool(enemy.window); }));
}

} // namespace
} // namespace reef::app::testing
