#pragma once
// A chat server's webhook endpoint on loopback for the tests: it records every POST and
// answers as the test says, or holds the answer back until released.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace reef::listserver::testing {

struct ChatRequest {
    std::string method;
    std::string target;
    std::map<std::string, std::string> headers; // names in lower case
    std::string body;
    double at = 0; // monotonic seconds when the body was complete
};

struct ChatReply {
    int status = 204;
    std::string extraHeaders; // whole lines, each ending in "\r\n"
    bool hold = false;        // answer only after release(), or never
};

class ChatEndpoint {
  public:
    ChatEndpoint();
    ~ChatEndpoint();
    ChatEndpoint(const ChatEndpoint&) = delete;
    ChatEndpoint& operator=(const ChatEndpoint&) = delete;

    std::uint16_t port() const { return port_; }
    // A Discord-like webhook URL whose last path part is the secret token.
    std::string url() const;
    static constexpr const char* kSecret = "s3cr3t-T0ken-xyz";

    // The next requests get these answers in order; later ones the default.
    void script(std::deque<ChatReply> replies);
    void setDefault(ChatReply reply);
    // Held answers go out now (with their status), and nothing is held from here on.
    void release();

    // Waits until `count` requests have arrived; false when they did not within `seconds`.
    bool waitFor(std::size_t count, double seconds);
    std::vector<ChatRequest> requests();

    static double now();

  private:
    void acceptLoop();
    void serve(int fd);

    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<ChatReply> script_;
    ChatReply default_;
    bool released_ = false;
    bool stopping_ = false;
    std::vector<ChatRequest> requests_;
    std::vector<int> open_;
    std::vector<std::thread> threads_;
    std::thread acceptor_;
};

} // namespace reef::listserver::testing
