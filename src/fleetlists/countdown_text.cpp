#include "fleetlists/countdown_text.h"

#include "fleetlists/catalogue.h"
#include "fleetlists/ticks.h"
#include "text/date_text.h"
#include "text/integer_text.h"

namespace reef::fleetlists {

CountdownText countdownText(std::int32_t time, std::int64_t localNow) {
    if (!isTimeOfDay(time)) {
        return {.ticks = "n/a",
                .time = "n/a",
                .ticksBackground = std::nullopt,
                .textColor = kNotGivenTextColor};
    }
    CountdownText shown;
    shown.time = text::formatDate("%hh:%ii:00", time);
    const int ticks = ticksUntil(time, localNow);
    if (ticks < 0) {
        shown.ticks = "abgelaufen";
        shown.ticksBackground = kWhite;
    } else {
        shown.ticks = text::decimalText(ticks);
        if (ticks <= 1) {
            shown.ticksBackground = kWarningBackground;
        }
    }
    return shown;
}

} // namespace reef::fleetlists
