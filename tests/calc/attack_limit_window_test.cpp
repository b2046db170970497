#include "calc/attack_limit_window.h"

#include "support/event_harness.h"
#include "support/message_boxes.h"

#include <gtest/gtest.h>

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
        h.handleEvents();
    }

    reef::testing::EventHarness h;
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

// The limits of each number are the pure functions' table; here: when the window shows them.
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
    h.handleEvents();
    EXPECT_FALSE(state.window);
    EXPECT_FALSE(h.user.isWindowOpen(window));
    ASSERT_TRUE(openAttackLimitWindow(h.ui, state));
    EXPECT_EQ(points(), "");
    EXPECT_EQ(upper(), "");
    EXPECT_TRUE(h.user.shownMessageBoxes().empty());
}

TEST(AttackLimitWindowOpen, FailureIsReportedAndLeavesNoHandle) {
    reef::testing::EventHarness h;
    AttackLimitWindow state;
    h.ui.failNextWindowOpens(1);
    EXPECT_FALSE(openAttackLimitWindow(h.ui, state));
    EXPECT_FALSE(state.window);
    EXPECT_TRUE(reef::testing::shownOneError(h.user, "Fenster konnte nicht geöffnet werden!"));
}

} // namespace
} // namespace reef::calc
