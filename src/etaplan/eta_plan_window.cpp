#include "etaplan/eta_plan_window.h"

#include "etaplan/eta_plan_settings.h"
#include "etaplan/eta_plan_text.h"
#include "platform/error_message.h"
#include "platform/tool_window.h"

#include <array>

namespace reef::etaplan {

namespace {

using platform::ControlId;
using platform::Rect;

constexpr const char* kTitle = "Reef - Tools: ETA-Plan";
constexpr const char* kSaveFailedText = "Konnte Einstellungen nicht speichern!";
constexpr const char* kNoPlanText = "keine Daten vorhanden";
constexpr const char* kInitialAttackTime = "02:00";
constexpr const char* kCreatePlanTooltip =
    "zeigt den ETA-Plan unten an und kopiert diesen direkt in die Zwischenablage";

// The layout is computed from a few measures: one row per field, labels level with the
// text of their fields, the two buttons side by side, the plan area below them.
constexpr int kWidth = 300;
constexpr int kHeight = 400;
constexpr int kMargin = 5;
constexpr int kLabelWidth = 60;
constexpr int kLabelGap = 2;
constexpr int kLabelDrop = 3;
constexpr int kRowHeight = 20;
constexpr int kRowStep = kRowHeight + kMargin;
constexpr int kFieldX = kMargin + kLabelWidth + kLabelGap;
constexpr int kFieldWidth = kWidth - kLabelWidth - 2 * kMargin - kLabelGap;
constexpr int kRowCount = 5;
constexpr int kButtonY = kMargin + kRowCount * kRowStep;
constexpr int kButtonWidth = (kWidth - 2 * kMargin) / 2;
constexpr int kButtonHeight = 25;
constexpr int kPlanY = kButtonY + kButtonHeight + kMargin;

constexpr int rowY(int row) {
    return kMargin + row * kRowStep;
}

struct FieldRow {
    const char* label;
    const char* initialText;
    ControlId EtaPlanWindow::*field;
};

constexpr std::array<FieldRow, kRowCount> kRows = {{
    {"Ziel:", "", &EtaPlanWindow::targetField},
    {"Koordinator:", "", &EtaPlanWindow::coordinatorsField},
    {"Teilnehmer:", "", &EtaPlanWindow::participantsField},
    {"Channel:", "", &EtaPlanWindow::channelField},
    {"Angriffszeit:", kInitialAttackTime, &EtaPlanWindow::attackTimeField},
}};

// Creates the controls in the order of the rows; false as soon as one cannot be created.
bool createControls(platform::Platform& ui, EtaPlanWindow& state) {
    const platform::LabelStyle labelStyle{.align = platform::TextAlign::Right};
    for (int row = 0; row < kRowCount; ++row) {
        const FieldRow& entry = kRows[static_cast<std::size_t>(row)];
        const ControlId label = ui.createLabel(
            state.window, Rect{kMargin, rowY(row) + kLabelDrop, kLabelWidth, kRowHeight},
            entry.label, labelStyle);
        const ControlId field =
            ui.createEdit(state.window, Rect{kFieldX, rowY(row), kFieldWidth, kRowHeight},
                          entry.initialText, platform::EditStyle{});
        if (!label || !field) {
            return false;
        }
        state.*entry.field = field;
    }
    state.createPlanButton = ui.createButton(
        state.window, Rect{kMargin, kButtonY, kButtonWidth, kButtonHeight}, "Plan erstellen");
    state.saveSettingsButton = ui.createButton(
        state.window, Rect{kMargin + kButtonWidth, kButtonY, kButtonWidth, kButtonHeight},
        "Einstellungen speichern");
    state.planArea =
        ui.createTextArea(state.window, Rect{0, kPlanY, kWidth, kHeight - kPlanY}, kNoPlanText);
    if (!state.createPlanButton || !state.saveSettingsButton || !state.planArea) {
        return false;
    }
    ui.setTooltip(state.createPlanButton, kCreatePlanTooltip);
    return true;
}

EtaPlanFields readFields(platform::Platform& ui, const EtaPlanWindow& state) {
    EtaPlanFields fields;
    fields.target = ui.text(state.targetField);
    fields.coordinators = ui.text(state.coordinatorsField);
    fields.participants = ui.text(state.participantsField);
    fields.channel = ui.text(state.channelField);
    fields.attackTime = ui.text(state.attackTimeField);
    return fields;
}

void loadSettingsInto(platform::Platform& ui, const EtaPlanWindow& state) {
    const std::optional<EtaPlanFields> saved = loadEtaPlanSettings();
    if (!saved) {
        return; // no saved settings: the initial texts stay
    }
    ui.setText(state.targetField, saved->target);
    ui.setText(state.coordinatorsField, saved->coordinators);
    ui.setText(state.participantsField, saved->participants);
    ui.setText(state.channelField, saved->channel);
    ui.setText(state.attackTimeField, saved->attackTime);
}

void createPlan(platform::Platform& ui, const EtaPlanWindow& state) {
    const std::string plan =
        joinPlanLines(buildEtaPlan(readFields(ui, state), ui.clock().localNow()));
    // The area ends with one more, empty line than the copied text.
    ui.setText(state.planArea, plan + "\r\n");
    // A clipboard that cannot be opened only costs the copy; the plan is still shown.
    ui.setClipboardText(plan);
}

void saveSettings(platform::Platform& ui, const EtaPlanWindow& state) {
    if (!saveEtaPlanSettings(readFields(ui, state))) {
        platform::showError(ui, kSaveFailedText);
    }
}

} // namespace

platform::WindowId openEtaPlanWindow(platform::Platform& ui, EtaPlanWindow& state) {
    if (state.window) {
        ui.bringToFront(state.window);
        return state.window;
    }
    state = {};
    state.window =
        platform::openToolWindow(ui, kTitle, kWidth, kHeight, [&](platform::WindowId window) {
            state.window = window;
            return createControls(ui, state);
        });
    if (!state.window) {
        state = {};
        return {};
    }
    loadSettingsInto(ui, state);
    return state.window;
}

void handleEtaPlanEvent(platform::Platform& ui, EtaPlanWindow& state,
                        const platform::Event& event) {
    if (!state.window || event.window != state.window) {
        return;
    }
    if (event.kind == platform::EventKind::CloseRequest) {
        platform::closeToolWindow(ui, state);
        return;
    }
    if (event.kind != platform::EventKind::Control) {
        return;
    }
    if (event.controlType == platform::ControlEventType::LostFocus) {
        if (event.control == state.attackTimeField) {
            ui.setText(state.attackTimeField, normalizeAttackTime(ui.text(state.attackTimeField)));
        }
        return;
    }
    if (event.controlType != platform::ControlEventType::Activated) {
        return;
    }
    if (event.control == state.createPlanButton) {
        createPlan(ui, state);
    } else if (event.control == state.saveSettingsButton) {
        saveSettings(ui, state);
    }
}

} // namespace reef::etaplan
