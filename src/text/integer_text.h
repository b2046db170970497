#pragma once
// Integer values read from and written as text, the way every field of the program does it.

#include <cstdint>
#include <string>
#include <string_view>

namespace reef::text {

// Leading blanks and tabs skipped, one optional sign, decimal digits up to the first other
// character; the sum wraps at 32 bits; no digits give 0.
std::int32_t intValue(std::string_view text);

// As intValue, wrapping at 64 bits.
std::int64_t int64Value(std::string_view text);

// Digits without separators, "-" in front of a negative value.
std::string decimalText(std::int64_t value);

// Groups of three digits from the right joined by "."; "-" before the first group.
std::string groupedText(std::int64_t value);

} // namespace reef::text
