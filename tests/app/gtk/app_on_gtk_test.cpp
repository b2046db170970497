// The program's own windows over the GTK backend, driven as a user would: every window's
// layout as the program asks for it (the in-memory backend records what was asked), and the
// main flows through the real widgets.

#include "app/app_state.h"
#include "app/event_loop.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "app/tool_windows.h"
#include "fleetlists/entry_dialog.h"
#include "fleetlists/list_window.h"
#include "platform/gtk/gtk_platform.h"
#include "platform/gtk/gtk_ui_driver.h"
#include "platform/headless/headless_platform.h"
#include "support/scoped_temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>

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
        return server::ServerConfigLoad{.config = server::builtInServerConfig(), .badKey = {}};
    };
    services.loadProxySettings = [](AppState&) { return true; };
    services.startSockets = [] { return true; };
    return services;
}

std::unique_ptr<platform::gtk::GtkPlatform> openGtk() {
    setenv("GTK_IM_MODULE", "gtk-im-context-simple", 1);
    return platform::gtk::GtkPlatform::create(platform::gtk::GtkOptions{.editorProgram = "true"});
}

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

} // namespace
} // namespace reef::app::testing
