#include "listserver/http/event_streams.h"

#include <microhttpd.h>

#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <set>

namespace reef::listserver {

namespace {

constexpr auto kLookEvery = std::chrono::milliseconds(500);
constexpr double kSessionCheckSeconds = 1;
// How long a browser waits before it opens a lost stream again.
constexpr const char* kRetry = "retry: 3000\n\n";
constexpr const char* kKeepAlive = ": still here\n\n";

double monotonicNow() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Whether the browser closed a suspended stream's connection (libmicrohttpd does not look
// while the connection is suspended).
bool peerClosed(int fd) {
    char byte;
    const ssize_t n = ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n == 0)
        return true;
    return n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
}

} // namespace

struct EventStreams::Stream {
    MHD_Connection* connection = nullptr;
    int fd = -1;
    AllianceId alliance = 0;
    std::string sessionKey;
    std::string client;

    std::mutex mutex;
    std::string waiting; // bytes not yet handed to libmicrohttpd
    bool suspended = false;
    bool ended = false;
    double lastSent = 0;
    // The answer is freed: the connection is done with the stream.
    std::atomic<bool> gone{false};
};

namespace {

using StreamRef = std::shared_ptr<EventStreams::Stream>;

ssize_t readStream(void* cls, uint64_t, char* buffer, size_t max) {
    EventStreams::Stream& stream = **static_cast<StreamRef*>(cls);
    std::lock_guard lock(stream.mutex);
    if (!stream.waiting.empty()) {
        const std::size_t n = std::min(max, stream.waiting.size());
        std::memcpy(buffer, stream.waiting.data(), n);
        stream.waiting.erase(0, n);
        return static_cast<ssize_t>(n);
    }
    if (stream.ended)
        return MHD_CONTENT_READER_END_OF_STREAM;
    // Suspended under the stream's lock, so that whoever hands it text next sees it suspended
    // and resumes it.
    stream.suspended = true;
    MHD_suspend_connection(stream.connection);
    return 0;
}

void freeStream(void* cls) {
    auto* stream = static_cast<StreamRef*>(cls);
    (*stream)->gone = true;
    delete stream;
}

} // namespace

EventStreams::EventStreams(LiveLists& live, std::function<bool(const std::string&)> sessionLasts,
                           StreamLimits limits)
    : live_(live), sessionLasts_(std::move(sessionLasts)), limits_(limits),
      thread_([this] { run(); }) {}

EventStreams::~EventStreams() {
    close();
}

EventStreams::Opened EventStreams::open(MHD_Connection* connection, int fd, AllianceId alliance,
                                        const std::string& sessionKey, const std::string& client) {
    std::vector<MHD_Connection*> resume;
    Opened opened;
    {
        std::lock_guard lock(mutex_);
        if (closing_)
            return {nullptr, Refusal::Closed};
        // A reloaded page opens its stream before the old one is noticed gone: look now.
        std::size_t ofSession = 0;
        std::size_t ofClient = 0;
        std::size_t open = 0;
        for (const StreamRef& each : streams_) {
            std::lock_guard streamLock(each->mutex);
            if (each->gone || each->ended)
                continue;
            if (each->sessionKey == sessionKey && each->suspended && peerClosed(each->fd)) {
                each->ended = true;
                each->suspended = false;
                resume.push_back(each->connection);
                continue;
            }
            ++open;
            ofSession += each->sessionKey == sessionKey;
            ofClient += each->client == client;
        }
        if (ofSession >= limits_.perSession)
            opened.refusal = Refusal::Session;
        else if (ofClient >= limits_.perClient)
            opened.refusal = Refusal::Client;
        else if (open >= limits_.total)
            opened.refusal = Refusal::Total;
        if (opened.refusal == Refusal::None) {
            auto stream = std::make_shared<Stream>();
            stream->connection = connection;
            stream->fd = fd;
            stream->alliance = alliance;
            stream->sessionKey = sessionKey;
            stream->client = client;
            stream->lastSent = monotonicNow();
            try {
                const ListService::ListVersions versions = live_.follow(alliance);
                stream->waiting = std::string(kRetry) +
                                  eventText(LiveEvent{"lists", LiveLists::listsData(versions)});
            } catch (const std::exception&) {
                opened.refusal = Refusal::Unavailable;
            }
            if (opened.refusal == Refusal::None) {
                auto* cls = new StreamRef(stream);
                opened.response = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 4096,
                                                                    &readStream, cls, &freeStream);
                if (!opened.response) {
                    delete cls;
                    live_.unfollow(alliance);
                    opened.refusal = Refusal::Unavailable;
                } else {
                    streams_.push_back(std::move(stream));
                }
            }
        }
    }
    for (MHD_Connection* each : resume)
        MHD_resume_connection(each);
    return opened;
}

