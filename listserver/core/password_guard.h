#pragma once
// Slows down password guessing: every client has a bucket of tries. It holds kFreeFailures;
// each wrong password takes one out, and one comes back every kRefillSeconds. A password is
// looked at only while its client's bucket holds a try. A request that finds the bucket empty
// is held until the next try comes back (at most kRefillSeconds, below the desktop program's
// 10 s limit) and then answered by its password, so that a member behind the same address as
// a guesser still gets the list, and never a false "wrong password". A client may have at most
// kMaxWaiting requests held; beyond that, or when another held request took the try, the
// answer is "Error10", which says nothing about the password.
//
// A client is an IPv4 address, or an IPv6 /64 network: one host can usually choose freely
// among the addresses of its /64, so counting them one by one would not slow it down. An IPv6
// /48 has a bucket of its own as well, which its /64 networks share.
//
// Over the whole server, past kServerFailuresPerMinute wrong passwords a minute, every wrong
// password is answered no sooner than kSlowWrongSeconds after it came (right ones at once), so
// that many addresses together cannot guess fast either.

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace reef::listserver {

// One request's standing with the guard, kept while it is held.
struct GuardTicket {
    double arrived = -1;   // when the guard first saw the request
    bool waiting = false;  // counted among its client's held requests
    bool checking = false; // holds one of its client's tries while the password is looked at
};

class PasswordGuard {
  public:
    static constexpr double kFreeFailures = 10;
    static constexpr double kRefillSeconds = 6;
    static constexpr int kMaxWaiting = 4;
    static constexpr double kServerFailuresPerMinute = 300;
    static constexpr double kSlowWrongSeconds = 8;
    // Clients remembered at most. When full, the least suspicious tenth (the fullest buckets)
    // is forgotten at once, so a flood of new clients costs one pass per tenth, not one per
    // request.
    static constexpr std::size_t kMaxClients = 100000;

    enum class Verdict {
        Check,  // look at the password now, then call settle()
        Hold,   // ask again at `until`
        Refuse, // answer "Error10"
    };
    struct Decision {
        Verdict verdict = Verdict::Check;
        double until = 0;
    };

    // nowSeconds: a monotonic clock. Call again with the same ticket when a hold is over.
    Decision admit(const std::string& address, double nowSeconds, GuardTicket& ticket);
    // After a Check: a wrong password uses the try up, a right one gives it back. Returns when
    // the answer may be sent: now, or later for a wrong password while the whole server sees
    // too many of them.
    double settle(const std::string& address, double nowSeconds, GuardTicket& ticket,
                  bool rightPassword);
    // The request ended without an answer (its connection went away, the server stops).
    void abandon(const std::string& address, GuardTicket& ticket);
    // Tries of one bucket key as other server processes counted them: the bucket holds no
    // more than that from now on.
    void adopt(const std::string& key, double triesLeft, double nowSeconds);

    // The bucket key of an address: the address itself, or its /64 network for IPv6.
    static std::string clientOf(const std::string& address);
    // Every bucket an address counts in: its client, and for IPv6 also its /48 network.
    static std::vector<std::string> keysOf(const std::string& address);
    std::size_t rememberedClients();

  private:
    struct Bucket {
        double tokens = kFreeFailures;
        double updated = 0;
        int checking = 0;
        int waiting = 0;
    };
    static void refill(Bucket& bucket, double now, double capacity = kFreeFailures,
                       double refillSeconds = kRefillSeconds);
    void prune(double now);
    // The key's bucket, made full when the key is new, refilled to now. Caller holds mutex_.
    Bucket& refilledBucket(const std::string& key, double now);
    void release(const std::vector<std::string>& keys, GuardTicket& ticket);

    std::mutex mutex_;
    std::unordered_map<std::string, Bucket> buckets_;
    Bucket server_{kServerFailuresPerMinute, 0, 0, 0};
};

} // namespace reef::listserver
