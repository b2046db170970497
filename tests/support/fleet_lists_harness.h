#pragma once
// The two fleet lists over the headless backend in a private working directory, driven as a
// user would: every event an action raises goes to the list window or entry dialog it
// belongs to, as the event loop hands it on.

#include "fleetlists/catalogue.h"
#include "fleetlists/entry_dialog.h"
#include "fleetlists/fleet_lists.h"
#include "fleetlists/list_cache.h"
#include "fleetlists/list_window.h"
#include "platform/headless/headless_platform.h"
#include "support/event_harness.h"
#include "support/scoped_temp_dir.h"

#include <optional>
#include <string>
#include <vector>

namespace reef::testing {

// 08.12.2026 00:00 local time.
inline constexpr std::int64_t kMidnight = 1796688000;

constexpr std::int32_t clockTime(int hours, int minutes, int seconds = 0) {
    return hours * 3600 + minutes * 60 + seconds;
}

class FleetListsHarness : public EventHarness {
  public:
    ScopedTempDir dir;
    fleetlists::FleetLists fleet;

    // What the windows asked of the workers' side, in order.
    std::vector<fleetlists::FleetListKind> downloadsStarted;
    std::vector<fleetlists::EntrySubmission> submissions;
    bool failureExit = false;
    // Does at each submission what the submission worker's start does to the list: marks it
    // busy and disables the dialog while the worker runs.
    bool submissionWorkerTakesDialog = false;

    FleetListsHarness() : EventHarness(kMidnight + clockTime(10, 5)) {
        fleet.tables = fleetlists::buildFleetListTables();
        fleet.passwordSite = "Allianzforum";
        setHandler([this](const platform::Event& event) { handleEvent(event); });
    }

    fleetlists::ListWindowState& list(fleetlists::FleetListKind kind) { return fleet.list(kind); }

    // Opens the window as the main window does (no password prompt when `password` is given).
    platform::WindowId open(fleetlists::FleetListKind kind) {
        const platform::WindowId window = fleetlists::openListWindow(ui, fleet, kind);
        list(kind).lastUpdateTick = 0;
        return window;
    }

    static void writeCache(fleetlists::FleetListKind kind, const fleetlists::ListCacheData& data) {
        fleetlists::saveListCache(kind, fleetlists::listCacheFileName(kind), data);
    }

    // The control in a slot of the open entry dialog of the kind.
    platform::ControlId slot(fleetlists::FleetListKind kind, fleetlists::EntrySlot which) {
        return fleetlists::slotOf(list(kind).dialogFields, which);
    }

    // "Neuer Eintrag", or "Eintrag Aktualisieren" after a click on the row; the dialog.
    platform::WindowId openNewEntry(fleetlists::FleetListKind kind) {
        click(list(kind).newButton);
        return list(kind).dialog;
    }
    platform::WindowId openChangeEntry(fleetlists::FleetListKind kind, int row) {
        user.clickListRow(list(kind).listView, row);
        handleEvents();
        click(list(kind).changeButton);
        return list(kind).dialog;
    }

    // The player goes into the field and leaves it again.
    void visit(platform::ControlId control) {
        user.focus(control);
        user.moveFocusAway();
        handleEvents();
    }

    // As a player chooses: the list takes the focus when it opens, and the program has
    // handled that before the item is picked.
    void select(platform::ControlId list, int index) {
        user.focus(list);
        handleEvents();
        user.selectDropDownItem(list, index);
        handleEvents();
    }

    void timers() {
        for (const fleetlists::FleetListKind kind : fleetlists::listWindowTimers(ui, fleet)) {
            downloadsStarted.push_back(kind);
        }
    }

  private:
    // Each event goes to the list window or entry dialog it belongs to, as the event loop
    // hands it on.
    void handleEvent(const platform::Event& event) {
        for (const fleetlists::FleetListKind kind :
             {fleetlists::FleetListKind::Allied, fleetlists::FleetListKind::Enemy}) {
            if (event.window == list(kind).window) {
                react(kind, fleetlists::handleListWindowEvent(ui, fleet, kind, event));
            } else if (event.window == list(kind).dialog) {
                if (auto submission = fleetlists::handleEntryDialogEvent(ui, fleet, kind, event)) {
                    submissions.push_back(*submission);
                    if (submissionWorkerTakesDialog) {
                        list(kind).workerBusy = true;
                        ui.setWindowEnabled(list(kind).dialog, false);
                    }
                }
            }
        }
    }

    void react(fleetlists::FleetListKind kind, fleetlists::ListWindowAction action) {
        if (action == fleetlists::ListWindowAction::StartDownload) {
            downloadsStarted.push_back(kind);
        } else if (action == fleetlists::ListWindowAction::FailureExit) {
            failureExit = true;
        }
    }
};

} // namespace reef::testing
