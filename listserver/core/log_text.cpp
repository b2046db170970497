#include "listserver/core/log_text.h"

#include <cstdio>

namespace reef::listserver {

std::string printable(std::string_view text, std::size_t limit) {
    std::string out;
    for (unsigned char c : text.substr(0, limit)) {
        if (c >= 0x20 && c < 0x7f && c != '\\' && c != '"') {
            out.push_back(static_cast<char>(c));
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        }
    }
    if (text.size() > limit)
        out += "...";
    return out;
}

std::string LibraryLog::line(double nowSeconds, const char* format, va_list args) {
    std::size_t leftOut = 0;
    {
        std::lock_guard lock(mutex_);
        if (nowSeconds - windowStart_ >= 60) {
            windowStart_ = nowSeconds;
            inWindow_ = 0;
        }
        if (inWindow_ >= kPerMinute) {
            ++leftOut_;
            return {};
        }
        ++inWindow_;
        leftOut = leftOut_;
        leftOut_ = 0;
    }
    char message[1024];
    std::vsnprintf(message, sizeof message, format ? format : "", args);
    std::string_view body = message;
    while (!body.empty() && (body.back() == '\n' || body.back() == '\r'))
        body.remove_suffix(1); // the line end of its own, not part of the message
    std::string text = "libmicrohttpd: " + printable(body, 400);
    if (leftOut > 0)
        text += " (" + std::to_string(leftOut) + " earlier messages left out)";
    return text;
}

} // namespace reef::listserver
