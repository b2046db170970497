#pragma once
// The request target of a list request: absolute or origin form, path and query keys.

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace reef::listserver {

// "%" followed by two hex digits becomes that byte; every other byte, "+" and "_" included,
// stays as it is (the desktop program sends spaces as "_" and escapes nothing itself).
std::string percentDecode(std::string_view text);

struct RequestTarget {
    std::string path;  // percent-decoded
    std::string query; // raw, without the "?"
};

// Accepts "http://host[:port]/path?query" (what the desktop program sends, proxy or not)
// and "/path?query". Anything else gives nothing.
std::optional<RequestTarget> splitTarget(std::string_view target);

// Keys and values percent-decoded; a piece without "=" is a key with an empty value; a key
// given twice keeps its first value.
using QueryValues = std::map<std::string, std::string, std::less<>>;
QueryValues parseQuery(std::string_view query);

} // namespace reef::listserver
