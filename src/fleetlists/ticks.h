#pragma once
// The only tick arithmetic of the fleet lists: countdowns of 20-minute ticks to clock times
// that carry no date. "now" is the local wall-clock date-time (Clock::localNow), passed in so
// that every caller decides which reading of the clock a whole pass uses.

#include "text/date_text.h"

#include <cstdint>

namespace reef::fleetlists {

// A clock time of the day, 0..86399 seconds. Any other value (a server or a cache file that
// keeps to no format, a date, a count of days) has no countdown and no place among the day's
// ticks.
constexpr bool isTimeOfDay(std::int32_t t) {
    return t >= 0 && t < text::kDaySeconds;
}

// Seconds since midnight of a local date-time.
std::int32_t secondOfDay(std::int64_t localNow);

// Tick boundaries from now to the clock time t (seconds since midnight), 0..71; -1 when t
// counts as past. A time counts as future from 20 minutes before now to 10 hours 20 minutes
// after it, across midnight. A value that is no time of the day gives -1 as well, so that no
// caller ever sees a count outside -1..71; callers that show or order such values ask
// isTimeOfDay first.
int ticksUntil(std::int32_t t, std::int64_t localNow);

// The place of a return time in the display order: ticksUntil + 1 for a time of the day
// (0 for a past one, 1..72 for the day's ticks), and after all of them, 73, for any other
// value. Always below kReturnOrderKeys.
inline constexpr int kReturnOrderKeys = 74;
int returnOrderKey(std::int32_t t, std::int64_t localNow);

// t truncated toward zero to a multiple of a tick.
std::int32_t snapToTick(std::int32_t t);

} // namespace reef::fleetlists
