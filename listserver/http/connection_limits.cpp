#include "listserver/http/connection_limits.h"

#include "listserver/core/password_guard.h"

namespace reef::listserver {

bool ConnectionLimits::mayOpen(const std::string& address) {
    const std::string client = PasswordGuard::clientOf(address);
    std::lock_guard lock(mutex_);
    if (openTotal_ >= total_)
        return false;
    auto it = open_.find(client);
    return it == open_.end() || it->second < perClient_;
}

std::string ConnectionLimits::opened(const std::string& address) {
    std::string client = PasswordGuard::clientOf(address);
    std::lock_guard lock(mutex_);
    ++open_[client];
    ++openTotal_;
    return client;
}

void ConnectionLimits::closed(const std::string& client) {
    std::lock_guard lock(mutex_);
    auto it = open_.find(client);
    if (it == open_.end())
        return;
    --openTotal_;
    if (--it->second == 0)
        open_.erase(it);
}

std::size_t ConnectionLimits::openOf(const std::string& address) {
    const std::string client = PasswordGuard::clientOf(address);
    std::lock_guard lock(mutex_);
    auto it = open_.find(client);
    return it == open_.end() ? 0 : it->second;
}

} // namespace reef::listserver
