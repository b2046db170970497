// Fuzz target of the proxy answer checks: the handshakes of HTTP CONNECT, SOCKS4 and SOCKS5
// against a proxy whose answers are the fuzzer's bytes, cut into blocks of random size. A
// granted connection needs the answer that grants it, and no message sent may outgrow the
// handshake's buffer.

#include "exchange/proxy.h"
#include "exchange/proxy_settings.h"
#include "fuzz/fuzz_stream.h"
#include "platform/clock.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace reef;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::InputBytes input(data, size);
    const std::uint8_t choice = input.byte();
    const std::uint32_t seed = input.word();
    const std::int32_t type = choice % 3;
    const std::string user = (choice & 4) != 0 ? "user" : "";
    const std::string password = (choice & 8) != 0 ? "secret" : "";
    const std::string target = (choice & 16) != 0 ? "192.0.2.7" : "lists.example.org";
    const std::string answer(input.rest());

    // The status check alone, on the whole answer.
    const std::int32_t status = exchange::connectAnswerStatus(answer);
    fuzz::check(status == 0 || answer.find("HTTP/1.") != std::string::npos,
                "a status without an HTTP line");

    fuzz::BlockStream stream(answer, seed, 1 + choice % 32);
    platform::ManualClock clock(0, 0);
    const bool granted =
        exchange::proxyHandshake(stream, type, target, 8080, user, password, 2, clock);
    for (const std::string& message : stream.sent()) {
        fuzz::check(type == exchange::kProxyHttpConnect ||
                        message.size() <= exchange::kProxyWorkBufferSize,
                    "a handshake message larger than its buffer");
    }
    if (granted) {
        fuzz::check(stream.handedOut() > 0, "granted without an answer");
        const std::string_view first = std::string_view(answer).substr(0, stream.handedOut());
        if (type == exchange::kProxyHttpConnect) {
            fuzz::check(exchange::connectAnswerStatus(first) == 200, "granted without status 200");
        } else if (type == exchange::kProxySocks4) {
            fuzz::check(first.size() >= 2 && first[0] == 0 && first[1] == 90,
                        "granted without SOCKS4 byte 90");
        } else {
            fuzz::check(first.size() >= 2 && first[0] == 5, "granted without a SOCKS5 answer");
        }
    }
    return 0;
}
