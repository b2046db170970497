// Connection over POSIX sockets (Linux, for the native build and its tests).

#include "platform/connection.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace reef::platform {

namespace {

// The IPv4 address to connect to: a dotted literal as it stands, otherwise the first IPv4
// address the name lookup gives.
bool resolveIPv4(const std::string& host, in_addr& address) {
    if (host.empty()) {
        return false;
    }
    if (inet_pton(AF_INET, host.c_str(), &address) == 1) {
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return false;
    }
    bool ok = false;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addr != nullptr) {
            address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr;
            ok = true;
            break;
        }
    }
    freeaddrinfo(found);
    return ok;
}

// A connect interrupted by a signal goes on in the background; wait for its outcome.
bool finishInterruptedConnect(int fd) {
    pollfd waitFor{fd, POLLOUT, 0};
    int ready = 0;
    do {
        ready = ::poll(&waitFor, 1, -1);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) {
        return false;
    }
    int error = 0;
    socklen_t length = sizeof error;
    return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

} // namespace

bool startSockets() {
    return true;
}

void stopSockets() {}

bool Connection::open(const std::string& host, std::uint16_t port) {
    close();
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    if (!resolveIPv4(host, target.sin_addr)) {
        return false;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    int result = ::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target);
    if (result != 0 && errno == EINTR && finishInterruptedConnect(fd)) {
        result = 0;
    }
    if (result != 0) {
        ::close(fd);
        return false;
    }
    socket_ = fd;
    return true;
}

bool Connection::send(const void* data, std::size_t size) {
    if (!isOpen()) {
        return false;
    }
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        // MSG_NOSIGNAL: a peer that has gone away gives EPIPE here instead of a SIGPIPE that
        // would end the whole program.
        const ssize_t sent = ::send(static_cast<int>(socket_), next, size, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        next += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool Connection::dataAvailable() const {
    if (!isOpen()) {
        return false;
    }
    pollfd check{static_cast<int>(socket_), POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&check, 1, 0);
    } while (ready < 0 && errno == EINTR);
    // A closed or failed connection counts as readable: receive() then returns at once.
    return ready > 0 && (check.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

long Connection::receive(void* buffer, std::size_t capacity) {
    if (!isOpen()) {
        return -1;
    }
    if (capacity > static_cast<std::size_t>(LONG_MAX)) {
        capacity = static_cast<std::size_t>(LONG_MAX);
    }
    ssize_t got = 0;
    do {
        got = ::recv(static_cast<int>(socket_), buffer, capacity, 0);
    } while (got < 0 && errno == EINTR);
    return got < 0 ? -1 : static_cast<long>(got);
}

void Connection::close() {
    if (socket_ != kNoSocket) {
        ::close(static_cast<int>(socket_));
        socket_ = kNoSocket;
    }
}

} // namespace reef::platform
