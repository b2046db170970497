#include "calc/fleet_distribution_window.h"

#include "calc/fleet_file.h"
#include "calc/fleet_scaling.h"
#include "platform/tool_window.h"

#include <optional>

namespace reef::calc {

namespace {

using platform::ControlId;
using platform::Rect;

constexpr const char* kTitle = "Reef - Tools: Flottenverteilung";
constexpr int kClientWidth = 650;
constexpr int kClientHeight = 95;

constexpr int kMargin = 5;
constexpr int kCellWidth = 80;
constexpr int kCellHeight = 18;
constexpr int kHeaderY = kMargin;
constexpr int kSollY = kHeaderY + kCellHeight;
constexpr int kHabenY = kSollY + kCellHeight;
constexpr int kButtonY = 64;
constexpr int kButtonWidth = (kClientWidth - 2 * kMargin) / 4;
constexpr int kButtonHeight = 25;

constexpr const char* kColumnNames[kFleetColumns] = {
    "Manta", "Teufelsrochen", "Octopus", "Schwertwal", "Buckelwal", "Killerwal", "Gesamt"};

// x of the cell in grid column `cell`: 0 is the row label, 1-7 the seven fleet columns.
constexpr int cellX(int cell) {
    return kMargin + cell * kCellWidth;
}

constexpr platform::LabelStyle kLabelStyle{.align = platform::TextAlign::Center, .sunken = true};

FleetRowTexts rowTexts(platform::Platform& ui, const std::array<ControlId, kFleetColumns>& row) {
    FleetRowTexts texts;
    for (std::size_t i = 0; i < kFleetColumns; ++i) {
        texts[i] = ui.text(row[i]);
    }
    return texts;
}

// The program's own texts start no computation, so writing back is safe inside a handler.
void writeColumn(platform::Platform& ui, const std::array<ControlId, kFleetColumns>& row,
                 const FleetRowTexts& texts, std::size_t column) {
    ui.setText(row[column], texts[column]);
}

void writeSum(platform::Platform& ui, const std::array<ControlId, kFleetColumns>& row) {
    FleetRowTexts texts = rowTexts(ui, row);
    sumRow(texts);
    writeColumn(ui, row, texts, kTotalColumn);
}

void writeScaledHaben(platform::Platform& ui, const FleetDistributionWindow& state,
                      std::size_t column) {
    const FleetRowTexts soll = rowTexts(ui, state.soll);
    const FleetRowTexts before = rowTexts(ui, state.haben);
    FleetRowTexts after = before;
    scaleHaben(soll, after, column);
    for (std::size_t i = 0; i < kTotalColumn; ++i) {
        if (after[i] != before[i]) {
            writeColumn(ui, state.haben, after, i);
        }
    }
}

std::optional<std::size_t> columnOf(const std::array<ControlId, kFleetColumns>& row,
                                    ControlId control) {
    for (std::size_t i = 0; i < kFleetColumns; ++i) {
        if (row[i] == control) {
            return i;
        }
    }
    return std::nullopt;
}

bool createControls(platform::Platform& ui, FleetDistributionWindow& state) {
    const platform::WindowId window = state.window;
    bool ok = true;
    auto label = [&](int cell, int y, const char* text) {
        ok = ui.createLabel(window, Rect{cellX(cell), y, kCellWidth, kCellHeight}, text,
                            kLabelStyle) &&
             ok;
    };
    auto field = [&](int cell, int y, platform::EditStyle style) {
        const ControlId id =
            ui.createEdit(window, Rect{cellX(cell), y, kCellWidth, kCellHeight}, "", style);
        ok = id && ok;
        return id;
    };
    const platform::EditStyle countStyle{.digitsOnly = true};
    const platform::EditStyle totalStyle{.digitsOnly = true, .readOnly = true};

    label(0, kHeaderY, "");
    for (std::size_t i = 0; i < kFleetColumns; ++i) {
        label(static_cast<int>(i) + 1, kHeaderY, kColumnNames[i]);
    }
    label(0, kSollY, "SOLL");
    for (std::size_t i = 0; i < kFleetColumns; ++i) {
        state.soll[i] =
            field(static_cast<int>(i) + 1, kSollY, i == kTotalColumn ? totalStyle : countStyle);
    }
    label(0, kHabenY, "HABEN");
    for (std::size_t i = 0; i < kFleetColumns; ++i) {
        state.haben[i] = field(static_cast<int>(i) + 1, kHabenY, countStyle);
    }
    auto button = [&](int index, const char* text) {
        const ControlId id = ui.createButton(
            window, Rect{kMargin + index * kButtonWidth, kButtonY, kButtonWidth, kButtonHeight},
            text);
        ok = id && ok;
        return id;
    };
    state.saveSollButton = button(0, "Soll-Flotte speichern");
    state.loadSollButton = button(1, "Soll-Flotte laden");
    state.saveHabenButton = button(2, "Haben-Flotte speichern");
    state.loadHabenButton = button(3, "Haben-Flotte laden");
    return ok;
}

} // namespace

platform::WindowId openFleetDistributionWindow(platform::Platform& ui,
                                               FleetDistributionWindow& state) {
    state = FleetDistributionWindow{};
    state.window = platform::openToolWindow(ui, kTitle, kClientWidth, kClientHeight,
                                            [&](platform::WindowId window) {
                                                state.window = window;
                                                return createControls(ui, state);
                                            });
    if (!state.window) {
        state = FleetDistributionWindow{};
    }
    return state.window;
}

void handleFleetDistributionEvent(platform::Platform& ui, FleetDistributionWindow& state,
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
    const ControlId control = event.control;
    if (event.controlType == platform::ControlEventType::Activated) {
        if (control == state.saveSollButton) {
            saveFleetRow(ui, kSollFile, state.soll);
        } else if (control == state.saveHabenButton) {
            saveFleetRow(ui, kHabenFile, state.haben);
        } else if (control == state.loadSollButton) {
            loadFleetRow(ui, kSollFile, state.soll);
        } else if (control == state.loadHabenButton) {
            loadFleetRow(ui, kHabenFile, state.haben);
        }
        return;
    }
    if (event.controlType == platform::ControlEventType::Changed) {
        const std::optional<std::size_t> habenColumn = columnOf(state.haben, control);
        if (!habenColumn && !columnOf(state.soll, control)) {
            return;
        }
        if (habenColumn) {
            writeScaledHaben(ui, state, *habenColumn);
        }
        writeSum(ui, state.soll);
        // The total the user is typing stays as typed; it is summed when he leaves it.
        if (ui.focusedControl() != state.haben[kTotalColumn]) {
            writeSum(ui, state.haben);
        }
        return;
    }
    if (event.controlType == platform::ControlEventType::LostFocus &&
        control == state.haben[kTotalColumn]) {
        writeSum(ui, state.haben);
    }
}

} // namespace reef::calc
