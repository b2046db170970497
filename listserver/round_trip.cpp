#include "round_trip.h"

#include <string>

namespace reef::listserver {

bool readsBackAsItself(std::string_view value) {
    // The field as it stands in a record, followed by the opening of the next one.
    std::string unread = "<|";
    unread += value;
    unread += "|><|";
    const std::size_t open = unread.find("<|");
    const std::size_t close = unread.find("|>");
    if (open == std::string::npos || close == std::string::npos)
        return false;
    const std::string_view read = close >= open + 2
                                      ? std::string_view(unread).substr(open + 2, close - open - 2)
                                      : std::string_view{};
    const std::string_view rest = std::string_view(unread).substr(close + 2);
    return read == value && rest == "<|";
}

} // namespace reef::listserver
