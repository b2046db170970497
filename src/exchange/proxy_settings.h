#pragma once
// The optional proxy through which every connection to the list server goes. Read once at
// start-up (only when the program was started with "Proxy") and never changed afterwards,
// so worker threads read it without a lock.

#include <cstdint>
#include <string>

namespace reef::exchange {

// Values of ProxySettings::type. Any other value makes every proxied attempt fail.
inline constexpr std::int32_t kProxyHttpConnect = 0;
inline constexpr std::int32_t kProxySocks4 = 1;
inline constexpr std::int32_t kProxySocks5 = 2;

inline constexpr char kProxySettingsFile[] = "Proxy.dat";

struct ProxySettings {
    std::string host;      // "IP": dotted IPv4 address or host name; empty: no proxy
    std::int32_t port = 0; // "Port"
    std::int32_t type = 0; // "Typ"
    std::string userId;    // "UserID": HTTP Basic user, SOCKS4 user id, SOCKS5 user name
    std::string password;  // "UserPass": HTTP Basic and SOCKS5 password

    bool operator==(const ProxySettings&) const = default;
};

// Reads the hand-written settings file ("Proxy.dat" in the working directory) into settings:
// every key missing from the file takes its default ("" or 0). False, with settings left as
// they were, when the file cannot be opened.
bool loadProxySettings(ProxySettings& settings, const std::string& path = kProxySettingsFile);

} // namespace reef::exchange
