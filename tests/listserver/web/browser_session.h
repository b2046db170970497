#pragma once
// Headless Chromium driven over the DevTools protocol on a pipe (--remote-debugging-pipe):
// commands go in on the browser's descriptor 3, answers and events come out on 4, each
// message ended by a NUL byte. One page (target) per session.

#include <nlohmann/json.hpp>

#include <chrono>
#include <string>

namespace reef::listserver::testing {

// The Chromium executable of Debian's package, or empty when it is not installed.
std::string chromiumExecutable();

class BrowserSession {
  public:
    // Starts the browser with a fresh profile in profileDir and opens one blank page.
    // started() tells whether that worked; failure() why not.
    BrowserSession(const std::string& executable, const std::string& profileDir);
    ~BrowserSession();
    BrowserSession(const BrowserSession&) = delete;
    BrowserSession& operator=(const BrowserSession&) = delete;

    bool started() const { return !sessionId_.empty(); }
    const std::string& failure() const { return failure_; }

    // A command to the page; its "result". Throws std::runtime_error on an error answer or
    // when no answer comes within the time limit.
    nlohmann::json call(const std::string& method,
                        nlohmann::json params = nlohmann::json::object());
    // A command to the browser itself (permissions, for one).
    nlohmann::json callBrowser(const std::string& method,
                               nlohmann::json params = nlohmann::json::object());
    // The value of a JavaScript expression (promises awaited); throws when it threw.
    nlohmann::json evaluate(const std::string& expression);
    // The same in the page's service worker; throws when the page has none.
    nlohmann::json evaluateInWorker(const std::string& expression);
    // Evaluates the expression until it is true (one that throws counts as false); false
    // when the time ran out.
    bool waitFor(const std::string& expression,
                 std::chrono::milliseconds limit = std::chrono::seconds(20));
    void navigate(const std::string& url);
    // The page laid out at that width (mobile for narrow ones) as a PNG of its whole height.
    void screenshot(int width, const std::string& pngFile);
    // Lays the page out at that width and the given height.
    void setViewport(int width, int height);

  private:
    nlohmann::json send(const std::string& method, nlohmann::json params, bool toPage);
    // To the browser when session is empty, else to that attached target.
    nlohmann::json sendTo(const std::string& session, const std::string& method,
                          nlohmann::json params);
    std::string readMessage(std::chrono::steady_clock::time_point deadline);

    int pid_ = -1;
    int commands_ = -1; // our end of the browser's descriptor 3
    int answers_ = -1;  // our end of the browser's descriptor 4
    std::string pending_;
    long nextId_ = 1;
    std::string sessionId_;
    std::string workerSessionId_;
    std::string failure_;
};

} // namespace reef::listserver::testing
