#pragma once
// Where the alliance's list server is. Each alliance builds its program with its own server
// (the CMake cache variable REEF_LIST_SERVER, "host" or "host:port").

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace reef::exchange {

inline constexpr std::uint16_t kDefaultListServerPort = 80;

struct ListServerAddress {
    std::string host; // a host name or a dotted IPv4 address, used as given
    std::uint16_t port = kDefaultListServerPort;

    bool operator==(const ListServerAddress&) const = default;
};

// "host" (port 80) or "host:port" with a port from 1 to 65535; nothing for an empty host, a
// host with blanks or control characters, more than one ":" or a bad port.
std::optional<ListServerAddress> parseListServerAddress(std::string_view text);

// The address the program was built with.
const ListServerAddress& configuredListServer();

} // namespace reef::exchange
