#pragma once
// The binary cache file of a fleet list: it carries the list, its auto-update interval, the
// list password and the column widths from one run to the next.

#include "fleetlists/column_widths.h"
#include "fleetlists/fleet_entry.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace reef::fleetlists {

// "tblFrend.dat" or "tblEnemy.dat", in the working directory.
std::string listCacheFileName(FleetListKind kind);

// What the file holds, and what loading it updates. The password and the widths are shared by
// both lists; the caller passes in the values it holds and takes back the result.
struct ListCacheData {
    std::int32_t interval = 0; // minutes, 0: off
    std::string password;
    ColumnWidths widths = kDefaultColumnWidths;
    std::vector<FleetEntry> rows;
};

// Applies the file's bytes to `state`: the interval always, the password only when `state`
// has none, the kind's widths (a header cut short keeps the defaults for the widths it lacks,
// rather than hiding columns at width 0, and a negative width gives the column's default),
// the records only when `state` has no rows. A record cut off by the end of the file stays,
// its missing fields zero or empty.
void decodeListCache(FleetListKind kind, std::string_view bytes, ListCacheData& state);

// The file's bytes: the kind's 16 or 17 widths, and every row with Von in both kinds.
std::string encodeListCache(FleetListKind kind, const ListCacheData& data);

// Reads the file at `path` into `state` as decodeListCache does. When it is missing or cannot
// be read, every width becomes its default and the rest of `state` stays; returns false then.
bool loadListCache(FleetListKind kind, const std::string& path, ListCacheData& state);

// Replaces the file at `path` whole. False when it cannot be written; the list window does
// not report that.
bool saveListCache(FleetListKind kind, const std::string& path, const ListCacheData& data);

} // namespace reef::fleetlists
