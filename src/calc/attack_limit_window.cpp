#include "calc/attack_limit_window.h"

#include "calc/attack_limits.h"
#include "platform/tool_window.h"
#include "text/integer_text.h"

namespace reef::calc {

namespace {

using platform::ControlId;
using platform::Rect;

constexpr const char* kTitle = "Reef - Tools: Attgrenze";
constexpr int kClientWidth = 200;
constexpr int kClientHeight = 80;

constexpr int kMargin = 5;
constexpr int kRowHeight = 18;
constexpr int kRowGap = 5;
constexpr int kLabelWidth = 80;
constexpr int kFieldX = kMargin + kLabelWidth;
constexpr int kFieldWidth = kClientWidth - 2 * kMargin - kLabelWidth;

constexpr int rowY(int row) {
    return kMargin + row * (kRowHeight + kRowGap);
}

bool createControls(platform::Platform& ui, AttackLimitWindow& state) {
    bool ok = true;
    auto row = [&](int index, const char* caption, platform::EditStyle style) {
        ok = ui.createLabel(state.window, Rect{kMargin, rowY(index), kLabelWidth, kRowHeight},
                            caption, platform::LabelStyle{}) &&
             ok;
        const ControlId field = ui.createEdit(
            state.window, Rect{kFieldX, rowY(index), kFieldWidth, kRowHeight}, "", style);
        ok = field && ok;
        return field;
    };
    const platform::EditStyle limitStyle{.readOnly = true};
    state.upperField = row(0, "obere Grenze :", limitStyle);
    state.pointsField = row(1, "aktuelle Punkte:", platform::EditStyle{});
    state.lowerField = row(2, "untere Grenze:", limitStyle);
    return ok;
}

AttackLimitWindow closedWindow(std::int64_t points) {
    AttackLimitWindow closed;
    closed.points = points;
    return closed;
}

// Closes the window and forgets its handles; the last points value stays.
void closeWindow(platform::Platform& ui, AttackLimitWindow& state) {
    platform::closeToolWindow(ui, state, closedWindow(state.points));
}

void readPoints(platform::Platform& ui, AttackLimitWindow& state) {
    state.points = pointsValue(ui.text(state.pointsField));
}

} // namespace

platform::WindowId openAttackLimitWindow(platform::Platform& ui, AttackLimitWindow& state) {
    const std::int64_t points = state.points;
    state = AttackLimitWindow{};
    state.points = points;
    state.window = platform::openToolWindow(ui, kTitle, kClientWidth, kClientHeight,
                                            [&](platform::WindowId window) {
                                                state.window = window;
                                                return createControls(ui, state);
                                            });
    if (!state.window) {
        state = closedWindow(points);
    }
    return state.window;
}

void handleAttackLimitEvent(platform::Platform& ui, AttackLimitWindow& state,
                            const platform::Event& event) {
    if (!state.window || event.window != state.window) {
        return;
    }
    if (event.kind == platform::EventKind::CloseRequest) {
        closeWindow(ui, state);
        return;
    }
    if (event.kind != platform::EventKind::Control || event.control != state.pointsField) {
        return;
    }
    if (event.controlType == platform::ControlEventType::Changed) {
        readPoints(ui, state);
        ui.setText(state.upperField, text::groupedText(upperAttackLimit(state.points)));
        ui.setText(state.lowerField, text::groupedText(lowerAttackLimit(state.points)));
    } else if (event.controlType == platform::ControlEventType::LostFocus) {
        readPoints(ui, state);
        ui.setText(state.pointsField, text::groupedText(state.points));
    }
}

} // namespace reef::calc
