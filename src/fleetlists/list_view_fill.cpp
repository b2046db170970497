#include "fleetlists/list_view_fill.h"

#include "fleetlists/column_widths.h"
#include "fleetlists/countdown_cells.h"
#include "text/date_text.h"
#include "text/integer_text.h"

#include <optional>
#include <utility>

namespace reef::fleetlists {

namespace {

using platform::ControlId;
using platform::ListCellContent;
using platform::ListRowContent;
using platform::Platform;

// A text cell that shows "n/a" in dark red when its value was not given.
ListCellContent optionalCell(std::string text) {
    if (text == kNotGivenText) {
        return {std::move(text), std::nullopt, kNotGivenTextColor};
    }
    return {std::move(text)};
}

std::string textOrNotGiven(const std::string& text) {
    return text.empty() ? std::string(kNotGivenText) : text;
}

ListRowContent rowOf(const FleetListTables& tables, FleetListKind kind, const FleetEntry& entry) {
    ListRowContent row(kind == FleetListKind::Enemy ? kVonColumn + 1 : kVonColumn);
    // A code outside the tables (which the list server should never send) shows as its
    // number on the default colours, so that the row is still there to be seen and changed.
    if (const HelpStatus* help = tables.help.find(kind, entry.Hilfe)) {
        row[kHelpColumn] = {help->name, help->background, std::nullopt};
    } else {
        row[kHelpColumn] = {text::decimalText(entry.Hilfe)};
    }
    row[kNameColumn] = {entry.Name};
    row[2] = optionalCell(textOrNotGiven(entry.Allianz));
    row[3] = {entry.Basis};
    row[4] = optionalCell(pointsCellText(entry.Punkte));
    row[5] = {text::decimalText(entry.Schiffe)};
    if (const Mission* mission = tables.missions.find(entry.Modus)) {
        row[kMissionColumn] = {mission->text, mission->background, std::nullopt};
    } else {
        row[kMissionColumn] = {text::decimalText(entry.Modus)};
    }
    row[kTargetNameColumn] = {entry.ZielName};
    row[8] = optionalCell(textOrNotGiven(entry.ZielAllianz));
    row[9] = {entry.ZielBasis};
    row[10] = optionalCell(pointsCellText(entry.ZielPunkte));
    row[kUpdateTimeColumn] = {text::formatDate("%hh:%ii:%ss", entry.UpdateZeit)};
    if (kind == FleetListKind::Enemy) {
        row[kVonColumn] = {entry.Von};
        if (latin1Lower(entry.Von) != latin1Lower(entry.ZielName)) {
            row[kVonColumn].background = kWarningBackground;
        }
    }
    return row;
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
    std::vector<ListRowContent> rows;
    rows.reserve(entries.size());
    for (const FleetEntry& entry : entries) {
        rows.push_back(rowOf(tables, kind, entry));
    }
    // The countdown cells go into the new rows before they are shown, as a rewrite of rows
    // with default colours would leave them.
    for (const platform::ListCellChange& change :
         countdownCellChanges(entries, static_cast<int>(rows.size()), localNow)) {
        ListCellContent& cell =
            rows[static_cast<std::size_t>(change.row)][static_cast<std::size_t>(change.column)];
        cell.text = change.text;
        if (change.setColors) {
            cell.background = change.background;
            cell.textColor = change.textColor;
        }
    }
    ui.setListRows(listView, std::move(rows));
}

} // namespace reef::fleetlists
