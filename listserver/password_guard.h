#pragma once
// Slows down password guessing: every client address has a bucket of wrong passwords.
// It holds kFreeFailures; each wrong password takes one out, and one comes back every
// kRefillSeconds. While the bucket is empty, every request from that address is answered
// "Error1" without its password even being looked at, so a guess cannot succeed there; the
// address can guess again at the refill rate only (10 per minute). Right passwords cost
// nothing, and other addresses are not affected.

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace reef::listserver {

class PasswordGuard {
  public:
    static constexpr double kFreeFailures = 10;
    static constexpr double kRefillSeconds = 6;
    // Addresses remembered at most; the fullest buckets are forgotten first.
    static constexpr std::size_t kMaxAddresses = 100000;

    // nowSeconds: a monotonic clock.
    bool mayTry(const std::string& address, double nowSeconds);
    void recordFailure(const std::string& address, double nowSeconds);

  private:
    struct Bucket {
        double tokens = kFreeFailures;
        double updated = 0;
    };
    static void refill(Bucket& bucket, double now);
    void prune(double now);

    std::mutex mutex_;
    std::unordered_map<std::string, Bucket> buckets_;
};

} // namespace reef::listserver
