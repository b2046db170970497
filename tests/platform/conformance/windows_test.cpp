// Top-level windows: opening, closing, the title bar's boxes, visibility and enabling.

#include "platform/conformance/conformance_fixture.h"

namespace reef::platform::conformance {
namespace {

class ConformanceWindows : public ConformanceTest {};

TEST_F(ConformanceWindows, OpenWindowHasItsTitleAndClientSize) {
    const WindowId window = openTestWindow("Reef - Tools: Flottenverhältnis", 650, 95);
    EXPECT_TRUE(driver().isWindowOpen(window));
    EXPECT_EQ(driver().windowTitle(window), "Reef - Tools: Flottenverhältnis");
    const Rect client = driver().clientRect(window);
    EXPECT_EQ(client.width, 650);
    EXPECT_EQ(client.height, 95);
    EXPECT_TRUE(platform().isVisible(window));
    EXPECT_FALSE(platform().isMinimized(window));
    EXPECT_TRUE(platform().isWindowEnabled(window));
}

TEST_F(ConformanceWindows, TwoWindowsHaveDistinctHandles) {
    const WindowId first = openTestWindow("Reef - Tools: A");
    const WindowId second = openTestWindow("Reef - Tools: B");
    EXPECT_NE(first, second);
    EXPECT_EQ(driver().windowTitle(first), "Reef - Tools: A");
    EXPECT_EQ(driver().windowTitle(second), "Reef - Tools: B");
}

TEST_F(ConformanceWindows, ClosingAWindowRemovesItAndItsControls) {
    const WindowId window = openTestWindow();
    const ControlId button = makeButton(window, 10, "Plan erstellen");
    const ControlId edit = makeEdit(window, 40, {}, "02:00");
    ASSERT_TRUE(driver().controlExists(button));

    platform().closeWindow(window);

    EXPECT_FALSE(driver().isWindowOpen(window));
    EXPECT_FALSE(driver().controlExists(button));
    EXPECT_FALSE(driver().controlExists(edit));
    EXPECT_EQ(platform().text(edit), "");
    EXPECT_EQ(driver().windowTitle(window), "");
    EXPECT_FALSE(platform().isVisible(window));
}

TEST_F(ConformanceWindows, OperationsOnClosedWindowsAndTheirControlsAreIgnored) {
    const WindowId window = openTestWindow();
    const ControlId edit = makeEdit(window, 10, {}, "12");
    const ControlId list = platform().createListView(window, Rect{0, 40, 300, 100});
    const ControlId drop = platform().createDropDown(window, Rect{0, 150, 100, 20}, 80);
    const ControlId status = platform().createStatusBar(window, 100, 100, 100);
    platform().closeWindow(window);

    // None of these may crash or bring anything back to life.
    platform().setText(edit, "34");
    platform().setEnabled(edit, false);
    platform().setFocus(edit);
    platform().setTooltip(edit, "Tipp");
    platform().addListColumn(list, "Name", 100);
    EXPECT_EQ(platform().addListRow(list), -1);
    platform().setListCell(list, 0, 0, "x");
    platform().addDropDownItem(drop, "OK");
    platform().setDropDownSelection(drop, 0);
    platform().setStatusText(status, 1, "Status: Fertig!");
    platform().closeWindow(window);
    platform().bringToFront(window);
    platform().minimizeWindow(window);
    platform().hideWindow(window);
    platform().showWindow(window);
    platform().setWindowEnabled(window, true);
    EXPECT_EQ(platform().createButton(window, Rect{0, 0, 10, 10}, "x"), ControlId{});
    EXPECT_EQ(platform().createStatusBar(window, 1, 1, 1), ControlId{});

    EXPECT_FALSE(driver().isWindowOpen(window));
    EXPECT_FALSE(driver().controlExists(edit));
    EXPECT_EQ(platform().text(edit), "");
    EXPECT_FALSE(platform().isEnabled(edit));
    EXPECT_EQ(platform().listRowCount(list), 0);
    EXPECT_EQ(platform().listCell(list, 0, 0), "");
    EXPECT_EQ(platform().selectedListRow(list), -1);
    EXPECT_EQ(platform().dropDownSelection(drop), -1);
    EXPECT_EQ(platform().statusText(status, 1), "");
    EXPECT_NE(platform().focusedControl(), edit);
    EXPECT_FALSE(platform().isMinimized(window));
}

TEST_F(ConformanceWindows, EmptyHandlesAreIgnored) {
    platform().closeWindow(WindowId{});
    platform().setText(ControlId{}, "x");
    EXPECT_EQ(platform().text(ControlId{}), "");
    EXPECT_EQ(platform().createEdit(WindowId{}, Rect{0, 0, 10, 10}, "", {}), ControlId{});
    EXPECT_FALSE(driver().isWindowOpen(WindowId{}));
    EXPECT_FALSE(driver().controlExists(ControlId{}));
}

TEST_F(ConformanceWindows, ClosedWindowRaisesNoFurtherEvents) {
    const WindowId window = openTestWindow();
    const ControlId button = makeButton(window, 10, "Attgrenze");
    const ControlId edit = makeEdit(window, 40);
    driver().typeText(edit, "12");
    driver().click(button);
    driver().requestClose(window);
    platform().closeWindow(window);

    const std::vector<Event> events = drainEvents();
    EXPECT_EQ(countMatching(events, [window](const Event& e) { return e.window == window; }), 0);

    // Acting on the gone controls raises nothing either.
    driver().typeText(edit, "3");
    driver().click(button);
    driver().requestClose(window);
    EXPECT_TRUE(drainEvents().empty());
}

TEST_F(ConformanceWindows, CloseBoxRaisesCloseRequestAndLeavesTheWindowOpen) {
    const WindowId window = openTestWindow();
    const WindowId other = openTestWindow("Reef - Tools: Andere");
    drainEvents();

    driver().requestClose(window);

    const std::optional<Event> event = awaitEvent(eventOfKind(EventKind::CloseRequest, window));
    ASSERT_TRUE(event);
    EXPECT_EQ(event->window, window);
    // The program decides what closing means; until then the window stays.
    EXPECT_TRUE(driver().isWindowOpen(window));
    EXPECT_TRUE(driver().isWindowOpen(other));
    const std::vector<Event> rest = drainEvents();
    EXPECT_EQ(countMatching(rest, eventOfKind(EventKind::CloseRequest, other)), 0);
}

TEST_F(ConformanceWindows, MinimiseBoxMinimisesAndBringToFrontRestores) {
    const WindowId window = openTestWindow();
    driver().minimize(window);
    drainEvents();
    EXPECT_TRUE(platform().isMinimized(window));
    EXPECT_TRUE(driver().isWindowOpen(window));

    platform().bringToFront(window);
    drainEvents();
    EXPECT_FALSE(platform().isMinimized(window));
    EXPECT_TRUE(platform().isVisible(window));
}

TEST_F(ConformanceWindows, HidingAMinimisedWindowKeepsItMinimised) {
    // The program hides a minimised main window into the tray and later asks whether it is
    // minimised to decide between restoring and hiding it.
    const WindowId window = openTestWindow();
    platform().minimizeWindow(window);
    platform().hideWindow(window);
    drainEvents();
    EXPECT_FALSE(platform().isVisible(window));
    EXPECT_TRUE(platform().isMinimized(window));

    platform().showWindow(window);
    drainEvents();
    EXPECT_TRUE(platform().isVisible(window));
    EXPECT_FALSE(platform().isMinimized(window));
}

TEST_F(ConformanceWindows, BringToFrontShowsAHiddenWindow) {
    const WindowId window = openTestWindow();
    platform().hideWindow(window);
    EXPECT_FALSE(platform().isVisible(window));
    platform().bringToFront(window);
    drainEvents();
    EXPECT_TRUE(platform().isVisible(window));
    EXPECT_FALSE(platform().isMinimized(window));
}

TEST_F(ConformanceWindows, DisabledWindowTakesNoInput) {
    const WindowId window = openTestWindow();
    const ControlId edit = makeEdit(window, 10);
    const ControlId button = makeButton(window, 40, "Übernehmen");
    const ControlId drop = platform().createDropDown(window, Rect{10, 70, 100, 20}, 80);
    platform().addDropDownItem(drop, "n/a");
    platform().addDropDownItem(drop, "Verteidigen");
    const ControlId list = platform().createListView(window, Rect{10, 100, 300, 100});
    platform().addListColumn(list, "Name", 100);
    platform().addListRow(list);
    drainEvents();

    platform().setWindowEnabled(window, false);
    EXPECT_FALSE(platform().isWindowEnabled(window));
    drainEvents();

    driver().typeText(edit, "12");
    driver().pasteText(edit, "34");
    driver().click(button);
    driver().selectDropDownItem(drop, 1);
    driver().clickListRow(list, 0);
    driver().requestClose(window);
    driver().focus(edit);

    EXPECT_TRUE(drainEvents().empty());
    EXPECT_EQ(platform().text(edit), "");
    EXPECT_EQ(platform().dropDownSelection(drop), -1);
    EXPECT_EQ(platform().selectedListRow(list), -1);
    EXPECT_NE(platform().focusedControl(), edit);
    // The controls keep their own enabled state.
    EXPECT_TRUE(platform().isEnabled(edit));

    platform().setWindowEnabled(window, true);
    driver().click(button);
    EXPECT_TRUE(awaitEvent(controlEvent(button, ControlEventType::Activated)));
}

} // namespace
} // namespace reef::platform::conformance
