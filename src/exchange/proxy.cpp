#include "exchange/proxy.h"

#include "exchange/base64.h"
#include "exchange/proxy_settings.h"
#include "text/integer_text.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace reef::exchange {

namespace {

using platform::ByteStream;
using platform::Clock;
using platform::Connection;

constexpr std::size_t kMaxLengthByte = 255;
constexpr unsigned char kSocks4Granted = 90;
constexpr unsigned char kSocks5NoAcceptableMethod = 255;
constexpr unsigned char kSocks5UserPassword = 2;

// The buffer of one attempt: each handshake message is built in it and each SOCKS answer
// read into it. Whatever does not fit is refused instead of being cut or overflowing.
class WorkBuffer {
  public:
    void clear() {
        size_ = 0;
        fits_ = true;
    }
    void add(unsigned char byte) { add(std::string_view(reinterpret_cast<const char*>(&byte), 1)); }
    void add(std::string_view text) {
        if (text.size() > bytes_.size() - size_) {
            fits_ = false;
            return;
        }
        std::memcpy(bytes_.data() + size_, text.data(), text.size());
        size_ += text.size();
    }
    void addPort(std::uint16_t port) {
        add(static_cast<unsigned char>(port / 256));
        add(static_cast<unsigned char>(port % 256));
    }
    // The four numbers of an address that passed isNumericIPv4.
    void addIPv4(std::string_view address) {
        std::size_t start = 0;
        for (int field = 0; field < 4; ++field) {
            const std::size_t dot = address.find('.', start);
            add(static_cast<unsigned char>(text::intValue(address.substr(start, dot - start))));
            start = dot + 1;
        }
    }
    // Sends the message built; false when it did not fit or the send failed.
    bool sendTo(ByteStream& connection) const {
        return fits_ && connection.send(bytes_.data(), size_);
    }
    // One read of at most `capacity` bytes replaces the content (nothing on end or error).
    void receiveFrom(ByteStream& connection, std::size_t capacity) {
        clear();
        const long got = connection.receive(bytes_.data(), std::min(capacity, bytes_.size()));
        size_ = got > 0 ? static_cast<std::size_t>(got) : 0;
    }
    std::size_t size() const { return size_; }
    // Byte `index` of an answer; an answer too short for a check fails it.
    bool byteIs(std::size_t index, unsigned char value) const {
        return index < size_ && bytes_[index] == value;
    }

  private:
    std::array<unsigned char, kProxyWorkBufferSize> bytes_{};
    std::size_t size_ = 0;
    bool fits_ = true;
};

// Waits for the proxy's answer: sleeps a poll interval, then reads with `read` as soon as
// something is there. False when the deadline has passed, whether or not an answer came.
template <typename Read>
bool awaitAnswer(const ByteStream& connection, Clock& clock, std::int32_t timeoutSeconds,
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

bool httpConnect(ByteStream& connection, const std::string& targetHost, std::uint16_t targetPort,
                 const std::string& userId, const std::string& password,
                 std::int32_t timeoutSeconds, Clock& clock) {
    std::string request =
        "CONNECT " + targetHost + ":" + text::decimalText(targetPort) + " HTTP/1.0\r\n";
    if (!userId.empty() && !password.empty()) {
        const std::string credentials = userId + ":" + password;
        // The encoded form must fit the work buffer with a terminating zero.
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

bool socks4Connect(ByteStream& connection, WorkBuffer& work, const std::string& targetHost,
                   std::uint16_t targetPort, const std::string& userId, std::int32_t timeoutSeconds,
                   Clock& clock) {
    // SOCKS4 carries only a numeric address.
    if (!isNumericIPv4(targetHost)) {
        return false;
    }
    work.clear();
    work.add(4);
    work.add(1);
    work.addPort(targetPort);
    work.addIPv4(targetHost);
    work.add(userId);
    work.add(0);
    if (!work.sendTo(connection)) {
        return false;
    }
    return awaitAnswer(connection, clock, timeoutSeconds,
                       [&] { work.receiveFrom(connection, kProxyWorkBufferSize); }) &&
           work.byteIs(0, 0) && work.byteIs(1, kSocks4Granted);
}

bool socks5Connect(ByteStream& connection, WorkBuffer& work, const std::string& targetHost,
                   std::uint16_t targetPort, const std::string& userId, const std::string& password,
                   std::int32_t timeoutSeconds, Clock& clock) {
    const bool numericTarget = isNumericIPv4(targetHost);
    // Each of these travels behind a one-byte length; nothing is sent when one is too long.
    if (userId.size() > kMaxLengthByte || password.size() > kMaxLengthByte ||
        (!numericTarget && targetHost.size() > kMaxLengthByte)) {
        return false;
    }
    const auto readAtMost = [&connection, &work](std::size_t capacity) {
        return [&connection, &work, capacity] { work.receiveFrom(connection, capacity); };
    };

    work.clear();
    work.add(5);
    if (userId.empty() && password.empty()) {
        work.add(1);
        work.add(0);
    } else {
        work.add(2);
        work.add(0);
        work.add(kSocks5UserPassword);
    }
    if (!work.sendTo(connection) ||
        !awaitAnswer(connection, clock, timeoutSeconds, readAtMost(2)) || !work.byteIs(0, 5) ||
        work.size() < 2 || work.byteIs(1, kSocks5NoAcceptableMethod)) {
        return false;
    }

    if (work.byteIs(1, kSocks5UserPassword)) {
        work.clear();
        work.add(1);
        work.add(static_cast<unsigned char>(userId.size()));
        work.add(userId);
        work.add(static_cast<unsigned char>(password.size()));
        work.add(password);
        if (!work.sendTo(connection) ||
            !awaitAnswer(connection, clock, timeoutSeconds, readAtMost(2)) || !work.byteIs(0, 1) ||
            !work.byteIs(1, 0)) {
            return false;
        }
    }

    work.clear();
    work.add(5);
    work.add(1);
    work.add(0);
    if (numericTarget) {
        work.add(1);
        work.addIPv4(targetHost);
    } else {
        work.add(3);
        work.add(static_cast<unsigned char>(targetHost.size()));
        work.add(targetHost);
    }
    work.addPort(targetPort);
    return work.sendTo(connection) &&
           awaitAnswer(connection, clock, timeoutSeconds, readAtMost(kProxyWorkBufferSize)) &&
           work.byteIs(0, 5) && work.byteIs(1, 0) && work.byteIs(2, 0);
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
    if (!proxyHandshake(connection, proxyType, targetHost, targetPort, userId, password,
                        timeoutSeconds, clock)) {
        connection.close();
    }
    return connection;
}

bool proxyHandshake(ByteStream& stream, std::int32_t proxyType, const std::string& targetHost,
                    std::uint16_t targetPort, const std::string& userId,
                    const std::string& password, std::int32_t timeoutSeconds, Clock& clock) {
    WorkBuffer work;
    switch (proxyType) {
    case kProxyHttpConnect:
        return httpConnect(stream, targetHost, targetPort, userId, password, timeoutSeconds, clock);
    case kProxySocks4:
        return socks4Connect(stream, work, targetHost, targetPort, userId, timeoutSeconds, clock);
    case kProxySocks5:
        return socks5Connect(stream, work, targetHost, targetPort, userId, password, timeoutSeconds,
                             clock);
    default:
        return false;
    }
}

} // namespace reef::exchange
