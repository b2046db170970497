#include "fleetlists/list_window.h"

#include "fleetlists/column_widths.h"
#include "fleetlists/countdown_cells.h"
#include "fleetlists/entry_dialog.h"
#include "fleetlists/help_description.h"
#include "fleetlists/list_cache.h"
#include "fleetlists/list_view_fill.h"
#include "platform/tool_window.h"
#include "text/date_text.h"
#include "text/integer_text.h"

#include <array>

namespace reef::fleetlists {

namespace {

using platform::ControlId;
using platform::Event;
using platform::Platform;
using platform::Rect;

constexpr int kClientWidth = 640;
constexpr int kClientHeight = 230;
constexpr int kButtonY = 178;
constexpr int kButtonWidth = 150;
constexpr int kButtonHeight = 25;
constexpr platform::Color kDescriptionColor = platform::rgb(160, 160, 160);

struct ListColumn {
    const char* header;
    int width; // at creation; the shared width array replaces it at once
};

constexpr std::array<ListColumn, kMaxColumnCount> kColumns = {{
    {"Hilfe-/ Status", 50},
    {"Name", 100},
    {"Allianz", 50},
    {"Basis", 50},
    {"Punkte", 80},
    {"Schiffe", 50},
    {"Auftrag", 70},
    {"Ziel Name", 100},
    {"Ziel Allianz", 70},
    {"Ziel Basis", 60},
    {"Ziel Punkte", 80},
    {"ETA bis Ziel", 74},
    {"Impakt Time", 74},
    {"ETA bis Rückkehr", 104},
    {"Uhrzeit Rückkehr", 104},
    {"Update Uhrzeit", 90},
    {"Eingetragen von", 95},
}};

const char* windowTitle(FleetListKind kind) {
    return kind == FleetListKind::Enemy ? "Reef - Tools: Gegnerische Flotten"
                                        : "Reef - Tools: Verbündete Flotten";
}

std::string passwordPrompt(const std::string& site) {
    return "Bitte Passwort angeben (siehe " + site + "):";
}

// The cache file's interval, password and widths (and rows into an empty list), then the
// password prompt when no password is known yet.
void loadCacheAndPassword(Platform& ui, FleetLists& fleet, FleetListKind kind) {
    ListWindowState& list = fleet.list(kind);
    ListCacheData data;
    data.interval = list.interval;
    data.password = fleet.password;
    data.widths = fleet.columnWidths;
    data.rows = std::move(list.rows);
    loadListCache(kind, listCacheFileName(kind), data);
    list.interval = data.interval;
    fleet.password = std::move(data.password);
    fleet.columnWidths = data.widths;
    list.rows = std::move(data.rows);
    if (fleet.password.empty()) {
        fleet.password = ui.inputBox("Reef - Tools", passwordPrompt(fleet.passwordSite), "");
    }
}

bool createControls(Platform& ui, FleetLists& fleet, FleetListKind kind,
                    platform::WindowId window) {
    ListWindowState& list = fleet.list(kind);
    list.window = window;
    list.listView = ui.createListView(window, Rect{0, 0, kClientWidth, 153});
    list.descriptionLine = ui.createLabel(
        window, Rect{0, 156, kClientWidth, 17}, kDescriptionPrompt,
        platform::LabelStyle{
            .align = platform::TextAlign::Center, .sunken = false, .textColor = kDescriptionColor});
    const auto button = [&](int x, const char* text) {
        return ui.createButton(window, Rect{x, kButtonY, kButtonWidth, kButtonHeight}, text);
    };
    list.newButton = button(5, "Neuer Eintrag");
    list.changeButton = button(165, "Eintrag Aktualisieren");
    list.refreshButton = button(325, "Liste Aktualisieren");
    const ControlId intervalLabel =
        ui.createLabel(window, Rect{485, 184, 77, 17}, "Autoupdate alle", platform::LabelStyle{});
    list.intervalField =
        ui.createEdit(window, Rect{562, 181, 20, 17}, text::decimalText(list.interval),
                      platform::EditStyle{.digitsOnly = true});
    const ControlId minutesLabel =
        ui.createLabel(window, Rect{585, 184, 50, 17}, "Minuten", platform::LabelStyle{});
    if (!list.listView || !list.descriptionLine || !list.newButton || !list.changeButton ||
        !list.refreshButton || !intervalLabel || !list.intervalField || !minutesLabel) {
        return false;
    }
    ui.setEnabled(list.changeButton, false);
    for (int column = 0; column < columnCount(kind); ++column) {
        const ListColumn& shown = kColumns[static_cast<std::size_t>(column)];
        ui.addListColumn(list.listView, shown.header, shown.width);
        ui.setListColumnWidth(list.listView, column,
                              fleet.columnWidths[static_cast<std::size_t>(column)]);
    }
    fillListView(ui, list.listView, fleet.tables, kind, list.rows, ui.clock().localNow());
    list.statusBar = ui.createStatusBar(window, 200, 200, 300);
    if (!list.statusBar) {
        return false;
    }
    setStatusField(ui, list, 0, "letzte Aktualisierung: aus Datei geladen");
    setStatusField(ui, list, 1, "gespeicherte Daten laden");
    setStatusField(ui, list, 2, "Status: Fertig!");
    return true;
}

// The handles of a closed window, with everything that outlives it.
ListWindowState closedState(ListWindowState& open) {
    ListWindowState closed;
    closed.rows = std::move(open.rows);
    closed.interval = open.interval;
    closed.lastUpdateTick = open.lastUpdateTick;
    closed.tickMark = open.tickMark;
    closed.downloadRetries = open.downloadRetries;
    closed.generation = open.generation;
    closed.openGeneration = open.openGeneration;
    closed.workerBusy = open.workerBusy;
    closed.dialogGeneration = open.dialogGeneration;
    closed.dialogMode = open.dialogMode;
    closed.editCopy = open.editCopy;
    return closed;
}

bool isBusy(const ListWindowState& list) {
    return list.workerBusy || static_cast<bool>(list.dialog);
}

void showSelectedRowHelp(Platform& ui, FleetLists& fleet, FleetListKind kind) {
    ListWindowState& list = fleet.list(kind);
    const int row = ui.selectedListRow(list.listView);
    if (row < 0) {
        ui.setEnabled(list.changeButton, false);
        ui.setText(list.descriptionLine, kDescriptionPrompt);
        return;
    }
    ui.setEnabled(list.changeButton, !isBusy(list));
    // The sentence is made from what the row shows, as the player sees it.
    const int code =
        helpCodeOfName(fleet.tables.help, kind, ui.listCell(list.listView, row, kHelpColumn));
    if (code < 0) {
        return;
    }
    FleetEntry shown;
    shown.Name = ui.listCell(list.listView, row, kNameColumn);
    shown.ZielName = ui.listCell(list.listView, row, kTargetNameColumn);
    shown.Von = ui.listCell(list.listView, row, kVonColumn);
    ui.setText(list.descriptionLine, helpDescription(fleet.tables.help, kind, code, shown));
}

ListWindowAction openDialog(Platform& ui, FleetLists& fleet, FleetListKind kind, DialogMode mode) {
    ListWindowState& list = fleet.list(kind);
    int row = -1;
    if (mode == DialogMode::Change) {
        row = ui.selectedListRow(list.listView);
        if (row < 0 || row >= static_cast<int>(list.rows.size())) {
            return ListWindowAction::None; // nothing to change
        }
        list.editCopy = list.rows[static_cast<std::size_t>(row)];
    }
    disableButtons(ui, list);
    list.dialogMode = mode;
    list.dialog = openEntryDialog(
        ui, fleet, kind, mode == DialogMode::New ? "neuer Eintrag" : "Eintrag ändern", row);
    if (!list.dialog) {
        return ListWindowAction::FailureExit;
    }
    setStatusField(ui, list, 1,
                   mode == DialogMode::New ? "neuen Eintrag erstellen" : "alten Eintrag ändern");
    setStatusField(ui, list, 2, "Status: warte auf Eingabe");
    return ListWindowAction::None;
}

constexpr std::int64_t kMsPerMinute = 60000;

bool autoUpdateDue(const ListWindowState& list, std::int64_t tickCountMs) {
    return list.lastUpdateTick + static_cast<std::int64_t>(list.interval) * kMsPerMinute <
           tickCountMs;
}

} // namespace

void setStatusField(Platform& ui, const ListWindowState& list, int field, const std::string& text) {
    const char* alignment = field == 1 ? "\t" : field == 2 ? "\t\t" : "";
    ui.setStatusText(list.statusBar, field, alignment + text);
}

void disableButtons(Platform& ui, const ListWindowState& list) {
    ui.setEnabled(list.newButton, false);
    ui.setEnabled(list.changeButton, false);
    ui.setEnabled(list.refreshButton, false);
}

void giveButtonsBack(Platform& ui, const ListWindowState& list) {
    ui.setEnabled(list.newButton, true);
    ui.setEnabled(list.changeButton, ui.selectedListRow(list.listView) >= 0);
    ui.setEnabled(list.refreshButton, true);
}

platform::WindowId openListWindow(Platform& ui, FleetLists& fleet, FleetListKind kind) {
    ListWindowState& list = fleet.list(kind);
    const platform::WindowId window = platform::openToolWindow(
        ui, windowTitle(kind), kClientWidth, kClientHeight, [&](platform::WindowId opened) {
            loadCacheAndPassword(ui, fleet, kind);
            return createControls(ui, fleet, kind, opened);
        });
    if (!window) {
        list = closedState(list);
        return {};
    }
    list.generation += 1;
    list.openGeneration->store(list.generation);
    // A worker of an earlier opening still runs: the list stays busy until it has ended.
    if (list.workerBusy) {
        disableButtons(ui, list);
    }
    return window;
}

void saveOpenListCache(Platform& ui, FleetLists& fleet, FleetListKind kind) {
    ListWindowState& list = fleet.list(kind);
    ListCacheData data;
    data.interval = list.interval;
    data.password = fleet.password;
    data.widths = readColumnWidths(ui, list.listView, kind, fleet.columnWidths);
    data.rows = list.rows;
    fleet.columnWidths = data.widths;
    saveListCache(kind, listCacheFileName(kind), data);
}

void closeListWindow(Platform& ui, FleetLists& fleet, FleetListKind kind) {
    ListWindowState& list = fleet.list(kind);
    if (!list.window) {
        return;
    }
    saveOpenListCache(ui, fleet, kind);
    list.openGeneration->store(0);
    closeEntryDialog(ui, fleet, kind);
    platform::closeToolWindow(ui, list, closedState(list));
}

ListWindowAction handleListWindowEvent(Platform& ui, FleetLists& fleet, FleetListKind kind,
                                       const Event& event) {
    ListWindowState& list = fleet.list(kind);
    if (!list.window || event.window != list.window) {
        return ListWindowAction::None;
    }
    if (event.kind == platform::EventKind::CloseRequest) {
        closeListWindow(ui, fleet, kind);
        return ListWindowAction::None;
    }
    if (event.kind != platform::EventKind::Control) {
        return ListWindowAction::None;
    }
    const ControlId control = event.control;
    if (control == list.listView) {
        showSelectedRowHelp(ui, fleet, kind);
        return ListWindowAction::None;
    }
    if (control == list.intervalField) {
        if (event.controlType == platform::ControlEventType::Changed) {
            list.interval = text::intValue(ui.text(list.intervalField));
        }
        return ListWindowAction::None;
    }
    if (event.controlType != platform::ControlEventType::Activated || isBusy(list)) {
        return ListWindowAction::None;
    }
    if (control == list.newButton) {
        return openDialog(ui, fleet, kind, DialogMode::New);
    }
    if (control == list.changeButton) {
        return openDialog(ui, fleet, kind, DialogMode::Change);
    }
    if (control == list.refreshButton) {
        disableButtons(ui, list);
        return ListWindowAction::StartDownload;
    }
    return ListWindowAction::None;
}

std::vector<FleetListKind> listWindowTimers(Platform& ui, FleetLists& fleet) {
    std::vector<FleetListKind> due;
    for (const FleetListKind kind : {FleetListKind::Enemy, FleetListKind::Allied}) {
        ListWindowState& list = fleet.list(kind);
        if (!list.window) {
            continue;
        }
        if (list.interval > 0 && !isBusy(list)) {
            if (autoUpdateDue(list, ui.clock().tickCountMs())) {
                disableButtons(ui, list);
                due.push_back(kind);
            }
            continue;
        }
        // Any other slot than the one shown, later or earlier (a clock set back).
        const std::int64_t now = ui.clock().localNow();
        const std::int64_t slot = now / text::kTickSeconds * text::kTickSeconds -
                                  (now % text::kTickSeconds < 0 ? text::kTickSeconds : 0);
        if (slot != list.tickMark) {
            list.tickMark = slot;
            writeCountdownCells(ui, list.listView, list.rows, now);
        }
    }
    return due;
}

} // namespace reef::fleetlists
