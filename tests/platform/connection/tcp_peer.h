#pragma once
// The far end of a test connection: a listening socket on 127.0.0.1 and the sockets it
// accepts, written directly over the machine's sockets so that the code under test meets a
// real TCP peer. Every wait is bounded (kPeerWaitMs), so a broken client makes a test fail
// instead of hanging it.

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace reef::testing {

inline constexpr int kPeerWaitMs = 15000;

#ifdef _WIN32
using NativeSocket = SOCKET;
inline constexpr NativeSocket kNoNativeSocket = INVALID_SOCKET;
inline void closeNativeSocket(NativeSocket s) {
    ::closesocket(s);
}
inline int pollSockets(pollfd* fds, unsigned long count, int timeoutMs) {
    return ::WSAPoll(fds, count, timeoutMs);
}
#else
using NativeSocket = int;
inline constexpr NativeSocket kNoNativeSocket = -1;
inline void closeNativeSocket(NativeSocket s) {
    ::close(s);
}
inline int pollSockets(pollfd* fds, unsigned long count, int timeoutMs) {
    int ready = 0;
    do {
        ready = ::poll(fds, static_cast<nfds_t>(count), timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return ready;
}
#endif

// Waits at most timeoutMs for the socket to become readable (data, end of stream, error).
inline bool waitReadable(NativeSocket s, int timeoutMs) {
    pollfd check{};
    check.fd = s;
    check.events = POLLIN;
    return pollSockets(&check, 1, timeoutMs) > 0;
}

// One accepted (or connected) stream socket.
class PeerSocket {
  public:
    PeerSocket() = default;
    explicit PeerSocket(NativeSocket s) : socket_(s) {}
    ~PeerSocket() { close(); }
    PeerSocket(PeerSocket&& other) noexcept
        : socket_(std::exchange(other.socket_, kNoNativeSocket)) {}
    PeerSocket& operator=(PeerSocket&& other) noexcept {
        if (this != &other) {
            close();
            socket_ = std::exchange(other.socket_, kNoNativeSocket);
        }
        return *this;
    }
    PeerSocket(const PeerSocket&) = delete;
    PeerSocket& operator=(const PeerSocket&) = delete;

    bool valid() const { return socket_ != kNoNativeSocket; }

    bool sendAll(std::string_view bytes) {
        while (!bytes.empty()) {
#ifdef _WIN32
            const int sent = ::send(socket_, bytes.data(), static_cast<int>(bytes.size()), 0);
#else
            const auto sent = ::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
#endif
            if (sent <= 0) {
                return false;
            }
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        }
        return true;
    }

    // What one read gives after waiting at most kPeerWaitMs: "" at end of stream, on error
    // or when nothing came.
    std::string receiveSome() {
        if (!valid() || !waitReadable(socket_, kPeerWaitMs)) {
            return {};
        }
        char buffer[4096];
        const auto got = ::recv(socket_, buffer, sizeof buffer, 0);
        return got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : std::string();
    }

    // Reads until count bytes have come, the stream ends or a wait runs out.
    std::string receiveExactly(std::size_t count) {
        std::string bytes;
        while (bytes.size() < count) {
            if (!valid() || !waitReadable(socket_, kPeerWaitMs)) {
                break;
            }
            char buffer[4096];
            const std::size_t wanted = std::min(count - bytes.size(), sizeof buffer);
            const auto got = ::recv(socket_, buffer, static_cast<int>(wanted), 0);
            if (got <= 0) {
                break;
            }
            bytes.append(buffer, static_cast<std::size_t>(got));
        }
        return bytes;
    }

    // Reads until the bytes end with marker, the stream ends or a wait runs out.
    std::string receiveUntil(std::string_view marker) {
        std::string bytes;
        while (bytes.size() < marker.size() ||
               std::string_view(bytes).substr(bytes.size() - marker.size()) != marker) {
            const std::string one = receiveExactly(1);
            if (one.empty()) {
                break;
            }
            bytes += one;
        }
        return bytes;
    }

    // Everything until the other side closes (or a wait runs out).
    std::string receiveToEnd() {
        std::string bytes;
        for (;;) {
            const std::string some = receiveSome();
            if (some.empty()) {
                return bytes;
            }
            bytes += some;
        }
    }

    // True when the other side has closed and every byte before the end has been read.
    bool seesEnd() {
        if (!valid() || !waitReadable(socket_, kPeerWaitMs)) {
            return false;
        }
        char byte = 0;
        return ::recv(socket_, &byte, 1, 0) == 0;
    }

    void close() {
        if (socket_ != kNoNativeSocket) {
            closeNativeSocket(socket_);
            socket_ = kNoNativeSocket;
        }
    }

  private:
    NativeSocket socket_ = kNoNativeSocket;
};

// A socket on 127.0.0.1 with a port of the system's choosing. With listen false it is only
// bound: the port stays taken, and a connect to it is refused.
class PeerListener {
  public:
    explicit PeerListener(bool listening = true) {
        socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
        if (socket_ == kNoNativeSocket) {
            return;
        }
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        socklen_t length = sizeof address;
        if (::bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            (listening && ::listen(socket_, 16) != 0) ||
            ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            closeNativeSocket(socket_);
            socket_ = kNoNativeSocket;
            return;
        }
        port_ = ntohs(address.sin_port);
    }
    ~PeerListener() { close(); }
    PeerListener(const PeerListener&) = delete;
    PeerListener& operator=(const PeerListener&) = delete;

    bool valid() const { return socket_ != kNoNativeSocket; }
    std::uint16_t port() const { return port_; }

    // The next connection, waiting at most kPeerWaitMs; an invalid socket when none came.
    PeerSocket accept(int timeoutMs = kPeerWaitMs) {
        if (!valid() || !waitReadable(socket_, timeoutMs)) {
            return PeerSocket();
        }
        return PeerSocket(::accept(socket_, nullptr, nullptr));
    }

    void close() {
        if (socket_ != kNoNativeSocket) {
            closeNativeSocket(socket_);
            socket_ = kNoNativeSocket;
        }
    }

  private:
    NativeSocket socket_ = kNoNativeSocket;
    std::uint16_t port_ = 0;
};

} // namespace reef::testing
