#pragma once
// Posts chat alerts from a queue on a thread of its own, so that no request of the desktop
// program ever waits on a chat server: bounded (the oldest message goes when it is full),
// retried with growing pauses, a 429 answer's Retry-After honoured, and at most one message
// a second to each webhook, in the order they came.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace reef::listserver {

struct SenderOptions {
    std::size_t capacity = 500;     // messages waiting, of all webhooks together
    double secondsBetween = 1.0;    // from the start of one post to the next, per webhook
    double firstRetrySeconds = 2.0; // doubled after every failure
    double longestRetrySeconds = 300.0;
    double longestRetryAfterSeconds = 600.0; // a 429's Retry-After, cut to this
    int attempts = 6;                        // tries of one message before it is given up
    long connectSeconds = 10;
    long transferSeconds = 20;
};

struct Delivery {
    std::string url;      // secret: never logged
    std::string shownUrl; // scheme and host, for the log
    std::string label;    // for the log: whose webhook and what the message tells
    std::string body;     // UTF-8 JSON
};

// What the sender did since it started, for the server's metrics.
struct WebhookFigures {
    std::size_t waiting = 0;       // messages queued or under way now
    std::uint64_t delivered = 0;   // messages a chat server took
    std::uint64_t failedTries = 0; // posts that failed, whether tried again or not
    std::uint64_t givenUp = 0;     // messages given up after their last try
    std::uint64_t dropped = 0;     // messages dropped from a full queue
};

class WebhookSender {
  public:
    using Log = std::function<void(const std::string&)>;

    WebhookSender(SenderOptions options, Log log);
    // Ends at once: a post under way is abandoned, waiting messages are dropped (counted in
    // the log).
    ~WebhookSender();
    WebhookSender(const WebhookSender&) = delete;
    WebhookSender& operator=(const WebhookSender&) = delete;

    // Never blocks on the network.
    void send(Delivery delivery);
    WebhookFigures figures();

  private:
    struct Waiting {
        Delivery delivery;
        int tries = 0;
        double notBefore = 0; // monotonic seconds
    };
    struct Outcome {
        bool delivered = false;
        bool retry = false;
        double retryAfter = 0; // from a 429, else 0
        std::string what;      // for the log
    };

    void run();
    // The first waiting message of a webhook whose turn has come, or the time of the next.
    std::deque<Waiting>::iterator nextDue(double now, double& wakeAt);
    Outcome post(void* curl, const Delivery& delivery);
    void settle(Waiting waiting, const Outcome& outcome, double startedAt);
    void dropOldestBeyondCapacity();
    static double monotonicNow();

    SenderOptions options_;
    Log log_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Waiting> waiting_;
    std::map<std::string, double> nextPostAt_; // by URL
    bool posting_ = false;                     // a message is under way, outside waiting_
    WebhookFigures counted_;                   // under mutex_; waiting is filled in when read
    std::atomic<bool> stopping_ = false;       // set under mutex_, read by a post under way
    std::thread thread_;
};

} // namespace reef::listserver
