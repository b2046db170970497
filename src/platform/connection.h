#pragma once
// A blocking TCP connection over POSIX sockets or Winsock, one type for both.

#include "platform/byte_stream.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace reef::platform {

// Socket library start-up and shut-down (Winsock; nothing to do on POSIX). startSockets
// returns false when the library cannot be initialised.
bool startSockets();
void stopSockets();

class Connection final : public ByteStream {
  public:
    Connection();
    ~Connection() override;
    Connection(Connection&& other) noexcept;
    Connection& operator=(Connection&& other) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // A dotted-decimal IPv4 literal ("192.168.0.1") is used as it is; any other host is
    // looked up and its first IPv4 address taken (no IPv6). Blocking connect, with the
    // operating system's time-out. False when the name cannot be resolved or the connect
    // fails; the object is then closed. Opening an open connection closes it first.
    bool open(const std::string& host, std::uint16_t port);
    bool isOpen() const;
    // Sends everything, retrying partial sends; false on a socket error or when closed. A
    // peer that has gone away gives false, never a signal that ends the process.
    bool send(const void* data, std::size_t size) override;
    using ByteStream::send;
    // True when receive() would return at once: data waiting, or the peer closed or reset
    // the connection (receive() then gives 0 or a negative count). Never blocks. False on a
    // closed object.
    bool dataAvailable() const override;
    // As dataAvailable, waiting at most timeoutMs for the socket to become readable.
    bool waitForData(int timeoutMs) override;
    // Reads what is there, at most capacity bytes; blocks until data or end of stream. What
    // has arrived beyond capacity is kept for the next calls. The
    // byte count, 0 at end of stream or for capacity 0, negative on error or on a closed
    // object. A read interrupted by a signal is made again.
    long receive(void* buffer, std::size_t capacity) override;
    // Closes the socket; safe to call more than once. The destructor closes as well.
    void close();

  private:
    // INVALID_SOCKET on Windows and -1 elsewhere are the same value here.
    static constexpr std::intptr_t kNoSocket = -1;
    std::intptr_t socket_;
    // Received and not yet handed out: readAhead_ from readAheadAt_ on.
    static constexpr std::size_t kReadAheadBytes = 64 * 1024;
    std::string readAhead_;
    std::size_t readAheadAt_ = 0;
};

} // namespace reef::platform
