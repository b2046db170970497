#pragma once
// The fixed tables that give a FleetEntry's codes their texts and colours. Built once at
// start-up and never changed afterwards.

#include "fleetlists/fleet_entry.h"
#include "platform/handles.h"

#include <array>
#include <string>

namespace reef::fleetlists {

inline constexpr int kHelpCodeCount = 6;
inline constexpr int kMissionCount = 3;

// The code a settled help request gets: an empty help cell.
inline constexpr int kHelpSettled = 5;

// Colours the lists use besides those of the tables.
inline constexpr platform::Color kNotGivenTextColor = platform::rgb(103, 2, 0);
inline constexpr platform::Color kWarningBackground = platform::rgb(255, 204, 0);
inline constexpr platform::Color kWhite = platform::rgb(255, 255, 255);

struct HelpStatus {
    std::string name; // the text of the help cell
    platform::Color background;
    // Joined to a player name without a separator: it brings its own leading blank, or the
    // "s" of the German genitive.
    std::string description;
};

struct HelpStatusCatalogue {
    std::array<std::array<HelpStatus, kHelpCodeCount>, kFleetListKindCount> statuses;

    // Nothing for a code outside 0..5, which the list server is not expected to send.
    const HelpStatus* find(FleetListKind kind, int code) const;
};

struct Mission {
    std::string text;
    platform::Color background;
};

struct MissionTable {
    std::array<Mission, kMissionCount> missions;

    // Nothing for a code outside 0..2.
    const Mission* find(int modus) const;
};

struct FleetListTables {
    HelpStatusCatalogue help;
    MissionTable missions;
};

FleetListTables buildFleetListTables();

} // namespace reef::fleetlists
