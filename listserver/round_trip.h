#pragma once
// Whether a value survives the desktop program's reading of a download record.

#include <string_view>

namespace reef::listserver {

// The desktop program reads a field of a record as the text between the first "<|" and the
// first "|>" of what is left unread (empty when the "|>" comes first), and goes on after that
// "|>". True when a value sent as "<|" value "|>" comes back whole and leaves the reader at the
// next field; a value that begins with ">" or holds "|>" does not.
bool readsBackAsItself(std::string_view value);

} // namespace reef::listserver
