#pragma once
// How many connections each client holds open, and all together: a client is an IPv4 address
// or an IPv6 /64 network (one host can usually pick any address of its /64), so that a few
// addresses trickling bytes cannot take every slot of the server. A connection past a limit
// is closed at once rather than left waiting unanswered.

#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>

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

  private:
    unsigned perClient_;
    unsigned total_;
    unsigned openTotal_ = 0;
    std::mutex mutex_;
    std::unordered_map<std::string, unsigned> open_;
};

} // namespace reef::listserver
