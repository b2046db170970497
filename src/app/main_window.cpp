#include "app/main_window.h"

#include "app/exit_program.h"
#include "app/messages.h"
#include "app/tool_windows.h"

namespace reef::app {

namespace {

using platform::ControlId;
using platform::Event;
using platform::EventKind;
using platform::Platform;
using platform::Rect;

constexpr int kClientWidth = 200;
constexpr int kClientHeight = 210;

// Five tool buttons 25 high, 5 apart; the notice 7 below them; the bottom row 3 below that.
constexpr int kMargin = 5;
constexpr int kButtonWidth = 190;
constexpr int kButtonHeight = 25;
constexpr int kRowStep = kButtonHeight + 5;

Rect toolButtonRect(int index) {
    return {kMargin, kMargin + index * kRowStep, kButtonWidth, kButtonHeight};
}

constexpr int kNoticeY = kMargin + 4 * kRowStep + kButtonHeight + 7;
constexpr int kNoticeHeight = 18;
constexpr int kBottomY = kNoticeY + kNoticeHeight + 3;
constexpr int kExitWidth = kButtonWidth - 27;

const char* const kNoticeText = "Viel Erfolg auf Korallin!";

// The tray's left click toggles between the window and the tray icon alone.
void toggleFromTray(Platform& ui, AppState& state) {
    const platform::WindowId window = state.main.window;
    if (ui.isMinimized(window)) {
        ui.showWindow(window);
    } else {
        ui.minimizeWindow(window);
        ui.hideWindow(window);
    }
}

enum class Command {
    None,
    EtaPlan,
    FleetDistribution,
    AttackLimit,
    EnemyList,
    AlliedList,
    Help,
    Exit
};

Command commandOf(const AppState& state, const Event& event) {
    if (event.kind == EventKind::MenuCommand) {
        switch (event.menuItem) {
        case kMenuEtaPlan:
            return Command::EtaPlan;
        case kMenuFleetDistribution:
            return Command::FleetDistribution;
        case kMenuAttackLimit:
            return Command::AttackLimit;
        case kMenuEnemyList:
            return Command::EnemyList;
        case kMenuAlliedList:
            return Command::AlliedList;
        case kMenuHelp:
            return Command::Help;
        case kMenuExit:
            return Command::Exit;
        default:
            return Command::None;
        }
    }
    if (event.kind != EventKind::Control ||
        event.controlType != platform::ControlEventType::Activated) {
        return Command::None;
    }
    const MainWindow& main = state.main;
    const ControlId control = event.control;
    if (control == main.etaPlanButton) {
        return Command::EtaPlan;
    }
    if (control == main.fleetDistributionButton) {
        return Command::FleetDistribution;
    }
    if (control == main.attackLimitButton) {
        return Command::AttackLimit;
    }
    if (control == main.enemyListButton) {
        return Command::EnemyList;
    }
    if (control == main.alliedListButton) {
        return Command::AlliedList;
    }
    if (control == main.helpButton) {
        return Command::Help;
    }
    if (control == main.exitButton) {
        return Command::Exit;
    }
    return Command::None;
}

void runCommand(Platform& ui, AppState& state, Command command) {
    switch (command) {
    case Command::EtaPlan:
        openEtaPlanOnce(ui, state);
        break;
    case Command::FleetDistribution:
        openFleetDistributionOnce(ui, state);
        break;
    case Command::AttackLimit:
        openAttackLimitOnce(ui, state);
        break;
    case Command::EnemyList:
        openListWindowOnce(ui, state, fleetlists::FleetListKind::Enemy);
        break;
    case Command::AlliedList:
        openListWindowOnce(ui, state, fleetlists::FleetListKind::Allied);
        break;
    case Command::Help:
        openReadme(ui);
        break;
    case Command::Exit:
        exitProgram(ui, state);
        break;
    case Command::None:
        break;
    }
}

} // namespace

bool openMainWindow(Platform& ui, MainWindow& main) {
    main = {};
    const platform::WindowId window = ui.openWindow("Reef - Tools", kClientWidth, kClientHeight);
    if (!window) {
        return false;
    }
    main.window = window;
    main.etaPlanButton = ui.createButton(window, toolButtonRect(0), "ETA-Plan erstellen");
    main.fleetDistributionButton = ui.createButton(window, toolButtonRect(1), "Flottenverhältnis");
    main.attackLimitButton = ui.createButton(window, toolButtonRect(2), "Attgrenze");
    main.enemyListButton = ui.createButton(window, toolButtonRect(3), "Gegnerische Flotten");
    main.alliedListButton = ui.createButton(window, toolButtonRect(4), "Verbündete Flotten");
    main.notice =
        ui.createLabel(window, {kMargin, kNoticeY, kButtonWidth, kNoticeHeight}, kNoticeText,
                       platform::LabelStyle{.align = platform::TextAlign::Center});
    main.exitButton =
        ui.createButton(window, {kMargin, kBottomY, kExitWidth, kButtonHeight}, "Programm beenden");
    main.helpButton = ui.createButton(
        window, {kMargin + kExitWidth + 1, kBottomY, kButtonHeight, kButtonHeight}, "?");
    ui.setTooltip(main.helpButton, "Erstellte die Datei 'Readme.txt' und öffnet diese.");
    return true;
}

platform::MenuId createTrayMenu(Platform& ui) {
    return ui.createPopupMenu({
        {kMenuEtaPlan, "ETA-Plan erstellen", false},
        {kMenuFleetDistribution, "Flottenverhältnis", false},
        {kMenuAttackLimit, "Attgrenze", false},
        {kMenuEnemyList, "Gegnerische Flotte", false},
        {kMenuAlliedList, "Verbündete Flotte", false},
        {-1, "", true},
        {kMenuHelp, "Hilfe (?)", false},
        {kMenuExit, "Programm beenden", false},
    });
}

void handleMainWindowEvent(Platform& ui, AppState& state, const Event& event) {
    // Without a tray icon a hidden window could never come back, so only then it hides.
    if (state.trayIcon && ui.isMinimized(state.main.window)) {
        ui.hideWindow(state.main.window);
    }
    switch (event.kind) {
    case EventKind::CloseRequest:
        if (ui.messageBox(kQuestionCaption, kQuitQuestion, platform::MessageBoxKind::Question) ==
            platform::MessageBoxAnswer::Yes) {
            exitProgram(ui, state);
        }
        return;
    case EventKind::Tray:
        if (event.trayType == platform::TrayEventType::RightClick) {
            if (state.trayMenu) {
                ui.showPopupMenu(state.trayMenu, state.main.window);
            }
        } else if (event.trayType == platform::TrayEventType::LeftClick) {
            toggleFromTray(ui, state);
        } else if (event.trayType == platform::TrayEventType::NotificationClick) {
            openListWindowOnce(ui, state, state.fleet.alertedList);
        }
        return;
    case EventKind::MenuCommand:
    case EventKind::Control:
        runCommand(ui, state, commandOf(state, event));
        return;
    case EventKind::SessionEnd:
        return; // belongs to no window; dispatchEvent ends the program
    }
}

} // namespace reef::app
