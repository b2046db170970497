#pragma once
// What the two cells of one countdown show: the ticks left until a clock time, and the time.

#include "platform/handles.h"

#include <cstdint>
#include <optional>
#include <string>

namespace reef::fleetlists {

struct CountdownText {
    std::string ticks; // the ticks in decimal, "abgelaufen", or "n/a"
    std::string time;  // "%hh:%ii:00", or "n/a"
    // Colours to set on the ticks cell; nothing keeps what the cell has.
    std::optional<platform::Color> ticksBackground;
    // Colour to set on the text of both cells; nothing keeps what they have.
    std::optional<platform::Color> textColor;
};

// For a time of the day: its ticks (amber within one tick, "abgelaufen" on white once past)
// and the time. For any other value, kNoTime included: "n/a" in both cells in the colour of
// values not given, so that a time no server should send still leaves its row to be seen.
CountdownText countdownText(std::int32_t time, std::int64_t localNow);

} // namespace reef::fleetlists
