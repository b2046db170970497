#include "calc/attack_limits.h"

#include "text/integer_text.h"

#include <string>

namespace reef::calc {

namespace {

// Signed overflow is undefined; the product is taken unsigned and converted back, which
// wraps modulo 2^64.
std::int64_t wrappingProduct(std::int64_t value, std::uint64_t factor) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(value) * factor);
}

} // namespace

std::int64_t pointsValue(std::string_view text) {
    std::string digits;
    digits.reserve(text.size());
    for (const char c : text) {
        if (c != '.') {
            digits.push_back(c);
        }
    }
    return text::int64Value(digits);
}

std::int64_t upperAttackLimit(std::int64_t points) {
    return wrappingProduct(points, 100) / 60;
}

std::int64_t lowerAttackLimit(std::int64_t points) {
    return wrappingProduct(points, 60) / 100;
}

} // namespace reef::calc
