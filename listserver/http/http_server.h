#pragma once
// listserver/http: the HTTP server on libmicrohttpd and what it needs to stay up under load
// (connection limits, held connections, the write queue). Uses listserver/core and
// listserver/web (the page's requests).
//
// HTTP for the list service, on libmicrohttpd: GET requests of HTTP/1.0 clients, one answer
// per connection, and a log line per request on standard error.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace reef::listserver {

class ListService;
class ServerMetrics;

struct HttpOptions {
    std::string listen = "0.0.0.0:80";
    unsigned threads = 4;
    // A connection that sends nothing for this long is closed.
    unsigned idleTimeoutSeconds = 5;
    // A connection still open this long after it was accepted is cut, however slowly it keeps
    // trickling (the desktop program itself gives up after 10 s).
    unsigned connectionDeadlineSeconds = 15;
    // Request line and header lines together.
    std::size_t maxRequestBytes = 8192;
    // Connections one client (an IPv4 address, an IPv6 /64 network) may hold open at once.
    unsigned connectionsPerAddress = 8;
    // Connections of all clients together: well below the usual limit of 1024 open files, so
    // that the database's files always find a descriptor.
    unsigned maxConnections = 512;
    // The kernel's send buffer of each connection. Left to itself it grows to megabytes, and a
    // slow reader would keep a whole list there: this caps the bytes in flight per connection,
    // while the rest of an answer stays in the one shared body.
    int sendBufferBytes = 64 * 1024;
    // Addresses of reverse proxies in front of this server (nginx before several processes):
    // a request that comes from one of them is counted for the address its X-Real-IP header
    // names, so that the wrong-password throttle and the write budgets still tell members
    // apart. From every other peer the header is ignored.
    std::vector<std::string> trustedProxies;
    // The page's live streams (GET /api/events) open at once, in all and per session. They
    // do not count against connectionsPerAddress or maxConnections: a member's phone keeps
    // one open all day, and the desktop program's requests from the same address must not
    // wait for it.
    std::size_t maxStreams = 200;
    std::size_t streamsPerSession = 2;
    // Clients (numeric addresses, after X-Real-IP of a trusted proxy) that may read /metrics;
    // everyone else gets 404 there.
    std::vector<std::string> metricsFrom = {"127.0.0.1", "::1"};
};

// The client a request counts for: the peer, or the X-Real-IP a trusted proxy sends when it
// is a valid address.
std::string requestClient(const std::string& peer, const char* realIpHeader,
                          const std::vector<std::string>& trustedProxies);

// "ADDRESS:PORT" with a numeric IPv4 address, or "[IPv6]:PORT"; false when malformed.
bool splitListenAddress(const std::string& text, std::string& host, std::uint16_t& port);

class HttpServer {
  public:
    // Binds and starts serving; throws std::runtime_error with a text for the admin (the
    // port is taken, the address is not one of this machine, ...).
    HttpServer(const HttpOptions& options, ListService& service);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // The port actually bound (differs from the asked one when that was 0).
    std::uint16_t port() const;
    // Stops accepting, lets running requests end, closes every connection.
    void stop();
    // What /metrics reports; other parts add their readings before the first request.
    ServerMetrics& metrics();

    struct State;

  private:
    std::unique_ptr<State> state_;
};

} // namespace reef::listserver
