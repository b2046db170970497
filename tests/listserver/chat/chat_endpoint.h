#pragma once
// A chat server's webhook endpoint on loopback for the tests: records every POST and answers
// as the test says, or holds its answer until released (or for ever).

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace reef::listserver::testing {

struct ChatRequest {
    std::string head; // request line and header lines
    std::string body;
    double at = 0; // monotonic seconds when it was complete
};

struct ChatReply {
    int status = 204;
    std::string extraHeaders; // whole lines, each ending in "\r\n"
    bool hold = false;        // answer only after release()
};

class ChatEndpoint {
  public:
    static constexpr const char* kSecret = "s3cr3t-T0ken-xyz";

    ChatEndpoint();
    ~ChatEndpoint();
    ChatEndpoint(const ChatEndpoint&) = delete;
    ChatEndpoint& operator=(const ChatEndpoint&) = delete;

    // A Discord-like URL whose last path part is the secret token.
    std::string url() const;
    // The next requests get these answers in order, the later ones `otherwise`.
    void answer(std::deque<ChatReply> replies, ChatReply otherwise = {});
    void release();
    // False when `count` requests have not arrived within `seconds`.
    bool waitFor(std::size_t count, double seconds);
    std::vector<ChatRequest> requests();
    std::vector<std::string> bodies();
    static double now();

  private:
    void serve(int fd);

    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<ChatReply> replies_;
    ChatReply otherwise_;
    bool released_ = false;
    bool stopping_ = false;
    std::vector<ChatRequest> requests_;
    std::vector<int> open_;
    std::vector<std::thread> threads_;
    std::thread acceptor_;
};

} // namespace reef::listserver::testing
