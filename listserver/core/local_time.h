#pragma once
// The server's wall clock: seconds since 1970 of the local time without zone shift, the form
// in which the desktop program expects the time of an entry's last change.

#include <cstdint>
#include <string>

namespace reef::listserver {

// Makes the named zone ("Europe/Berlin", "UTC") the one localWallSeconds uses. Returns an
// error text when there is no such zone. Call before any thread starts.
std::string useTimeZone(const std::string& zone);

std::int64_t localWallSeconds(std::int64_t utcSeconds);

// The time of day (0..86399) of a wall-clock time, also before 1970.
std::int32_t secondsOfDay(std::int64_t wallSeconds);

} // namespace reef::listserver
