#include "password_guard.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace reef::listserver {

std::string PasswordGuard::clientOf(const std::string& address) {
    unsigned char bytes[16];
    if (address.find(':') == std::string::npos ||
        inet_pton(AF_INET6, address.c_str(), bytes) != 1) {
        return address;
    }
    static const unsigned char kMappedIPv4[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    if (std::memcmp(bytes, kMappedIPv4, sizeof kMappedIPv4) == 0) {
        char text[INET_ADDRSTRLEN];
        return inet_ntop(AF_INET, bytes + 12, text, sizeof text) ? std::string(text) : address;
    }
    std::memset(bytes + 8, 0, 8);
    char text[INET6_ADDRSTRLEN];
    if (!inet_ntop(AF_INET6, bytes, text, sizeof text))
        return address;
    return std::string(text) + "/64";
}

void PasswordGuard::refill(Bucket& bucket, double now) {
    if (now > bucket.updated) {
        bucket.tokens =
            std::min(kFreeFailures, bucket.tokens + (now - bucket.updated) / kRefillSeconds);
        bucket.updated = now;
    }
}

bool PasswordGuard::mayTry(const std::string& address, double nowSeconds) {
    const std::string client = clientOf(address);
    std::lock_guard lock(mutex_);
    auto it = buckets_.find(client);
    if (it == buckets_.end())
        return true;
    refill(it->second, nowSeconds);
    return it->second.tokens >= 1;
}

void PasswordGuard::recordFailure(const std::string& address, double nowSeconds) {
    const std::string client = clientOf(address);
    std::lock_guard lock(mutex_);
    if (buckets_.size() >= kMaxClients && !buckets_.contains(client))
        prune(nowSeconds);
    auto [it, inserted] = buckets_.try_emplace(client);
    if (inserted)
        it->second.updated = nowSeconds;
    refill(it->second, nowSeconds);
    it->second.tokens = std::max(0.0, it->second.tokens - 1);
}

std::size_t PasswordGuard::rememberedClients() {
    std::lock_guard lock(mutex_);
    return buckets_.size();
}

void PasswordGuard::prune(double now) {
    // Full buckets hold nothing worth remembering.
    for (auto it = buckets_.begin(); it != buckets_.end();) {
        refill(it->second, now);
        if (it->second.tokens >= kFreeFailures)
            it = buckets_.erase(it);
        else
            ++it;
    }
    if (buckets_.size() < kMaxClients * 9 / 10)
        return;
    // Still crowded: forget the fullest buckets down to nine tenths, so that the clients that
    // are being held back longest stay held back.
    std::vector<std::pair<double, std::string>> byTokens;
    byTokens.reserve(buckets_.size());
    for (const auto& [client, bucket] : buckets_)
        byTokens.emplace_back(bucket.tokens, client);
    const std::size_t forget = buckets_.size() - kMaxClients * 9 / 10;
    std::nth_element(byTokens.begin(), byTokens.begin() + static_cast<std::ptrdiff_t>(forget),
                     byTokens.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (std::size_t i = 0; i < forget; ++i)
        buckets_.erase(byTokens[i].second);
}

} // namespace reef::listserver
