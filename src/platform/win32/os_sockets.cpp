#include "platform/connection.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <climits>

namespace reef::platform {

namespace {

SOCKET asSocket(std::intptr_t value) {
    return static_cast<SOCKET>(value);
}

// An IPv4 literal as it is, otherwise the first IPv4 address of the name.
bool resolve(const std::string& host, in_addr& address) {
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
    for (addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addr != nullptr) {
            address = reinterpret_cast<sockaddr_in*>(entry->ai_addr)->sin_addr;
            ok = true;
            break;
        }
    }
    freeaddrinfo(found);
    return ok;
}

} // namespace

bool startSockets() {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void stopSockets() {
    WSACleanup();
}

bool Connection::open(const std::string& host, std::uint16_t port) {
    close();
    in_addr address{};
    if (!resolve(host, address)) {
        return false;
    }
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        return false;
    }
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr = address;
    if (::connect(s, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
        ::closesocket(s);
        return false;
    }
    socket_ = static_cast<std::intptr_t>(s);
    return true;
}

bool Connection::send(const void* data, std::size_t size) {
    if (!isOpen()) {
        return false;
    }
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const int part =
            size > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(size);
        const int sent = ::send(asSocket(socket_), bytes, part, 0);
        if (sent == SOCKET_ERROR || sent <= 0) {
            return false;
        }
        bytes += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool Connection::dataAvailable() const {
    if (!isOpen()) {
        return false;
    }
    // A zero time-out select reports both waiting bytes and an orderly close by the peer
    // (readable with nothing to read), which FIONREAD alone would miss.
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(asSocket(socket_), &readable);
    timeval noWait{0, 0};
    const int ready = ::select(0, &readable, nullptr, nullptr, &noWait);
    return ready > 0;
}

long Connection::receive(void* buffer, std::size_t capacity) {
    if (!isOpen()) {
        return -1;
    }
    if (capacity == 0) {
        return 0;
    }
    const int part =
        capacity > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(capacity);
    const int received = ::recv(asSocket(socket_), static_cast<char*>(buffer), part, 0);
    if (received == SOCKET_ERROR) {
        return -1;
    }
    return received;
}

void Connection::close() {
    if (socket_ != kNoSocket) {
        ::closesocket(asSocket(socket_));
        socket_ = kNoSocket;
    }
}

} // namespace reef::platform
