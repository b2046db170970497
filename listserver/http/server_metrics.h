#pragma once
// What the server did since it started, for a hosting admin's Prometheus: requests by kind and
// answer, refused connections, a latency histogram of the downloads and the new entries, and
// the readings of other parts (list bytes, the chat's queue) taken when scraped. Counting is a
// few relaxed atomic additions per request; the text is built only for a scrape.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace reef::listserver {

// A value another part of the server reports at the moment of a scrape.
struct MetricReading {
    std::string name;   // e.g. reef_webhook_queue_messages
    std::string type;   // "gauge" or "counter"
    std::string help;   // one line
    std::string labels; // e.g. reason="per_address", or empty
    double value = 0;
};
using MetricReader = std::function<std::vector<MetricReading>()>;

// What a request of the desktop program asked for: Info3 of its query.
enum class RequestKind { Update, New, Change, Other, Count };
// The first word of an answer of the desktop program's protocol ("list" for a download).
enum class AnswerWord { List, Ready, False, Error1, Error2, Error3, Error10, Other, Count };
enum class RefusedConnection { PerAddress, Total, Deadline, Count };

RequestKind requestKindOf(std::string_view target);
AnswerWord answerWordOf(int status, std::string_view body);

class ServerMetrics {
  public:
    static constexpr std::array<double, 14> kLatencyBuckets = {
        0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10};

    void countAnswer(RequestKind kind, AnswerWord word, double seconds);
    void countWebAnswer(int status);
    void countRefused(RefusedConnection reason);
    void addReader(MetricReader reader) { readers_.push_back(std::move(reader)); }

    // The Prometheus text exposition format (version 0.0.4).
    std::string text() const;

  private:
    struct Histogram {
        std::array<std::atomic<std::uint64_t>, kLatencyBuckets.size()> buckets{};
        std::atomic<std::uint64_t> count{0};
        std::atomic<std::uint64_t> microseconds{0};
    };
    static constexpr std::size_t kKinds = static_cast<std::size_t>(RequestKind::Count);
    static constexpr std::size_t kWords = static_cast<std::size_t>(AnswerWord::Count);
    static constexpr std::array<int, 14> kWebStatuses = {200, 204, 303, 304, 400, 403, 404,
                                                         405, 413, 414, 429, 431, 500, 503};

    std::array<std::array<std::atomic<std::uint64_t>, kWords>, kKinds> answers_{};
    std::array<std::atomic<std::uint64_t>, kWebStatuses.size() + 1> webAnswers_{};
    std::array<std::atomic<std::uint64_t>, static_cast<std::size_t>(RefusedConnection::Count)>
        refused_{};
    Histogram updateLatency_;
    Histogram newLatency_;
    std::vector<MetricReader> readers_; // set before the first request
};

// Whether a client address may read the metrics: one of the listed numeric addresses, compared
// as addresses (so "::1" and "0:0::1" are the same).
bool metricsAllowed(const std::string& clientAddress, const std::vector<std::string>& allowed);

} // namespace reef::listserver
