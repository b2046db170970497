// The socket calls over Winsock.

#include "platform/connection.h"
#include "platform/socket_calls.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <climits>

namespace reef::platform {

bool startSockets() {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void stopSockets() {
    WSACleanup();
}

namespace sockets {

namespace {

SOCKET asSocket(SocketHandle value) {
    return static_cast<SOCKET>(value);
}

int clampedSize(std::size_t size) {
    return size > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(size);
}

CallResult outcome(int count) {
    return count == SOCKET_ERROR
               ? CallResult{.count = -1, .interrupted = WSAGetLastError() == WSAEINTR}
               : CallResult{.count = count};
}

} // namespace

SocketHandle openStream() {
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    return s == INVALID_SOCKET ? kNoSocket : static_cast<SocketHandle>(s);
}

bool connectStream(SocketHandle socket, std::uint32_t address, std::uint16_t port) {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = port;
    target.sin_addr.s_addr = address;
    return ::connect(asSocket(socket), reinterpret_cast<const sockaddr*>(&target), sizeof target) ==
           0;
}

CallResult sendSome(SocketHandle socket, const char* data, std::size_t size) {
    return outcome(::send(asSocket(socket), data, clampedSize(size), 0));
}

CallResult receiveSome(SocketHandle socket, void* buffer, std::size_t capacity) {
    return outcome(::recv(asSocket(socket), static_cast<char*>(buffer), clampedSize(capacity), 0));
}

CallResult checkReadable(SocketHandle socket, int timeoutMs) {
    // select reports both waiting bytes and an orderly close by the peer (readable with
    // nothing to read), which FIONREAD alone would miss.
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(asSocket(socket), &readable);
    timeval wait{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    const int ready = ::select(0, &readable, nullptr, nullptr, &wait);
    return ready == SOCKET_ERROR ? outcome(ready) : CallResult{.count = ready > 0 ? 1 : 0};
}

void closeStream(SocketHandle socket) {
    ::closesocket(asSocket(socket));
}

} // namespace sockets

} // namespace reef::platform
