#pragma once
// The launcher window, its tray icon and the tray's popup menu.

#include "app/app_state.h"
#include "platform/platform.h"

namespace reef::app {

// Items of the tray's popup menu; the numbers arrive as menu commands.
enum TrayMenuItem {
    kMenuEtaPlan = 0,
    kMenuFleetDistribution = 1,
    kMenuAttackLimit = 2,
    kMenuEnemyList = 3,
    kMenuAlliedList = 4,
    kMenuHelp = 5,
    kMenuExit = 6,
};

// Creates the window and its eight controls; false (and nothing kept) when the window
// cannot be created.
bool openMainWindow(platform::Platform& ui, MainWindow& main);

platform::MenuId createTrayMenu(platform::Platform& ui);

void handleMainWindowEvent(platform::Platform& ui, AppState& state, const platform::Event& event);

} // namespace reef::app
