#include "exchange/server_config.h"

#include "settings/settings_file.h"

#include <cstdint>
#include <optional>

#ifndef REEF_PASSWORD_SITE
#error "REEF_PASSWORD_SITE must be defined by the build"
#endif

namespace reef::exchange {

namespace {

// A value can never hold a line break, so this default tells a missing key from any value.
constexpr char kMissing[] = "\n";

std::optional<std::string> readKey(const settings::SettingsFile& file, std::string_view key) {
    std::string value = file.readString(key, kMissing);
    if (value == kMissing) {
        return std::nullopt;
    }
    return value;
}

bool isUsableHost(std::string_view host) {
    if (host.empty()) {
        return false;
    }
    for (const char c : host) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte >= 0x7f || c == ':' || c == '/') {
            return false;
        }
    }
    return true;
}

std::optional<std::uint16_t> parsePort(std::string_view text) {
    if (text.empty() || text.size() > 5) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (value < 1 || value > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

} // namespace

ServerConfig builtInServerConfig() {
    return ServerConfig{.listServer = configuredListServer(), .passwordSite = REEF_PASSWORD_SITE};
}

ServerConfigLoad loadServerConfig(const ServerConfig& builtIn, const std::string& path) {
    ServerConfigLoad result{.config = builtIn, .badKey = {}};
    settings::SettingsFile file;
    if (!file.open(path)) {
        return result;
    }
    const std::optional<std::string> host = readKey(file, kServerHostKey);
    const std::optional<std::string> port = readKey(file, kServerPortKey);
    const std::optional<std::string> site = readKey(file, kPasswordSiteKey);
    // Only read: closing an unmodified file leaves it as it is.
    file.close();

    ServerConfig config = builtIn;
    if (host) {
        if (!isUsableHost(*host)) {
            result.badKey = kServerHostKey;
            return result;
        }
        config.listServer.host = *host;
        config.listServer.port = kDefaultListServerPort;
    }
    if (port) {
        const std::optional<std::uint16_t> number = parsePort(*port);
        if (!number) {
            result.badKey = kServerPortKey;
            return result;
        }
        config.listServer.port = *number;
    }
    if (site && !site->empty()) {
        config.passwordSite = *site;
    }
    result.config = config;
    return result;
}

std::string serverConfigProblemText(const std::string& badKey) {
    return std::string("Ungültiger Wert für ''") + badKey + "'' in der Datei ''" +
           kServerConfigFile + "''!\nEs werden die eingebauten Serverdaten verwendet.";
}

} // namespace reef::exchange
