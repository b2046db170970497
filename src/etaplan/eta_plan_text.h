#pragma once
// The ETA plan: a timetable that tells every player, by the travel time of his fleet in
// ticks, in which 20-minute window to send it so that all fleets arrive together.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace reef::etaplan {

// The five texts of the ETA plan window, used exactly as entered.
struct EtaPlanFields {
    std::string target;       // "Ziel:"
    std::string coordinators; // "Koordinator:"
    std::string participants; // "Teilnehmer:"
    std::string channel;      // "Channel:"
    std::string attackTime;   // "Angriffszeit:", e.g. "02:00" or "0200"
};

inline constexpr std::size_t kEtaPlanLineCount = 27;

// The 27 lines of the plan for the fields and the local date-time `now` (seconds since
// 1970-01-01 00:00 of the local wall clock). Every clock time wraps at midnight.
std::vector<std::string> buildEtaPlan(const EtaPlanFields& fields, std::int64_t now);

// The lines joined by CR LF, without a line break after the last one.
std::string joinPlanLines(const std::vector<std::string>& lines);

// The attack time brought down to the start of its 20-minute tick, as hours and minutes of
// two digits each with the user's separator kept between them ("14:35" gives "14:20",
// "2:00" gives "0200").
std::string normalizeAttackTime(std::string_view text);

} // namespace reef::etaplan
