#pragma once
// A list window as a list server exchange sees it: it records every call in order, answers
// the window check from a flag the test (or a hook) can clear, and answers the password
// requester from a prepared list. Safe to call from a worker thread while the test reads.

#include "fleetlists/fleet_entry.h"
#include "server/list_exchange_sink.h"

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace reef::testing {

class FakeListExchangeSink final : public server::ListExchangeSink {
  public:
    // Called after each status text is recorded, on the caller's thread; may close the window.
    using StatusHook = std::function<void(FakeListExchangeSink&, int field, const std::string&)>;

    void closeWindow() { open_.store(false); }
    void onStatus(StatusHook hook) {
        std::lock_guard lock(mutex_);
        hook_ = std::move(hook);
    }
    // The answers the password requester gives, in order; "" once they are used up.
    void answerPasswordsWith(std::vector<std::string> answers) {
        std::lock_guard lock(mutex_);
        passwords_.assign(answers.begin(), answers.end());
    }

    bool windowOpen() override { return open_.load(); }
    void setStatus(int field, const std::string& text) override {
        StatusHook hook;
        {
            std::lock_guard lock(mutex_);
            calls_.push_back("status " + std::to_string(field) + ": " + text);
            statuses_[field < 0 || field > 2 ? 0 : field].push_back(text);
            hook = hook_;
        }
        if (hook) {
            hook(*this, field, text);
        }
    }
    void showError(const std::string& text) override {
        std::lock_guard lock(mutex_);
        calls_.push_back("error box");
        errors_.push_back(text);
    }
    std::string askNewPassword() override {
        std::lock_guard lock(mutex_);
        calls_.push_back("password requester");
        ++passwordRequests_;
        if (passwords_.empty()) {
            return {};
        }
        std::string answer = passwords_.front();
        passwords_.pop_front();
        return answer;
    }
    void listReceived(std::vector<fleetlists::FleetEntry> rows) override {
        std::lock_guard lock(mutex_);
        calls_.push_back("list of " + std::to_string(rows.size()));
        lists_.push_back(std::move(rows));
    }

    // Every call in order: "status F: text", "error box", "password requester", "list of N".
    std::vector<std::string> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    std::vector<std::string> statuses(int field) const {
        std::lock_guard lock(mutex_);
        return statuses_[field];
    }
    std::string lastStatus(int field) const {
        std::lock_guard lock(mutex_);
        return statuses_[field].empty() ? std::string() : statuses_[field].back();
    }
    std::vector<std::string> errors() const {
        std::lock_guard lock(mutex_);
        return errors_;
    }
    int passwordRequests() const {
        std::lock_guard lock(mutex_);
        return passwordRequests_;
    }
    std::vector<std::vector<fleetlists::FleetEntry>> lists() const {
        std::lock_guard lock(mutex_);
        return lists_;
    }

  private:
    mutable std::mutex mutex_;
    std::atomic<bool> open_{true};
    StatusHook hook_;
    std::deque<std::string> passwords_;
    std::vector<std::string> calls_;
    std::vector<std::string> statuses_[3];
    std::vector<std::string> errors_;
    int passwordRequests_ = 0;
    std::vector<std::vector<fleetlists::FleetEntry>> lists_;
};

} // namespace reef::testing
