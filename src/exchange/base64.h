#pragma once
// Base64 with the standard alphabet, "=" padding and no line breaks (HTTP Basic credentials).

#include <cstddef>
#include <string>
#include <string_view>

namespace reef::exchange {

std::string encodeBase64(std::string_view bytes);

// The length of encodeBase64's result for that many input bytes.
constexpr std::size_t base64Length(std::size_t byteCount) {
    return (byteCount + 2) / 3 * 4;
}

} // namespace reef::exchange
