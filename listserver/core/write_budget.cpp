#include "listserver/core/write_budget.h"

#include <algorithm>

namespace reef::listserver {

WriteBudget::Bucket& WriteBudget::bucketOf(const std::string& key, double now) {
    auto it = buckets_.find(key);
    if (it == buckets_.end()) {
        if (buckets_.size() >= kMaxKeys)
            std::erase_if(buckets_, [&](const auto& each) {
                return each.second.tokens + (now - each.second.updated) * perMinute_ / 60 >=
                       perMinute_;
            });
        if (buckets_.size() >= kMaxKeys)
            buckets_.clear(); // a flood of keys: forgetting is better than growing
        it = buckets_.emplace(key, Bucket{perMinute_, now}).first;
    }
    Bucket& bucket = it->second;
    if (now > bucket.updated) {
        bucket.tokens =
            std::min(perMinute_, bucket.tokens + (now - bucket.updated) * perMinute_ / 60);
        bucket.updated = now;
    }
    return bucket;
}

bool WriteBudget::has(const std::string& key, double nowSeconds) {
    std::lock_guard lock(mutex_);
    return bucketOf(key, nowSeconds).tokens >= 1;
}

void WriteBudget::take(const std::string& key, double nowSeconds) {
    std::lock_guard lock(mutex_);
    Bucket& bucket = bucketOf(key, nowSeconds);
    bucket.tokens = std::max(0.0, bucket.tokens - 1);
}

} // namespace reef::listserver
