#pragma once
// The few socket calls that differ between POSIX sockets and Winsock, one source for each
// in posix/ and win32/. Connection (connection.cpp) builds name resolution and the send and
// receive loops on them once, so that both systems retry and fail alike.

#include <cstddef>
#include <cstdint>

namespace reef::platform::sockets {

// INVALID_SOCKET on Windows and -1 elsewhere are the same value here.
using SocketHandle = std::intptr_t;
constexpr SocketHandle kNoSocket = -1;

// One call's outcome: a count (bytes moved, or 1 for a readable socket), negative on failure.
// `interrupted`: a signal cut the call short before anything happened; it is made again.
struct CallResult {
    long count = -1;
    bool interrupted = false;
};

// A blocking IPv4 stream socket; kNoSocket on failure.
SocketHandle openStream();
// Blocking connect with the system's time-out; address and port in network byte order.
bool connectStream(SocketHandle socket, std::uint32_t address, std::uint16_t port);
// At most `size` bytes; a peer that has gone away is a failure, never a signal.
CallResult sendSome(SocketHandle socket, const char* data, std::size_t size);
// At most `capacity` (> 0) bytes; 0 at end of stream.
CallResult receiveSome(SocketHandle socket, void* buffer, std::size_t capacity);
// Count 1 when data waits or the peer closed or reset the connection; waits at most
// timeoutMs for that (0: never blocks).
CallResult checkReadable(SocketHandle socket, int timeoutMs = 0);
void closeStream(SocketHandle socket);

} // namespace reef::platform::sockets
