#pragma once
// A blocking TCP connection over POSIX sockets or Winsock, one type for both.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace reef::platform {

// Socket library start-up and shut-down (Winsock; nothing to do on POSIX). startSockets
// returns false when the library cannot be initialised.
bool startSockets();
void stopSockets();

class Connection {
  public:
    Connection();
    ~Connection();
    Connection(Connection&& other) noexcept;
    Connection& operator=(Connection&& other) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // An IPv4 literal is used as it is; any other host is looked up and its first IPv4
    // address taken. Blocking connect. False when the name cannot be resolved or the connect
    // fails; the connection is then closed.
    bool open(const std::string& host, std::uint16_t port);
    bool isOpen() const;
    // Sends everything; false on a socket error.
    bool send(const void* data, std::size_t size);
    bool send(const std::string& bytes) { return send(bytes.data(), bytes.size()); }
    // True when receive() would return at once (data waiting, or the peer closed). Never
    // blocks.
    bool dataAvailable() const;
    // Blocks until data or end of stream; the byte count, 0 at end of stream, negative on error.
    long receive(void* buffer, std::size_t capacity);
    void close();

  private:
    std::intptr_t socket_;
};

} // namespace reef::platform
