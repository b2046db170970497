#pragma once
// The point band within which a player may attack, from his own points.

#include <cstdint>
#include <string_view>

namespace reef::calc {

// The points of a text: every "." removed, then read as a 64-bit integer that wraps.
std::int64_t pointsValue(std::string_view text);

// points × 100 / 60, the product wrapping at 64 bits, the quotient truncated toward zero.
std::int64_t upperAttackLimit(std::int64_t points);

// points × 60 / 100, likewise.
std::int64_t lowerAttackLimit(std::int64_t points);

} // namespace reef::calc
