#include "fleetlists/countdown_cells.h"

#include "fleetlists/catalogue.h"
#include "fleetlists/countdown_text.h"

#include <algorithm>
#include <optional>

namespace reef::fleetlists {

namespace {

using platform::ListCellChange;

void addCountdown(std::vector<ListCellChange>& changes, int row, int ticksColumn, int timeColumn,
                  std::int32_t time, std::int64_t localNow) {
    const CountdownText shown = countdownText(time, localNow);
    changes.push_back({row, ticksColumn, shown.ticks,
                       shown.ticksBackground.has_value() || shown.textColor.has_value(),
                       shown.ticksBackground, shown.textColor});
    changes.push_back(
        {row, timeColumn, shown.time, shown.textColor.has_value(), std::nullopt, shown.textColor});
}

} // namespace

std::vector<ListCellChange> countdownCellChanges(const std::vector<FleetEntry>& entries, int rows,
                                                 std::int64_t localNow) {
    const int count = std::clamp(rows, 0, static_cast<int>(entries.size()));
    std::vector<ListCellChange> changes;
    changes.reserve(static_cast<std::size_t>(count) * 4);
    for (int row = 0; row < count; ++row) {
        const FleetEntry& entry = entries[static_cast<std::size_t>(row)];
        addCountdown(changes, row, kImpactTicksColumn, kImpactTimeColumn, entry.ZielZeit,
                     localNow);
        addCountdown(changes, row, kReturnTicksColumn, kReturnTimeColumn, entry.BasisZeit,
                     localNow);
    }
    return changes;
}

void writeCountdownCells(platform::Platform& ui, platform::ControlId listView,
                         const std::vector<FleetEntry>& entries, std::int64_t localNow) {
    // Only rows that exist: a list and its view can differ in length while a download
    // replaces the list.
    ui.changeListCells(listView,
                       countdownCellChanges(entries, ui.listRowCount(listView), localNow));
}

} // namespace reef::fleetlists
