#pragma once
// The byte-level pieces of the list cache files: little-endian signed integers and strings
// ended by CR LF.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace reef::fleetlists {

class CacheByteReader {
  public:
    explicit CacheByteReader(std::string_view bytes) : bytes_(bytes) {}

    bool atEnd() const { return position_ >= bytes_.size(); }

    // A little-endian signed integer of `size` bytes (1, 2, 4 or 8); nothing when the file
    // ends before all its bytes, which are then all consumed.
    std::optional<std::int64_t> readInteger(std::size_t size);

    // The bytes up to the first NUL, CR or LF or the end. The terminator is consumed, and an
    // LF right after a CR with it; at the end the string is empty.
    std::string readString();

  private:
    std::string_view bytes_;
    std::size_t position_ = 0;
};

class CacheByteWriter {
  public:
    // The low `size` bytes of the value, little-endian.
    void appendInteger(std::int64_t value, std::size_t size);

    // The bytes and CR LF. NUL, CR and LF inside the text would end it early when read back,
    // and shift every later field; they are written as blanks.
    void appendString(std::string_view text);

    const std::string& bytes() const { return bytes_; }

  private:
    std::string bytes_;
};

} // namespace reef::fleetlists
