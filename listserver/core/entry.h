#pragma once
// One fleet entry as the list server keeps it, the checks of the values a submission brings,
// and the record form in which a download returns it.

#include "listserver/core/query.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace reef::listserver {

enum class ListKind { Allied = 0, Enemy = 1 };

// "Reef_Frend" or "Reef_Enemy"; anything else gives nothing.
std::optional<ListKind> listKindOf(std::string_view identifier);

// Texts are kept as the bytes that arrived (Windows-1252 from the desktop program).
struct FleetEntry {
    int Hilfe = 0;
    std::string Name;
    std::string Allianz;
    std::string Basis;
    std::int64_t Punkte = 0;
    std::int32_t Schiffe = 0;
    int Modus = 0;
    std::string ZielName;
    std::string ZielAllianz;
    std::string ZielBasis;
    std::int64_t ZielPunkte = 0;
    std::string Von;
    std::optional<std::int32_t> ZielZeit; // not given when empty
    std::int32_t BasisZeit = 0;
    // Local time of day of the last change (0..86399): the desktop program shows only that and
    // keeps 32 bits, so seconds since 1970 would read as midnight after 2038.
    std::int64_t UpdateZeit = 0;

    bool operator==(const FleetEntry&) const = default;
};

// The values a new entry or a change brings; a key the request left out is not engaged.
struct EntryPatch {
    std::optional<int> Hilfe;
    std::optional<std::string> Name;
    std::optional<std::string> Allianz;
    std::optional<std::string> Basis;
    std::optional<std::int64_t> Punkte;
    std::optional<std::int32_t> Schiffe;
    std::optional<int> Modus;
    std::optional<std::string> ZielName;
    std::optional<std::string> ZielAllianz;
    std::optional<std::string> ZielBasis;
    std::optional<std::int64_t> ZielPunkte;
    std::optional<std::string> Von;
    std::optional<std::optional<std::int32_t>> ZielZeit; // engaged-but-empty clears it
    std::optional<std::int32_t> BasisZeit;

    // The patch applied over an entry (a new entry starts from the default FleetEntry).
    FleetEntry appliedTo(FleetEntry entry) const;
    // What a change stores in place of `stored`: the entry as the change gives it, so that a
    // target time the change leaves out (the desktop program leaves out an empty one) is gone.
    // Only the help code is kept when left out: the dialog sends none while nothing is
    // selected in its list.
    FleetEntry replacing(const FleetEntry& stored) const;
};

// Which entry a change replaces: the stored name's length ("IDW", the desktop program knows
// only that) and the stored return time ("BasisZeitW").
struct ChangeKey {
    std::int64_t nameLength = 0;
    std::int32_t basisZeit = 0;
    // Clients that know the entries by their number (the browser page) name the entry itself;
    // then nameLength and basisZeit play no part.
    std::optional<std::int64_t> entryId;
};

// Why a submission was refused; the desktop program's answer is "false" in every case, the
// reason goes to the log. The browser page tells its member which field was refused and why.
struct Rejection {
    enum class Fault {
        Other,
        Missing,    // a required value is missing or empty
        TooLong,    // over kMaxValueBytes
        Marker,     // would break a download's records (field or end marker)
        Control,    // a control character
        NotNumber,  // digits expected
        OutOfRange, // a code or a clock time outside its range
    };
    std::string reason;
    std::string field; // the key of the refused value; empty when it is none in particular
    Fault fault = Fault::Other;
};

// Reads the entry keys of a "New" or "Change" request and checks every value.
std::variant<EntryPatch, Rejection> readEntryPatch(const QueryValues& query, ListKind kind);
std::variant<ChangeKey, Rejection> readChangeKey(const QueryValues& query);

inline constexpr std::size_t kMaxValueBytes = 100;
inline constexpr std::int32_t kLastSecondOfDay = 86399;

// Of the stored entries that match a change's key, the one to replace: the only one, or the
// only one among several that already has the new name. Nothing when that is not clear, so
// that no wrong entry is ever overwritten.
std::optional<std::size_t> pickEntryToChange(const std::vector<FleetEntry>& candidates,
                                             std::string_view newName);

// Download answer body: "|>Update<|", one record of 15 "<|value|>" fields per entry, then
// "<>end|<>" as the very last bytes.
void appendRecord(std::string& body, const FleetEntry& entry);
std::string listBody(const std::vector<FleetEntry>& entries);

} // namespace reef::listserver
