#include "exchange/list_server_address.h"

#ifndef REEF_LIST_SERVER
#error "REEF_LIST_SERVER must be defined by the build"
#endif

namespace reef::exchange {

std::optional<ListServerAddress> parseListServerAddress(std::string_view text) {
    const std::size_t colon = text.find(':');
    const std::string_view host = text.substr(0, colon);
    if (host.empty()) {
        return std::nullopt;
    }
    for (const char c : host) {
        if (static_cast<unsigned char>(c) <= ' ' || c == '\x7f') {
            return std::nullopt;
        }
    }
    ListServerAddress address{std::string(host), kDefaultListServerPort};
    if (colon != std::string_view::npos) {
        const std::string_view port = text.substr(colon + 1);
        if (port.empty() || port.size() > 5) {
            return std::nullopt;
        }
        std::uint32_t value = 0;
        for (const char c : port) {
            if (c < '0' || c > '9') {
                return std::nullopt;
            }
            value = value * 10 + static_cast<std::uint32_t>(c - '0');
        }
        if (value < 1 || value > 65535) {
            return std::nullopt;
        }
        address.port = static_cast<std::uint16_t>(value);
    }
    return address;
}

const ListServerAddress& configuredListServer() {
    // The build checks the value, so the fallback (an empty host, which no connect accepts)
    // is never taken in practice.
    static const ListServerAddress address =
        parseListServerAddress(REEF_LIST_SERVER).value_or(ListServerAddress{});
    return address;
}

} // namespace reef::exchange
