#include "listserver/http/http_server.h"

#include "listserver/core/list_service.h"
#include "listserver/core/log_text.h"
#include "listserver/core/query.h"
#include "listserver/http/connection_limits.h"
#include "listserver/http/event_streams.h"
#include "listserver/http/held_connections.h"
#include "listserver/http/server_metrics.h"
#include "listserver/http/write_queue.h"
#include "listserver/web/web_site.h"

#include <microhttpd.h>

#include <arpa/inet.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <optional>
#include <stdexcept>
#include <strings.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>

namespace reef::listserver {

namespace {

double monotonicSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Per request: the target exactly as it arrived, before libmicrohttpd splits and decodes it
// (its own decoding would turn "+" into a blank, which the desktop program never means).
struct Request {
    std::string target;
    double started = 0;
    bool answered = false;
    std::string address;
    GuardTicket ticket; // kept while the answer is held
    // Suspended for an answer that another thread or a timer brings: a write, or a wrong
    // password answered late.
    bool answerComes = false;
    std::optional<Answer> ready;
    // A request of the browser page; nothing for the desktop program's.
    std::unique_ptr<WebRequest> web;
    std::optional<WebAnswer> webReady;
    // The page's write went to the writer: the answer is webReady, whatever else happens.
    bool webWrite = false;
};

std::string addressText(const sockaddr* address) {
    char text[INET6_ADDRSTRLEN] = "?";
    if (!address)
        return text;
    if (address->sa_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text,
                  sizeof text);
    else if (address->sa_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text,
                  sizeof text);
    return text;
}

std::string clientAddress(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    return addressText(info ? info->client_addr : nullptr);
}

} // namespace

std::string requestClient(const std::string& peer, const char* realIpHeader,
                          const std::vector<std::string>& trustedProxies) {
    if (!realIpHeader ||
        std::find(trustedProxies.begin(), trustedProxies.end(), peer) == trustedProxies.end())
        return peer;
    unsigned char bytes[16];
    char text[INET6_ADDRSTRLEN];
    if (inet_pton(AF_INET, realIpHeader, bytes) == 1)
        return inet_ntop(AF_INET, bytes, text, sizeof text) ? text : peer;
    if (inet_pton(AF_INET6, realIpHeader, bytes) == 1)
        return inet_ntop(AF_INET6, bytes, text, sizeof text) ? text : peer;
    return peer;
}

namespace {

std::string utcTimestamp() {
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

void writeLogLine(const std::string& line) {
    // One write per line, so lines of parallel requests do not interleave.
    std::string withEnd = line + "\n";
    std::size_t done = 0;
    while (done < withEnd.size()) {
        ssize_t n = ::write(STDERR_FILENO, withEnd.data() + done, withEnd.size() - done);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

bool splitListenAddress(const std::string& text, std::string& host, std::uint16_t& port) {
    std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size())
        return false;
    host = text.substr(0, colon);
    if (host.front() == '[') {
        if (host.back() != ']' || host.size() < 3)
            return false;
        host = host.substr(1, host.size() - 2);
    }
    unsigned long value = 0;
    for (std::size_t i = colon + 1; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + static_cast<unsigned long>(text[i] - '0');
        if (value > 65535)
            return false;
    }
    port = static_cast<std::uint16_t>(value);
    return true;
}

// Writes waiting for the writer at most; past them "Error10" at once, so that a write flood
// cannot pile up suspended connections.
constexpr std::size_t kMaxWaitingWrites = 256;

struct HttpServer::State {
    HttpOptions options;
    ListService& service;
    MHD_Daemon* daemon = nullptr;
    int listenFd = -1;
    std::uint16_t port = 0;

    // Open connections and when they were accepted, for cutting those that take too long.
    struct Open {
        int fd = -1;
        double accepted = 0;
        bool cut = false;
        std::string client;
        // A live stream: open as long as its session lasts, and not counted in the limits.
        bool stream = false;
    };
    std::mutex openMutex;
    std::unordered_map<MHD_Connection*, Open> open;
    std::mutex reaperMutex;
    std::condition_variable reaperWake;
    bool stopping = false;
    std::thread reaper;
    HeldConnections held;
    WriteQueue writes;
    LibraryLog libraryLog;
    ConnectionLimits limits;
    WebSite web;
    LiveLists live;
    EventStreams streams;
    ServerMetrics metrics;

    State(const HttpOptions& o, ListService& s)
        : options(o), service(s), writes(kMaxWaitingWrites,
                                         [&s](const std::vector<std::function<Answer()>>& group) {
                                             return s.writeTogether(group);
                                         }),
          limits(o.connectionsPerAddress, o.maxConnections), web(s, &monotonicSeconds), live(s),
          streams(
              live, [this](const std::string& key) { return web.sessionLasts(key); },
              StreamLimits{.perSession = o.streamsPerSession,
                           .total = o.maxStreams,
                           .keepAliveSeconds = 20,
                           .maxWaitingBytes = 64 * 1024}) {}

    void reap() {
        std::unique_lock lock(reaperMutex);
        while (!stopping) {
            reaperWake.wait_for(lock, std::chrono::seconds(1));
            if (stopping)
                break;
            double now = monotonicSeconds();
            std::lock_guard guard(openMutex);
            for (auto& [connection, entry] : open) {
                if (!entry.cut && !entry.stream &&
                    now - entry.accepted > options.connectionDeadlineSeconds) {
                    // libmicrohttpd reports the close to us (under openMutex) before it closes
                    // the socket, so this descriptor is still this connection's. Shutting it
                    // down makes libmicrohttpd drop the connection by itself.
                    ::shutdown(entry.fd, SHUT_RDWR);
                    entry.cut = true;
                    metrics.countRefused(RefusedConnection::Deadline);
                }
            }
        }
    }
};

namespace {

// The callbacks are called from libmicrohttpd's C code: no exception may pass through them.
// Whatever escapes (in practice only memory exhaustion) closes that one connection.
void* onTarget(void* cls, const char* uri, MHD_Connection*) {
    (void)cls;
    try {
        auto request = std::make_unique<Request>();
        request->target = uri ? uri : "";
        request->started = monotonicSeconds();
        return request.release();
    } catch (...) {
        return nullptr;
    }
}

void onCompleted(void* cls, MHD_Connection*, void** context, MHD_RequestTerminationCode) {
    auto* request = static_cast<Request*>(*context);
    if (request) {
        // A held request whose connection went away gives its place back.
        static_cast<HttpServer::State*>(cls)->service.abandon(request->address, request->ticket);
        delete request;
    }
    *context = nullptr;
}

void onConnection(void* cls, MHD_Connection* connection, void**,
                  MHD_ConnectionNotificationCode code) {
    auto* state = static_cast<HttpServer::State*>(cls);
    std::lock_guard lock(state->openMutex);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
        const MHD_ConnectionInfo* info =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        if (!info)
            return;
        const int fd = info->connect_fd;
        // A connection that cannot be tracked (memory exhausted) could be neither cut at its
        // deadline nor counted: it is shut down, and libmicrohttpd drops it by itself.
        std::string client;
        try {
            client = state->limits.opened(clientAddress(connection));
            state->open[connection] = {fd, monotonicSeconds(), false, client};
        } catch (...) {
            if (!client.empty())
                state->limits.closed(client);
            ::shutdown(fd, SHUT_RDWR);
        }
    } else {
        auto it = state->open.find(connection);
        if (it != state->open.end()) {
            if (!it->second.stream)
                state->limits.closed(it->second.client);
            state->open.erase(it);
        }
    }
}

// Caps the kernel's send buffer of a connection whose answer is larger than the cap: left to
// itself it grows to megabytes, and a slow reader would keep a whole list there. Smaller
// answers fit into the buffer anyway and are spared the system call.
void capSendBuffer(const HttpServer::State& state, MHD_Connection* connection,
                   std::size_t answerBytes) {
    if (answerBytes <= static_cast<std::size_t>(state.options.sendBufferBytes))
        return;
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    if (!info)
        return;
    int bytes = state.options.sendBufferBytes;
    ::setsockopt(info->connect_fd, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
}

// Every answer speaks HTTP/1.0 and ends its connection, as the program expects of its server.
void shapeClosingAnswer(MHD_Response* response, const char* contentType) {
    MHD_set_response_options(
        response,
        static_cast<MHD_ResponseFlags>(MHD_RF_HTTP_1_0_SERVER | MHD_RF_HTTP_1_0_COMPATIBLE_STRICT),
        MHD_RO_END);
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, contentType);
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
}

// Queues the answer and lets go of this side's reference: the connection keeps its own.
MHD_Result queueOnce(MHD_Connection* connection, unsigned status, MHD_Response* response) {
    MHD_Result queued = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return queued;
}

void releaseBody(void* reference) {
    delete static_cast<SharedBody*>(reference);
}

// A response that sends the shared body itself and holds a reference to it until
// libmicrohttpd is done with the connection: no copy per connection, and a body replaced
// meanwhile stays whole for whoever is still reading it.
MHD_Response* sharedResponse(const SharedBody& body) {
    auto reference = std::make_unique<SharedBody>(body);
    MHD_Response* response = MHD_create_response_from_buffer_with_free_callback_cls(
        body->size(), const_cast<char*>(body->data()), &releaseBody, reference.get());
    if (response)
        reference.release(); // now the response's
    return response;
}

// The answer's own first bytes, then the shared body without its opening "{": two pieces that
// the kernel gathers, so that the shared body is never copied per answer. Both live until
// libmicrohttpd is done with the connection.
struct Pieces {
    std::string own;
    SharedBody shared;
};

void releasePieces(void* pieces) {
    delete static_cast<Pieces*>(pieces);
}

MHD_Response* pieceResponse(const std::string& own, const SharedBody& shared) {
    auto pieces = std::make_unique<Pieces>(Pieces{own, shared});
    const MHD_IoVec parts[2] = {{pieces->own.data(), pieces->own.size()},
                                {pieces->shared->data() + 1, pieces->shared->size() - 1}};
    MHD_Response* response = MHD_create_response_from_iovec(parts, 2, &releasePieces, pieces.get());
    if (response)
        pieces.release(); // now the response's
    return response;
}

// libmicrohttpd's own messages may quote the decoded request path: escaped and rate-limited
// like everything else that reaches the log from outside.
void onLibraryMessage(void* cls, const char* format, va_list args) {
    try {
        auto* state = static_cast<HttpServer::State*>(cls);
        std::string line = state->libraryLog.line(monotonicSeconds(), format, args);
        if (!line.empty())
            writeLogLine(utcTimestamp() + " " + line);
    } catch (...) {
    }
}

// Refuses a connection of a client that holds its share of connections already.
MHD_Result onAccept(void* cls, const sockaddr* address, socklen_t) {
    try {
        auto* state = static_cast<HttpServer::State*>(cls);
        const std::string client = addressText(address);
        if (state->limits.mayOpen(client))
            return MHD_YES;
        state->metrics.countRefused(state->limits.openOf(client) >=
                                            state->options.connectionsPerAddress
                                        ? RefusedConnection::PerAddress
                                        : RefusedConnection::Total);
        return MHD_NO;
    } catch (...) {
        return MHD_NO;
    }
}

MHD_Result headerSize(void* cls, MHD_ValueKind, const char* key, const char* value) {
    auto* total = static_cast<std::size_t*>(cls);
    *total += std::strlen(key) + (value ? std::strlen(value) : 0) + 4;
    return MHD_YES;
}

MHD_Result countRealIp(void* cls, MHD_ValueKind, const char* key, const char*) {
    if (strcasecmp(key, "X-Real-IP") == 0)
        ++*static_cast<int*>(cls);
    return MHD_YES;
}

// A proxy that appends its X-Real-IP to the client's own instead of replacing it would let
// the client choose the address it counts for: a request with two names nobody.
bool namesSeveralClients(MHD_Connection* connection) {
    int count = 0;
    MHD_get_connection_values(connection, MHD_HEADER_KIND, countRealIp, &count);
    return count > 1;
}

bool isWebTarget(const std::string& target);
bool isMetricsTarget(const std::string& target);
MHD_Result answerMetrics(HttpServer::State& state, MHD_Connection* connection, Request& request,
                         const char* method);
MHD_Result answerWebRequest(HttpServer::State& state, MHD_Connection* connection, Request& request,
                            const char* method, const char* uploadData, size_t* uploadSize);

MHD_Result answerRequest(void* cls, MHD_Connection* connection, const char* method,
                         const char* version, const char* uploadData, size_t* uploadSize,
                         void** context) {
    auto* state = static_cast<HttpServer::State*>(cls);
    auto* request = static_cast<Request*>(*context);
    if (!request)
        return MHD_NO;
    if (request->answered) {
        // A body after the answer is read and dropped; the connection closes after the answer.
        *uploadSize = 0;
        return MHD_YES;
    }
    if (request->address.empty())
        request->address =
            requestClient(clientAddress(connection),
                          MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "X-Real-IP"),
                          state->options.trustedProxies);
    const std::string& address = request->address;
    std::size_t requestBytes =
        std::strlen(method) + request->target.size() + std::strlen(version) + 4;
    MHD_get_connection_values(connection, MHD_HEADER_KIND, headerSize, &requestBytes);

    const bool severalClients =
        !request->web && !request->answerComes && namesSeveralClients(connection);

    if (requestBytes <= state->options.maxRequestBytes && !severalClients &&
        isMetricsTarget(request->target))
        return answerMetrics(*state, connection, *request, method);
    if (requestBytes <= state->options.maxRequestBytes && !severalClients &&
        (request->web || (!request->answerComes && isWebTarget(request->target))))
        return answerWebRequest(*state, connection, *request, method, uploadData, uploadSize);

    Answer answer;
    if (requestBytes > state->options.maxRequestBytes) {
        answer = answerOf(request->target.size() > state->options.maxRequestBytes ? 414 : 431,
                          "Request too large", "refused: request over 8 KiB");
    } else if (severalClients) {
        answer = answerOf(400, "Bad Request", "refused: more than one X-Real-IP header");
    } else if (std::strcmp(method, "GET") != 0) {
        // HEAD included: a request that may store an entry must not hide behind a method
        // that promises to change nothing.
        answer = answerOf(405, "Method Not Allowed", "refused: only GET");
    } else if (request->answerComes) {
        answer = request->ready ? std::move(*request->ready)
                                : answerOf(200, "Error10", "the write ended without an answer");
    } else {
        Outcome outcome = state->service.handle(request->target, address, request->ticket);
        if (Hold* hold = std::get_if<Hold>(&outcome)) {
            if (hold->then) {
                request->answerComes = true;
                request->ready = std::move(hold->then);
                if (state->held.hold(connection, hold->until))
                    return MHD_YES;                   // sent when the hold is over
                outcome = std::move(*request->ready); // the server stops: at once
            } else if (state->held.hold(connection, hold->until)) {
                return MHD_YES; // asked again when the hold is over
            } else {
                state->service.abandon(address, request->ticket);
                outcome = answerOf(200, "Error10", "held back while the server stops");
            }
        }
        if (Write* write = std::get_if<Write>(&outcome)) {
            request->answerComes = true;
            if (state->writes.submit(connection, std::move(write->run),
                                     [request](Answer written) { request->ready = written; }))
                return MHD_YES; // asked again when the write is done
            request->answerComes = false;
            outcome = answerOf(200, "Error10", "too many writes waiting, not stored");
        }
        answer = std::get<Answer>(std::move(outcome));
    }
    request->answered = true;

    if (!answer.body)
        answer.body = std::make_shared<const std::string>();
    const std::string& bytes = *answer.body;
    capSendBuffer(*state, connection, bytes.size());
    MHD_Response* response = sharedResponse(answer.body);
    if (!response)
        return MHD_NO;
    shapeClosingAnswer(response, "text/plain; charset=windows-1252");
    if (answer.status == 405)
        MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, "GET");
    MHD_Result queued = queueOnce(connection, static_cast<unsigned>(answer.status), response);

    // Only the path of the target: its query carries the password.
    std::string_view target = request->target;
    std::size_t question = target.find('?');
    std::string shown =
        answer.status == 200 && bytes.starts_with("|>Update<|") ? "list" : printable(bytes, 12);
    const double seconds = monotonicSeconds() - request->started;
    state->metrics.countAnswer(requestKindOf(request->target), answerWordOf(answer.status, bytes),
                               seconds);
    char took[32];
    std::snprintf(took, sizeof took, "%.1f ms", seconds * 1000);
    writeLogLine(utcTimestamp() + " " + address + " \"" + printable(method, 16) + " " +
                 printable(target.substr(0, question), 120) + "\" " +
                 std::to_string(answer.status) + " " + shown + " " + std::to_string(bytes.size()) +
                 " B " + took + " - " + printable(answer.note, 300));
    return queued;
}

// --- /metrics for the admin's Prometheus, to the addresses of --metrics-from only.

bool isMetricsTarget(const std::string& target) {
    auto parts = splitTarget(target);
    return parts && parts->path == "/metrics";
}

MHD_Result answerMetrics(HttpServer::State& state, MHD_Connection* connection, Request& request,
                         const char* method) {
    request.answered = true;
    // To anyone else as if there were no such path: nobody learns that the server counts.
    int status = 404;
    std::string body = "Not Found";
    std::string contentType = "text/plain; charset=windows-1252";
    std::string note = "metrics: not a --metrics-from address";
    if (metricsAllowed(request.address, state.options.metricsFrom)) {
        if (std::strcmp(method, "GET") != 0) {
            status = 405;
            body = "Method Not Allowed";
            note = "metrics: only GET";
        } else {
            status = 200;
            body = state.metrics.text();
            contentType = "text/plain; version=0.0.4; charset=utf-8";
            note = "metrics";
        }
    }
    MHD_Response* response = MHD_create_response_from_buffer(
        body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
    if (!response)
        return MHD_NO;
    shapeClosingAnswer(response, contentType.c_str());
    if (status == 405)
        MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, "GET");
    MHD_Result queued = queueOnce(connection, static_cast<unsigned>(status), response);
    writeLogLine(utcTimestamp() + " " + request.address + " \"" + printable(method, 16) +
                 " /metrics\" " + std::to_string(status) + " " + std::to_string(body.size()) +
                 " B - " + note);
    return queued;
}

// --- The browser page: its own paths, a form body for the login, and headers of its own.

bool isWebTarget(const std::string& target) {
    auto parts = splitTarget(target);
    return parts && isWebPath(parts->path);
}

std::string headerValue(MHD_Connection* connection, const char* name) {
    const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
    return value ? value : "";
}

MHD_Result sendWebAnswer(HttpServer::State& state, MHD_Connection* connection,
                         const Request& request, const std::string& method,
                         const WebAnswer& answer) {
    state.metrics.countWebAnswer(answer.status);
    MHD_Response* response = nullptr;
    std::size_t bytes = 0;
    if (answer.sharedBody && !answer.ownMembers.empty() && answer.sharedBody->starts_with('{')) {
        bytes = answer.ownMembers.size() + answer.sharedBody->size() - 1;
        capSendBuffer(state, connection, bytes);
        response = pieceResponse(answer.ownMembers, answer.sharedBody);
    } else {
        const SharedBody body = answer.sharedBody && answer.ownMembers.empty()
                                    ? answer.sharedBody
                                    : std::make_shared<const std::string>(answer.sentText());
        bytes = body->size();
        capSendBuffer(state, connection, bytes);
        response = sharedResponse(body);
    }
    if (!response)
        return MHD_NO;
    shapeClosingAnswer(response, answer.contentType.c_str());
    for (const auto& [name, value] : webSecurityHeaders())
        MHD_add_response_header(response, name.c_str(), value.c_str());
    for (const auto& [name, value] : answer.headers)
        MHD_add_response_header(response, name.c_str(), value.c_str());
    MHD_Result queued = queueOnce(connection, static_cast<unsigned>(answer.status), response);
    char took[32];
    std::snprintf(took, sizeof took, "%.1f ms", (monotonicSeconds() - request.started) * 1000);
    std::string_view target = request.target;
    writeLogLine(utcTimestamp() + " " + request.address + " \"" + printable(method, 16) + " " +
                 printable(target.substr(0, target.find('?')), 120) + "\" " +
                 std::to_string(answer.status) + " " + std::to_string(bytes) + " B " + took +
                 " - " + printable(answer.note, 300));
    return queued;
}

// A live stream of the page: past its bounds 429, else an answer without end that the stream
// feeds; its connection leaves the connection limits and the deadline.
MHD_Result openStream(HttpServer::State& state, MHD_Connection* connection, Request& request,
                      const std::string& method, const WebStream& stream) {
    request.answered = true;
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    EventStreams::Opened opened =
        info ? state.streams.open(connection, info->connect_fd, stream.alliance, stream.sessionKey,
                                  PasswordGuard::clientOf(request.address))
             : EventStreams::Opened{nullptr, EventStreams::Refusal::Unavailable};
    if (!opened.response) {
        using Refusal = EventStreams::Refusal;
        const bool tooMany = opened.refusal == Refusal::Session ||
                             opened.refusal == Refusal::Client || opened.refusal == Refusal::Total;
        const char* why = opened.refusal == Refusal::Session  ? "of this session"
                          : opened.refusal == Refusal::Client ? "of this address"
                          : opened.refusal == Refusal::Total  ? "of the server"
                                                              : "";
        WebAnswer refused{
            .status = tooMany ? 429 : 503,
            .contentType = "application/json; charset=utf-8",
            .body = tooMany ? "{\"error\":\"Zu viele offene Live-Verbindungen.\"}"
                            : "{\"error\":\"Live-Verbindungen sind gerade nicht möglich.\"}",
            .headers = {{"Cache-Control", "no-store"}, {"Retry-After", "30"}},
            .note = tooMany ? std::string("web: events refused, all streams ") + why + " open"
                            : std::string("web: events not possible now"),
            .sharedBody = {},
            .ownMembers = {}};
        return sendWebAnswer(state, connection, request, method, refused);
    }
    {
        std::lock_guard lock(state.openMutex);
        auto it = state.open.find(connection);
        if (it != state.open.end() && !it->second.stream) {
            it->second.stream = true;
            state.limits.closed(it->second.client);
        }
    }
    MHD_Response* response = opened.response;
    shapeClosingAnswer(response, "text/event-stream; charset=utf-8");
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    // A proxy in front (nginx) would otherwise gather the events before it passes them on.
    MHD_add_response_header(response, "X-Accel-Buffering", "no");
    for (const auto& [name, value] : webSecurityHeaders())
        MHD_add_response_header(response, name.c_str(), value.c_str());
    MHD_Result queued = queueOnce(connection, MHD_HTTP_OK, response);
    state.metrics.countWebAnswer(200);
    writeLogLine(utcTimestamp() + " " + request.address + " \"" + printable(method, 16) +
                 " /api/events\" 200 stream - web: live stream opened");
    return queued;
}

MHD_Result answerWebRequest(HttpServer::State& state, MHD_Connection* connection, Request& request,
                            const char* method, const char* uploadData, size_t* uploadSize) {
    if (!request.web) {
        auto web = std::make_unique<WebRequest>();
        web->method = method;
        web->path = splitTarget(request.target)->path;
        web->cookieHeader = headerValue(connection, MHD_HTTP_HEADER_COOKIE);
        web->overTls = headerValue(connection, "X-Forwarded-Proto") == "https";
        web->fetchSite = headerValue(connection, "Sec-Fetch-Site");
        web->origin = headerValue(connection, MHD_HTTP_HEADER_ORIGIN);
        web->referer = headerValue(connection, MHD_HTTP_HEADER_REFERER);
        web->host = headerValue(connection, MHD_HTTP_HEADER_HOST);
        if (const char* csrf =
                MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "X-Reef-Csrf"))
            web->csrfHeader = csrf;
        web->clientAddress = request.address;
        request.web = std::move(web);
        // The body of a POST or PUT comes in the calls that follow; the last one brings none.
        if (request.web->method == "POST" || request.web->method == "PUT")
            return MHD_YES;
    } else if (*uploadSize > 0) {
        WebRequest& web = *request.web;
        if (web.body.size() + *uploadSize > webBodyLimit(web.path))
            web.bodyTooLarge = true;
        else
            web.body.append(uploadData, *uploadSize);
        *uploadSize = 0;
        return MHD_YES;
    }
    if (request.answerComes) {
        request.answerComes = false;
        if (request.webWrite && !request.webReady)
            request.webReady = WebAnswer{.status = 500,
                                         .contentType = "application/json; charset=utf-8",
                                         .body = "{\"error\":\"Der Eintrag wurde nicht "
                                                 "gespeichert.\"}",
                                         .headers = {{"Cache-Control", "no-store"}},
                                         .note = "web: the write ended without an answer",
                                         .sharedBody = {},
                                         .ownMembers = {}};
        if (request.webReady) {
            request.answered = true;
            return sendWebAnswer(state, connection, request, method, *request.webReady);
        }
    }
    WebOutcome outcome = state.web.handle(*request.web, request.ticket);
    if (WebWrite* write = std::get_if<WebWrite>(&outcome)) {
        request.answerComes = true;
        request.webWrite = true;
        if (state.writes.submit(connection, std::move(write->run),
                                [&request, wording = std::move(write->answer)](Answer written) {
                                    request.webReady = wording(written);
                                }))
            return MHD_YES; // answered when the write is done
        request.answerComes = false;
        request.webWrite = false;
        outcome = WebAnswer{.status = 503,
                            .contentType = "application/json; charset=utf-8",
                            .body = "{\"error\":\"Der Server ist gerade überlastet. Bitte "
                                    "versuche es gleich noch einmal.\"}",
                            .headers = {{"Cache-Control", "no-store"}, {"Retry-After", "5"}},
                            .note = "web: too many writes waiting, not stored",
                            .sharedBody = {},
                            .ownMembers = {}};
    }
    if (WebStream* stream = std::get_if<WebStream>(&outcome))
        return openStream(state, connection, request, method, *stream);
    if (WebHold* hold = std::get_if<WebHold>(&outcome)) {
        request.answerComes = true;
        request.webReady = std::move(hold->then);
        if (state.held.hold(connection, hold->until))
            return MHD_YES; // asked again when the hold is over
        request.answerComes = false;
        if (request.webReady) {
            outcome = std::move(*request.webReady);
        } else {
            state.service.abandon(request.address, request.ticket);
            outcome = WebAnswer{.status = 503,
                                .contentType = "text/plain; charset=utf-8",
                                .body = "Der Server wird beendet.\n",
                                .headers = {},
                                .note = "web: held back while the server stops",
                                .sharedBody = {},
                                .ownMembers = {}};
        }
    }
    request.answered = true;
    return sendWebAnswer(state, connection, request, method, std::get<WebAnswer>(outcome));
}

MHD_Result onRequest(void* cls, MHD_Connection* connection, const char*, const char* method,
                     const char* version, const char* uploadData, size_t* uploadSize,
                     void** context) {
    try {
        return answerRequest(cls, connection, method, version, uploadData, uploadSize, context);
    } catch (...) {
        return MHD_NO;
    }
}

int bindListenSocket(const HttpOptions& options, std::uint16_t& boundPort) {
    std::string host;
    std::uint16_t port = 0;
    if (!splitListenAddress(options.listen, host, port))
        throw std::runtime_error("--listen " + options.listen +
                                 ": expected ADDRESS:PORT, e.g. 0.0.0.0:80 or [::]:80");
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::string service = std::to_string(port);
    int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (rc != 0 || !found)
        throw std::runtime_error("--listen " + options.listen + ": " + host +
                                 " is not a numeric IP address");
    int fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        freeaddrinfo(found);
        throw std::runtime_error(std::string("cannot create a socket: ") + std::strerror(errno));
    }
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (found->ai_family == AF_INET6)
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
    if (::bind(fd, found->ai_addr, found->ai_addrlen) != 0) {
        int error = errno;
        freeaddrinfo(found);
        ::close(fd);
        std::string why = std::strerror(error);
        if (error == EADDRINUSE)
            why = "the port is already in use by another program";
        else if (error == EACCES)
            why = "permission denied (ports below 1024 need root or the capability "
                  "CAP_NET_BIND_SERVICE)";
        else if (error == EADDRNOTAVAIL)
            why = "this machine has no such address";
        throw std::runtime_error("cannot listen on " + options.listen + ": " + why);
    }
    freeaddrinfo(found);
    if (::listen(fd, 1024) != 0) {
        int error = errno;
        ::close(fd);
        throw std::runtime_error("cannot listen on " + options.listen + ": " +
                                 std::strerror(error));
    }
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
    boundPort =
        ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                          : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    return fd;
}

} // namespace

