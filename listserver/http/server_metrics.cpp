#include "listserver/http/server_metrics.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>
#include <map>

namespace reef::listserver {

namespace {

constexpr std::array<const char*, 4> kKindNames = {"Update", "New", "Change", "other"};
constexpr std::array<const char*, 8> kWordNames = {"list",   "ready",  "false",   "Error1",
                                                   "Error2", "Error3", "Error10", "other"};
constexpr std::array<const char*, 3> kRefusedNames = {"per_address", "total", "deadline"};

void add(std::atomic<std::uint64_t>& counter, std::uint64_t by = 1) {
    counter.fetch_add(by, std::memory_order_relaxed);
}
std::uint64_t read(const std::atomic<std::uint64_t>& counter) {
    return counter.load(std::memory_order_relaxed);
}

std::string number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

void header(std::string& out, const std::string& name, const std::string& type,
            const std::string& help) {
    out += "# HELP " + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

} // namespace

RequestKind requestKindOf(std::string_view target) {
    std::size_t question = target.find('?');
    if (question == std::string_view::npos)
        return RequestKind::Other;
    std::string_view query = target.substr(question + 1);
    while (!query.empty()) {
        std::size_t amp = query.find('&');
        std::string_view part = query.substr(0, amp);
        if (part.starts_with("Info3=")) {
            std::string_view value = part.substr(6);
            if (value == "Update")
                return RequestKind::Update;
            if (value == "New")
                return RequestKind::New;
            if (value == "Change")
                return RequestKind::Change;
            return RequestKind::Other;
        }
        if (amp == std::string_view::npos)
            break;
        query.remove_prefix(amp + 1);
    }
    return RequestKind::Other;
}

AnswerWord answerWordOf(int status, std::string_view body) {
    if (status != 200)
        return AnswerWord::Other;
    if (body.starts_with("|>Update<|"))
        return AnswerWord::List;
    for (std::size_t i = 0; i + 1 < kWordNames.size(); ++i)
        if (i != static_cast<std::size_t>(AnswerWord::List) && body == kWordNames[i])
            return static_cast<AnswerWord>(i);
    return AnswerWord::Other;
}

void ServerMetrics::countAnswer(RequestKind kind, AnswerWord word, double seconds) {
    add(answers_[static_cast<std::size_t>(kind)][static_cast<std::size_t>(word)]);
    Histogram* histogram = kind == RequestKind::Update ? &updateLatency_
                           : kind == RequestKind::New  ? &newLatency_
                                                       : nullptr;
    if (!histogram)
        return;
    // Each bucket counts only its own range; the cumulative counts are summed for a scrape.
    std::size_t bucket = 0;
    while (bucket < kLatencyBuckets.size() && seconds > kLatencyBuckets[bucket])
        ++bucket;
    if (bucket < kLatencyBuckets.size())
        add(histogram->buckets[bucket]);
    add(histogram->count);
    add(histogram->microseconds, static_cast<std::uint64_t>(seconds > 0 ? seconds * 1e6 : 0));
}

void ServerMetrics::countWebAnswer(int status) {
    std::size_t index = 0;
    while (index < kWebStatuses.size() && kWebStatuses[index] != status)
        ++index;
    add(webAnswers_[index]);
}

void ServerMetrics::countRefused(RefusedConnection reason) {
    add(refused_[static_cast<std::size_t>(reason)]);
}

std::string ServerMetrics::text() const {
    std::string out;
    header(out, "reef_requests_total", "counter",
           "Answered requests of the desktop program by operation (Info3) and answer.");
    for (std::size_t kind = 0; kind < kKinds; ++kind)
        for (std::size_t word = 0; word < kWords; ++word)
            out += std::string("reef_requests_total{kind=\"") + kKindNames[kind] + "\",answer=\"" +
                   kWordNames[word] + "\"} " + std::to_string(read(answers_[kind][word])) + "\n";
    header(out, "reef_web_requests_total", "counter",
           "Answered requests of the browser page by HTTP status.");
    for (std::size_t i = 0; i <= kWebStatuses.size(); ++i)
        out += "reef_web_requests_total{status=\"" +
               (i < kWebStatuses.size() ? std::to_string(kWebStatuses[i]) : std::string("other")) +
               "\"} " + std::to_string(read(webAnswers_[i])) + "\n";
    header(out, "reef_refused_connections_total", "counter",
           "Connections closed unanswered: over the limit per address or in all, or cut at "
           "their deadline.");
    for (std::size_t i = 0; i < refused_.size(); ++i)
        out += std::string("reef_refused_connections_total{reason=\"") + kRefusedNames[i] + "\"} " +
               std::to_string(read(refused_[i])) + "\n";

    const std::pair<const char*, const Histogram*> histograms[] = {{"Update", &updateLatency_},
                                                                   {"New", &newLatency_}};
    header(out, "reef_request_duration_seconds", "histogram",
           "Time from the request's arrival to its answer, of Update and New (a New waits for "
           "its commit).");
    for (const auto& [kind, histogram] : histograms) {
        std::uint64_t cumulative = 0;
        for (std::size_t i = 0; i < kLatencyBuckets.size(); ++i) {
            cumulative += read(histogram->buckets[i]);
            out += std::string("reef_request_duration_seconds_bucket{kind=\"") + kind + "\",le=\"" +
                   number(kLatencyBuckets[i]) + "\"} " + std::to_string(cumulative) + "\n";
        }
        const std::uint64_t count = read(histogram->count);
        out += std::string("reef_request_duration_seconds_bucket{kind=\"") + kind +
               "\",le=\"+Inf\"} " + std::to_string(count) + "\n";
        out += std::string("reef_request_duration_seconds_sum{kind=\"") + kind + "\"} " +
               number(static_cast<double>(read(histogram->microseconds)) / 1e6) + "\n";
        out += std::string("reef_request_duration_seconds_count{kind=\"") + kind + "\"} " +
               std::to_string(count) + "\n";
    }

    // Readings of one name share their HELP and TYPE lines, in the order they came.
    std::vector<std::string> order;
    std::map<std::string, std::string> lines;
    for (const MetricReader& reader : readers_) {
        for (const MetricReading& reading : reader()) {
            auto [it, fresh] = lines.try_emplace(reading.name);
            if (fresh) {
                order.push_back(reading.name);
                header(it->second, reading.name, reading.type, reading.help);
            }
            it->second += reading.name +
                          (reading.labels.empty() ? std::string() : "{" + reading.labels + "}") +
                          " " + number(reading.value) + "\n";
        }
    }
    for (const std::string& name : order)
        out += lines[name];
    return out;
}

bool metricsAllowed(const std::string& clientAddress, const std::vector<std::string>& allowed) {
    unsigned char client[16];
    int family = AF_INET;
    if (inet_pton(AF_INET, clientAddress.c_str(), client) != 1) {
        family = AF_INET6;
        if (inet_pton(AF_INET6, clientAddress.c_str(), client) != 1)
            return false;
    }
    const std::size_t size = family == AF_INET ? 4 : 16;
    for (const std::string& each : allowed) {
        unsigned char other[16];
        if (inet_pton(family, each.c_str(), other) == 1 && std::memcmp(client, other, size) == 0)
            return true;
    }
    return false;
}

} // namespace reef::listserver
