#pragma once
// The page's live streams (Server-Sent Events on GET /api/events): each an answer without end
// whose connection is suspended in libmicrohttpd while it has nothing to send, so that it
// takes no thread and no time-out. A thread of their own looks for changes of the followed
// lists twice a second, sends a comment line when a stream has been quiet for a while, ends
// the streams of sessions that ended and of browsers that went away, and ends every stream at
// once when the server stops.

#include "listserver/web/live_lists.h"

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct MHD_Connection;
struct MHD_Response;

namespace reef::listserver {

struct StreamLimits {
    std::size_t perSession = 2;
    // Per client (an IPv4 address, an IPv6 /64): members behind one NAT share it, and one
    // address with many sessions must still not take every stream of the server.
    std::size_t perClient = 20;
    std::size_t total = 200;
    // A comment line after this much quiet, so that proxies and phones keep the connection.
    double keepAliveSeconds = 20;
    // Bytes a stream may have waiting for a client that does not read; past them it ends.
    std::size_t maxWaitingBytes = 64 * 1024;
};

class EventStreams {
  public:
    // sessionLasts: whether a session (by its key) still lasts; it may throw while the store
    // cannot be read, and then the session is taken to last.
    EventStreams(LiveLists& live, std::function<bool(const std::string&)> sessionLasts,
                 StreamLimits limits);
    ~EventStreams();
    EventStreams(const EventStreams&) = delete;
    EventStreams& operator=(const EventStreams&) = delete;

    enum class Refusal { None, Session, Client, Total, Closed, Unavailable };
    struct Opened {
        MHD_Response* response = nullptr; // to queue and destroy; nothing when refused
        Refusal refusal = Refusal::None;
    };
    // A stream for a session of that alliance on this connection (its socket `fd`) of that
    // client (PasswordGuard::clientOf): its first event tells the lists' current versions.
    // Only from libmicrohttpd's request callback.
    Opened open(MHD_Connection* connection, int fd, AllianceId alliance,
                const std::string& sessionKey, const std::string& client);

    // Ends every stream now and takes no more.
    void close();
    std::size_t count();

    struct Stream;

  private:
    void run();
    // Hands text to the stream and wakes its connection. Caller holds mutex_.
    void send(Stream& stream, const std::string& text, double now);
    void end(Stream& stream);

    LiveLists& live_;
    std::function<bool(const std::string&)> sessionLasts_;
    StreamLimits limits_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool closing_ = false;
    std::vector<std::shared_ptr<Stream>> streams_;
    std::thread thread_;
};

} // namespace reef::listserver
