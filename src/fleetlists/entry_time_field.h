#pragma once
// The two clock-time fields of the entry dialogs ("am Ziel" and "Rückkehr"): what they show
// once the player leaves them, and the tick countdown in the grey label behind them.

#include <cstdint>
#include <string>
#include <string_view>

namespace reef::fleetlists {

// The time typed as hours and minutes, moved down onto the tick grid and written "hh:mm".
// Text that is no clock time counts as midnight, and an empty field becomes 00:00.
std::string snappedTimeText(std::string_view text);

// The ticks from now until the field's time on the tick grid; "abg." once it has passed.
std::string tickLabelText(std::string_view text, std::int64_t localNow);

} // namespace reef::fleetlists
