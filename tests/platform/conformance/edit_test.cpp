// Edit fields and text areas: program-set text, typing, pasting and the field styles.

#include "platform/conformance/conformance_fixture.h"

namespace reef::platform::conformance {
namespace {

class ConformanceEdit : public ConformanceTest {
  protected:
    void SetUp() override {
        ConformanceTest::SetUp();
        window_ = openTestWindow();
    }
    WindowId window_;
};

TEST_F(ConformanceEdit, CreatedFieldHasItsTextAndPlace) {
    const ControlId edit = platform().createEdit(window_, Rect{67, 105, 228, 20}, "02:00", {});
    ASSERT_TRUE(edit);
    EXPECT_EQ(platform().text(edit), "02:00");
    EXPECT_EQ(driver().controlRect(edit), (Rect{67, 105, 228, 20}));
    EXPECT_TRUE(platform().isEnabled(edit));
}

TEST_F(ConformanceEdit, ProgramSetTextRaisesNoChangeEvent) {
    const ControlId plain = makeEdit(window_, 10);
    const ControlId digits = makeEdit(window_, 35, EditStyle{.digitsOnly = true});
    const ControlId readOnly = makeEdit(window_, 60, EditStyle{.readOnly = true});
    const ControlId masked = makeEdit(window_, 85, EditStyle{.masked = true});
    const ControlId area = platform().createTextArea(window_, Rect{0, 110, 300, 100}, "");
    drainEvents();

    platform().setText(plain, "Ziel");
    platform().setText(digits, "123");
    platform().setText(readOnly, "35");
    platform().setText(masked, "geheim");
    platform().setText(area, "Zeile 1\r\nZeile 2");

    const std::vector<Event> events = drainEvents();
    for (ControlId control : {plain, digits, readOnly, masked, area}) {
        EXPECT_EQ(countMatching(events, controlEvent(control, ControlEventType::Changed)), 0);
    }
    EXPECT_EQ(platform().text(plain), "Ziel");
    EXPECT_EQ(platform().text(digits), "123");
    EXPECT_EQ(platform().text(readOnly), "35");
    EXPECT_EQ(platform().text(masked), "geheim");
    EXPECT_EQ(platform().text(area), "Zeile 1\r\nZeile 2");
}

TEST_F(ConformanceEdit, ProgramMayPutNonDigitsIntoADigitsOnlyField) {
    const ControlId digits = makeEdit(window_, 10, EditStyle{.digitsOnly = true});
    platform().setText(digits, "-12");
    EXPECT_EQ(platform().text(digits), "-12");
}

TEST_F(ConformanceEdit, TypingRaisesOneChangedEventPerCharacter) {
    const ControlId edit = makeEdit(window_, 10);
    drainEvents();

    driver().typeText(edit, "Kor");

    const std::vector<Event> events = drainEvents();
    EXPECT_EQ(countMatching(events, controlEvent(edit, ControlEventType::Changed)), 3);
    EXPECT_EQ(platform().text(edit), "Kor");
    EXPECT_EQ(platform().focusedControl(), edit);
    for (const Event& event : events) {
        if (event.control == edit) {
            EXPECT_EQ(event.window, window_);
        }
    }
}

TEST_F(ConformanceEdit, TypingAppendsToTheText) {
    const ControlId edit = makeEdit(window_, 10, {}, "14:");
    driver().typeText(edit, "35");
    EXPECT_EQ(platform().text(edit), "14:35");
}

TEST_F(ConformanceEdit, EachChangedEventSeesTheTextTypedSoFar) {
    // The fleet distribution recomputes on every keystroke from the field's current text.
    const ControlId edit = makeEdit(window_, 10, EditStyle{.digitsOnly = true});
    drainEvents();
    driver().typeText(edit, "7");
    ASSERT_TRUE(awaitEvent(controlEvent(edit, ControlEventType::Changed)));
    EXPECT_EQ(platform().text(edit), "7");
    driver().typeText(edit, "0");
    ASSERT_TRUE(awaitEvent(controlEvent(edit, ControlEventType::Changed)));
    EXPECT_EQ(platform().text(edit), "70");
}

TEST_F(ConformanceEdit, BackspaceDeletesTheLastCharacter) {
    const ControlId edit = makeEdit(window_, 10, EditStyle{.digitsOnly = true}, "125");
    drainEvents();
    driver().typeText(edit, "\b");
    const std::vector<Event> events = drainEvents();
    EXPECT_EQ(platform().text(edit), "12");
    EXPECT_EQ(countMatching(events, controlEvent(edit, ControlEventType::Changed)), 1);
}

TEST_F(ConformanceEdit, DigitsOnlyFieldRefusesOtherCharacters) {
    const ControlId edit = makeEdit(window_, 10, EditStyle{.digitsOnly = true});
    drainEvents();

    driver().typeText(edit, "1a-2 .x3");

    const std::vector<Event> events = drainEvents();
    EXPECT_EQ(platform().text(edit), "123");
    EXPECT_EQ(countMatching(events, controlEvent(edit, ControlEventType::Changed)), 3);
}

TEST_F(ConformanceEdit, ReadOnlyFieldRefusesTypingAndPasting) {
    const ControlId edit = makeEdit(window_, 10, EditStyle{.readOnly = true}, "35");
    const ControlId area = platform().createTextArea(window_, Rect{0, 40, 300, 100}, "Plan");
    drainEvents();

    driver().typeText(edit, "12");
    driver().pasteText(edit, "99");
    driver().typeText(area, "x");
    driver().pasteText(area, "y");

    const std::vector<Event> events = drainEvents();
    EXPECT_EQ(platform().text(edit), "35");
    EXPECT_EQ(platform().text(area), "Plan");
    EXPECT_EQ(countMatching(events, controlEvent(edit, ControlEventType::Changed)), 0);
    EXPECT_EQ(countMatching(events, controlEvent(area, ControlEventType::Changed)), 0);
}

TEST_F(ConformanceEdit, MaskedFieldTakesTypingAndGivesBackTheClearText) {
    const ControlId edit = makeEdit(window_, 10, EditStyle{.masked = true});
    drainEvents();
    driver().typeText(edit, "Geheim1");
    const std::vector<Event> events = drainEvents();
    EXPECT_EQ(platform().text(edit), "Geheim1");
    EXPECT_EQ(countMatching(events, controlEvent(edit, ControlEventType::Changed)), 7);
}

TEST_F(ConformanceEdit, TypedTextIsCp1252) {
    const ControlId edit = makeEdit(window_, 10);
    driver().typeText(edit, "Rückkehr ß");
    EXPECT_EQ(platform().text(edit), "Rückkehr ß");
    EXPECT_EQ(platform().text(edit).size(), 10u); // one byte per character
}

TEST_F(ConformanceEdit, PasteReplacesTheWholeTextWithOneChange) {
    const ControlId edit = makeEdit(window_, 10, {}, "alt");
    drainEvents();
    driver().pasteText(edit, "Neuer Text");
    const std::vector<Event> events = drainEvents();
    EXPECT_EQ(platform().text(edit), "Neuer Text");
    EXPECT_GE(countMatching(events, controlEvent(edit, ControlEventType::Changed)), 1);
    EXPECT_EQ(platform().focusedControl(), edit);
}

TEST_F(ConformanceEdit, PastingBypassesTheDigitsOnlyFilter) {
    // As on the real system: only typed characters are filtered.
    const ControlId edit = makeEdit(window_, 10, EditStyle{.digitsOnly = true});
    drainEvents();
    driver().pasteText(edit, "12abc");
    const std::vector<Event> events = drainEvents();
    EXPECT_EQ(platform().text(edit), "12abc");
    EXPECT_GE(countMatching(events, controlEvent(edit, ControlEventType::Changed)), 1);
}

TEST_F(ConformanceEdit, LimitedFieldRefusesTypingPastItsLength) {
    const ControlId edit = makeEdit(window_, 10, EditStyle{.maxLength = 5}, "ab");
    drainEvents();

    driver().typeText(edit, "cdefg");

    const std::vector<Event> events = drainEvents();
    EXPECT_EQ(platform().text(edit), "abcde");
    EXPECT_EQ(countMatching(events, controlEvent(edit, ControlEventType::Changed)), 3);

    // Room again after a deletion.
    driver().typeText(edit, "\bz");
    EXPECT_EQ(platform().text(edit), "abcdz");
}

TEST_F(ConformanceEdit, LimitedFieldCutsAPasteButNotTheProgramsText) {
    const ControlId edit = makeEdit(window_, 10, EditStyle{.masked = true, .maxLength = 4});
    driver().pasteText(edit, "123456");
    EXPECT_EQ(platform().text(edit), "1234");

    platform().setText(edit, "abcdefgh");
    EXPECT_EQ(platform().text(edit), "abcdefgh");
    drainEvents();
    driver().typeText(edit, "x");
    EXPECT_EQ(countMatching(drainEvents(), controlEvent(edit, ControlEventType::Changed)), 0);
    EXPECT_EQ(platform().text(edit), "abcdefgh");
}

TEST_F(ConformanceEdit, DisabledFieldTakesNoInput) {
    const ControlId edit = makeEdit(window_, 10, {}, "5");
    const ControlId other = makeEdit(window_, 40);
    driver().focus(other);
    platform().setEnabled(edit, false);
    drainEvents();
    EXPECT_FALSE(platform().isEnabled(edit));

    driver().typeText(edit, "12");
    driver().pasteText(edit, "34");
    driver().focus(edit);
    driver().click(edit);

    const std::vector<Event> events = drainEvents();
    EXPECT_EQ(platform().text(edit), "5");
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(platform().focusedControl(), other);

    // The program still sets its text.
    platform().setText(edit, "6");
    EXPECT_EQ(platform().text(edit), "6");

    platform().setEnabled(edit, true);
    driver().typeText(edit, "7");
    EXPECT_TRUE(awaitEvent(controlEvent(edit, ControlEventType::Changed)));
    EXPECT_EQ(platform().text(edit), "67");
}

TEST_F(ConformanceEdit, TextAreaKeepsLineBreaks) {
    const std::string plan = "ETA-Plan\r\n\r\n15 Ticks: 10:00 - 10:20\r\n";
    const ControlId area =
        platform().createTextArea(window_, Rect{0, 160, 300, 240}, "keine Daten vorhanden");
    ASSERT_TRUE(area);
    EXPECT_EQ(platform().text(area), "keine Daten vorhanden");
    platform().setText(area, plan);
    EXPECT_EQ(platform().text(area), plan);
    EXPECT_EQ(driver().controlRect(area), (Rect{0, 160, 300, 240}));
}

} // namespace
} // namespace reef::platform::conformance
