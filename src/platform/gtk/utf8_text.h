#pragma once
// Texts between the program's Windows-1252 strings and GTK's UTF-8; the backend and the
// test driver convert the same way.

#include "text/cp1252.h"

#include <glib.h>

#include <string>

namespace reef::platform::gtk {

inline std::string utf8(const std::string& text) {
    return reef::text::cp1252ToUtf8(text);
}

// Null reads as empty.
inline std::string cp1252(const char* text) {
    return text == nullptr ? std::string() : reef::text::utf8ToCp1252(text);
}

// For the strings GLib hands over to be freed.
inline std::string takeCp1252(gchar* text) {
    std::string converted = cp1252(text);
    g_free(text);
    return converted;
}

} // namespace reef::platform::gtk