void EventStreams::send(Stream& stream, const std::string& text, double now) {
    if (stream.ended)
        return;
    stream.waiting += text;
    stream.lastSent = now;
    // A client that reads nothing must not make the server keep ever more for it.
    if (stream.waiting.size() > limits_.maxWaitingBytes)
        end(stream);
}

void EventStreams::end(Stream& stream) {
    stream.ended = true;
    stream.waiting.clear();
}

void EventStreams::close() {
    std::vector<MHD_Connection*> resume;
    {
        std::lock_guard lock(mutex_);
        if (closing_ && !thread_.joinable())
            return;
        closing_ = true;
        for (const StreamRef& each : streams_) {
            std::lock_guard streamLock(each->mutex);
            end(*each);
            if (each->suspended) {
                each->suspended = false;
                resume.push_back(each->connection);
            }
        }
    }
    wake_.notify_one();
    for (MHD_Connection* each : resume)
        MHD_resume_connection(each);
    if (thread_.joinable())
        thread_.join();
}

std::size_t EventStreams::count() {
    std::lock_guard lock(mutex_);
    std::size_t open = 0;
    for (const StreamRef& each : streams_)
        open += !each->gone;
    return open;
}

void EventStreams::run() {
    double sessionsChecked = 0;
    std::unique_lock lock(mutex_);
    while (!closing_) {
        wake_.wait_for(lock, kLookEvery);
        if (closing_)
            break;
        // The streams whose connection is done leave here, and only here, so that each one's
        // alliance is let go of once.
        std::vector<AllianceId> unfollow;
        std::vector<StreamRef> kept;
        for (StreamRef& each : streams_) {
            if (each->gone)
                unfollow.push_back(each->alliance);
            else
                kept.push_back(each);
        }
        std::erase_if(streams_, [](const StreamRef& each) { return each->gone.load(); });
        lock.unlock();
        for (AllianceId alliance : unfollow)
            live_.unfollow(alliance);

        const auto events = live_.changes();
        const double now = monotonicNow();
        std::set<std::string> endedSessions;
        if (now - sessionsChecked >= kSessionCheckSeconds) {
            sessionsChecked = now;
            std::set<std::string> keys;
            for (const StreamRef& each : kept)
                keys.insert(each->sessionKey);
            for (const std::string& key : keys) {
                try {
                    if (!sessionLasts_(key))
                        endedSessions.insert(key);
                } catch (const std::exception&) {
                    // The store cannot be read now: the session is looked at again later.
                }
            }
        }
        std::vector<MHD_Connection*> resume;
        for (const StreamRef& each : kept) {
            std::lock_guard streamLock(each->mutex);
            if (endedSessions.contains(each->sessionKey))
                end(*each);
            if (each->suspended && peerClosed(each->fd))
                end(*each);
            for (const auto& [alliance, event] : events)
                if (alliance == each->alliance)
                    send(*each, eventText(event), now);
            if (now - each->lastSent >= limits_.keepAliveSeconds)
                send(*each, kKeepAlive, now);
            if (each->suspended && (each->ended || !each->waiting.empty())) {
                each->suspended = false;
                resume.push_back(each->connection);
            }
        }
        for (MHD_Connection* each : resume)
            MHD_resume_connection(each);
        lock.lock();
    }
}

} // namespace reef::listserver
