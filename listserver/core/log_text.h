#pragma once
// Text for the server's log that came from outside (clients, libmicrohttpd): one line of
// printable ASCII, so that no line can be forged or a terminal steered.

#include <cstdarg>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

namespace reef::listserver {

// Every byte outside printable ASCII, and "\" and the double quote, as \xHH; cut after
// `limit` bytes with "...".
std::string printable(std::string_view text, std::size_t limit = 200);

// libmicrohttpd's own messages for the log: formatted, escaped, and at most kPerMinute lines a
// minute (a flood of refused connections must not flood the log); the first line after a
// quiet spell says how many were left out.
class LibraryLog {
  public:
    static constexpr std::size_t kPerMinute = 30;

    // The line to write for the message, or empty when it is left out.
    std::string line(double nowSeconds, const char* format, va_list args);

  private:
    std::mutex mutex_;
    double windowStart_ = -1e300;
    std::size_t inWindow_ = 0;
    std::size_t leftOut_ = 0;
};

} // namespace reef::listserver
