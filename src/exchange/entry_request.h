#pragma once
// The requests that store a new entry or change one: the dialog's values as query keys, in the
// orders and forms the list server expects.

#include "exchange/list_server_address.h"
#include "fleetlists/entry_submission.h"

#include <string>
#include <string_view>

namespace reef::exchange {

// The text with every character other than "0" to "9" removed.
std::string digitsOnly(std::string_view text);

// The text without leading and trailing blanks (tabs stay).
std::string_view trimBlanks(std::string_view text);

// The value of a time field as sent: parsed "%hh:%ii" as the dialogs do (without its outer
// blanks), snapped to its tick; an empty or invalid text gives 0.
std::int32_t tickTimeValue(std::string_view text);

// "Info3=New". Optional keys (Allianz, Punkte, ZielAllianz, ZielPunkte) only when not empty,
// "&Modus=" after "&Schiffe=", "&Von=" for the enemy list only, "&ZielZeit=" only for a valid
// time. Blanks inside values become "_"; values, password and identifier are escaped.
std::string buildNewEntryRequest(const fleetlists::EntrySubmission& entry,
                                 const ListServerAddress& server);

// "Info3=Change". Every key always (empty values included) but "&Hilfe=" without a selected
// help code and "&ZielZeit=" for an empty field (an invalid time sends 0); "&Modus=" before
// "&Schiffe="; then "&IDW=" the length of the edit copy's name and "&BasisZeitW=" its return
// time, by which the server finds the entry to replace.
std::string buildChangeRequest(const fleetlists::EntrySubmission& entry,
                               const ListServerAddress& server);

// The request of the entry's mode.
std::string buildSubmissionRequest(const fleetlists::EntrySubmission& entry,
                                   const ListServerAddress& server);

} // namespace reef::exchange
