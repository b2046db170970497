#pragma once
// Texts of the browser page: the lists hold Windows-1252 bytes as the desktop program sent
// them, a browser reads UTF-8, and every value from outside is escaped where it lands.

#include <string>
#include <string_view>

namespace reef::listserver {

// For text and attribute values of an HTML page: "&", "<", ">", '"' and "'" as references.
std::string htmlEscape(std::string_view utf8);

// A JSON string with its quotes. Control characters, quotes and backslashes are escaped, and
// "<", ">" and "&" as well, so that the text stays inert wherever a browser meets it.
std::string jsonString(std::string_view utf8);

// The values of an "application/x-www-form-urlencoded" body: "+" is a blank, "%XX" a byte.
// The value of the first field with that name; nothing when there is none.
std::string formField(std::string_view body, std::string_view name, bool* found = nullptr);

// The value of one cookie of a "Cookie" header; empty when it is not there.
std::string cookieValue(std::string_view header, std::string_view name);

} // namespace reef::listserver
