#pragma once
// Token buckets for writes: each key (a client network, an alliance) may write `perMinute`
// times in a burst, and gets that many back per minute. Keeps one member from filling a list
// or stalling the disk for everyone.

#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>

namespace reef::listserver {

class WriteBudget {
  public:
    explicit WriteBudget(double perMinute) : perMinute_(perMinute) {}

    // Whether the key has a write left; nothing is taken.
    bool has(const std::string& key, double nowSeconds);
    void take(const std::string& key, double nowSeconds);

    // Keys remembered at most; full buckets are forgotten first.
    static constexpr std::size_t kMaxKeys = 100000;

  private:
    struct Bucket {
        double tokens = 0;
        double updated = 0;
    };
    Bucket& bucketOf(const std::string& key, double now);

    double perMinute_;
    std::mutex mutex_;
    std::unordered_map<std::string, Bucket> buckets_;
};

} // namespace reef::listserver
