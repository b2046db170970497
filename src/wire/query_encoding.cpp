#include "wire/query_encoding.h"

namespace reef::wire {

namespace {

bool needsEscape(unsigned char byte) {
    return byte < 0x20 || byte >= 0x7f || byte == '&' || byte == '#' || byte == '%' || byte == '+';
}

std::string encode(std::string_view text, bool blankAsUnderscore) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == ' ') {
            out += blankAsUnderscore ? "_" : "%20";
        } else if (needsEscape(byte)) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0f];
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

std::string percentEncode(std::string_view text) {
    return encode(text, false);
}

std::string encodeQueryValue(std::string_view text) {
    return encode(text, true);
}

} // namespace reef::wire
