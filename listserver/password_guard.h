#pragma once
// Slows down password guessing: every client has a bucket of wrong passwords. It holds
// kFreeFailures; each wrong password takes one out, and one comes back every kRefillSeconds.
// While the bucket is empty, every request from that client is answered "Error1" without its
// password even being looked at, so a guess cannot succeed there; the client can guess again
// at the refill rate only (10 per minute). Right passwords cost nothing, and other clients are
// not affected.
//
// A client is an IPv4 address, or an IPv6 /64 network: one host can usually choose freely
// among the addresses of its /64, so counting them one by one would not slow it down.

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace reef::listserver {

class PasswordGuard {
  public:
    static constexpr double kFreeFailures = 10;
    static constexpr double kRefillSeconds = 6;
    // Clients remembered at most. When full, the least suspicious tenth (the fullest buckets)
    // is forgotten at once, so a flood of new clients costs one pass per tenth, not one per
    // request.
    static constexpr std::size_t kMaxClients = 100000;

    // nowSeconds: a monotonic clock.
    bool mayTry(const std::string& address, double nowSeconds);
    void recordFailure(const std::string& address, double nowSeconds);

    // The bucket key of an address: the address itself, or its /64 network for IPv6.
    static std::string clientOf(const std::string& address);
    std::size_t rememberedClients();

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
