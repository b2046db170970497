#pragma once
// The texts the program puts into a request's query: escaped where a byte would end the
// request line, start another key, cut the query or be decoded into something else.

#include <string>
#include <string_view>

namespace reef::wire {

// "&", "#", "%", "+", blank, control bytes and bytes from 0x80 as "%XX" (upper-case hex);
// every other byte as it is. For the password and the list identifier.
std::string percentEncode(std::string_view text);

// As percentEncode, but a blank becomes "_", the form the list server expects in the
// values of an entry.
std::string encodeQueryValue(std::string_view text);

} // namespace reef::wire
