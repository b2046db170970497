#pragma once
// The column widths both list windows share: 16 columns in the allied list, 17 in the enemy
// list (the extra "Eingetragen von").

#include "fleetlists/fleet_entry.h"
#include "platform/platform.h"

#include <array>
#include <cstdint>

namespace reef::fleetlists {

inline constexpr int kMaxColumnCount = 17;

using ColumnWidths = std::array<std::int16_t, kMaxColumnCount>;

// Used when no cache file exists (column 0 is wider than at creation).
inline constexpr ColumnWidths kDefaultColumnWidths{80, 100, 50, 50, 80,  50,  70, 100, 70,
                                                   60, 80,  74, 74, 104, 104, 90, 95};

constexpr int columnCount(FleetListKind kind) {
    return kind == FleetListKind::Enemy ? 17 : 16;
}

// The current widths of a list view's columns, each cut to 16 bits as the cache file holds
// them; entries beyond the kind's columns keep their values from `widths`.
ColumnWidths readColumnWidths(platform::Platform& ui, platform::ControlId listView,
                              FleetListKind kind, ColumnWidths widths);

} // namespace reef::fleetlists
