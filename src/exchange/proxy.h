#pragma once
// A TCP connection to a target through a proxy: HTTP CONNECT (with optional Basic
// credentials), SOCKS4 or SOCKS5 (with optional user name and password).

#include "platform/byte_stream.h"
#include "platform/clock.h"
#include "platform/connection.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace reef::exchange {

// Bytes of the buffer that holds each handshake message built and each SOCKS answer read.
// Credentials, user ids and host names that do not fit it (or a one-byte length field) make
// the attempt fail before anything is sent to the proxy.
inline constexpr std::size_t kProxyWorkBufferSize = 1024;
// At most this much of an HTTP CONNECT answer is looked at.
inline constexpr std::size_t kConnectAnswerBufferSize = 14500;
inline constexpr std::int64_t kProxyPollIntervalMs = 10;

// True for a dotted IPv4 address in canonical decimal form: four fields of 0 to 255 without
// leading zeros, signs or blanks ("192.168.0.1", not "192.168.000.1").
bool isNumericIPv4(std::string_view text);

// The status code of an HTTP CONNECT answer: the second blank-separated field of the first
// complete line (ended by a line feed) that starts with "HTTP/1." once blanks are trimmed;
// the text ends at its first zero byte. 0 when no line qualifies.
std::int32_t connectAnswerStatus(std::string_view answer);

// Opens a connection to the proxy and asks it for the target. The returned connection is a
// plain byte stream to the target whose handshake bytes have been read; a failed attempt
// returns a connection that is not open (and has closed the one to the proxy). Each answer
// of the proxy is awaited for at most timeoutSeconds, polling every 10 ms on the clock's
// sleep, never blocking in a read. Writes no status.
platform::Connection connectThroughProxy(const std::string& proxyHost, std::int32_t proxyPort,
                                         const std::string& targetHost, std::uint16_t targetPort,
                                         std::int32_t proxyType, const std::string& userId,
                                         const std::string& password, std::int32_t timeoutSeconds,
                                         platform::Clock& clock = platform::systemClock());

// The handshake of one proxy type on a stream that is open to the proxy; true when the proxy
// has granted the connection to the target. What connectThroughProxy does after connecting.
bool proxyHandshake(platform::ByteStream& stream, std::int32_t proxyType,
                    const std::string& targetHost, std::uint16_t targetPort,
                    const std::string& userId, const std::string& password,
                    std::int32_t timeoutSeconds, platform::Clock& clock);

} // namespace reef::exchange
