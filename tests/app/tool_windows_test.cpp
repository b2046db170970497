#include "app_fixture.h"
#include "support/message_boxes.h"

#include "app/main_window.h"

#include <gtest/gtest.h>

namespace reef::app::testing {
namespace {

struct Tool {
    const char* title;
    platform::ControlId MainWindow::*button;
    int menuItem;
};

const Tool kTools[] = {
    {"Reef - Tools: ETA-Plan", &MainWindow::etaPlanButton, kMenuEtaPlan},
    {"Reef - Tools: Flottenverteilung", &MainWindow::fleetDistributionButton,
     kMenuFleetDistribution},
    {"Reef - Tools: Attgrenze", &MainWindow::attackLimitButton, kMenuAttackLimit},
};

class ToolWindowsTest : public AppTest, public ::testing::WithParamInterface<Tool> {
  protected:
    reef::testing::ScopedTempDir cwd; // the fleet distribution window creates its files
    void SetUp() override { ASSERT_TRUE(start()); }
};

TEST_P(ToolWindowsTest, ButtonOpensTheWindowOnceAndThenBringsItToTheFront) {
    const Tool tool = GetParam();
    click(state.main.*tool.button);
    const platform::WindowId window = ui.findWindow(tool.title);
    ASSERT_TRUE(window);

    user.minimize(window);
    click(state.main.*tool.button);
    EXPECT_EQ(ui.findWindow(tool.title), window);
    EXPECT_FALSE(ui.isMinimized(window));
    EXPECT_EQ(ui.activeWindow(), window);
    EXPECT_EQ(ui.openWindows().size(), 2u) << "the main window and one tool window";
}

TEST_P(ToolWindowsTest, MenuItemOpensTheSameWindow) {
    const Tool tool = GetParam();
    chooseTrayItem(tool.menuItem);
    const platform::WindowId window = ui.findWindow(tool.title);
    ASSERT_TRUE(window);
    click(state.main.*tool.button);
    EXPECT_EQ(ui.openWindows().size(), 2u);
}

TEST_P(ToolWindowsTest, CloseBoxClosesTheWindowAndTheNextClickOpensItAnew) {
    const Tool tool = GetParam();
    click(state.main.*tool.button);
    const platform::WindowId first = ui.findWindow(tool.title);
    ASSERT_TRUE(first);
    user.requestClose(first);
    handleEvents();
    EXPECT_FALSE(user.isWindowOpen(first));
    EXPECT_TRUE(user.shownMessageBoxes().empty()) << "no question for tool windows";

    click(state.main.*tool.button);
    const platform::WindowId second = ui.findWindow(tool.title);
    EXPECT_TRUE(second);
    EXPECT_NE(second, first);
}

INSTANTIATE_TEST_SUITE_P(EveryTool, ToolWindowsTest, ::testing::ValuesIn(kTools));

TEST_F(AppTest, EtaPlanWindowThatCannotBeOpenedIsReportedAndTheProgramGoesOn) {
    ASSERT_TRUE(start());
    ui.failNextWindowOpens(1);
    click(state.main.etaPlanButton);
    EXPECT_FALSE(state.etaPlan.window);
    EXPECT_FALSE(state.exiting);
    ASSERT_EQ(user.shownMessageBoxes().size(), 1u);
    EXPECT_EQ(user.shownMessageBoxes()[0].text, "Fenster konnte nicht geöffnet werden!");

    click(state.main.etaPlanButton);
    EXPECT_TRUE(state.etaPlan.window) << "the next click tries again";
}

TEST_F(AppTest, AttackLimitWindowThatCannotBeOpenedEndsTheProgram) {
    ASSERT_TRUE(start());
    ui.failNextWindowOpens(1);
    click(state.main.attackLimitButton);
    EXPECT_TRUE(state.exiting);
    EXPECT_EQ(state.exitCode, 0);
    EXPECT_TRUE(reef::testing::shownOneError(user, "Fenster konnte nicht geöffnet werden!"));
    EXPECT_TRUE(ui.openWindows().empty());
}

TEST_F(AppTest, ExitClosesTheOpenToolWindows) {
    reef::testing::ScopedTempDir cwd;
    ASSERT_TRUE(start());
    click(state.main.etaPlanButton);
    click(state.main.attackLimitButton);
    ASSERT_EQ(ui.openWindows().size(), 3u);
    click(state.main.exitButton);
    EXPECT_TRUE(ui.openWindows().empty());
    EXPECT_FALSE(state.etaPlan.window);
    EXPECT_FALSE(state.attackLimit.window);
}

} // namespace
} // namespace reef::app::testing
