// The socket calls over POSIX sockets (Linux, for the native build and its tests).

#include "platform/connection.h"
#include "platform/socket_calls.h"

#include <cerrno>
#include <climits>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace reef::platform {

bool startSockets() {
    return true;
}

void stopSockets() {}

namespace sockets {

namespace {

CallResult outcome(long count) {
    return count < 0 ? CallResult{.count = -1, .interrupted = errno == EINTR}
                     : CallResult{.count = count};
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

SocketHandle openStream() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return fd < 0 ? kNoSocket : fd;
}

bool connectStream(SocketHandle socket, std::uint32_t address, std::uint16_t port) {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = port;
    target.sin_addr.s_addr = address;
    const int fd = static_cast<int>(socket);
    const int result = ::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target);
    return result == 0 || (errno == EINTR && finishInterruptedConnect(fd));
}

CallResult sendSome(SocketHandle socket, const char* data, std::size_t size) {
    // MSG_NOSIGNAL: a peer that has gone away gives EPIPE here instead of a SIGPIPE that
    // would end the whole program.
    const std::size_t part = size > static_cast<std::size_t>(LONG_MAX) ? LONG_MAX : size;
    return outcome(::send(static_cast<int>(socket), data, part, MSG_NOSIGNAL));
}

CallResult receiveSome(SocketHandle socket, void* buffer, std::size_t capacity) {
    const std::size_t part = capacity > static_cast<std::size_t>(LONG_MAX) ? LONG_MAX : capacity;
    return outcome(::recv(static_cast<int>(socket), buffer, part, 0));
}

CallResult checkReadable(SocketHandle socket, int timeoutMs) {
    pollfd check{static_cast<int>(socket), POLLIN, 0};
    const int ready = ::poll(&check, 1, timeoutMs);
    if (ready < 0) {
        return outcome(ready);
    }
    // A closed or failed connection counts as readable: a receive then returns at once.
    return {.count = ready > 0 && (check.revents & (POLLIN | POLLHUP | POLLERR)) != 0 ? 1 : 0};
}

void closeStream(SocketHandle socket) {
    ::close(static_cast<int>(socket));
}

} // namespace sockets

} // namespace reef::platform
