#include "platform/connection.h"

#include <algorithm>

#include "platform/socket_calls.h"

// Only the declarations of the socket API, which both systems share; the calls that differ
// are behind socket_calls.h.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#endif

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

} // namespace

Connection::Connection() : socket_(kNoSocket) {}

Connection::~Connection() {
    close();
}

Connection::Connection(Connection&& other) noexcept : socket_(other.socket_) {
    other.socket_ = kNoSocket;
}

Connection& Connection::operator=(Connection&& other) noexcept {
    if (this != &other) {
        close();
        socket_ = other.socket_;
        other.socket_ = kNoSocket;
    }
    return *this;
}

bool Connection::isOpen() const {
    return socket_ != kNoSocket;
}

bool Connection::open(const std::string& host, std::uint16_t port) {
    close();
    in_addr address{};
    if (!resolveIPv4(host, address)) {
        return false;
    }
    const sockets::SocketHandle socket = sockets::openStream();
    if (socket == sockets::kNoSocket) {
        return false;
    }
    if (!sockets::connectStream(socket, address.s_addr, htons(port))) {
        sockets::closeStream(socket);
        return false;
    }
    socket_ = socket;
    return true;
}

bool Connection::send(const void* data, std::size_t size) {
    if (!isOpen()) {
        return false;
    }
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        const sockets::CallResult sent = sockets::sendSome(socket_, next, size);
        if (sent.interrupted) {
            continue;
        }
        if (sent.count <= 0) {
            return false;
        }
        next += sent.count;
        size -= static_cast<std::size_t>(sent.count);
    }
    return true;
}

bool Connection::dataAvailable() const {
    if (!isOpen()) {
        return false;
    }
    sockets::CallResult ready;
    do {
        ready = sockets::checkReadable(socket_);
    } while (ready.interrupted);
    return ready.count > 0;
}

bool Connection::waitForData(int timeoutMs) {
    if (!isOpen()) {
        return false;
    }
    // A signal cuts the wait short; it is not made again, the caller's loop comes back.
    sockets::CallResult ready = sockets::checkReadable(socket_, std::max(timeoutMs, 0));
    return !ready.interrupted && ready.count > 0;
}

long Connection::receive(void* buffer, std::size_t capacity) {
    if (!isOpen()) {
        return -1;
    }
    if (capacity == 0) {
        return 0; // nothing asked for: not a read that could block or see the end
    }
    sockets::CallResult got;
    do {
        got = sockets::receiveSome(socket_, buffer, capacity);
    } while (got.interrupted);
    return got.count < 0 ? -1 : got.count;
}

void Connection::close() {
    if (socket_ != kNoSocket) {
        sockets::closeStream(socket_);
        socket_ = kNoSocket;
    }
}

} // namespace reef::platform
