#include "platform/connection.h"

#include <algorithm>
#include <cstring>
#include <utility>

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

Connection::Connection(Connection&& other) noexcept
    : socket_(other.socket_), readAhead_(std::move(other.readAhead_)),
      readAheadAt_(other.readAheadAt_) {
    other.socket_ = kNoSocket;
    other.readAhead_.clear();
    other.readAheadAt_ = 0;
}

Connection& Connection::operator=(Connection&& other) noexcept {
    if (this != &other) {
        close();
        socket_ = other.socket_;
        readAhead_ = std::move(other.readAhead_);
        readAheadAt_ = other.readAheadAt_;
        other.socket_ = kNoSocket;
        other.readAhead_.clear();
        other.readAheadAt_ = 0;
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
    if (readAheadAt_ < readAhead_.size()) {
        return true;
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
    if (readAheadAt_ < readAhead_.size()) {
        return true;
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
    if (readAheadAt_ >= readAhead_.size()) {
        // What has arrived is taken in one call, however small the reader's blocks: under
        // Wine every socket call is a round trip to the server, and a list of 300 KB read
        // 1 KB at a time took seconds.
        readAhead_.resize(kReadAheadBytes);
        readAheadAt_ = 0;
        sockets::CallResult got;
        do {
            got = sockets::receiveSome(socket_, readAhead_.data(), readAhead_.size());
        } while (got.interrupted);
        readAhead_.resize(got.count > 0 ? static_cast<std::size_t>(got.count) : 0);
        if (got.count <= 0) {
            return got.count < 0 ? -1 : 0;
        }
    }
    const std::size_t count = std::min(capacity, readAhead_.size() - readAheadAt_);
    std::memcpy(buffer, readAhead_.data() + readAheadAt_, count);
    readAheadAt_ += count;
    return static_cast<long>(count);
}

void Connection::close() {
    if (socket_ != kNoSocket) {
        sockets::closeStream(socket_);
        socket_ = kNoSocket;
    }
    readAhead_.clear();
    readAheadAt_ = 0;
}

} // namespace reef::platform
