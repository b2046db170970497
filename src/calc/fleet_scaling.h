#pragma once
// The arithmetic of the fleet distribution window over the texts of one row of fields:
// the six ship classes and their total.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace reef::calc {

inline constexpr std::size_t kFleetColumns = 7;
inline constexpr std::size_t kTotalColumn = 6; // "Gesamt"

// Texts of one row, indexed by column.
using FleetRowTexts = std::array<std::string, kFleetColumns>;

// The text read like atof (leading white space, sign, decimal or exponent form, the rest
// ignored; 0 when nothing can be read), rounded to single precision.
float floatValue(std::string_view text);

// The nearest 32-bit integer, halves to the even neighbour. Values beyond the 32-bit range
// give its nearest end; a value that is not a number gives 0.
std::int32_t nearestInt32(double value);

// Writes the 32-bit wrapping sum of the integer values of columns 0-5 into column 6.
void sumRow(FleetRowTexts& row);

// Rewrites the HABEN class columns other than `column` (0-6) in the proportions of SOLL,
// scaled to HABEN[column]. Leaves everything unchanged when SOLL[column] reads as 0, as an
// integer or as a floating value. Never writes the total.
void scaleHaben(const FleetRowTexts& soll, FleetRowTexts& haben, std::size_t column);

} // namespace reef::calc
