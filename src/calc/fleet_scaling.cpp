#include "calc/fleet_scaling.h"

#include "text/integer_text.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace reef::calc {

namespace {

// Rounds a double to single precision the way the hardware does, without the undefined
// conversion of a value beyond the float range.
float toSingle(double value) {
    constexpr double kFloatMax = std::numeric_limits<float>::max();
    // Halfway between the largest float and the next power of two: from here on the
    // rounding goes to infinity.
    constexpr double kOverflow = kFloatMax + 0x1p103;
    if (std::isnan(value)) {
        return std::numeric_limits<float>::quiet_NaN();
    }
    const double magnitude = std::fabs(value);
    if (magnitude >= kOverflow) {
        return value > 0 ? std::numeric_limits<float>::infinity()
                         : -std::numeric_limits<float>::infinity();
    }
    if (magnitude > kFloatMax) {
        return value > 0 ? std::numeric_limits<float>::max() : -std::numeric_limits<float>::max();
    }
    return static_cast<float>(value);
}

} // namespace

float floatValue(std::string_view text) {
    const std::string terminated(text);
    return toSingle(std::strtod(terminated.c_str(), nullptr));
}

std::int32_t nearestInt32(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    // The default rounding mode rounds halves to the even neighbour.
    const double rounded = std::nearbyint(value);
    if (rounded >= 2147483648.0) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (rounded < -2147483648.0) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(rounded);
}

void sumRow(FleetRowTexts& row) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < kTotalColumn; ++i) {
        sum += static_cast<std::uint32_t>(text::intValue(row[i]));
    }
    row[kTotalColumn] = text::decimalText(static_cast<std::int32_t>(sum));
}

void scaleHaben(const FleetRowTexts& soll, FleetRowTexts& haben, std::size_t column) {
    if (column >= kFleetColumns || text::intValue(soll[column]) == 0) {
        return;
    }
    const double divisor = floatValue(soll[column]);
    // Only pasted text such as "1e-50" reads as a non-zero integer and a zero float; it is
    // treated like a zero SOLL field rather than dividing by zero.
    if (divisor == 0.0) {
        return;
    }
    const double have = floatValue(haben[column]);
    for (std::size_t i = 0; i < kTotalColumn; ++i) {
        if (i == column) {
            continue;
        }
        const double wanted = floatValue(soll[i]);
        const double scaled = wanted / divisor * have;
        haben[i] = text::decimalText(nearestInt32(scaled));
    }
}

} // namespace reef::calc
