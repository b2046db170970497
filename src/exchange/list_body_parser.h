#pragma once
// A download's list body as it arrives block by block: records are parsed as soon as their
// fifteenth "|>" is there, and only the unparsed tail is kept, so the work stays linear in the
// body however it is cut into blocks.

#include "fleetlists/fleet_entry.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace reef::exchange {

class ListBodyParser {
  public:
    // localNow: the moment against which arrivals are settled.
    ListBodyParser(fleetlists::FleetListKind kind, std::int64_t localNow);

    // Appends the bytes (after the list marker) to the unparsed text.
    void append(std::string_view bytes);
    // True when the unparsed text ends with the end marker, which is then removed.
    bool takeEndMarker();
    // Turns every whole record at the front of the unparsed text into a row.
    void parseWholeRecords();

    const std::vector<fleetlists::FleetEntry>& rows() const { return rows_; }
    std::vector<fleetlists::FleetEntry> takeRows() { return std::move(rows_); }

  private:
    fleetlists::FleetListKind kind_;
    std::int64_t localNow_;
    std::string text_;          // parsed bytes in front of start_ are dropped now and then
    std::size_t start_ = 0;     // where the unparsed text begins
    std::size_t countedTo_ = 0; // "|>" starting before this position have been counted
    std::size_t closers_ = 0;   // "|>" counted in the unparsed text
    std::vector<fleetlists::FleetEntry> rows_;
};

} // namespace reef::exchange
