#include "listserver/admin/server_dat_lines.h"

#include "listserver/http/http_server.h"

namespace reef::listserver {

namespace {

bool usableHost(const std::string& host) {
    if (host.empty())
        return false;
    for (unsigned char c : host)
        if (c <= ' ' || c >= 0x7f || c == '/' || c == ':')
            return false;
    return true;
}

} // namespace

std::optional<PublicAddress> parsePublicAddress(const std::string& text, std::string& problem) {
    problem.clear();
    PublicAddress address;
    std::size_t colon = text.find(':');
    address.host = text.substr(0, colon);
    if (colon != std::string::npos && text.find(':', colon + 1) != std::string::npos) {
        problem = "expected HOST or HOST:PORT with a host name or IPv4 address (the desktop "
                  "program does not connect over IPv6)";
        return std::nullopt;
    }
    if (!usableHost(address.host)) {
        problem = "the host must be a name or IPv4 address without blanks, '/' or characters "
                  "outside ASCII";
        return std::nullopt;
    }
    if (colon != std::string::npos) {
        std::string port = text.substr(colon + 1);
        unsigned long value = 0;
        bool digits = !port.empty() && port.size() <= 5;
        for (char c : port) {
            digits = digits && c >= '0' && c <= '9';
            if (digits)
                value = value * 10 + static_cast<unsigned long>(c - '0');
        }
        if (!digits || value < 1 || value > 65535) {
            problem = "the port must be a number from 1 to 65535";
            return std::nullopt;
        }
        address.port = static_cast<std::uint16_t>(value);
    }
    return address;
}

std::optional<PublicAddress> publicAddressFromListen(const std::string& listen) {
    std::string host;
    std::uint16_t port = 0;
    if (!splitListenAddress(listen, host, port) || port == 0 || host == "0.0.0.0" ||
        !usableHost(host))
        return std::nullopt;
    return PublicAddress{host, port};
}

std::optional<PublicAddress> serverDatAddress(const std::optional<std::string>& publicAddress,
                                              const std::optional<std::string>& listen,
                                              std::string& problem) {
    problem.clear();
    if (publicAddress)
        return parsePublicAddress(*publicAddress, problem);
    if (listen)
        return publicAddressFromListen(*listen);
    return std::nullopt;
}

std::string serverDatLines(const std::optional<PublicAddress>& address) {
    if (!address)
        return "No public address of this server is known, so no lines of Server.dat for the "
               "members\n(the file beside ReefTools.exe). Give --public-address HOST[:PORT], the "
               "name or IPv4\naddress and port at which the members reach this server, to have "
               "them printed.\n";
    return "Server.dat for the members (save it beside ReefTools.exe):\n"
           "Host = " +
           address->host + "\nPort = " + std::to_string(address->port) + "\n";
}

} // namespace reef::listserver
