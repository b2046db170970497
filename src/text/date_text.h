#pragma once
// Dates are seconds since 1970-01-01 00:00 of the local wall clock, without any zone shift.

#include <cstdint>
#include <string>
#include <string_view>

namespace reef::text {

inline constexpr std::int64_t kTickSeconds = 1200;
inline constexpr std::int64_t kTicksPerDay = 72;
inline constexpr std::int64_t kDaySeconds = 86400;

// Replaces %yyyy, %yy, %mm, %dd, %hh, %ii and %ss (any letter case) in the mask; copies
// everything else, a lone "%" included. A negative value shows 00 in the time, day and
// month fields.
std::string formatDate(std::string_view mask, std::int64_t date);

// Reads "%hh:%ii": one or two hour digits, any one separator character, one or two minute
// digits, the rest ignored. Seconds since midnight; -1 for hours over 23, minutes over 59 or
// text of another shape; 0 for empty text.
std::int32_t parseClockTime(std::string_view text);

} // namespace reef::text
