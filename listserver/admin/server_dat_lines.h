#pragma once
// The lines of "Server.dat", the small file an alliance hands out beside the desktop program
// so that the one released program finds this server. Printed by alliance add and alliance
// password right after the password, ready to be copied.

#include <cstdint>
#include <optional>
#include <string>

namespace reef::listserver {

struct PublicAddress {
    std::string host; // a host name or an IPv4 address, as the members reach this server
    std::uint16_t port = 80;

    bool operator==(const PublicAddress&) const = default;
};

// "HOST" (port 80) or "HOST:PORT". The desktop program connects over IPv4 and puts the host
// into its request line, so an empty host, blanks, control characters, characters outside
// ASCII, "/" and more than one ":" are refused, as is a port outside 1 to 65535. Nothing, with
// problem set to a text for the admin, when the text is refused.
std::optional<PublicAddress> parsePublicAddress(const std::string& text, std::string& problem);

// The address of a --listen value ("ADDRESS:PORT" or "[IPv6]:PORT") when the members can use
// it as it is: not for a wildcard address, an IPv6 address or port 0 (a port picked only when
// the server starts).
std::optional<PublicAddress> publicAddressFromListen(const std::string& listen);

// The address to print: --public-address when given (problem set when it is refused), else the
// --listen address when one was given and is usable.
std::optional<PublicAddress> serverDatAddress(const std::optional<std::string>& publicAddress,
                                              const std::optional<std::string>& listen,
                                              std::string& problem);

// What the admin sees: the lines of "Server.dat" for the address, or, without one, how to
// get them.
std::string serverDatLines(const std::optional<PublicAddress>& address);

} // namespace reef::listserver
