#pragma once
// Client-side helpers for the tests: reading from a Connection without ever blocking for
// long, and checking that a connection carries bytes both ways.

#include "platform/connection.h"
#include "platform/connection/tcp_peer.h"

#include <chrono>
#include <string>
#include <string_view>
#include <thread>

namespace reef::testing {

// Reads until count bytes have come, the stream ends, or nothing came for kPeerWaitMs.
inline std::string receiveFrom(platform::Connection& connection, std::size_t count) {
    std::string bytes;
    while (bytes.size() < count) {
        int waitedMs = 0;
        while (!connection.dataAvailable() && waitedMs < kPeerWaitMs) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ++waitedMs;
        }
        if (!connection.dataAvailable()) {
            break;
        }
        char buffer[1024];
        const std::size_t wanted = std::min(sizeof buffer, count - bytes.size());
        const long got = connection.receive(buffer, wanted);
        if (got <= 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
}

// Sends the bytes and expects exactly them back (from an echo server behind the stream).
inline bool echoesThrough(platform::Connection& connection, std::string_view bytes) {
    return connection.send(bytes.data(), bytes.size()) &&
           receiveFrom(connection, bytes.size()) == bytes;
}

// A line of the given length, for user ids, passwords and host names.
inline std::string textOfLength(std::size_t length, char c = 'a') {
    return std::string(length, c);
}

} // namespace reef::testing
