#pragma once
// The sentence a list window shows under the list for the clicked row.

#include "fleetlists/catalogue.h"
#include "fleetlists/fleet_entry.h"

#include <string>
#include <string_view>

namespace reef::fleetlists {

// Allied: Name and the code's sentence. Enemy: ZielName and the code's sentence, followed by
// who entered the row when that is someone else (exact comparison). Empty for a code the
// catalogue does not know.
std::string helpDescription(const HelpStatusCatalogue& catalogue, FleetListKind kind, int code,
                            const FleetEntry& entry);

// The code whose name equals the text of a help cell, the first in code order; the empty text
// is code 5. -1 when no name matches.
int helpCodeOfName(const HelpStatusCatalogue& catalogue, FleetListKind kind, std::string_view name);

} // namespace reef::fleetlists
