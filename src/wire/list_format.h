#pragma once
// The list format of the list server exchange, shared by the program and reef-listserver so
// that what one writes the other reads back as the same values.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace reef::wire {

// The script every request goes to, and the operations of "Info3".
inline constexpr std::string_view kScriptPath = "/Reef-Update.php";
inline constexpr std::string_view kOperationUpdate = "Update";
inline constexpr std::string_view kOperationNew = "New";
inline constexpr std::string_view kOperationChange = "Change";

// "Info2", indexed by the list kind (allied 0, enemy 1).
inline constexpr int kListCount = 2;
inline constexpr std::array<std::string_view, kListCount> kListIdentifiers = {"Reef_Frend",
                                                                              "Reef_Enemy"};

// The identifier of the list with that kind index; empty for an index outside 0..1.
std::string_view listIdentifier(int kindIndex);
// The kind index of an identifier; nothing for any other text.
std::optional<int> kindIndexOf(std::string_view identifier);

// A list body: the marker, the records, then the end marker as its very last bytes.
inline constexpr std::string_view kListMarker = "|>Update<|";
inline constexpr std::string_view kEndMarker = "<>end|<>";
inline constexpr std::string_view kValueOpen = "<|";
inline constexpr std::string_view kValueClose = "|>";

// The fields of a record in wire order (not the order of the cache files).
enum class WireField {
    Hilfe,
    Name,
    Allianz,
    Basis,
    Punkte,
    Schiffe,
    Modus,
    ZielName,
    ZielAllianz,
    ZielBasis,
    ZielPunkte,
    Von,
    ZielZeit,
    BasisZeit,
    UpdateZeit
};
inline constexpr std::size_t kRecordFieldCount = 15;

constexpr std::size_t fieldIndex(WireField field) {
    return static_cast<std::size_t>(field);
}

// The query keys, in wire order.
inline constexpr std::array<std::string_view, kRecordFieldCount> kFieldNames = {
    "Hilfe",      "Name",  "Allianz",  "Basis",       "Punkte",
    "Schiffe",    "Modus", "ZielName", "ZielAllianz", "ZielBasis",
    "ZielPunkte", "Von",   "ZielZeit", "BasisZeit",   "UpdateZeit"};

// The values of one record as texts, in wire order.
using RecordValues = std::array<std::string_view, kRecordFieldCount>;

// "<|" value "|>".
void appendValue(std::string& out, std::string_view value);
// The fifteen values, each framed.
void appendRecord(std::string& out, const RecordValues& values);

// One record taken from the front of a text. The values point into that text.
struct ScannedRecord {
    RecordValues values;
    std::size_t length = 0; // bytes up to and including the fifteenth "|>"
};

// Reads fifteen values the way the program reads a download: each value ends at the next
// "|>"; it begins after the first "<|" before that, and characters in front of that "<|" are
// skipped; without such a "<|" (or when it overlaps the "|>", as in "<|>") the value is
// empty. So a record is complete exactly when fifteen "|>" have arrived. Nothing when the text
// holds fewer. Time linear in the bytes looked at.
std::optional<ScannedRecord> scanRecord(std::string_view text);

// True when a text value written with appendValue into a list body is read back by the
// program as exactly itself. Values that fail: any containing "|>" (it ends the value early)
// or the end marker (arriving at the end of a block it ends the list), a leading ">" (it
// forms "|>" with the opening "<|"), and CR, LF or NUL (the program reads them as blanks).
bool readsBackAsItself(std::string_view value);

// Answers that replace a whole body.
inline constexpr std::string_view kErrorWrongPassword = "Error1";
inline constexpr std::string_view kErrorNoDatabase = "Error2";
inline constexpr std::string_view kErrorBadQuery = "Error3";
inline constexpr std::string_view kErrorFatal = "Error10";
// What every error word begins with.
inline constexpr std::string_view kErrorPrefix = "Error";
// The first bytes of a submission's answer.
inline constexpr std::string_view kAnswerStored = "ready";
inline constexpr std::string_view kAnswerRefused = "false";

} // namespace reef::wire
