#include "exchange/response_reader.h"

#include "exchange/exchange_texts.h"

#include <algorithm>
#include <array>

namespace reef::exchange {

namespace {

constexpr std::string_view kBlankLine = "\r\n\r\n";
constexpr std::string_view kScriptAnswered = "200 ";

} // namespace

std::string shownPart(std::string_view text) {
    return std::string(text.substr(0, kMaxShownAnswerBytes));
}

ResponseResult readResponse(platform::ByteStream& connection, platform::Clock& clock,
                            std::int64_t startMs, BodyRules& rules) {
    std::array<char, kReceiveBlockSize> buffer{};
    std::string header;
    bool inBody = false;
    std::size_t bodyBytes = 0;
    for (;;) {
        if (!connection.dataAvailable()) {
            // Bytes that come within the window are read as soon as they are there, so that
            // an answer in many small pieces is read as fast as it arrives; the window itself
            // keeps the window check and the time limit as frequent as before.
            const std::int64_t waitStart = clock.tickCountMs();
            if (connection.waitForData(static_cast<int>(kIdlePollMs))) {
                continue;
            }
            // A stream that cannot wait, or a wait cut short: the rest of the window.
            const std::int64_t waited = clock.tickCountMs() - waitStart;
            if (waited < kIdlePollMs) {
                clock.sleepMs(kIdlePollMs - std::max<std::int64_t>(waited, 0));
            }
            if (clock.tickCountMs() >= startMs + kAnswerTimeLimitMs) {
                return {ResponseEnd::Timeout, {}};
            }
            // The idle check runs before the header is complete as well: it holds the
            // window check, which must not wait for an answer that may never come.
            if (rules.onIdle() == BodyRules::Step::Ended) {
                return {ResponseEnd::ByRules, {}};
            }
            continue;
        }
        const long got = connection.receive(buffer.data(), buffer.size());
        if (got <= 0) {
            // The end of the connection ends the answer; it is judged once, never waited on.
            if (!inBody) {
                return {ResponseEnd::NotScript, shownPart(header)};
            }
            rules.onEnd();
            return {ResponseEnd::ByRules, {}};
        }
        std::string_view block(buffer.data(), static_cast<std::size_t>(got));
        std::string bodyStart;
        if (!inBody) {
            // The blank line may be cut between two blocks.
            const std::size_t searchFrom =
                header.size() >= kBlankLine.size() ? header.size() - (kBlankLine.size() - 1) : 0;
            header += block;
            const std::size_t blank = header.find(kBlankLine, searchFrom);
            if (blank == std::string::npos) {
                if (header.size() > kMaxHeaderBytes) {
                    return {ResponseEnd::NotScript, shownPart(header)};
                }
                continue;
            }
            const std::size_t bodyBegins = blank + kBlankLine.size();
            if (bodyBegins > kMaxHeaderBytes ||
                std::string_view(header).substr(0, bodyBegins).find(kScriptAnswered) ==
                    std::string_view::npos) {
                return {ResponseEnd::NotScript, shownPart(header)};
            }
            inBody = true;
            bodyStart = header.substr(bodyBegins);
            block = bodyStart;
            if (block.empty()) {
                continue;
            }
        }
        bodyBytes += block.size();
        if (bodyBytes > kMaxBodyBytes) {
            return {ResponseEnd::BodyTooLarge, {}};
        }
        if (rules.onBody(block) == BodyRules::Step::Ended) {
            return {ResponseEnd::ByRules, {}};
        }
    }
}

bool reportReaderFailure(const ResponseResult& result, ListExchangeSink& sink) {
    switch (result.end) {
    case ResponseEnd::NotScript:
        if (!result.received.empty()) {
            sink.showError(result.received);
        }
        if (!sink.windowOpen()) {
            return false;
        }
        sink.setStatus(kStatusExchangeField, std::string(kStatusNoScript));
        return true;
    case ResponseEnd::Timeout:
        if (!sink.windowOpen()) {
            return false;
        }
        sink.setStatus(kStatusExchangeField, std::string(kStatusTimeout));
        return true;
    case ResponseEnd::BodyTooLarge:
        if (!sink.windowOpen()) {
            return false;
        }
        sink.setStatus(kStatusExchangeField, std::string(kStatusFailed));
        return true;
    case ResponseEnd::ByRules:
        break;
    }
    return true;
}

} // namespace reef::exchange
