#include "platform/connection.h"

// What does not depend on the socket library; the rest is in posix/ and win32/.

namespace reef::platform {

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

} // namespace reef::platform
