#include "fleetlists/cache_bytes.h"

namespace reef::fleetlists {

namespace {

bool endsString(char c) {
    return c == '\0' || c == '\r' || c == '\n';
}

} // namespace

std::optional<std::int64_t> CacheByteReader::readInteger(std::size_t size) {
    if (bytes_.size() - position_ < size || atEnd()) {
        position_ = bytes_.size();
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
        value |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes_[position_ + i]))
                 << (8 * i);
    }
    position_ += size;
    // Sign-extend from the top bit of the field.
    if (size < 8) {
        const std::uint64_t signBit = std::uint64_t{1} << (8 * size - 1);
        value = (value ^ signBit) - signBit;
    }
    return static_cast<std::int64_t>(value);
}

std::string CacheByteReader::readString() {
    const std::size_t start = position_;
    while (!atEnd() && !endsString(bytes_[position_])) {
        ++position_;
    }
    std::string text(bytes_.substr(start, position_ - start));
    if (!atEnd()) {
        const char terminator = bytes_[position_++];
        if (terminator == '\r' && !atEnd() && bytes_[position_] == '\n') {
            ++position_;
        }
    }
    return text;
}

void CacheByteWriter::appendInteger(std::int64_t value, std::size_t size) {
    const auto bits = static_cast<std::uint64_t>(value);
    for (std::size_t i = 0; i < size; ++i) {
        bytes_.push_back(static_cast<char>((bits >> (8 * i)) & 0xFFu));
    }
}

void CacheByteWriter::appendString(std::string_view text) {
    for (const char c : text) {
        bytes_.push_back(endsString(c) ? ' ' : c);
    }
    bytes_ += "\r\n";
}

} // namespace reef::fleetlists
