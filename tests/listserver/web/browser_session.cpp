#include "listserver/web/browser_session.h"

#include <sodium.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace reef::listserver::testing {

namespace {

constexpr auto kAnswerLimit = std::chrono::seconds(30);

void writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw std::runtime_error("the browser's command pipe is closed");
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

std::string chromiumExecutable() {
    for (const char* path : {"/usr/bin/chromium", "/usr/lib/chromium/chromium"})
        if (::access(path, X_OK) == 0)
            return path;
    return {};
}

BrowserSession::BrowserSession(const std::string& executable, const std::string& profileDir) {
    int toBrowser[2];
    int fromBrowser[2];
    if (::pipe2(toBrowser, O_CLOEXEC) != 0 || ::pipe2(fromBrowser, O_CLOEXEC) != 0) {
        failure_ = "pipe failed";
        return;
    }
    std::vector<std::string> args = {executable,
                                     "--headless",
                                     "--no-sandbox", // the tests run as root
                                     "--disable-gpu",
                                     "--no-first-run",
                                     "--no-default-browser-check",
                                     "--disable-extensions",
                                     "--disable-background-networking",
                                     "--disable-sync",
                                     "--disable-dev-shm-usage",
                                     "--remote-debugging-pipe",
                                     "--user-data-dir=" + profileDir,
                                     "about:blank"};
    pid_ = ::fork();
    if (pid_ == 0) {
        // Descriptors 3 and 4 as the protocol wants them, whatever numbers the pipes got.
        int in = ::dup(toBrowser[0]);
        int out = ::dup(fromBrowser[1]);
        ::dup2(in, 3);
        ::dup2(out, 4);
        int devNull = ::open("/dev/null", O_RDWR);
        ::dup2(devNull, STDIN_FILENO);
        ::dup2(devNull, STDOUT_FILENO);
        ::dup2(devNull, STDERR_FILENO);
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(toBrowser[0]);
    ::close(fromBrowser[1]);
    commands_ = toBrowser[1];
    answers_ = fromBrowser[0];
    std::signal(SIGPIPE, SIG_IGN);
    try {
        nlohmann::json target = send("Target.createTarget", {{"url", "about:blank"}}, false);
        nlohmann::json attached =
            send("Target.attachToTarget", {{"targetId", target.at("targetId")}, {"flatten", true}},
                 false);
        sessionId_ = attached.at("sessionId").get<std::string>();
        call("Page.enable");
        call("Runtime.enable");
    } catch (const std::exception& error) {
        failure_ = error.what();
        sessionId_.clear();
    }
}

BrowserSession::~BrowserSession() {
    if (commands_ >= 0) {
        try {
            writeAll(commands_,
                     nlohmann::json{{"id", nextId_++}, {"method", "Browser.close"}}.dump() +
                         std::string(1, '\0'));
        } catch (const std::exception&) {
        }
        ::close(commands_);
    }
    if (pid_ > 0) {
        for (int i = 0; i < 100; ++i) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    if (answers_ >= 0)
        ::close(answers_);
}

std::string BrowserSession::readMessage(std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        std::size_t end = pending_.find('\0');
        if (end != std::string::npos) {
            std::string message = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return message;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            throw std::runtime_error("the browser did not answer in time");
        pollfd ready{answers_, POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char buffer[65536];
        ssize_t n = ::read(answers_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw std::runtime_error("the browser closed its pipe");
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
}

nlohmann::json BrowserSession::send(const std::string& method, nlohmann::json params, bool toPage) {
    return sendTo(toPage ? sessionId_ : std::string(), method, std::move(params));
}

nlohmann::json BrowserSession::sendTo(const std::string& session, const std::string& method,
                                      nlohmann::json params) {
    const long id = nextId_++;
    nlohmann::json message = {{"id", id}, {"method", method}, {"params", std::move(params)}};
    if (!session.empty())
        message["sessionId"] = session;
    writeAll(commands_, message.dump() + std::string(1, '\0'));
    const auto deadline = std::chrono::steady_clock::now() + kAnswerLimit;
    for (;;) {
        nlohmann::json answer = nlohmann::json::parse(readMessage(deadline));
        if (!answer.contains("id") || answer["id"] != id)
            continue; // an event, or the answer to another page
        if (answer.contains("error"))
            throw std::runtime_error(method + ": " + answer["error"].dump());
        return answer.value("result", nlohmann::json::object());
    }
}

nlohmann::json BrowserSession::call(const std::string& method, nlohmann::json params) {
    return send(method, std::move(params), true);
}

nlohmann::json BrowserSession::callBrowser(const std::string& method, nlohmann::json params) {
    return send(method, std::move(params), false);
}

nlohmann::json BrowserSession::evaluate(const std::string& expression) {
    nlohmann::json result =
        call("Runtime.evaluate",
             {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}});
    if (result.contains("exceptionDetails"))
        throw std::runtime_error("script failed: " + result["exceptionDetails"].dump());
    return result["result"].value("value", nlohmann::json());
}

nlohmann::json BrowserSession::evaluateInWorker(const std::string& expression) {
    if (workerSessionId_.empty()) {
        const nlohmann::json targets = callBrowser("Target.getTargets");
        for (const auto& target : targets.at("targetInfos"))
            if (target.value("type", "") == "service_worker")
                workerSessionId_ =
                    callBrowser("Target.attachToTarget",
                                {{"targetId", target.at("targetId")}, {"flatten", true}})
                        .at("sessionId")
                        .get<std::string>();
        if (workerSessionId_.empty())
            throw std::runtime_error("the page has no service worker");
    }
    nlohmann::json result =
        sendTo(workerSessionId_, "Runtime.evaluate",
               {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}});
    if (result.contains("exceptionDetails"))
        throw std::runtime_error("worker script failed: " + result["exceptionDetails"].dump());
    return result["result"].value("value", nlohmann::json());
}

bool BrowserSession::waitFor(const std::string& expression, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        // While a page is being replaced its document may be half there: keep asking.
        try {
            nlohmann::json value = evaluate("Boolean(" + expression + ")");
            if (value.is_boolean() && value.get<bool>())
                return true;
        } catch (const std::runtime_error&) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

void BrowserSession::navigate(const std::string& url) {
    call("Page.navigate", {{"url", url}});
    waitFor("document.readyState === 'complete' && location.href === " +
            nlohmann::json(url).dump());
}

void BrowserSession::setViewport(int width, int height) {
    call("Emulation.setDeviceMetricsOverride",
         {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", width < 720}});
}

void BrowserSession::screenshot(int width, const std::string& pngFile) {
    setViewport(width, 800);
    const int height = evaluate("document.documentElement.scrollHeight").get<int>();
    setViewport(width, std::max(height, 200));
    std::string base64 =
        call("Page.captureScreenshot", {{"format", "png"}}).at("data").get<std::string>();
    std::string png(base64.size(), '\0');
    std::size_t length = 0;
    if (sodium_base642bin(reinterpret_cast<unsigned char*>(png.data()), png.size(), base64.data(),
                          base64.size(), nullptr, &length, nullptr,
                          sodium_base64_VARIANT_ORIGINAL) != 0)
        throw std::runtime_error("the screenshot is no base64");
    png.resize(length);
    std::ofstream(pngFile, std::ios::binary) << png;
}

} // namespace reef::listserver::testing
