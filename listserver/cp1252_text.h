#pragma once
// The lists hold Windows-1252 bytes as the desktop program sent them; the browser page and
// the chat alerts speak UTF-8.

#include <string>
#include <string_view>

namespace reef::listserver {

// Every byte as its Windows-1252 character in UTF-8; the five bytes Windows leaves undefined
// become the C1 control of the same value, as the desktop program reads them.
std::string cp1252ToUtf8(std::string_view bytes);

} // namespace reef::listserver
