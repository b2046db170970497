#pragma once
// The four cells of a list row that change while the list stands still: ticks to the target
// and back home, and the two clock times.

#include "fleetlists/fleet_entry.h"
#include "platform/platform.h"

#include <cstdint>
#include <vector>

namespace reef::fleetlists {

inline constexpr int kImpactTicksColumn = 11;
inline constexpr int kImpactTimeColumn = 12;
inline constexpr int kReturnTicksColumn = 13;
inline constexpr int kReturnTimeColumn = 14;

// The countdown cells of the first `rows` entries as of localNow, row i showing entries[i].
// A cell whose countdown is more than one tick away keeps the colours it has (no colours in
// its change); the rows are built with default colours, and ZielZeit of a shown row does not
// change until the rows are rebuilt.
std::vector<platform::ListCellChange> countdownCellChanges(const std::vector<FleetEntry>& entries,
                                                           int rows, std::int64_t localNow);

// Rewrites the countdown cells of the rows the view holds, all in one change of the view.
void writeCountdownCells(platform::Platform& ui, platform::ControlId listView,
                         const std::vector<FleetEntry>& entries, std::int64_t localNow);

} // namespace reef::fleetlists
