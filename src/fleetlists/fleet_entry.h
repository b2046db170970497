#pragma once
// One row of a fleet list. The field names are the list server's query keys, so that the
// download, the submission and the cache file can be read side by side with the wire format.

#include <cstdint>
#include <string>

namespace reef::fleetlists {

// Indexes every per-list table, window, worker and file.
enum class FleetListKind { Allied = 0, Enemy = 1 };

inline constexpr int kFleetListKindCount = 2;

constexpr int indexOf(FleetListKind kind) {
    return static_cast<int>(kind);
}

// A clock time that was not given (only ZielZeit may be unknown).
inline constexpr std::int32_t kNoTime = -1;

struct FleetEntry {
    std::int8_t Hilfe = 0; // help/status code 0..5, see HelpStatusCatalogue
    std::string Name;
    std::string Allianz; // may be empty
    std::string Basis;
    std::int64_t Punkte = 0; // 0: not given
    std::int32_t Schiffe = 0;
    std::int32_t Modus = 0; // mission 0..2, see MissionTable
    std::string ZielName;
    std::string ZielAllianz; // may be empty
    std::string ZielBasis;
    std::int64_t ZielPunkte = 0; // 0: not given
    std::int32_t ZielZeit = 0;   // seconds since midnight, or kNoTime
    std::int32_t BasisZeit = 0;  // seconds since midnight
    std::int32_t UpdateZeit = 0; // seconds, as the list server sends it
    std::string Von;             // who entered the row; shown in the enemy list only

    bool operator==(const FleetEntry&) const = default;
};

} // namespace reef::fleetlists
