#include "etaplan/eta_plan_text.h"

#include "text/date_text.h"
#include "text/integer_text.h"

namespace reef::etaplan {

namespace {

using text::kTickSeconds;

// The fleets with the longest travel time in the plan need 15 ticks.
constexpr int kLongestEta = 15;
// Reports are due one hour before the longest travel window opens.
constexpr std::int64_t kReportLeadSeconds = 3600;

// Hours come from the first two characters and minutes from the last two, so "0200",
// "02:00" and "02.00" all mean the same; a short text may use the same characters for both.
struct HoursMinutes {
    std::int32_t hours = 0;
    std::int32_t minutes = 0;
};

HoursMinutes splitAttackTime(std::string_view text) {
    const std::string_view first = text.substr(0, 2);
    const std::string_view last = text.size() > 2 ? text.substr(text.size() - 2) : text;
    return {text::intValue(first), text::intValue(last)};
}

std::int64_t secondsOf(HoursMinutes time) {
    return static_cast<std::int64_t>(time.hours) * 3600 +
           static_cast<std::int64_t>(time.minutes) * 60;
}

std::string clockText(std::int64_t seconds) {
    return text::formatDate("%hh:%ii", seconds);
}

std::string twoDigits(int value) {
    std::string out = value < 10 ? "0" : "";
    return out + text::decimalText(value);
}

} // namespace

std::vector<std::string> buildEtaPlan(const EtaPlanFields& fields, std::int64_t now) {
    const std::int64_t arrival = secondsOf(splitAttackTime(fields.attackTime));
    // The window of the longest travel time opens 15 ticks before the arrival; a day is
    // added so that no time of the plan is negative and all of them wrap at midnight.
    const std::int64_t firstStart = arrival - kLongestEta * kTickSeconds + text::kDaySeconds;

    std::vector<std::string> lines;
    lines.reserve(kEtaPlanLineCount);
    lines.push_back("ETA-Plan vom " + text::formatDate("%dd.%mm.%yyyy %hh:%ii", now));
    lines.emplace_back();
    lines.push_back("Ziel: " + fields.target);
    lines.push_back("Koordinator: " + fields.coordinators);
    lines.push_back("Teilnehmende Allianzen: " + fields.participants);
    lines.push_back("Koordinations-Channel: " + fields.channel);
    lines.emplace_back();
    lines.emplace_back();
    for (int eta = kLongestEta; eta >= 1; --eta) {
        const std::int64_t start = firstStart + (kLongestEta - eta) * kTickSeconds;
        lines.push_back("ETA " + twoDigits(eta) + " | " + clockText(start) + " bis " +
                        clockText(start + kTickSeconds - 1));
    }
    lines.push_back("ETA 00 | " + clockText(firstStart + kLongestEta * kTickSeconds) +
                    " -> Eintreffen der Flotten");
    lines.emplace_back();
    lines.emplace_back();
    lines.push_back("Bitte um Interkom bei Teilnahme mit der Angabe über eigene ETA und "
                    "Flottenstärke bis " +
                    clockText(firstStart - kReportLeadSeconds) + " an die Koordinatoren!");
    return lines;
}

std::string joinPlanLines(const std::vector<std::string>& lines) {
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            out += "\r\n";
        }
        out += lines[i];
    }
    return out;
}

std::string normalizeAttackTime(std::string_view text) {
    // Cut toward zero, as a conversion of the quotient in floating point would; a negative
    // time then shows as 00 hours and 00 minutes.
    const std::int64_t tick = secondsOf(splitAttackTime(text)) / kTickSeconds;
    const std::int64_t seconds = tick * kTickSeconds;
    const std::string_view separator =
        text.size() >= 5 ? text.substr(2, text.size() - 4) : std::string_view{};
    // Hours and minutes are formatted apart, so a "%" typed as separator stays as typed.
    return text::formatDate("%hh", seconds) + std::string(separator) +
           text::formatDate("%ii", seconds);
}

} // namespace reef::etaplan
