#pragma once
// Windows-1252 is the program's one text encoding; the backends convert at their edge.

#include <string>
#include <string_view>

namespace reef::text {

std::u16string cp1252ToUtf16(std::string_view text);
// Characters without a Windows-1252 form become "?".
std::string utf16ToCp1252(std::u16string_view text);

std::string cp1252ToUtf8(std::string_view text);
// Characters without a Windows-1252 form, and malformed sequences, become "?".
std::string utf8ToCp1252(std::string_view text);

} // namespace reef::text
