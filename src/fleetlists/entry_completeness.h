#pragma once
// Which fields an entry dialog must have before its entry can be sent.

#include "fleetlists/fleet_entry.h"

#include <optional>
#include <string>

namespace reef::fleetlists {

// The dialog's texts that the check looks at.
struct EntryFieldTexts {
    std::string Name;
    std::string Basis;
    std::string Schiffe;
    std::string ZielName;
    std::string ZielBasis;
    std::string BasisZeit; // the "Rückkehr" field
    std::string password;  // the dialog's password field
    std::string Von;       // enemy dialog only
};

// In the order the check tests them.
enum class RequiredField { Name, Basis, Schiffe, ZielName, ZielBasis, BasisZeit, Password, Von };

// The first required field that is empty; Von counts for the enemy list only.
std::optional<RequiredField> firstMissingField(FleetListKind kind, const EntryFieldTexts& fields);

bool isEntryComplete(FleetListKind kind, const EntryFieldTexts& fields);

} // namespace reef::fleetlists
