#include "fleetlists/entry_time_field.h"

#include "fleetlists/ticks.h"
#include "text/date_text.h"
#include "text/integer_text.h"

namespace reef::fleetlists {

namespace {

// Invalid text gives -1, which the snapping turns into midnight.
std::int32_t snappedSeconds(std::string_view text) {
    return snapToTick(text::parseClockTime(text));
}

} // namespace

std::string snappedTimeText(std::string_view text) {
    return text::formatDate("%hh:%ii", snappedSeconds(text));
}

std::string tickLabelText(std::string_view text, std::int64_t localNow) {
    const int ticks = ticksUntil(snappedSeconds(text), localNow);
    return ticks < 0 ? std::string("abg.") : text::decimalText(ticks);
}

} // namespace reef::fleetlists
