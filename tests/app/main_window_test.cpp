#include "app_fixture.h"

#include "app/main_window.h"
#include "platform/files.h"

#include <gtest/gtest.h>

namespace reef::app::testing {
namespace {

using platform::EventKind;
using platform::MessageBoxAnswer;
using platform::MessageBoxKind;
using platform::Rect;
using platform::TrayEventType;

class MainWindowTest : public AppTest {
  protected:
    void SetUp() override { ASSERT_TRUE(start()); }
};

TEST_F(MainWindowTest, LaunchesWithTheEightControlsWhereTheLayoutPutsThem) {
    const platform::WindowId window = state.main.window;
    EXPECT_EQ(user.windowTitle(window), "Reef - Tools");
    EXPECT_EQ(user.clientRect(window), (Rect{0, 0, 200, 210}));

    struct Expected {
        platform::ControlId control;
        std::string text;
        Rect rect;
    };
    const Expected expected[] = {
        {state.main.etaPlanButton, "ETA-Plan erstellen", {5, 5, 190, 25}},
        {state.main.fleetDistributionButton, "Flottenverhältnis", {5, 35, 190, 25}},
        {state.main.attackLimitButton, "Attgrenze", {5, 65, 190, 25}},
        {state.main.enemyListButton, "Gegnerische Flotten", {5, 95, 190, 25}},
        {state.main.alliedListButton, "Verbündete Flotten", {5, 125, 190, 25}},
        {state.main.exitButton, "Programm beenden", {5, 178, 163, 25}},
        {state.main.helpButton, "?", {169, 178, 25, 25}},
    };
    for (const Expected& e : expected) {
        EXPECT_EQ(ui.text(e.control), e.text);
        EXPECT_EQ(user.controlRect(e.control), e.rect) << e.text;
        EXPECT_TRUE(ui.isEnabled(e.control)) << e.text;
    }
    EXPECT_EQ(user.controlRect(state.main.notice), (Rect{5, 157, 190, 18}));
    EXPECT_FALSE(ui.text(state.main.notice).empty());
    EXPECT_EQ(ui.controlInfo(state.main.notice)->labelStyle.align, platform::TextAlign::Center);
    EXPECT_EQ(user.tooltip(state.main.helpButton),
              "Erstellte die Datei 'Readme.txt' und öffnet diese.");
    EXPECT_EQ(ui.controlsOf(window).size(), 8u);
}

TEST_F(MainWindowTest, TrayIconCarriesTheTooltipAndTheMenuItsItems) {
    EXPECT_TRUE(user.hasTrayIcon());
    EXPECT_EQ(user.trayTooltip(), "Reef-Tool 0.2.3.5");

    user.clickTray(TrayEventType::RightClick);
    handleEvents();
    ASSERT_TRUE(user.isPopupMenuShown());
    EXPECT_EQ(user.popupMenuOwner(), state.main.window);
    const std::vector<platform::MenuItem> items = user.shownPopupMenuItems();
    ASSERT_EQ(items.size(), 8u);
    const char* texts[] = {"ETA-Plan erstellen", "Flottenverhältnis", "Attgrenze",
                           "Gegnerische Flotte", "Verbündete Flotte"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(items[static_cast<std::size_t>(i)].item, i);
        EXPECT_EQ(items[static_cast<std::size_t>(i)].text, texts[i]);
    }
    EXPECT_TRUE(items[5].separator);
    EXPECT_EQ(items[6].item, 5);
    EXPECT_EQ(items[6].text, "Hilfe (?)");
    EXPECT_EQ(items[7].item, 6);
    EXPECT_EQ(items[7].text, "Programm beenden");
}

TEST_F(MainWindowTest, CloseRequestAsksAndNoChangesNothing) {
    user.queueMessageBoxAnswer(MessageBoxAnswer::No);
    user.requestClose(state.main.window);
    handleEvents();
    ASSERT_EQ(user.shownMessageBoxes().size(), 1u);
    const platform::ShownMessageBox box = user.shownMessageBoxes()[0];
    EXPECT_EQ(box.caption, "Reef - Tools");
    EXPECT_EQ(box.text, "Programm wirklich beenden?");
    EXPECT_EQ(box.kind, MessageBoxKind::Question);
    EXPECT_FALSE(state.exiting);
    EXPECT_TRUE(user.isWindowOpen(state.main.window));
    EXPECT_TRUE(user.hasTrayIcon());
}

TEST_F(MainWindowTest, CloseRequestAnsweredYesEndsWithExitCodeZero) {
    const platform::WindowId window = state.main.window;
    user.queueMessageBoxAnswer(MessageBoxAnswer::Yes);
    user.requestClose(window);
    handleEvents();
    EXPECT_TRUE(state.exiting);
    EXPECT_EQ(state.exitCode, 0);
    EXPECT_FALSE(user.isWindowOpen(window));
    EXPECT_FALSE(user.hasTrayIcon());
}

TEST_F(MainWindowTest, ProgrammBeendenEndsWithoutAQuestion) {
    click(state.main.exitButton);
    EXPECT_TRUE(state.exiting);
    EXPECT_EQ(state.exitCode, 0);
    EXPECT_TRUE(user.shownMessageBoxes().empty());
    EXPECT_TRUE(ui.openWindows().empty());
}

TEST_F(MainWindowTest, MenuItemProgrammBeendenEndsWithoutAQuestion) {
    chooseTrayItem(kMenuExit);
    EXPECT_TRUE(state.exiting);
    EXPECT_TRUE(user.shownMessageBoxes().empty());
    EXPECT_FALSE(user.hasTrayIcon());
}

TEST_F(MainWindowTest, RunEventLoopReturnsTheExitCodeOnceExitRan) {
    user.click(state.main.exitButton);
    EXPECT_EQ(runEventLoop(ui, state), 0);
}

TEST_F(MainWindowTest, TrayLeftClickMinimisesAndHidesThenRestores) {
    const platform::WindowId window = state.main.window;
    user.clickTray(TrayEventType::LeftClick);
    handleEvents();
    EXPECT_TRUE(ui.isMinimized(window));
    EXPECT_FALSE(ui.isVisible(window));

    user.clickTray(TrayEventType::LeftClick);
    handleEvents();
    EXPECT_FALSE(ui.isMinimized(window));
    EXPECT_TRUE(ui.isVisible(window));
    EXPECT_EQ(ui.activeWindow(), window);
}

TEST_F(MainWindowTest, TrayDoubleClicksDoNothing) {
    const platform::WindowId window = state.main.window;
    user.clickTray(TrayEventType::LeftDoubleClick);
    user.clickTray(TrayEventType::RightDoubleClick);
    handleEvents();
    EXPECT_FALSE(ui.isMinimized(window));
    EXPECT_TRUE(ui.isVisible(window));
    EXPECT_FALSE(user.isPopupMenuShown());
}

TEST_F(MainWindowTest, TrayRightClickWithoutAMenuShowsNothingAndChangesNothing) {
    // As when the menu could not be made at start-up.
    ui.destroyPopupMenu(state.trayMenu);
    state.trayMenu = {};
    const platform::WindowId window = state.main.window;
    user.clickTray(TrayEventType::RightClick);
    handleEvents();
    EXPECT_FALSE(user.isPopupMenuShown());
    EXPECT_TRUE(user.shownMessageBoxes().empty());
    EXPECT_FALSE(state.exiting);
    EXPECT_TRUE(ui.isVisible(window));
    EXPECT_FALSE(ui.isMinimized(window));
    EXPECT_EQ(ui.openWindows().size(), 1u);

    user.clickTray(TrayEventType::LeftClick); // the icon still works
    handleEvents();
    EXPECT_TRUE(ui.isMinimized(window));
}

TEST_F(MainWindowTest, MinimisedWindowHidesAtItsNextEventWhenATrayIconExists) {
    const platform::WindowId window = state.main.window;
    user.minimize(window);
    user.clickTray(TrayEventType::LeftDoubleClick); // any event of the main window
    handleEvents();
    EXPECT_TRUE(ui.isMinimized(window));
    EXPECT_FALSE(ui.isVisible(window));

    user.clickTray(TrayEventType::LeftClick);
    handleEvents();
    EXPECT_TRUE(ui.isVisible(window));
    EXPECT_FALSE(ui.isMinimized(window));
}

TEST_F(MainWindowTest, HelpButtonAndMenuItemWriteTheReadmeAndOpenIt) {
    reef::testing::ScopedTempDir cwd;
    click(state.main.helpButton);
    ASSERT_EQ(user.filesOpenedInEditor().size(), 1u);
    EXPECT_EQ(user.filesOpenedInEditor()[0], "Readme.txt");
    const std::optional<std::string> readme = platform::readFileBytes("Readme.txt");
    ASSERT_TRUE(readme.has_value());
    EXPECT_NE(readme->find("Reef - Tools"), std::string::npos);

    chooseTrayItem(kMenuHelp);
    EXPECT_EQ(user.filesOpenedInEditor().size(), 2u);
}

TEST_F(MainWindowTest, EventsOfUnknownWindowsAreDropped) {
    const platform::WindowId stray = ui.openWindow("stray", 10, 10);
    user.requestClose(stray);
    handleEvents();
    EXPECT_TRUE(user.shownMessageBoxes().empty());
    EXPECT_FALSE(state.exiting);
}

} // namespace
} // namespace reef::app::testing

namespace reef::app::testing {
namespace {

TEST_F(AppTest, WithoutATrayIconTheMainWindowMinimisesNormallyAndNothingIsReported) {
    ui.setTrayAvailable(false);
    ASSERT_TRUE(start());
    EXPECT_FALSE(state.trayIcon);
    EXPECT_FALSE(user.hasTrayIcon());
    EXPECT_TRUE(user.shownMessageBoxes().empty());

    const platform::WindowId window = state.main.window;
    user.minimize(window);
    user.queueMessageBoxAnswer(platform::MessageBoxAnswer::No);
    user.requestClose(window); // a later event of the main window
    handleEvents();
    ASSERT_EQ(user.shownMessageBoxes().size(), 1u) << "the event reached the main window";
    EXPECT_TRUE(ui.isMinimized(window));
    EXPECT_TRUE(ui.isVisible(window)) << "stays in the task bar";
}

} // namespace
} // namespace reef::app::testing
