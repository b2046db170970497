#pragma once
// The only tick arithmetic of the fleet lists: countdowns of 20-minute ticks to clock times
// that carry no date. "now" is the local wall-clock date-time (Clock::localNow), passed in so
// that every caller decides which reading of the clock a whole pass uses.

#include <cstdint>

namespace reef::fleetlists {

// Seconds since midnight of a local date-time.
std::int32_t secondOfDay(std::int64_t localNow);

// Tick boundaries from now to the clock time t (seconds since midnight), 0..71; -1 when t
// counts as past. A time counts as future from 20 minutes before now to 10 hours 20 minutes
// after it, across midnight.
int ticksUntil(std::int32_t t, std::int64_t localNow);

// t truncated toward zero to a multiple of a tick.
std::int32_t snapToTick(std::int32_t t);

} // namespace reef::fleetlists
