#pragma once
// Which list server the program talks to and where the alliance publishes the list password.
// The build brings its own values; an alliance that hands out the released program adds the
// optional "Server.dat" beside it, so that nobody has to rebuild it for another server. The
// file is read once at start-up and the record is never changed afterwards, so worker threads
// may read a copy of it without a lock.

#include "exchange/list_server_address.h"

#include <string>

namespace reef::exchange {

inline constexpr char kServerConfigFile[] = "Server.dat";
inline constexpr char kServerHostKey[] = "Host";
inline constexpr char kServerPortKey[] = "Port";
inline constexpr char kPasswordSiteKey[] = "PasswortSeite";

struct ServerConfig {
    ListServerAddress listServer;
    std::string passwordSite; // shown in the list password prompt

    bool operator==(const ServerConfig&) const = default;
};

// The values the program was built with (REEF_LIST_SERVER, REEF_PASSWORD_SITE).
ServerConfig builtInServerConfig();

struct ServerConfigLoad {
    ServerConfig config;
    // The first key of the file whose value cannot be used ("Host" or "Port"); empty when the
    // file is missing or good. The file is then ignored as a whole: half of a server address
    // from the file and half from the build would name a server nobody runs.
    std::string badKey;
};

// Reads the settings file over builtIn. A missing file or a missing key keeps the built-in
// value, except that a file naming a host without a port means port 80; an empty password
// site keeps the built-in one too. A host is bad when empty or when it holds blanks, control
// characters, characters outside ASCII, ":" or "/" (a port or a path written into it would
// end up inside the request line); a port is bad unless it is 1 to 65535 written in digits
// alone. Never writes the file.
ServerConfigLoad loadServerConfig(const ServerConfig& builtIn,
                                  const std::string& path = kServerConfigFile);

// The German text of the message box that reports a bad key.
std::string serverConfigProblemText(const std::string& badKey);

} // namespace reef::exchange
