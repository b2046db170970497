#include "fleetlists/column_widths.h"

namespace reef::fleetlists {

ColumnWidths readColumnWidths(platform::Platform& ui, platform::ControlId listView,
                              FleetListKind kind, ColumnWidths widths) {
    for (int column = 0; column < columnCount(kind); ++column) {
        // Conversion to a narrower signed type is modular since C++20.
        widths[static_cast<std::size_t>(column)] =
            static_cast<std::int16_t>(ui.listColumnWidth(listView, column));
    }
    return widths;
}

} // namespace reef::fleetlists
