#include "listserver/core/password_guard.h"

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

void PasswordGuard::refill(Bucket& bucket, double now, double capacity, double refillSeconds) {
    if (now > bucket.updated) {
        bucket.tokens = std::min(capacity, bucket.tokens + (now - bucket.updated) / refillSeconds);
        bucket.updated = now;
    }
}

PasswordGuard::Bucket& PasswordGuard::refilledBucket(const std::string& key, double now) {
    auto it = buckets_.find(key);
    if (it == buckets_.end()) {
        if (buckets_.size() >= kMaxClients)
            prune(now);
        it = buckets_.try_emplace(key, Bucket{kFreeFailures, now}).first;
    }
    refill(it->second, now);
    return it->second;
}

namespace {

// How soon a held request looks again while another request of its client holds the try:
// that one is answered within milliseconds and gives the try back when its password was right.
constexpr double kRecheckSeconds = 0.05;
// How long past its deadline a held request may wait for another one's check to end.
constexpr double kCheckingGraceSeconds = 1;
// Room for rounding of the clock arithmetic.
constexpr double kSlack = 1e-9;

} // namespace

std::vector<std::string> PasswordGuard::keysOf(const std::string& address) {
    std::vector<std::string> keys{clientOf(address)};
    unsigned char bytes[16];
    if (keys.front().ends_with("/64") && inet_pton(AF_INET6, address.c_str(), bytes) == 1) {
        // The /48 as well: a site usually gets a /48, and its 65,536 /64 networks would
        // otherwise be as many clients.
        std::memset(bytes + 6, 0, 10);
        char text[INET6_ADDRSTRLEN];
        if (inet_ntop(AF_INET6, bytes, text, sizeof text))
            keys.push_back(std::string(text) + "/48");
    }
    return keys;
}

PasswordGuard::Decision PasswordGuard::admit(const std::string& address, double nowSeconds,
                                             GuardTicket& ticket) {
    const std::vector<std::string> keys = keysOf(address);
    std::lock_guard lock(mutex_);
    if (ticket.arrived < 0)
        ticket.arrived = nowSeconds;
    const bool known = std::any_of(keys.begin(), keys.end(),
                                   [&](const std::string& key) { return buckets_.contains(key); });
    if (!known)
        return {Verdict::Check, 0}; // no wrong password yet: nothing to hold back
    // The client's own bucket counts its held requests. Made through the bounded path: the
    // other /64 networks of a /48 that has a bucket are new clients here too.
    Bucket& own = refilledBucket(keys.front(), nowSeconds);
    if (ticket.waiting) {
        --own.waiting;
        ticket.waiting = false;
    }
    bool free = true;
    bool checking = false;
    double missing = 0; // tries the emptiest bucket lacks
    for (const std::string& key : keys) {
        auto it = buckets_.find(key);
        if (it == buckets_.end())
            continue;
        Bucket& bucket = it->second;
        refill(bucket, nowSeconds);
        if (bucket.tokens - bucket.checking < 1 - kSlack) {
            free = false;
            checking = checking || bucket.checking > 0;
            missing = std::max(missing, 1 - bucket.tokens);
        }
    }
    if (free) {
        for (const std::string& key : keys)
            if (auto it = buckets_.find(key); it != buckets_.end())
                ++it->second.checking;
        ticket.checking = true;
        return {Verdict::Check, 0};
    }
    // The try a held request waits for comes within one refill. Past that it waits on only
    // while another request of its client holds the try, which gives it back in milliseconds
    // when its password was right.
    const double deadline = ticket.arrived + kRefillSeconds;
    const bool late =
        checking ? nowSeconds >= deadline + kCheckingGraceSeconds : nowSeconds >= deadline - kSlack;
    if (late || own.waiting >= kMaxWaiting)
        return {Verdict::Refuse, 0};
    const double until =
        checking
            ? nowSeconds + kRecheckSeconds
            : std::min(deadline, nowSeconds + std::max(kRecheckSeconds, missing * kRefillSeconds));
    ++own.waiting;
    ticket.waiting = true;
    return {Verdict::Hold, until};
}

void PasswordGuard::release(const std::vector<std::string>& keys, GuardTicket& ticket) {
    for (std::size_t i = 0; i < keys.size(); ++i) {
        auto it = buckets_.find(keys[i]);
        if (it == buckets_.end())
            continue;
        if (ticket.checking && it->second.checking > 0)
            --it->second.checking;
        if (i == 0 && ticket.waiting && it->second.waiting > 0)
            --it->second.waiting;
    }
    ticket.checking = false;
    ticket.waiting = false;
}

double PasswordGuard::settle(const std::string& address, double nowSeconds, GuardTicket& ticket,
                             bool rightPassword) {
    const std::vector<std::string> keys = keysOf(address);
    std::lock_guard lock(mutex_);
    release(keys, ticket);
    if (rightPassword)
        return nowSeconds;
    for (const std::string& key : keys) {
        Bucket& bucket = refilledBucket(key, nowSeconds);
        bucket.tokens = std::max(0.0, bucket.tokens - 1);
    }
    // The whole server's wrong passwords: past their budget every wrong one is answered late,
    // whichever client sent it, so that many clients together guess slowly too.
    refill(server_, nowSeconds, kServerFailuresPerMinute, 60 / kServerFailuresPerMinute);
    server_.tokens -= 1;
    if (server_.tokens >= 0)
        return nowSeconds;
    server_.tokens = 0;
    return std::max(nowSeconds, ticket.arrived + kSlowWrongSeconds);
}

void PasswordGuard::abandon(const std::string& address, GuardTicket& ticket) {
    if (!ticket.checking && !ticket.waiting)
        return;
    const std::vector<std::string> keys = keysOf(address);
    std::lock_guard lock(mutex_);
    release(keys, ticket);
}

void PasswordGuard::adopt(const std::string& key, double triesLeft, double nowSeconds) {
    std::lock_guard lock(mutex_);
    Bucket& bucket = refilledBucket(key, nowSeconds);
    bucket.tokens = std::min(bucket.tokens, std::max(0.0, triesLeft));
}

std::size_t PasswordGuard::rememberedClients() {
    std::lock_guard lock(mutex_);
    return buckets_.size();
}

void PasswordGuard::prune(double now) {
    // Full buckets hold nothing worth remembering, unless a request is counted in them.
    for (auto it = buckets_.begin(); it != buckets_.end();) {
        refill(it->second, now);
        if (it->second.tokens >= kFreeFailures && it->second.checking == 0 &&
            it->second.waiting == 0)
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
