#pragma once
// A new or changed entry as the page (or an alliance's bot) sends it:
// {"list": "Reef_Frend" | "Reef_Enemy", "entry": {...}} with the field names of /api/lists.
// It is read into the values of the desktop program's "New" request, in the forms its
// dialogs send them (texts trimmed, their blanks as "_", Windows-1252; times snapped to the
// tick), so that the list service checks and stores them exactly as the program's.

#include "listserver/core/entry.h"
#include "listserver/core/query.h"

#include <string>
#include <string_view>
#include <variant>

namespace reef::listserver {

// More than the longest entry can take, every character of every field escaped.
inline constexpr std::size_t kMaxEntryBodyBytes = 16 * 1024;

struct EntryBody {
    ListKind list = ListKind::Allied;
    QueryValues values;
};

// Why a body or one of its values is refused, for the member: a German text naming the field.
struct EntryProblem {
    int status = 422;  // 400 when the body is no JSON object at all
    std::string field; // the field name of /api/lists ("list" for the list); may be empty
    std::string message;
};

std::variant<EntryBody, EntryProblem> readEntryBody(std::string_view json);

// What the member reads when the list service refuses a value.
EntryProblem problemOf(const Rejection& rejection);

// The German name of a field, as the entry dialogs label it ("Ziel Name", "Rückkehr").
std::string_view fieldLabel(std::string_view field);

} // namespace reef::listserver
