#include "listserver/http/connection_limits.h"

#include "listserver/core/password_guard.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

namespace reef::listserver {

std::vector<std::string> ConnectionLimits::keysOf(const std::string& address) {
    std::vector<std::string> keys{PasswordGuard::clientOf(address)};
    unsigned char bytes[16];
    char text[INET6_ADDRSTRLEN];
    if (keys.front().ends_with("/64") && inet_pton(AF_INET6, address.c_str(), bytes) == 1) {
        std::memset(bytes + 7, 0, 9);
        if (inet_ntop(AF_INET6, bytes, text, sizeof text))
            keys.push_back(std::string(text) + "/56");
    }
    return keys;
}

bool ConnectionLimits::mayOpen(const std::string& address) {
    const std::vector<std::string> keys = keysOf(address);
    std::lock_guard lock(mutex_);
    if (openTotal_ >= total_)
        return false;
    return std::all_of(keys.begin(), keys.end(), [&](const std::string& key) {
        auto it = open_.find(key);
        return it == open_.end() || it->second < perClient_;
    });
}

std::string ConnectionLimits::opened(const std::string& address) {
    const std::vector<std::string> keys = keysOf(address);
    std::lock_guard lock(mutex_);
    std::size_t counted = 0;
    try {
        for (; counted < keys.size(); ++counted)
            ++open_[keys[counted]];
    } catch (...) {
        // Memory exhausted: the caller drops the connection, which then counts nowhere.
        while (counted-- > 0)
            if (--open_[keys[counted]] == 0)
                open_.erase(keys[counted]);
        throw;
    }
    ++openTotal_;
    return address;
}

void ConnectionLimits::closed(const std::string& client) {
    const std::vector<std::string> keys = keysOf(client);
    std::lock_guard lock(mutex_);
    if (!open_.contains(keys.front()))
        return;
    --openTotal_;
    for (const std::string& key : keys) {
        auto it = open_.find(key);
        if (it != open_.end() && --it->second == 0)
            open_.erase(it);
    }
}

std::size_t ConnectionLimits::openOf(const std::string& address) {
    const std::string client = PasswordGuard::clientOf(address);
    std::lock_guard lock(mutex_);
    auto it = open_.find(client);
    return it == open_.end() ? 0 : it->second;
}

} // namespace reef::listserver
