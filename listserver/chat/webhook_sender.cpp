#include "listserver/chat/webhook_sender.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

namespace reef::listserver {

namespace {

constexpr std::size_t kMaxAnswerBytes = 64 * 1024;
// Wakes the sending thread at the latest this often when nothing is due; a new message or
// the stop wakes it at once.
constexpr int kLongestPollMs = 60 * 1000;

// The chat's answer is not needed; a bounded read keeps the connection reusable.
std::size_t discardAnswer(char*, std::size_t size, std::size_t count, void* data) {
    auto* total = static_cast<std::size_t*>(data);
    *total += size * count;
    return *total > kMaxAnswerBytes ? 0 : size * count;
}

std::string secondsText(double seconds) {
    return std::to_string(static_cast<long long>(std::ceil(seconds))) + " s";
}

} // namespace

struct WebhookSender::Transfer {
    Waiting waiting;
    double startedAt = 0;
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    std::size_t answerBytes = 0;

    ~Transfer() {
        if (easy)
            curl_easy_cleanup(easy);
        curl_slist_free_all(headers);
    }
};

WebhookSender::WebhookSender(SenderOptions options, Log log)
    : options_(options), log_(std::move(log)) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    multi_ = curl_multi_init();
    if (multi_)
        thread_ = std::thread([this] { run(); });
    else
        log_("webhooks: libcurl could not start; no alert will be sent");
}

WebhookSender::~WebhookSender() {
    std::size_t dropped = 0;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (const auto& [url, queue] : queues_)
            dropped += queue.waiting.size() + (queue.posting ? 1 : 0);
    }
    if (multi_) {
        curl_multi_wakeup(multi_);
        thread_.join();
        curl_multi_cleanup(multi_);
    }
    if (dropped > 0)
        log_("webhooks: stopping; messages not sent: " + std::to_string(dropped));
    curl_global_cleanup();
}

double WebhookSender::monotonicNow() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void WebhookSender::send(Delivery delivery) {
    if (!multi_)
        return;
    {
        std::lock_guard lock(mutex_);
        if (stopping_)
            return;
        Queue& queue = queues_[delivery.url];
        queue.waiting.push_back(Waiting{std::move(delivery), 0, 0});
        dropOldestBeyondCapacity(queue);
    }
    curl_multi_wakeup(multi_);
}

WebhookFigures WebhookSender::figures() {
    std::lock_guard lock(mutex_);
    WebhookFigures figures = counted_;
    figures.waiting = 0;
    for (const auto& [url, queue] : queues_)
        figures.waiting += queue.waiting.size() + (queue.posting ? 1 : 0);
    return figures;
}

void WebhookSender::dropOldestBeyondCapacity(Queue& queue) {
    while (queue.waiting.size() > options_.capacity) {
        const Delivery& oldest = queue.waiting.front().delivery;
        log_("webhook " + oldest.label + " (" + oldest.shownUrl + "): queue full (" +
             std::to_string(options_.capacity) + " messages), dropped the oldest");
        ++counted_.dropped;
        queue.waiting.pop_front();
    }
}

void WebhookSender::run() {
    Transfers transfers;
    for (;;) {
        double wakeAt = 0;
        const double now = monotonicNow();
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                break;
            wakeAt = startDue(now, transfers);
        }
        int running = 0;
        curl_multi_perform(multi_, &running);
        if (settleFinished(transfers))
            continue; // a webhook's next message may be due at once
        int pollMs = kLongestPollMs;
        if (wakeAt - now < kLongestPollMs / 1000.0)
            pollMs = static_cast<int>(std::ceil(std::max(wakeAt - now, 0.0) * 1000));
        curl_multi_poll(multi_, nullptr, 0, pollMs, nullptr);
    }
    // Stopping: whatever is under way is abandoned.
    for (const auto& [easy, transfer] : transfers)
        curl_multi_remove_handle(multi_, easy);
}

