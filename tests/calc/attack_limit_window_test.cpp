#include "calc/attack_limit_window.h"

#include "calc/window_harness.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace reef::calc {
namespace {

using platform::ControlId;
using platform::ControlKind;
using platform::Rect;

class AttackLimitWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        h.setHandler(
            [this](const platform::Event& event) { handleAttackLimitEvent(h.ui, state, event); });
        ASSERT_TRUE(openAttackLimitWindow(h.ui, state));
    }

    std::string upper() { return h.ui.text(state.upperField); }
    std::string lower() { return h.ui.text(state.lowerField); }
    std::string points() { return h.ui.text(state.pointsField); }

    void leaveField() {
        h.user.moveFocusAway();
        h.dispatch();
    }

    testing::WindowHarness h;
    AttackLimitWindow state;
};

TEST_F(AttackLimitWindowTest, Layout) {
    EXPECT_EQ(h.user.windowTitle(state.window), "Reef - Tools: Attgrenze");
    EXPECT_EQ(h.user.clientRect(state.window), (Rect{0, 0, 200, 80}));
    const std::vector<ControlId> controls = h.ui.controlsOf(state.window);
    ASSERT_EQ(controls.size(), 6u);
    const char* const captions[] = {"obere Grenze :", "aktuelle Punkte:", "untere Grenze:"};
    const ControlId fields[] = {state.upperField, state.pointsField, state.lowerField};
    for (int row = 0; row < 3; ++row) {
        const int y = 5 + 23 * row;
        const auto label = h.ui.controlInfo(controls[2 * row]);
        EXPECT_EQ(label->kind, ControlKind::Label);
        EXPECT_EQ(h.ui.text(controls[2 * row]), captions[row]);
        EXPECT_EQ(label->rect, (Rect{5, y, 80, 18}));
        EXPECT_EQ(label->labelStyle.align, platform::TextAlign::Left);
        EXPECT_FALSE(label->labelStyle.sunken);

        EXPECT_EQ(controls[2 * row + 1], fields[row]);
        const auto field = h.ui.controlInfo(fields[row]);
        EXPECT_EQ(field->kind, ControlKind::Edit);
        EXPECT_EQ(field->rect, (Rect{85, y, 110, 18}));
        EXPECT_EQ(field->editStyle.readOnly, row != 1);
        EXPECT_FALSE(field->editStyle.digitsOnly);
        EXPECT_FALSE(field->editStyle.masked);
        EXPECT_EQ(h.ui.text(fields[row]), "");
    }
}

struct TypedCase {
    const char* typed;
    const char* upper;
    const char* lower;
};

void PrintTo(const TypedCase& c, std::ostream* out) {
    *out << '"' << c.typed << '"';
}

class AttackLimitExamplesTyped : public AttackLimitWindowTest,
                                 public ::testing::WithParamInterface<TypedCase> {};

TEST_P(AttackLimitExamplesTyped, LimitsFollowTheTyping) {
    const TypedCase& c = GetParam();
    h.type(state.pointsField, c.typed);
    EXPECT_EQ(upper(), c.upper);
    EXPECT_EQ(lower(), c.lower);
    EXPECT_EQ(points(), c.typed); // the typed text stays until the field is left
}

INSTANTIATE_TEST_SUITE_P(
    Table, AttackLimitExamplesTyped,
    ::testing::Values(
        TypedCase{"1000", "1.666", "600"}, TypedCase{"1.000.000", "1.666.666", "600.000"},
        TypedCase{"12345", "20.575", "7.407"}, TypedCase{"999", "1.665", "599"},
        TypedCase{"5", "8", "3"}, TypedCase{"Punkte", "0", "0"},
        TypedCase{"1.2.3.4", "2.056", "740"}, TypedCase{"1500 Punkte", "2.500", "900"},
        TypedCase{"12a34", "20", "7"}, TypedCase{"-1234", "-2.056", "-740"},
        TypedCase{"-123456", "-205.760", "-74.073"},
        TypedCase{"92233720368547759", "-153.722.867.280.912.928", "55.340.232.221.128.655"}));

