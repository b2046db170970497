#pragma once
// A list window as an exchange sees it: records every call in order, answers the window check
// from a flag (cleared by closeWindow, or when a chosen status text is shown) and the password
// requester from a prepared list. Safe to call from a worker thread while the test reads.

#include "exchange/list_exchange_sink.h"

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace reef::testing {

class FakeListExchangeSink final : public exchange::ListExchangeSink {
  public:
    void closeWindow() { open_.store(false); }
    // The window closes right after this status text has been shown.
    void closeWindowAtStatus(std::string text) { closeAt_ = std::move(text); }
    // The password requester's answers, in order; "" once they are used up.
    std::vector<std::string> passwords;

    bool windowOpen() override { return open_.load(); }
    void setStatus(int field, const std::string& text) override {
        record(std::to_string(field) + ": " + text);
        if (!closeAt_.empty() && text.starts_with(closeAt_)) {
            closeWindow();
        }
    }
    void showError(const std::string& text) override { record("box: " + text); }
    std::string askNewPassword() override {
        record("password requester");
        std::lock_guard lock(mutex_);
        std::string answer = passwords.empty() ? "" : passwords.front();
        if (!passwords.empty()) {
            passwords.erase(passwords.begin());
        }
        return answer;
    }
    void listReceived(std::vector<fleetlists::FleetEntry> rows) override {
        record("list of " + std::to_string(rows.size()));
        std::lock_guard lock(mutex_);
        lists_.push_back(std::move(rows));
    }

    // Every call in order: "F: text" for status field F, "box: text", "password requester",
    // "list of N".
    std::vector<std::string> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    // The calls that begin with the prefix, without it ("2: " gives the texts of field 2).
    std::vector<std::string> calls(const std::string& prefix) const {
        std::vector<std::string> found;
        for (const std::string& call : calls()) {
            if (call.starts_with(prefix)) {
                found.push_back(call.substr(prefix.size()));
            }
        }
        return found;
    }
    std::string lastStatus(int field) const {
        const auto texts = calls(std::to_string(field) + ": ");
        return texts.empty() ? std::string() : texts.back();
    }
    std::vector<std::vector<fleetlists::FleetEntry>> lists() const {
        std::lock_guard lock(mutex_);
        return lists_;
    }

  private:
    void record(std::string call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }

    mutable std::mutex mutex_;
    std::atomic<bool> open_{true};
    std::string closeAt_; // set before the exchange starts
    std::vector<std::string> calls_;
    std::vector<std::vector<fleetlists::FleetEntry>> lists_;
};

} // namespace reef::testing
