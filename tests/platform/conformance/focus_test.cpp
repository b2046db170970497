// The keyboard focus: its loss is an event of its own, clicks move it, Tab walks the window.

#include "platform/conformance/conformance_fixture.h"

namespace reef::platform::conformance {
namespace {

class ConformanceFocus : public ConformanceTest {
  protected:
    void SetUp() override {
        ConformanceTest::SetUp();
        window_ = openTestWindow();
    }
    WindowId window_;
};

TEST_F(ConformanceFocus, MovingTheFocusRaisesLostFocusForTheControlThatHadIt) {
    const ControlId first = makeEdit(window_, 10);
    const ControlId second = makeEdit(window_, 40);
    driver().focus(first);
    drainEvents();
    EXPECT_EQ(platform().focusedControl(), first);

    driver().focus(second);

    const std::vector<Event> events = drainEvents();
    EXPECT_EQ(countMatching(events, controlEvent(first, ControlEventType::LostFocus)), 1);
    EXPECT_EQ(countMatching(events, controlEvent(second, ControlEventType::LostFocus)), 0);
    EXPECT_EQ(countMatching(events, controlEvent(first, ControlEventType::Changed)), 0);
    EXPECT_EQ(platform().focusedControl(), second);
}

TEST_F(ConformanceFocus, MovingTheFocusAwayRaisesLostFocus) {
    const ControlId edit = makeEdit(window_, 10);
    driver().typeText(edit, "14:35");
    drainEvents();

    driver().moveFocusAway();

    const std::optional<Event> event = awaitEvent(controlEvent(edit, ControlEventType::LostFocus));
    ASSERT_TRUE(event);
    EXPECT_EQ(event->window, window_);
    EXPECT_NE(platform().focusedControl(), edit);
}

TEST_F(ConformanceFocus, ProgramSetFocusMovesTheFocus) {
    const ControlId first = makeEdit(window_, 10);
    const ControlId second = makeEdit(window_, 40);
    platform().setFocus(first);
    drainEvents();
    EXPECT_EQ(platform().focusedControl(), first);
    platform().setFocus(second);
    EXPECT_TRUE(awaitEvent(controlEvent(first, ControlEventType::LostFocus)));
    EXPECT_EQ(platform().focusedControl(), second);
}

TEST_F(ConformanceFocus, FocusingTheFocusedControlAgainRaisesNothing) {
    const ControlId edit = makeEdit(window_, 10);
    driver().focus(edit);
    drainEvents();
    driver().focus(edit);
    driver().typeText(edit, "1");
    const std::vector<Event> events = drainEvents();
    EXPECT_EQ(countMatching(events, controlEvent(edit, ControlEventType::LostFocus)), 0);
}

TEST_F(ConformanceFocus, ClickingAButtonTakesTheFocusBeforeTheClickArrives) {
    // A field's focus-loss handler (the attack time's normalisation) must have run before
    // the button's handler reads the field.
    const ControlId edit = makeEdit(window_, 10);
    const ControlId button = makeButton(window_, 40, "Plan erstellen");
    driver().typeText(edit, "14:35");
    drainEvents();

    driver().click(button);

    std::vector<Event> events;
    const std::optional<Event> click =
        awaitEvent(controlEvent(button, ControlEventType::Activated), &events);
    ASSERT_TRUE(click);
    EXPECT_EQ(click->window, window_);
    EXPECT_EQ(countMatching(events, controlEvent(edit, ControlEventType::LostFocus)), 1);
    EXPECT_EQ(platform().focusedControl(), button);
}

TEST_F(ConformanceFocus, TabWalksTheFocusableControlsInCreationOrder) {
    const ControlId first = makeEdit(window_, 10);
    platform().createLabel(window_, Rect{150, 10, 60, 20}, "Ziel:", {});
    const ControlId second = makeEdit(window_, 40);
    platform().createFrame(window_, Rect{0, 0, 300, 100}, "Daten des Ziels");
    const ControlId button = makeButton(window_, 70, "Übernehmen");
    driver().focus(first);
    drainEvents();

    driver().pressTab();
    EXPECT_EQ(platform().focusedControl(), second);
    EXPECT_TRUE(awaitEvent(controlEvent(first, ControlEventType::LostFocus)));
    driver().pressTab();
    EXPECT_EQ(platform().focusedControl(), button);
    EXPECT_TRUE(awaitEvent(controlEvent(second, ControlEventType::LostFocus)));
    driver().pressTab(); // wraps around
    EXPECT_EQ(platform().focusedControl(), first);
    EXPECT_TRUE(awaitEvent(controlEvent(button, ControlEventType::LostFocus)));
}

TEST_F(ConformanceFocus, ShiftTabWalksBackwards) {
    const ControlId first = makeEdit(window_, 10);
    const ControlId second = makeEdit(window_, 40);
    const ControlId third = makeEdit(window_, 70);
    driver().focus(second);
    drainEvents();
    driver().pressTab(true);
    EXPECT_EQ(platform().focusedControl(), first);
    driver().pressTab(true);
    EXPECT_EQ(platform().focusedControl(), third);
    const std::vector<Event> events = drainEvents();
    EXPECT_EQ(countMatching(events, controlEvent(second, ControlEventType::LostFocus)), 1);
    EXPECT_EQ(countMatching(events, controlEvent(first, ControlEventType::LostFocus)), 1);
}

TEST_F(ConformanceFocus, TabSkipsDisabledControls) {
    const ControlId first = makeEdit(window_, 10);
    const ControlId disabled = makeButton(window_, 40, "Eintrag Aktualisieren");
    const ControlId third = makeEdit(window_, 70);
    platform().setEnabled(disabled, false);
    driver().focus(first);
    drainEvents();
    driver().pressTab();
    EXPECT_EQ(platform().focusedControl(), third);
}

TEST_F(ConformanceFocus, TabStaysInsideTheWindow) {
    const ControlId first = makeEdit(window_, 10);
    const ControlId second = makeEdit(window_, 40);
    const WindowId other = openTestWindow("Reef - Tools: Andere");
    const ControlId foreign = makeEdit(other, 10);
    driver().focus(second);
    drainEvents();
    driver().pressTab();
    EXPECT_EQ(platform().focusedControl(), first);
    EXPECT_NE(platform().focusedControl(), foreign);
}

TEST_F(ConformanceFocus, FocusMovesBetweenWindows) {
    const ControlId edit = makeEdit(window_, 10);
    const WindowId other = openTestWindow("Reef - Tools: Andere");
    const ControlId foreign = makeEdit(other, 10);
    driver().focus(edit);
    drainEvents();
    driver().typeText(foreign, "1");
    const std::vector<Event> events = drainEvents();
    const int lost = indexOf(events, controlEvent(edit, ControlEventType::LostFocus));
    ASSERT_GE(lost, 0);
    EXPECT_EQ(events[lost].window, window_);
    EXPECT_EQ(countMatching(events, controlEvent(foreign, ControlEventType::Changed)), 1);
    EXPECT_EQ(platform().focusedControl(), foreign);
}

TEST_F(ConformanceFocus, LabelsFramesAndStatusBarsTakeNoFocus) {
    const ControlId edit = makeEdit(window_, 10);
    const ControlId label = platform().createLabel(window_, Rect{0, 40, 60, 20}, "Ziel:", {});
    const ControlId frame = platform().createFrame(window_, Rect{0, 70, 200, 100}, "Daten");
    const ControlId status = platform().createStatusBar(window_, 200, 200, 300);
    driver().focus(edit);
    drainEvents();
    driver().click(label);
    driver().click(frame);
    driver().click(status);
    EXPECT_EQ(platform().focusedControl(), edit);
    EXPECT_EQ(countMatching(drainEvents(), controlEvent(edit, ControlEventType::LostFocus)), 0);
}

} // namespace
} // namespace reef::platform::conformance
