#include "fleetlists/countdown_cells.h"

#include "fleetlists/catalogue.h"
#include "fleetlists/ticks.h"
#include "text/date_text.h"
#include "text/integer_text.h"

#include <algorithm>
#include <optional>

namespace reef::fleetlists {

namespace {

void writeCountdown(platform::Platform& ui, platform::ControlId listView, int row, int ticksColumn,
                    int timeColumn, std::int32_t time, std::int64_t localNow) {
    const int ticks = ticksUntil(time, localNow);
    if (ticks < 0) {
        ui.setListCell(listView, row, ticksColumn, "abgelaufen");
        ui.setListCellColors(listView, row, ticksColumn, kWhite, std::nullopt);
    } else {
        ui.setListCell(listView, row, ticksColumn, text::decimalText(ticks));
        if (ticks <= 1) {
            ui.setListCellColors(listView, row, ticksColumn, kWarningBackground, std::nullopt);
        }
    }
    ui.setListCell(listView, row, timeColumn, text::formatDate("%hh:%ii:00", time));
}

} // namespace

void writeCountdownCells(platform::Platform& ui, platform::ControlId listView,
                         const std::vector<FleetEntry>& entries, std::int64_t localNow) {
    // Only rows that exist: a list and its view can differ in length while a download
    // replaces the list.
    const int rows = std::min(ui.listRowCount(listView), static_cast<int>(entries.size()));
    for (int row = 0; row < rows; ++row) {
        const FleetEntry& entry = entries[static_cast<std::size_t>(row)];
        if (entry.ZielZeit == kNoTime) {
            for (const int column : {kImpactTicksColumn, kImpactTimeColumn}) {
                ui.setListCell(listView, row, column, "n/a");
                ui.setListCellColors(listView, row, column, std::nullopt, kNotGivenTextColor);
            }
        } else {
            writeCountdown(ui, listView, row, kImpactTicksColumn, kImpactTimeColumn, entry.ZielZeit,
                           localNow);
        }
        writeCountdown(ui, listView, row, kReturnTicksColumn, kReturnTimeColumn, entry.BasisZeit,
                       localNow);
    }
}

} // namespace reef::fleetlists
