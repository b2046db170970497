#pragma once
// How many connections each client holds open, and all together: a client is an IPv4 address
// or an IPv6 /64 network (one host can usually pick any address of its /64), so that a few
// addresses trickling bytes cannot take every slot of the server. The /56 of an IPv6 client
// counts as well, with the same share: a home connection holds a /56, and its 256 /64
// networks would otherwise hold 256 shares. A connection past a limit is closed at once
// rather than left waiting unanswered.

#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace reef::listserver {

class ConnectionLimits {
  public:
    ConnectionLimits(unsigned perClient, unsigned total) : perClient_(perClient), total_(total) {}

    // Whether the client at this address may open one more connection.
    bool mayOpen(const std::string& address);
    // Counts a connection that was opened; gives the client key for closed().
    std::string opened(const std::string& address);
    void closed(const std::string& client);

    std::size_t openOf(const std::string& address);

    // Every key a connection of the address counts in: its client, and for IPv6 its /56.
    static std::vector<std::string> keysOf(const std::string& address);

  private:
    unsigned perClient_;
    unsigned total_;
    unsigned openTotal_ = 0;
    std::mutex mutex_;
    std::unordered_map<std::string, unsigned> open_;
};

} // namespace reef::listserver
