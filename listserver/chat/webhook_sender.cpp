#include "listserver/chat/webhook_sender.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <set>

namespace reef::listserver {

namespace {

constexpr std::size_t kMaxAnswerBytes = 64 * 1024;

int abortWhenStopping(void* data, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const std::atomic<bool>*>(data)->load() ? 1 : 0;
}

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

WebhookSender::WebhookSender(SenderOptions options, Log log)
    : options_(options), log_(std::move(log)) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    thread_ = std::thread([this] { run(); });
}

WebhookSender::~WebhookSender() {
    std::size_t dropped = 0;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        dropped = waiting_.size() + (posting_ ? 1 : 0);
    }
    wake_.notify_all();
    thread_.join();
    if (dropped > 0)
        log_("webhooks: stopping; messages not sent: " + std::to_string(dropped));
    curl_global_cleanup();
}

double WebhookSender::monotonicNow() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void WebhookSender::send(Delivery delivery) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_)
            return;
        waiting_.push_back(Waiting{std::move(delivery), 0, 0});
        dropOldestBeyondCapacity();
    }
    wake_.notify_all();
}

WebhookFigures WebhookSender::figures() {
    std::lock_guard lock(mutex_);
    WebhookFigures figures = counted_;
    figures.waiting = waiting_.size() + (posting_ ? 1 : 0);
    return figures;
}

void WebhookSender::dropOldestBeyondCapacity() {
    while (waiting_.size() > options_.capacity) {
        const Delivery& oldest = waiting_.front().delivery;
        log_("webhook " + oldest.label + " (" + oldest.shownUrl + "): queue full (" +
             std::to_string(options_.capacity) + " messages), dropped the oldest");
        ++counted_.dropped;
        waiting_.pop_front();
    }
}

std::deque<WebhookSender::Waiting>::iterator WebhookSender::nextDue(double now, double& wakeAt) {
    wakeAt = std::numeric_limits<double>::infinity();
    std::set<std::string> seen;
    for (auto it = waiting_.begin(); it != waiting_.end(); ++it) {
        // Only the first message of each webhook may go, so that they arrive in order.
        if (!seen.insert(it->delivery.url).second)
            continue;
        double due = it->notBefore;
        if (auto next = nextPostAt_.find(it->delivery.url); next != nextPostAt_.end())
            due = std::max(due, next->second);
        if (due <= now)
            return it;
        wakeAt = std::min(wakeAt, due);
    }
    return waiting_.end();
}

void WebhookSender::run() {
    CURL* curl = curl_easy_init();
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        double wakeAt = 0;
        const double now = monotonicNow();
        auto due = nextDue(now, wakeAt);
        if (due == waiting_.end()) {
            if (std::isinf(wakeAt))
                wake_.wait(lock);
            else
                wake_.wait_for(lock, std::chrono::duration<double>(wakeAt - now));
            continue;
        }
        Waiting waiting = std::move(*due);
        waiting_.erase(due);
        posting_ = true;
        lock.unlock();
        Outcome outcome = curl ? post(curl, waiting.delivery)
                               : Outcome{false, false, 0, "libcurl could not start"};
        lock.lock();
        posting_ = false;
        if (stopping_)
            break;
        settle(std::move(waiting), outcome, now);
    }
    lock.unlock();
    if (curl)
        curl_easy_cleanup(curl);
}

void WebhookSender::settle(Waiting waiting, const Outcome& outcome, double startedAt) {
    const Delivery& delivery = waiting.delivery;
    const std::string who = "webhook " + delivery.label + " (" + delivery.shownUrl + ")";
    double& nextPost = nextPostAt_[delivery.url];
    nextPost = std::max(nextPost, startedAt + options_.secondsBetween);
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
        nextPost = std::max(nextPost, now + pause);
    } else {
        pause = std::min(options_.firstRetrySeconds * std::pow(2.0, waiting.tries - 1),
                         options_.longestRetrySeconds);
    }
    waiting.notBefore = now + pause;
    log_(who + ": " + outcome.what + ", next try in " + secondsText(pause));
    waiting_.push_front(std::move(waiting));
    dropOldestBeyondCapacity();
}

WebhookSender::Outcome WebhookSender::post(void* handle, const Delivery& delivery) {
    CURL* curl = static_cast<CURL*>(handle);
    curl_easy_reset(curl);
    std::size_t answerBytes = 0;
    curl_slist* headers = nullptr;
    headers = curl_slist_append(headers, "Content-Type: application/json; charset=utf-8");
    headers = curl_slist_append(headers, "Expect:");
    curl_easy_setopt(curl, CURLOPT_URL, delivery.url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, options_.connectSeconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, options_.transferSeconds);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "reef-listserver");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, delivery.body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(delivery.body.size()));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discardAnswer);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answerBytes);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, abortWhenStopping);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &stopping_);
    const CURLcode code = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_off_t retryAfter = 0;
    curl_easy_getinfo(curl, CURLINFO_RETRY_AFTER, &retryAfter);
    curl_slist_free_all(headers);

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