HttpServer::HttpServer(const HttpOptions& options, ListService& service)
    : state_(std::make_unique<State>(options, service)) {
    State& s = *state_;
    s.listenFd = bindListenSocket(options, s.port);
    // Turbo: a new connection is read at once and closed without shutdown() and without its
    // round through epoll, half the system calls of a download that arrives in one packet
    // (the desktop program's always does); the rest of a download's cost is the kernel's.
    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_TURBO | MHD_USE_ITC |
                     MHD_USE_ERROR_LOG | MHD_ALLOW_SUSPEND_RESUME;
    s.daemon = MHD_start_daemon(
        flags, 0, &onAccept, &s, &onRequest, &s,
        // First, so that no message of the start goes past it.
        MHD_OPTION_EXTERNAL_LOGGER, &onLibraryMessage, &s, MHD_OPTION_LISTEN_SOCKET, s.listenFd,
        MHD_OPTION_THREAD_POOL_SIZE, static_cast<unsigned>(std::max(1u, options.threads)),
        MHD_OPTION_CONNECTION_TIMEOUT, options.idleTimeoutSeconds,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT,
        static_cast<size_t>(std::max<std::size_t>(16384, options.maxRequestBytes * 2)),
        // A backstop only: the accept policy refuses past the total, before this is reached.
        MHD_OPTION_CONNECTION_LIMIT,
        static_cast<unsigned>(options.maxConnections + options.maxStreams + 16 * options.threads),
        MHD_OPTION_LISTEN_BACKLOG_SIZE, 1024u, MHD_OPTION_URI_LOG_CALLBACK, &onTarget, &s,
        MHD_OPTION_NOTIFY_COMPLETED, &onCompleted, &s, MHD_OPTION_NOTIFY_CONNECTION, &onConnection,
        &s, MHD_OPTION_END);
    if (!s.daemon) {
        ::close(s.listenFd);
        throw std::runtime_error("cannot start the HTTP server on " + options.listen);
    }
    s.reaper = std::thread([&s] { s.reap(); });
    s.metrics.addReader([&s] {
        const ListService::BudgetRefusals refused = s.service.budgetRefusals();
        return std::vector<MetricReading>{
            {"reef_held_requests", "gauge",
             "Requests held back after wrong passwords, waiting for their answer.", "",
             static_cast<double>(s.held.count())},
            {"reef_write_budget_refusals_total", "counter",
             "New and Change refused with Error10: the budget of the address or the alliance "
             "was used up.",
             "budget=\"address\"", static_cast<double>(refused.address)},
            {"reef_write_budget_refusals_total", "counter", "", "budget=\"alliance\"",
             static_cast<double>(refused.alliance)},
            {"reef_event_streams", "gauge", "Live streams of the browser page open now.", "",
             static_cast<double>(s.streams.count())},
            {"reef_list_bytes", "gauge",
             "Bytes of list bodies in memory: those kept and those slow readers still receive.", "",
             static_cast<double>(s.service.listBytes())}};
    });
}

