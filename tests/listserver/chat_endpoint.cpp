#include "listserver/chat_endpoint.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace reef::listserver::testing {

namespace {

// Reads one request: header up to the empty line, then Content-Length bytes of body.
bool readRequest(int fd, ChatRequest& request) {
    std::string data;
    char buffer[4096];
    std::size_t headerEnd = std::string::npos;
    std::size_t wanted = 0;
    for (;;) {
        if (headerEnd == std::string::npos) {
            headerEnd = data.find("\r\n\r\n");
            if (headerEnd != std::string::npos) {
                std::size_t lineEnd = data.find("\r\n");
                std::string first = data.substr(0, lineEnd);
                std::size_t blank = first.find(' ');
                request.method = first.substr(0, blank);
                request.target = first.substr(blank + 1, first.rfind(' ') - blank - 1);
                std::size_t at = lineEnd + 2;
                while (at < headerEnd) {
                    std::size_t end = data.find("\r\n", at);
                    std::string line = data.substr(at, end - at);
                    std::size_t colon = line.find(':');
                    std::string name = line.substr(0, colon);
                    std::transform(name.begin(), name.end(), name.begin(),
                                   [](unsigned char c) { return std::tolower(c); });
                    std::string value = colon == std::string::npos ? "" : line.substr(colon + 1);
                    value.erase(0, value.find_first_not_of(' '));
                    request.headers[name] = value;
                    at = end + 2;
                }
                auto length = request.headers.find("content-length");
                wanted = length == request.headers.end() ? 0 : std::stoul(length->second);
            }
        }
        if (headerEnd != std::string::npos && data.size() >= headerEnd + 4 + wanted) {
            request.body = data.substr(headerEnd + 4, wanted);
            return true;
        }
        ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            return false;
        data.append(buffer, static_cast<std::size_t>(got));
    }
}

} // namespace

ChatEndpoint::ChatEndpoint() {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 64) != 0)
        throw std::runtime_error("chat endpoint cannot listen");
    socklen_t size = sizeof address;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

ChatEndpoint::~ChatEndpoint() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (int fd : open_)
            ::shutdown(fd, SHUT_RDWR);
    }
    changed_.notify_all();
    ::shutdown(listenFd_, SHUT_RDWR);
    acceptor_.join();
    for (std::thread& each : threads_)
        each.join();
    ::close(listenFd_);
}

std::string ChatEndpoint::url() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/api/webhooks/4711/" + kSecret;
}

double ChatEndpoint::now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void ChatEndpoint::script(std::deque<ChatReply> replies) {
    std::lock_guard lock(mutex_);
    script_ = std::move(replies);
}

void ChatEndpoint::setDefault(ChatReply reply) {
    std::lock_guard lock(mutex_);
    default_ = reply;
}

void ChatEndpoint::release() {
    {
        std::lock_guard lock(mutex_);
        released_ = true;
    }
    changed_.notify_all();
}

bool ChatEndpoint::waitFor(std::size_t count, double seconds) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::duration<double>(seconds),
                             [&] { return requests_.size() >= count; });
}

std::vector<ChatRequest> ChatEndpoint::requests() {
    std::lock_guard lock(mutex_);
    return requests_;
}

void ChatEndpoint::acceptLoop() {
    for (;;) {
        int fd = ::accept(listenFd_, nullptr, nullptr);
        std::lock_guard lock(mutex_);
        if (fd < 0 || stopping_) {
            if (fd >= 0)
                ::close(fd);
            return;
        }
        open_.push_back(fd);
        threads_.emplace_back([this, fd] { serve(fd); });
    }
}

void ChatEndpoint::serve(int fd) {
    ChatRequest request;
    if (readRequest(fd, request)) {
        request.at = now();
        std::unique_lock lock(mutex_);
        requests_.push_back(request);
        ChatReply reply = default_;
        if (!script_.empty()) {
            reply = script_.front();
            script_.pop_front();
        }
        changed_.notify_all();
        if (reply.hold)
            changed_.wait(lock, [&] { return released_ || stopping_; });
        if (!stopping_) {
            lock.unlock();
            std::string answer = "HTTP/1.1 " + std::to_string(reply.status) +
                                 " Test\r\nContent-Length: 0\r\nConnection: close\r\n" +
                                 reply.extraHeaders + "\r\n";
            (void)!::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
        }
    }
    std::lock_guard lock(mutex_);
    open_.erase(std::find(open_.begin(), open_.end(), fd));
    ::close(fd);
}

} // namespace reef::listserver::testing
