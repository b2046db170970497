#include "password_guard.h"

#include <algorithm>

namespace reef::listserver {

void PasswordGuard::refill(Bucket& bucket, double now) {
    if (now > bucket.updated) {
        bucket.tokens =
            std::min(kFreeFailures, bucket.tokens + (now - bucket.updated) / kRefillSeconds);
        bucket.updated = now;
    }
}

bool PasswordGuard::mayTry(const std::string& address, double nowSeconds) {
    std::lock_guard lock(mutex_);
    auto it = buckets_.find(address);
    if (it == buckets_.end())
        return true;
    refill(it->second, nowSeconds);
    return it->second.tokens >= 1;
}

void PasswordGuard::recordFailure(const std::string& address, double nowSeconds) {
    std::lock_guard lock(mutex_);
    if (buckets_.size() >= kMaxAddresses && !buckets_.contains(address))
        prune(nowSeconds);
    auto [it, inserted] = buckets_.try_emplace(address);
    if (inserted)
        it->second.updated = nowSeconds;
    refill(it->second, nowSeconds);
    it->second.tokens = std::max(0.0, it->second.tokens - 1);
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
    // Under a flood from many addresses, forget arbitrary ones rather than grow without bound.
    while (buckets_.size() >= kMaxAddresses)
        buckets_.erase(buckets_.begin());
}

} // namespace reef::listserver
