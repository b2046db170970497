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

namespace {

// How soon a held request looks again while another request of its client holds the try:
// that one is answered within milliseconds and gives the try back when its password was right.
constexpr double kRecheckSeconds = 0.05;
// How long past its deadline a held request may wait for another one's check to end.
constexpr double kCheckingGraceSeconds = 1;
// Room for rounding of the clock arithmetic.
constexpr double kSlack = 1e-9;

} // namespace

PasswordGuard::Decision PasswordGuard::admit(const std::string& address, double nowSeconds,
                                             GuardTicket& ticket) {
    const std::string client = clientOf(address);
    std::lock_guard lock(mutex_);
    if (ticket.arrived < 0)
        ticket.arrived = nowSeconds;
    auto it = buckets_.find(client);
    if (it == buckets_.end())
        return {Verdict::Check, 0}; // no wrong password yet: nothing to hold back
    Bucket& bucket = it->second;
    if (ticket.waiting) {
        --bucket.waiting;
        ticket.waiting = false;
    }
    refill(bucket, nowSeconds);
    if (bucket.tokens - bucket.checking >= 1 - kSlack) {
        ++bucket.checking;
        ticket.checking = true;
        return {Verdict::Check, 0};
    }
    // The try a held request waits for comes within one refill. Past that it waits on only
    // while another request of its client holds the try, which gives it back in milliseconds
    // when its password was right.
    const double deadline = ticket.arrived + kRefillSeconds;
    const bool late = bucket.checking == 0 ? nowSeconds >= deadline - kSlack
                                           : nowSeconds >= deadline + kCheckingGraceSeconds;
    if (late || bucket.waiting >= kMaxWaiting)
        return {Verdict::Refuse, 0};
    const double until =
        bucket.checking > 0
            ? nowSeconds + kRecheckSeconds
            : std::min(deadline, nowSeconds + std::max(kRecheckSeconds,
                                                       (1 - bucket.tokens) * kRefillSeconds));
    ++bucket.waiting;
    ticket.waiting = true;
    return {Verdict::Hold, until};
}

void PasswordGuard::release(Bucket& bucket, GuardTicket& ticket) {
    if (ticket.checking && bucket.checking > 0)
        --bucket.checking;
    if (ticket.waiting && bucket.waiting > 0)
        --bucket.waiting;
    ticket.checking = false;
    ticket.waiting = false;
}

void PasswordGuard::settle(const std::string& address, double nowSeconds, GuardTicket& ticket,
                           bool rightPassword) {
    const std::string client = clientOf(address);
    std::lock_guard lock(mutex_);
    auto it = buckets_.find(client);
    if (it != buckets_.end())
        release(it->second, ticket);
    ticket.checking = false;
    ticket.waiting = false;
    if (rightPassword)
        return;
    if (it == buckets_.end()) {
        if (buckets_.size() >= kMaxClients)
            prune(nowSeconds);
        it = buckets_.try_emplace(client).first;
        it->second.updated = nowSeconds;
    }
    refill(it->second, nowSeconds);
    it->second.tokens = std::max(0.0, it->second.tokens - 1);
}

void PasswordGuard::abandon(const std::string& address, GuardTicket& ticket) {
    if (!ticket.checking && !ticket.waiting)
        return;
    const std::string client = clientOf(address);
    std::lock_guard lock(mutex_);
    auto it = buckets_.find(client);
    if (it != buckets_.end())
        release(it->second, ticket);
    ticket.checking = false;
    ticket.waiting = false;
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
