#include "listserver/chat/chat_endpoint.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace reef::listserver::testing {

namespace {

// Header up to the empty line, then Content-Length bytes of body.
bool readRequest(int fd, ChatRequest& request) {
    std::string data;
    char buffer[4096];
    for (;;) {
        const std::size_t end = data.find("\r\n\r\n");
        if (end != std::string::npos) {
            const std::size_t length = data.find("Content-Length: ");
            const std::size_t wanted =
                length < end ? std::stoul(data.substr(length + 16)) : std::size_t{0};
            if (data.size() >= end + 4 + wanted) {
                request.head = data.substr(0, end);
                request.body = data.substr(end + 4, wanted);
                return true;
            }
        }
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            return false;
        data.append(buffer, static_cast<std::size_t>(got));
    }
}

} // namespace

ChatEndpoint::ChatEndpoint() {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listenFd_, 64) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        throw std::runtime_error("chat endpoint cannot listen");
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] {
        for (int fd; (fd = ::accept(listenFd_, nullptr, nullptr)) >= 0;) {
            std::lock_guard lock(mutex_);
            if (stopping_) {
                ::close(fd);
                return;
            }
            open_.push_back(fd);
            threads_.emplace_back([this, fd] { serve(fd); });
        }
    });
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

void ChatEndpoint::answer(std::deque<ChatReply> replies, ChatReply otherwise) {
    std::lock_guard lock(mutex_);
    replies_ = std::move(replies);
    otherwise_ = std::move(otherwise);
}

void ChatEndpoint::release() {
    std::lock_guard lock(mutex_);
    released_ = true;
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

std::vector<std::string> ChatEndpoint::bodies() {
    std::vector<std::string> out;
    for (const ChatRequest& request : requests())
        out.push_back(request.body);
    return out;
}

double ChatEndpoint::now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void ChatEndpoint::serve(int fd) {
    ChatRequest request;
    if (readRequest(fd, request)) {
        request.at = now();
        std::unique_lock lock(mutex_);
        requests_.push_back(request);
        ChatReply reply = replies_.empty() ? otherwise_ : replies_.front();
        if (!replies_.empty())
            replies_.pop_front();
        changed_.notify_all();
        changed_.wait(lock, [&] { return !reply.hold || released_ || stopping_; });
        const std::string answer = "HTTP/1.1 " + std::to_string(reply.status) +
                                   " X\r\nContent-Length: 0\r\nConnection: close\r\n" +
                                   reply.extraHeaders + "\r\n";
        if (!stopping_)
            (void)!::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
    }
    std::lock_guard lock(mutex_);
    open_.erase(std::find(open_.begin(), open_.end(), fd));
    ::close(fd);
}

} // namespace reef::listserver::testing
