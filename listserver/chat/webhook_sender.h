#pragma once
// Posts chat alerts from a thread of its own, so that no request of the desktop program ever
// waits on a chat server. Every webhook has its own queue: its messages go in the order they
// came, at most one a second and one at a time, retried with growing pauses (a 429 answer's
// Retry-After honoured); the webhooks' posts run side by side on one libcurl multi handle, so
// a chat that hangs holds up its own alliance's alerts only.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace reef::listserver {

struct SenderOptions {
    std::size_t capacity = 100;     // messages waiting for one webhook; the oldest goes beyond
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
    // One webhook's messages in the order they came.
    struct Queue {
        std::deque<Waiting> waiting;
        bool posting = false;  // its first message is under way, outside `waiting`
        double nextPostAt = 0; // monotonic seconds
    };
    struct Outcome {
        bool delivered = false;
        bool retry = false;
        double retryAfter = 0; // from a 429, else 0
        std::string what;      // for the log
    };
    struct Transfer;                                              // a post under way
    using Transfers = std::map<void*, std::unique_ptr<Transfer>>; // by libcurl easy handle

    void run();
    // Starts the first message of every webhook whose turn has come; gives the time of the
    // next turn. Under mutex_.
    double startDue(double now, Transfers& transfers);
    // The transfers libcurl has finished; false when there were none.
    bool settleFinished(Transfers& transfers);
    Outcome outcomeOf(const Transfer& transfer, int result) const;
    void settle(Waiting waiting, const Outcome& outcome, double startedAt);
    void dropOldestBeyondCapacity(Queue& queue);
    static double monotonicNow();

    SenderOptions options_;
    Log log_;
    void* multi_ = nullptr; // the libcurl multi handle; only its wakeup is used outside run()
    std::mutex mutex_;
    std::map<std::string, Queue> queues_; // by URL
    bool stopping_ = false;
    WebhookFigures counted_; // under mutex_; waiting is filled in when read
    std::thread thread_;
};

} // namespace reef::listserver