double WebhookSender::startDue(double now, Transfers& transfers) {
    double wakeAt = std::numeric_limits<double>::infinity();
    for (auto it = queues_.begin(); it != queues_.end();) {
        Queue& queue = it->second;
        if (queue.posting) {
            ++it;
            continue;
        }
        if (queue.waiting.empty()) {
            // Kept while its pace or a Retry-After still holds for the next message.
            it = queue.nextPostAt <= now ? queues_.erase(it) : std::next(it);
            continue;
        }
        const double due = std::max(queue.waiting.front().notBefore, queue.nextPostAt);
        ++it;
        if (due > now) {
            wakeAt = std::min(wakeAt, due);
            continue;
        }
        auto transfer = std::make_unique<Transfer>();
        transfer->waiting = std::move(queue.waiting.front());
        transfer->startedAt = now;
        queue.waiting.pop_front();
        const Delivery& delivery = transfer->waiting.delivery;
        CURL* curl = curl_easy_init();
        if (!curl || curl_multi_add_handle(multi_, curl) != CURLM_OK) {
            if (curl)
                curl_easy_cleanup(curl);
            settle(std::move(transfer->waiting),
                   Outcome{false, false, 0, "libcurl could not start"}, now);
            continue;
        }
        transfer->easy = curl;
        transfer->headers =
            curl_slist_append(nullptr, "Content-Type: application/json; charset=utf-8");
        transfer->headers = curl_slist_append(transfer->headers, "Expect:");
        curl_easy_setopt(curl, CURLOPT_URL, delivery.url.c_str());
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, options_.connectSeconds);
        curl_easy_setopt(curl, CURLOPT_TIMEOUT, options_.transferSeconds);
        curl_easy_setopt(curl, CURLOPT_USERAGENT, "reef-listserver");
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, transfer->headers);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, delivery.body.data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(delivery.body.size()));
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discardAnswer);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer->answerBytes);
        queue.posting = true;
        transfers.emplace(curl, std::move(transfer));
    }
    return wakeAt;
}

bool WebhookSender::settleFinished(Transfers& transfers) {
    bool any = false;
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        const auto found = transfers.find(message->easy_handle);
        if (found == transfers.end())
            continue;
        const Outcome outcome = outcomeOf(*found->second, message->data.result);
        curl_multi_remove_handle(multi_, message->easy_handle);
        {
            std::lock_guard lock(mutex_);
            queues_[found->second->waiting.delivery.url].posting = false;
            if (!stopping_)
                settle(std::move(found->second->waiting), outcome, found->second->startedAt);
        }
        transfers.erase(found);
        any = true;
    }
    return any;
}

void WebhookSender::settle(Waiting waiting, const Outcome& outcome, double startedAt) {
    const Delivery& delivery = waiting.delivery;
    const std::string who = "webhook " + delivery.label + " (" + delivery.shownUrl + ")";
    Queue& queue = queues_[delivery.url];
    queue.nextPostAt = std::max(queue.nextPostAt, startedAt + options_.secondsBetween);
    if (outcome.delivered) {
        ++counted_.delivered;
        log_(who + ": sent");
        return;
    }
    ++counted_.failedTries;
    ++waiting.tries;
    if (!outcome.retry || waiting.tries >= options_.attempts) {
        ++counted_.givenUp;
        log_(who + ": " + outcome.what + ", given up after " + std::to_string(waiting.tries) +
             (waiting.tries == 1 ? " try" : " tries"));
        return;
    }
    const double now = monotonicNow();
    double pause = 0;
    if (outcome.retryAfter > 0) {
        // The chat's own limit holds for every message to this webhook.
        pause = std::min(outcome.retryAfter, options_.longestRetryAfterSeconds);
        queue.nextPostAt = std::max(queue.nextPostAt, now + pause);
    } else {
        pause = std::min(options_.firstRetrySeconds * std::pow(2.0, waiting.tries - 1),
                         options_.longestRetrySeconds);
    }
    waiting.notBefore = now + pause;
    log_(who + ": " + outcome.what + ", next try in " + secondsText(pause));
    queue.waiting.push_front(std::move(waiting));
    dropOldestBeyondCapacity(queue);
}

WebhookSender::Outcome WebhookSender::outcomeOf(const Transfer& transfer, int result) const {
    const auto code = static_cast<CURLcode>(result);
    long status = 0;
    curl_easy_getinfo(transfer.easy, CURLINFO_RESPONSE_CODE, &status);
    curl_off_t retryAfter = 0;
    curl_easy_getinfo(transfer.easy, CURLINFO_RETRY_AFTER, &retryAfter);

    // libcurl's own words name no URL; the URL itself stays out of every line.
    if (code != CURLE_OK && !(code == CURLE_WRITE_ERROR && status >= 200))
        return {false, true, 0, std::string("failed: ") + curl_easy_strerror(code)};
    const std::string answered = "answered " + std::to_string(status);
    if (status >= 200 && status < 300)
        return {true, false, 0, answered};
    if (status == 429)
        return {false, true, std::max<double>(static_cast<double>(retryAfter), 1.0), answered};
    if (status >= 500 || status == 408)
        return {false, true, 0, answered};
    // Refused for good (a removed webhook, a body the chat does not take): trying again
    // changes nothing.
    return {false, false, 0, answered};
}

} // namespace reef::listserver
