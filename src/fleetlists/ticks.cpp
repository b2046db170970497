#include "fleetlists/ticks.h"

#include "text/date_text.h"

namespace reef::fleetlists {

namespace {

using text::kDaySeconds;
using text::kTickSeconds;
using text::kTicksPerDay;

// Window behind now within which a time of the same day is taken as past, and the reach
// ahead beyond which a morning reading takes a time as yesterday's.
constexpr std::int64_t kPastWindow = 14 * 3600;
constexpr std::int64_t kFutureReach = 10 * 3600;
constexpr std::int64_t kLastMorningSecond = kPastWindow - 1;

} // namespace

std::int32_t secondOfDay(std::int64_t localNow) {
    const std::int64_t rest = localNow % kDaySeconds;
    return static_cast<std::int32_t>(rest < 0 ? rest + kDaySeconds : rest);
}

int ticksUntil(std::int32_t t, std::int64_t localNow) {
    if (!isTimeOfDay(t)) {
        return -1;
    }
    const std::int64_t now = secondOfDay(localNow);
    const std::int64_t time = t;
    // Both comparisons strict: exactly one tick or exactly 14 hours back is not yet past.
    const bool earlierToday = now - kPastWindow < time && time < now - kTickSeconds;
    const bool yesterday = now <= kLastMorningSecond && time > now + kFutureReach;
    if (earlierToday || yesterday) {
        return -1;
    }
    std::int64_t ticks = time / kTickSeconds - now / kTickSeconds;
    if (ticks < 0) {
        ticks += kTicksPerDay;
    }
    return static_cast<int>(ticks);
}

int returnOrderKey(std::int32_t t, std::int64_t localNow) {
    return isTimeOfDay(t) ? ticksUntil(t, localNow) + 1 : kReturnOrderKeys - 1;
}

std::int32_t snapToTick(std::int32_t t) {
    return static_cast<std::int32_t>(t / kTickSeconds * kTickSeconds);
}

} // namespace reef::fleetlists