HttpServer::~HttpServer() {
    stop();
}

std::uint16_t HttpServer::port() const {
    return state_->port;
}

ServerMetrics& HttpServer::metrics() {
    return state_->metrics;
}

namespace {

// The connections just resumed are answered by libmicrohttpd's threads, and stopping the
// daemon would drop an answer not yet sent: wait for them to close, a moment at most (a client
// that never sends its request is not waited for).
void waitForAnswersInFlight(HttpServer::State& state) {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(2000);
    while (steady_clock::now() < deadline) {
        {
            std::lock_guard lock(state.openMutex);
            if (state.open.empty())
                return;
        }
        std::this_thread::sleep_for(milliseconds(10));
    }
}

} // namespace

void HttpServer::stop() {
    State& s = *state_;
    {
        std::lock_guard lock(s.reaperMutex);
        s.stopping = true;
    }
    if (s.daemon) {
        // No new connection is taken, and every held one is answered now: libmicrohttpd may
        // not be stopped while a connection is suspended.
        MHD_socket returned = MHD_quiesce_daemon(s.daemon);
        if (returned != MHD_INVALID_SOCKET)
            ::close(returned);
    }
    s.held.close();
    s.streams.close(); // every live stream ends now
    s.writes.close();  // the waiting writes are stored and answered
    waitForAnswersInFlight(s);
    s.reaperWake.notify_all();
    if (s.reaper.joinable())
        s.reaper.join();
    if (s.daemon) {
        MHD_stop_daemon(s.daemon);
        s.daemon = nullptr;
        s.listenFd = -1;
    }
}

} // namespace reef::listserver
