#pragma once
// "FrendPre.dat": the player's own fleet as last entered in the allied dialog, offered again
// in the next new allied entry; its "Name" is also who makes entries in the enemy list.

#include <optional>
#include <string>

namespace reef::fleetlists {

inline constexpr const char* kOwnFleetFileName = "FrendPre.dat";

struct OwnFleetData {
    std::string Name{};
    std::string Allianz{};
    std::string Basis{};
    std::string Punkte{};
    std::string Schiffe{};

    bool operator==(const OwnFleetData&) const = default;
};

// The saved values, a missing key empty; nothing when the file does not exist.
std::optional<OwnFleetData> loadOwnFleetData();

// The saved "Name"; empty when the file does not exist.
std::string loadOwnName();

// Replaces the file with exactly the five keys, in their order. False when it cannot be
// written.
bool saveOwnFleetData(const OwnFleetData& data);

} // namespace reef::fleetlists