TEST_F(AttackLimitWindowTest, EveryKeystrokeUpdatesBothLimits) {
    h.type(state.pointsField, "1");
    EXPECT_EQ(upper(), "1");
    EXPECT_EQ(lower(), "0");
    h.type(state.pointsField, "2");
    EXPECT_EQ(upper(), "20");
    EXPECT_EQ(lower(), "7");
    h.type(state.pointsField, ".");
    EXPECT_EQ(upper(), "20");
    h.type(state.pointsField, "345");
    EXPECT_EQ(upper(), "20.575");
    EXPECT_EQ(lower(), "7.407");
    EXPECT_EQ(state.points, 12345);
}

TEST_F(AttackLimitWindowTest, ErasingTheFieldShowsZero) {
    h.type(state.pointsField, "77\b\b");
    EXPECT_EQ(points(), "");
    EXPECT_EQ(upper(), "0");
    EXPECT_EQ(lower(), "0");
    EXPECT_EQ(state.points, 0);
}

TEST_F(AttackLimitWindowTest, LeavingTheFieldGroupsThePoints) {
    h.type(state.pointsField, "1234567");
    leaveField();
    EXPECT_EQ(points(), "1.234.567");
    EXPECT_EQ(upper(), "2.057.611");
    EXPECT_EQ(lower(), "740.740");
    EXPECT_EQ(state.points, 1234567);
}

TEST_F(AttackLimitWindowTest, LeavingTheFieldRegroupsDottedInput) {
    h.type(state.pointsField, "1.2.3");
    leaveField();
    EXPECT_EQ(points(), "123");

    h.type(state.pointsField, "\b\b\b1.000");
    leaveField();
    EXPECT_EQ(points(), "1.000");

    h.type(state.pointsField, "\b\b\b\b\b1000");
    EXPECT_EQ(points(), "1000");
    h.tab();
    EXPECT_EQ(points(), "1.000");
}

TEST_F(AttackLimitWindowTest, NegativePointsGroupWithoutALoneSign) {
    h.type(state.pointsField, "-123");
    leaveField();
    EXPECT_EQ(points(), "-123");
    h.type(state.pointsField, "456");
    leaveField();
    EXPECT_EQ(points(), "-123.456");
    EXPECT_EQ(upper(), "-205.760");
    EXPECT_EQ(lower(), "-74.073");
}

TEST_F(AttackLimitWindowTest, TextWithoutDigitsBecomesZeroOnLeaving) {
    h.type(state.pointsField, "abc");
    leaveField();
    EXPECT_EQ(points(), "0");
}

TEST_F(AttackLimitWindowTest, LimitFieldsTakeNoTyping) {
    h.type(state.upperField, "5");
    h.type(state.lowerField, "5");
    EXPECT_EQ(upper(), "");
    EXPECT_EQ(lower(), "");
    EXPECT_EQ(state.points, 0);
}

TEST_F(AttackLimitWindowTest, CloseRequestClosesTheWindow) {
    h.type(state.pointsField, "1000");
    const platform::WindowId window = state.window;
    h.user.requestClose(window);
    h.dispatch();
    EXPECT_FALSE(state.window);
    EXPECT_FALSE(h.user.isWindowOpen(window));
    ASSERT_TRUE(openAttackLimitWindow(h.ui, state));
    EXPECT_EQ(points(), "");
    EXPECT_EQ(upper(), "");
    EXPECT_TRUE(h.user.shownMessageBoxes().empty());
}

TEST(AttackLimitWindowOpen, FailureIsReportedAndLeavesNoHandle) {
    testing::WindowHarness h;
    AttackLimitWindow state;
    h.ui.failNextWindowOpens(1);
    EXPECT_FALSE(openAttackLimitWindow(h.ui, state));
    EXPECT_FALSE(state.window);
    const auto boxes = h.user.shownMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Error: Reef - Tools");
    EXPECT_EQ(boxes[0].text, "Fenster konnte nicht geöffnet werden!");
    EXPECT_EQ(boxes[0].kind, platform::MessageBoxKind::Error);
}

} // namespace
} // namespace reef::calc
