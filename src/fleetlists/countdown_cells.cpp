#include "fleetlists/countdown_cells.h"

#include "fleetlists/countdown_text.h"

#include <algorithm>
#include <optional>

namespace reef::fleetlists {

namespace {

void writeCountdown(platform::Platform& ui, platform::ControlId listView, int row, int ticksColumn,
                    int timeColumn, std::int32_t time, std::int64_t localNow) {
    const CountdownText shown = countdownText(time, localNow);
    ui.setListCell(listView, row, ticksColumn, shown.ticks);
    if (shown.ticksBackground || shown.textColor) {
        ui.setListCellColors(listView, row, ticksColumn, shown.ticksBackground, shown.textColor);
    }
    ui.setListCell(listView, row, timeColumn, shown.time);
    if (shown.textColor) {
        ui.setListCellColors(listView, row, timeColumn, std::nullopt, shown.textColor);
    }
}

} // namespace

void writeCountdownCells(platform::Platform& ui, platform::ControlId listView,
                         const std::vector<FleetEntry>& entries, std::int64_t localNow) {
    // Only rows that exist: a list and its view can differ in length while a download
    // replaces the list.
    const int rows = std::min(ui.listRowCount(listView), static_cast<int>(entries.size()));
    for (int row = 0; row < rows; ++row) {
        const FleetEntry& entry = entries[static_cast<std::size_t>(row)];
        writeCountdown(ui, listView, row, kImpactTicksColumn, kImpactTimeColumn, entry.ZielZeit,
                       localNow);
        writeCountdown(ui, listView, row, kReturnTicksColumn, kReturnTimeColumn, entry.BasisZeit,
                       localNow);
    }
}

} // namespace reef::fleetlists
