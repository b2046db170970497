#pragma once
// The byte stream an exchange reads and writes: a TCP connection in the program, a scripted
// one in tests and fuzz targets, so that the readers of answers can be fed any sequence of
// blocks.

#include <cstddef>
#include <string>

namespace reef::platform {

class ByteStream {
  public:
    virtual ~ByteStream() = default;
    // Sends everything; false when that failed.
    virtual bool send(const void* data, std::size_t size) = 0;
    bool send(const std::string& bytes) { return send(bytes.data(), bytes.size()); }
    // True when receive() would return at once. Never blocks.
    virtual bool dataAvailable() const = 0;
    // Waits at most timeoutMs for bytes (or the end of the stream); true as soon as
    // receive() would return at once. A stream that cannot wait answers at once.
    virtual bool waitForData(int timeoutMs) {
        static_cast<void>(timeoutMs);
        return dataAvailable();
    }
    // At most capacity bytes; 0 at the end of the stream, negative on error.
    virtual long receive(void* buffer, std::size_t capacity) = 0;
};

} // namespace reef::platform
