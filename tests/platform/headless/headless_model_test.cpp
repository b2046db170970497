// What only the in-memory backend offers or decides: lookups for tests, forced failures,
// and the focus and input rules it models where the conformance suite leaves room.

#include "platform/headless/headless_platform.h"

#include <gtest/gtest.h>

#include <thread>

namespace reef::platform::headless {
namespace {

class HeadlessModel : public ::testing::Test {
  protected:
    std::vector<Event> drain() {
        std::vector<Event> events;
        while (std::optional<Event> event = platform_.waitEvent(0)) {
            events.push_back(*event);
        }
        return events;
    }

    static bool isLostFocus(const Event& event, ControlId control) {
        return event.kind == EventKind::Control && event.control == control &&
               event.controlType == ControlEventType::LostFocus;
    }

    HeadlessPlatform platform_;
    HeadlessDriver driver_{platform_};
};

// --- lookups for tests

TEST_F(HeadlessModel, FindsWindowsAndControlsByText) {
    const WindowId main = platform_.openWindow("Reef - Tools", 200, 210);
    const WindowId eta = platform_.openWindow("Reef - Tools: ETA-Plan", 300, 400);
    const ControlId label = platform_.createLabel(eta, Rect{5, 8, 60, 20}, "Ziel:", {});
    const ControlId button = platform_.createButton(eta, Rect{5, 130, 145, 25}, "Plan erstellen");
    const ControlId drop = platform_.createDropDown(eta, Rect{0, 0, 50, 20}, 80);
    platform_.addDropDownItem(drop, "Angreifen");
    platform_.setDropDownSelection(drop, 0);

    EXPECT_EQ(platform_.openWindows(), (std::vector<WindowId>{main, eta}));
    EXPECT_EQ(platform_.findWindow("Reef - Tools: ETA-Plan"), eta);
    EXPECT_EQ(platform_.findWindow("Reef - Tools: Attgrenze"), WindowId{});
    EXPECT_EQ(platform_.controlsOf(eta), (std::vector<ControlId>{label, button, drop}));
    EXPECT_EQ(platform_.findControl(eta, "Plan erstellen"), button);
    EXPECT_EQ(platform_.findControl(eta, "Angreifen"), drop);
    EXPECT_EQ(platform_.findControl(main, "Plan erstellen"), ControlId{});

    platform_.closeWindow(main);
    EXPECT_EQ(platform_.openWindows(), (std::vector<WindowId>{eta}));
    EXPECT_TRUE(platform_.controlsOf(main).empty());
}

TEST_F(HeadlessModel, ControlInfoTellsHowAControlWasMade) {
    const WindowId window = platform_.openWindow("Reef - Tools: Flottenverteilung", 650, 95);
    const ControlId total = platform_.createEdit(window, Rect{565, 23, 80, 18}, "",
                                                 EditStyle{.digitsOnly = true, .readOnly = true});
    const ControlId header =
        platform_.createLabel(window, Rect{85, 5, 80, 18}, "Manta",
                              LabelStyle{.align = TextAlign::Center, .sunken = true});
    const ControlId drop = platform_.createDropDown(window, Rect{70, 110, 100, 20}, 80);
    const ControlId status = platform_.createStatusBar(window, 200, 200, 300);

    const std::optional<ControlInfo> totalInfo = platform_.controlInfo(total);
    ASSERT_TRUE(totalInfo);
    EXPECT_EQ(totalInfo->kind, ControlKind::Edit);
    EXPECT_EQ(totalInfo->window, window);
    EXPECT_TRUE(totalInfo->editStyle.digitsOnly);
    EXPECT_TRUE(totalInfo->editStyle.readOnly);
    EXPECT_FALSE(totalInfo->editStyle.masked);

    EXPECT_EQ(platform_.controlInfo(header)->labelStyle.align, TextAlign::Center);
    EXPECT_TRUE(platform_.controlInfo(header)->labelStyle.sunken);
    EXPECT_EQ(platform_.controlInfo(drop)->dropHeight, 80);
    EXPECT_EQ(platform_.controlInfo(status)->statusWidths[2], 300);

    platform_.closeWindow(window);
    EXPECT_FALSE(platform_.controlInfo(total));
}

TEST_F(HeadlessModel, DropDownTextIsTheSelectedItem) {
    const WindowId window = platform_.openWindow("w", 100, 100);
    const ControlId drop = platform_.createDropDown(window, Rect{0, 0, 50, 20}, 80);
    platform_.addDropDownItem(drop, "OK");
    platform_.addDropDownItem(drop, "gedefft");
    EXPECT_EQ(platform_.text(drop), "");
    platform_.setDropDownSelection(drop, 1);
    EXPECT_EQ(platform_.text(drop), "gedefft");
    // An index outside the items clears the selection.
    platform_.setDropDownSelection(drop, 2);
    EXPECT_EQ(platform_.dropDownSelection(drop), -1);
}

// --- forced failures

TEST_F(HeadlessModel, WindowOpeningCanBeMadeToFail) {
    platform_.failNextWindowOpens(1);
    EXPECT_EQ(platform_.openWindow("Reef - Tools: ETA-Plan", 300, 400), WindowId{});
    EXPECT_TRUE(platform_.openWindow("Reef - Tools: ETA-Plan", 300, 400));
}

TEST_F(HeadlessModel, UnavailableClipboardFailsAndKeepsItsText) {
    ASSERT_TRUE(platform_.setClipboardText("alt"));
    platform_.setClipboardAvailable(false);
    EXPECT_FALSE(platform_.setClipboardText("neu"));
    EXPECT_EQ(driver_.clipboardText(), "alt");
    platform_.setClipboardAvailable(true);
    EXPECT_TRUE(platform_.setClipboardText("neu"));
    EXPECT_EQ(driver_.clipboardText(), "neu");
}

TEST_F(HeadlessModel, TrayIconNeedsAnOpenOwner) {
    EXPECT_FALSE(platform_.addTrayIcon(WindowId{}, "Reef - Tools"));
    EXPECT_FALSE(driver_.hasTrayIcon());
}

// --- focus leaves with the window

TEST_F(HeadlessModel, MinimisingOrHidingTheWindowTakesTheFocusAway) {
    const WindowId window = platform_.openWindow("Reef - Tools: Attgrenze", 300, 100);
    const ControlId points = platform_.createEdit(window, Rect{0, 0, 80, 18}, "", {});
    driver_.focus(points);
    drain();
    driver_.minimize(window);
    std::vector<Event> events = drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(isLostFocus(events[0], points));
    EXPECT_EQ(platform_.focusedControl(), ControlId{});

    platform_.showWindow(window);
    driver_.focus(points);
    drain();
    platform_.hideWindow(window);
    events = drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(isLostFocus(events[0], points));
}

TEST_F(HeadlessModel, OpeningAnotherWindowTakesTheFocus) {
    const WindowId first = platform_.openWindow("Reef - Tools", 200, 210);
    const ControlId button = platform_.createButton(first, Rect{5, 5, 190, 25}, "Attgrenze");
    driver_.click(button);
    drain();
    platform_.openWindow("Reef - Tools: Attgrenze", 300, 100);
    const std::vector<Event> events = drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(isLostFocus(events[0], button));
}

TEST_F(HeadlessModel, DisablingTheFocusedControlOrItsWindowTakesTheFocus) {
    const WindowId window = platform_.openWindow("Reef - Tools: Verbündete Flotten", 445, 242);
    const ControlId field = platform_.createEdit(window, Rect{0, 0, 80, 18}, "", {});
    driver_.focus(field);
    drain();
    platform_.setEnabled(field, false);
    std::vector<Event> events = drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(isLostFocus(events[0], field));

    platform_.setEnabled(field, true);
    driver_.focus(field);
    drain();
    platform_.setWindowEnabled(window, false);
    events = drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(isLostFocus(events[0], field));
}

TEST_F(HeadlessModel, ModalBoxTakesTheFocus) {
    const WindowId window = platform_.openWindow("w", 100, 100);
    const ControlId field = platform_.createEdit(window, Rect{0, 0, 80, 18}, "", {});
    driver_.focus(field);
    drain();
    platform_.messageBox("Error: Reef - Tools", "x", MessageBoxKind::Error);
    const std::vector<Event> events = drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(isLostFocus(events[0], field));
    // Tab starts again in the window the box returned to.
    driver_.pressTab();
    EXPECT_EQ(platform_.focusedControl(), field);
}

TEST_F(HeadlessModel, ClosingTheWindowDropsItsFocusSilently) {
    const WindowId window = platform_.openWindow("w", 100, 100);
    const ControlId field = platform_.createEdit(window, Rect{0, 0, 80, 18}, "", {});
    driver_.typeText(field, "1");
    platform_.closeWindow(window);
    EXPECT_EQ(platform_.focusedControl(), ControlId{});
    EXPECT_TRUE(drain().empty());
}

// --- input rules

TEST_F(HeadlessModel, InputToHiddenOrMinimisedWindowsIsIgnored) {
    const WindowId window = platform_.openWindow("Reef - Tools", 200, 210);
    const ControlId button = platform_.createButton(window, Rect{5, 5, 190, 25}, "Attgrenze");
    platform_.minimizeWindow(window);
    driver_.click(button);
    platform_.showWindow(window);
    platform_.hideWindow(window);
    driver_.click(button);
    driver_.requestClose(window);
    EXPECT_TRUE(drain().empty());
}

TEST_F(HeadlessModel, PasteIntoASingleLineFieldStopsAtTheLineBreak) {
    const WindowId window = platform_.openWindow("w", 100, 100);
    const ControlId field = platform_.createEdit(window, Rect{0, 0, 80, 18}, "", {});
    driver_.pasteText(field, "erste Zeile\r\nzweite");
    EXPECT_EQ(platform_.text(field), "erste Zeile");
}

TEST_F(HeadlessModel, TypingSkipsControlCharacters) {
    const WindowId window = platform_.openWindow("w", 100, 100);
    const ControlId field = platform_.createEdit(window, Rect{0, 0, 80, 18}, "", {});
    driver_.typeText(field, "a\r\n\tb");
    EXPECT_EQ(platform_.text(field), "ab");
    int changes = 0;
    for (const Event& event : drain()) {
        changes += event.controlType == ControlEventType::Changed ? 1 : 0;
    }
    EXPECT_EQ(changes, 2);
}

TEST_F(HeadlessModel, BackspaceOnAnEmptyFieldChangesNothing) {
    const WindowId window = platform_.openWindow("w", 100, 100);
    const ControlId field = platform_.createEdit(window, Rect{0, 0, 80, 18}, "", {});
    driver_.focus(field);
    driver_.typeText(field, "\b\b");
    EXPECT_TRUE(drain().empty());
}

TEST_F(HeadlessModel, TypingIntoATextAreaOnlyMovesTheFocus) {
    const WindowId window = platform_.openWindow("w", 300, 400);
    const ControlId field = platform_.createEdit(window, Rect{0, 0, 80, 18}, "", {});
    const ControlId area = platform_.createTextArea(window, Rect{0, 160, 300, 240}, "Plan");
    driver_.focus(field);
    drain();
    driver_.typeText(area, "x");
    EXPECT_EQ(platform_.focusedControl(), area);
    EXPECT_EQ(platform_.text(area), "Plan");
    const std::vector<Event> events = drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(isLostFocus(events[0], field));
}

TEST_F(HeadlessModel, TypingIntoAButtonDoesNothing) {
    const WindowId window = platform_.openWindow("w", 100, 100);
    const ControlId button = platform_.createButton(window, Rect{0, 0, 80, 18}, "OK");
    driver_.typeText(button, "x");
    driver_.pasteText(button, "y");
    EXPECT_EQ(platform_.text(button), "OK");
    EXPECT_TRUE(drain().empty());
}

TEST_F(HeadlessModel, SelectingAnItemThatIsNotThereOnlyMovesTheFocus) {
    const WindowId window = platform_.openWindow("w", 100, 100);
    const ControlId drop = platform_.createDropDown(window, Rect{0, 0, 50, 20}, 80);
    platform_.addDropDownItem(drop, "OK");
    driver_.selectDropDownItem(drop, 3);
    EXPECT_EQ(platform_.dropDownSelection(drop), -1);
    EXPECT_EQ(platform_.focusedControl(), drop);
    EXPECT_TRUE(drain().empty());
}

TEST_F(HeadlessModel, ClickOnARowBelowTheLastIsAClickWhereNoRowIs) {
    const WindowId window = platform_.openWindow("w", 100, 100);
    const ControlId list = platform_.createListView(window, Rect{0, 0, 100, 100});
    platform_.addListColumn(list, "Name", 100);
    platform_.addListRow(list);
    driver_.clickListRow(list, 0);
    driver_.clickListRow(list, 1);
    EXPECT_EQ(platform_.selectedListRow(list), -1);
    EXPECT_EQ(drain().size(), 2u);
}

TEST_F(HeadlessModel, UserDraggedColumnWidthIsReadBack) {
    const WindowId window = platform_.openWindow("w", 100, 100);
    const ControlId list = platform_.createListView(window, Rect{0, 0, 100, 100});
    platform_.addListColumn(list, "Name", 100);
    driver_.dragListColumnWidth(list, 0, 137);
    EXPECT_EQ(platform_.listColumnWidth(list, 0), 137);
    platform_.setListColumnWidth(list, 0, -3);
    EXPECT_EQ(platform_.listColumnWidth(list, 0), 0);
}

TEST_F(HeadlessModel, DismissedPopupMenuRaisesNothing) {
    const WindowId window = platform_.openWindow("Reef - Tools", 200, 210);
    const MenuId menu = platform_.createPopupMenu({{0, "ETA-Plan erstellen", false}});
    platform_.showPopupMenu(menu, window);
    EXPECT_EQ(driver_.popupMenuOwner(), window);
    driver_.dismissPopupMenu();
    EXPECT_FALSE(driver_.isPopupMenuShown());
    driver_.choosePopupItem(0);
    EXPECT_TRUE(drain().empty());
}

TEST_F(HeadlessModel, PopupItemThatIsNotOfferedIsNotChosen) {
    const WindowId window = platform_.openWindow("Reef - Tools", 200, 210);
    const MenuId menu =
        platform_.createPopupMenu({{0, "ETA-Plan erstellen", false}, {-1, "", true}});
    platform_.showPopupMenu(menu, window);
    driver_.choosePopupItem(-1); // the separator
    driver_.choosePopupItem(4);
    EXPECT_TRUE(driver_.isPopupMenuShown());
    EXPECT_TRUE(drain().empty());
}

TEST_F(HeadlessModel, ClosingTheOwnerClosesItsPopupMenuAndSilencesTheTray) {
    const WindowId window = platform_.openWindow("Reef - Tools", 200, 210);
    const MenuId menu = platform_.createPopupMenu({{0, "ETA-Plan erstellen", false}});
    ASSERT_TRUE(platform_.addTrayIcon(window, "Reef - Tools"));
    platform_.showPopupMenu(menu, window);
    platform_.closeWindow(window);
    EXPECT_FALSE(driver_.isPopupMenuShown());
    driver_.clickTray(TrayEventType::RightClick);
    EXPECT_TRUE(drain().empty());
}

// --- the user-interface thread

TEST_F(HeadlessModel, CallFromAnotherThreadEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            std::thread worker([this] { platform_.openWindow("w", 1, 1); });
            worker.join();
        },
        "openWindow called from a thread other than the user-interface thread");
}

} // namespace
} // namespace reef::platform::headless
