#pragma once
// Rows of a downloaded list: one record of fifteen values into a FleetEntry, and the display
// order by the ticks left until each fleet is back.

#include "fleetlists/fleet_entry.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace reef::exchange {

// Reads the first record of the text into a new entry at the end of the list and returns the
// text after the record's fifteenth "|>". Texts keep their bytes, except that CR, LF and NUL
// become blanks (a row is one line); numbers are read as integer values of a text; an empty
// ZielZeit gives kNoTime, any other settles the help code once the fleet has arrived
// (applyArrival at localNow). A text without a whole record adds nothing and is returned as
// it is.
std::string_view parseFleetRecord(fleetlists::FleetListKind kind,
                                  std::vector<fleetlists::FleetEntry>& list, std::string_view text,
                                  std::int64_t localNow);

// Ascending by ticksUntil(BasisZeit), in exactly the order a selection sort gives that takes,
// for each position in turn, the first entry with the fewest ticks from there on and swaps it
// in; ties therefore do not keep their order. A BasisZeit that is no time of the day sorts
// after every other (returnOrderKey). O(n log n).
void sortByReturnTicks(std::vector<fleetlists::FleetEntry>& list, std::int64_t localNow);

} // namespace reef::exchange
