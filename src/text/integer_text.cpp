#include "text/integer_text.h"

namespace reef::text {

namespace {

// Accumulates in the unsigned type so that overflow wraps instead of being undefined.
template <typename Unsigned> Unsigned unsignedValue(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    Unsigned value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = static_cast<Unsigned>(value * 10u + static_cast<Unsigned>(text[i] - '0'));
    }
    return negative ? static_cast<Unsigned>(0u - value) : value;
}

} // namespace

std::int32_t intValue(std::string_view text) {
    return static_cast<std::int32_t>(unsignedValue<std::uint32_t>(text));
}

std::int64_t int64Value(std::string_view text) {
    return static_cast<std::int64_t>(unsignedValue<std::uint64_t>(text));
}

std::string decimalText(std::int64_t value) {
    return std::to_string(value);
}

std::string groupedText(std::int64_t value) {
    // The magnitude of INT64_MIN does not fit the signed type; take it unsigned.
    const bool negative = value < 0;
    const std::uint64_t magnitude =
        negative ? 0u - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::string digits = std::to_string(magnitude);
    std::string out;
    out.reserve(digits.size() + digits.size() / 3 + 1);
    if (negative) {
        out.push_back('-');
    }
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            out.push_back('.');
        }
        out.push_back(digits[i]);
    }
    return out;
}

} // namespace reef::text
