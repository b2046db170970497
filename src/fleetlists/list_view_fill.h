#pragma once
// The rows of a list view built from a list's entries: texts, colours and countdowns.

#include "fleetlists/catalogue.h"
#include "fleetlists/fleet_entry.h"
#include "platform/platform.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace reef::fleetlists {

inline constexpr int kHelpColumn = 0;
inline constexpr int kNameColumn = 1;
inline constexpr int kMissionColumn = 6;
inline constexpr int kTargetNameColumn = 7;
inline constexpr int kUpdateTimeColumn = 15;
inline constexpr int kVonColumn = 16;

inline constexpr const char* kNotGivenText = "n/a";

// Points as the list shows them: grouped by "." in threes, "n/a" for 0 (not given).
std::string pointsCellText(std::int64_t points);

// ASCII and Latin-1 capitals (0xC0 to 0xDE) lower-cased, as the enemy list compares who
// entered a row with its target.
std::string latin1Lower(std::string_view text);

// Clears the view and adds one row per entry, in order, with every cell and colour; then the
// countdown cells as of localNow.
void fillListView(platform::Platform& ui, platform::ControlId listView,
                  const FleetListTables& tables, FleetListKind kind,
                  const std::vector<FleetEntry>& entries, std::int64_t localNow);

} // namespace reef::fleetlists
