#include "server/proxy.h"

#include "server/base64.h"
#include "server/proxy_settings.h"
#include "text/integer_text.h"

#include <array>
#include <vector>

namespace reef::server {

namespace {

using platform::Clock;
using platform::Connection;

using Bytes = std::vector<unsigned char>;

constexpr std::size_t kMaxLengthByte = 255;
constexpr unsigned char kSocks4Granted = 90;
constexpr unsigned char kSocks5NoAcceptableMethod = 255;
constexpr unsigned char kSocks5UserPassword = 2;

// Waits for the proxy's answer: sleeps a poll interval, then reads with `read` as soon as
// something is there. False when the deadline has passed, whether or not an answer came.
template <typename Read>
bool awaitAnswer(const Connection& connection, Clock& clock, std::int32_t timeoutSeconds,
                 Read read) {
    const std::int64_t deadline =
        clock.tickCountMs() + static_cast<std::int64_t>(timeoutSeconds) * 1000;
    for (;;) {
        clock.sleepMs(kProxyPollIntervalMs);
        if (connection.dataAvailable()) {
            read();
            break;
        }
        if (clock.tickCountMs() > deadline) {
            break;
        }
    }
    return clock.tickCountMs() <= deadline;
}

// One read of at most `capacity` bytes into the work buffer; the count, 0 on end or error.
std::size_t receiveInto(Connection& connection, unsigned char* buffer, std::size_t capacity) {
    const long got = connection.receive(buffer, capacity);
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

bool sendBytes(Connection& connection, const Bytes& bytes) {
    return connection.send(bytes.data(), bytes.size());
}

void appendText(Bytes& bytes, std::string_view text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
}

void appendPort(Bytes& bytes, std::uint16_t port) {
    bytes.push_back(static_cast<unsigned char>(port / 256));
    bytes.push_back(static_cast<unsigned char>(port % 256));
}

// The four numbers of an address that passed isNumericIPv4.
void appendIPv4(Bytes& bytes, std::string_view address) {
    std::size_t start = 0;
    for (int field = 0; field < 4; ++field) {
        const std::size_t dot = address.find('.', start);
        bytes.push_back(
            static_cast<unsigned char>(text::intValue(address.substr(start, dot - start))));
        start = dot + 1;
    }
}

bool httpConnect(Connection& connection, const std::string& targetHost, std::uint16_t targetPort,
                 const std::string& userId, const std::string& password,
                 std::int32_t timeoutSeconds, Clock& clock) {
    std::string request =
        "CONNECT " + targetHost + ":" + text::decimalText(targetPort) + " HTTP/1.0\r\n";
    if (!userId.empty() && !password.empty()) {
        const std::string credentials = userId + ":" + password;
        // The encoded form and its terminating zero must fit the work buffer.
        if (base64Length(credentials.size()) + 1 > kProxyWorkBufferSize) {
            return false;
        }
        const std::string encoded = encodeBase64(credentials);
        request += "Authorization: Basic " + encoded + "\r\n";
        request += "Proxy-Authorization: Basic " + encoded + "\r\n";
    }
    request += "\r\n";
    if (!connection.send(request)) {
        return false;
    }

    std::vector<char> answer(kConnectAnswerBufferSize);
    std::size_t answerSize = 0;
    const bool inTime = awaitAnswer(connection, clock, timeoutSeconds, [&] {
        const long got = connection.receive(answer.data(), answer.size());
        answerSize = got > 0 ? static_cast<std::size_t>(got) : 0;
        // An answer longer than the buffer: the rest is read and dropped, but only what is
        // already there, so that a proxy that stops sending cannot block the worker.
        if (answerSize == answer.size()) {
            std::vector<char> discard(kConnectAnswerBufferSize);
            long chunk = got;
            while (chunk == static_cast<long>(discard.size()) && connection.dataAvailable()) {
                chunk = connection.receive(discard.data(), discard.size());
            }
        }
    });
    return inTime && connectAnswerStatus(std::string_view(answer.data(), answerSize)) == 200;
}

bool socks4Connect(Connection& connection, const std::string& targetHost, std::uint16_t targetPort,
                   const std::string& userId, std::int32_t timeoutSeconds, Clock& clock) {
    // SOCKS4 carries only a numeric address.
    if (!isNumericIPv4(targetHost) || 9 + userId.size() > kProxyWorkBufferSize) {
        return false;
    }
    Bytes request{4, 1};
    appendPort(request, targetPort);
    appendIPv4(request, targetHost);
    appendText(request, userId);
    request.push_back(0);
    if (!sendBytes(connection, request)) {
        return false;
    }
    std::array<unsigned char, kProxyWorkBufferSize> answer{};
    std::size_t got = 0;
    const bool inTime = awaitAnswer(connection, clock, timeoutSeconds, [&] {
        got = receiveInto(connection, answer.data(), answer.size());
    });
    return inTime && got >= 2 && answer[0] == 0 && answer[1] == kSocks4Granted;
}

bool socks5Connect(Connection& connection, const std::string& targetHost, std::uint16_t targetPort,
                   const std::string& userId, const std::string& password,
                   std::int32_t timeoutSeconds, Clock& clock) {
    const bool numericTarget = isNumericIPv4(targetHost);
    // Each of these travels behind a one-byte length.
    if (userId.size() > kMaxLengthByte || password.size() > kMaxLengthByte ||
        (!numericTarget && targetHost.size() > kMaxLengthByte)) {
        return false;
    }
    std::array<unsigned char, kProxyWorkBufferSize> answer{};
    std::size_t got = 0;
    const auto readAtMost = [&](std::size_t capacity) {
        return [&connection, &answer, &got, capacity] {
            got = receiveInto(connection, answer.data(), capacity);
        };
    };

    const bool withCredentials = !userId.empty() || !password.empty();
    const Bytes greeting = withCredentials ? Bytes{5, 2, 0, kSocks5UserPassword} : Bytes{5, 1, 0};
    if (!sendBytes(connection, greeting)) {
        return false;
    }
    if (!awaitAnswer(connection, clock, timeoutSeconds, readAtMost(2)) || got < 2 ||
        answer[0] != 5 || answer[1] == kSocks5NoAcceptableMethod) {
        return false;
    }

    if (answer[1] == kSocks5UserPassword) {
        Bytes login{1, static_cast<unsigned char>(userId.size())};
        appendText(login, userId);
        login.push_back(static_cast<unsigned char>(password.size()));
        appendText(login, password);
        if (!sendBytes(connection, login)) {
            return false;
        }
        if (!awaitAnswer(connection, clock, timeoutSeconds, readAtMost(2)) || got < 2 ||
            answer[0] != 1 || answer[1] != 0) {
            return false;
        }
    }

    Bytes request{5, 1, 0};
    if (numericTarget) {
        request.push_back(1);
        appendIPv4(request, targetHost);
    } else {
        request.push_back(3);
        request.push_back(static_cast<unsigned char>(targetHost.size()));
        appendText(request, targetHost);
    }
    appendPort(request, targetPort);
    if (!sendBytes(connection, request)) {
        return false;
    }
    return awaitAnswer(connection, clock, timeoutSeconds, readAtMost(answer.size())) && got >= 3 &&
           answer[0] == 5 && answer[1] == 0 && answer[2] == 0;
}

} // namespace

bool isNumericIPv4(std::string_view text) {
    std::size_t dots = 0;
    for (const char c : text) {
        dots += c == '.' ? 1 : 0;
    }
    if (dots != 3) {
        return false;
    }
    std::size_t start = 0;
    for (int field = 0; field < 4; ++field) {
        const std::size_t dot = text.find('.', start);
        const std::string_view part = text.substr(start, dot - start);
        const std::int32_t value = text::intValue(part);
        if (part.empty() || part != text::decimalText(value) || value < 0 || value > 255) {
            return false;
        }
        start = dot + 1;
    }
    return true;
}

std::int32_t connectAnswerStatus(std::string_view answer) {
    answer = answer.substr(0, answer.find('\0'));
    std::size_t start = 0;
    for (std::size_t end = answer.find('\n'); end != std::string_view::npos;
         start = end + 1, end = answer.find('\n', start)) {
        std::string_view line = answer.substr(start, end - start);
        while (!line.empty() && line.front() == ' ') {
            line.remove_prefix(1);
        }
        while (!line.empty() && line.back() == ' ') {
            line.remove_suffix(1);
        }
        if (line.substr(0, 7) != "HTTP/1.") {
            continue;
        }
        const std::size_t firstBlank = line.find(' ');
        if (firstBlank == std::string_view::npos) {
            return 0;
        }
        const std::string_view rest = line.substr(firstBlank + 1);
        return text::intValue(rest.substr(0, rest.find(' ')));
    }
    return 0;
}

Connection connectThroughProxy(const std::string& proxyHost, std::int32_t proxyPort,
                               const std::string& targetHost, std::uint16_t targetPort,
                               std::int32_t proxyType, const std::string& userId,
                               const std::string& password, std::int32_t timeoutSeconds,
                               Clock& clock) {
    Connection connection;
    if (proxyPort < 1 || proxyPort > 65535 ||
        !connection.open(proxyHost, static_cast<std::uint16_t>(proxyPort))) {
        return Connection();
    }
    bool ok = false;
    switch (proxyType) {
    case kProxyHttpConnect:
        ok = httpConnect(connection, targetHost, targetPort, userId, password, timeoutSeconds,
                         clock);
        break;
    case kProxySocks4:
        ok = socks4Connect(connection, targetHost, targetPort, userId, timeoutSeconds, clock);
        break;
    case kProxySocks5:
        ok = socks5Connect(connection, targetHost, targetPort, userId, password, timeoutSeconds,
                           clock);
        break;
    default:
        break;
    }
    if (!ok) {
        connection.close();
    }
    return connection;
}

} // namespace reef::server
