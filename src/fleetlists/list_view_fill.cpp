#include "fleetlists/list_view_fill.h"

#include "fleetlists/column_widths.h"
#include "fleetlists/countdown_cells.h"
#include "text/date_text.h"
#include "text/integer_text.h"

#include <optional>

namespace reef::fleetlists {

namespace {

using platform::ControlId;
using platform::Platform;

// A text cell that shows "n/a" in dark red when its value was not given.
void writeOptionalCell(Platform& ui, ControlId listView, int row, int column,
                       const std::string& text) {
    if (text == kNotGivenText) {
        ui.setListCell(listView, row, column, text);
        ui.setListCellColors(listView, row, column, std::nullopt, kNotGivenTextColor);
    } else {
        ui.setListCell(listView, row, column, text);
    }
}

std::string textOrNotGiven(const std::string& text) {
    return text.empty() ? std::string(kNotGivenText) : text;
}

void writeRow(Platform& ui, ControlId listView, const FleetListTables& tables, FleetListKind kind,
              int row, const FleetEntry& entry) {
    // A code outside the tables (which the list server should never send) shows as its
    // number on the default colours, so that the row is still there to be seen and changed.
    if (const HelpStatus* help = tables.help.find(kind, entry.Hilfe)) {
        ui.setListCell(listView, row, kHelpColumn, help->name);
        ui.setListCellColors(listView, row, kHelpColumn, help->background, std::nullopt);
    } else {
        ui.setListCell(listView, row, kHelpColumn, text::decimalText(entry.Hilfe));
    }
    ui.setListCell(listView, row, kNameColumn, entry.Name);
    writeOptionalCell(ui, listView, row, 2, textOrNotGiven(entry.Allianz));
    ui.setListCell(listView, row, 3, entry.Basis);
    writeOptionalCell(ui, listView, row, 4, pointsCellText(entry.Punkte));
    ui.setListCell(listView, row, 5, text::decimalText(entry.Schiffe));
    if (const Mission* mission = tables.missions.find(entry.Modus)) {
        ui.setListCell(listView, row, kMissionColumn, mission->text);
        ui.setListCellColors(listView, row, kMissionColumn, mission->background, std::nullopt);
    } else {
        ui.setListCell(listView, row, kMissionColumn, text::decimalText(entry.Modus));
    }
    ui.setListCell(listView, row, kTargetNameColumn, entry.ZielName);
    writeOptionalCell(ui, listView, row, 8, textOrNotGiven(entry.ZielAllianz));
    ui.setListCell(listView, row, 9, entry.ZielBasis);
    writeOptionalCell(ui, listView, row, 10, pointsCellText(entry.ZielPunkte));
    ui.setListCell(listView, row, kUpdateTimeColumn,
                   text::formatDate("%hh:%ii:%ss", entry.UpdateZeit));
    if (kind == FleetListKind::Enemy) {
        ui.setListCell(listView, row, kVonColumn, entry.Von);
        if (latin1Lower(entry.Von) != latin1Lower(entry.ZielName)) {
            ui.setListCellColors(listView, row, kVonColumn, kWarningBackground, std::nullopt);
        }
    }
}

} // namespace

std::string pointsCellText(std::int64_t points) {
    return points == 0 ? std::string(kNotGivenText) : text::groupedText(points);
}

std::string latin1Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDE)) {
            c = static_cast<char>(byte + 32);
        }
    }
    return lower;
}

void fillListView(Platform& ui, ControlId listView, const FleetListTables& tables,
                  FleetListKind kind, const std::vector<FleetEntry>& entries,
                  std::int64_t localNow) {
    ui.clearListRows(listView);
    for (const FleetEntry& entry : entries) {
        const int row = ui.addListRow(listView);
        writeRow(ui, listView, tables, kind, row, entry);
    }
    writeCountdownCells(ui, listView, entries, localNow);
}

} // namespace reef::fleetlists
