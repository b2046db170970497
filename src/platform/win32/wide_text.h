#pragma once
// Texts between the program's Windows-1252 strings and the UTF-16 of the W functions; the
// backend and the tests that read the real windows convert the same way.

#include "text/cp1252.h"

#include <cstddef>
#include <string>

namespace reef::platform::win32 {

inline std::wstring wide(const std::string& text) {
    const std::u16string converted = reef::text::cp1252ToUtf16(text);
    return std::wstring(converted.begin(), converted.end());
}

inline std::string narrow(const wchar_t* text, std::size_t length) {
    return reef::text::utf16ToCp1252(std::u16string(text, text + length));
}

inline std::string narrow(const std::wstring& text) {
    return narrow(text.data(), text.size());
}

} // namespace reef::platform::win32
