#pragma once
// Reading the list server's answer to a download or a submission: the header up to the first
// blank line with its "200 " test, then the body block by block to the rules of the exchange,
// with a time limit counted from the sending of the request.

#include "exchange/list_exchange_sink.h"
#include "platform/byte_stream.h"
#include "platform/clock.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace reef::exchange {

inline constexpr std::size_t kReceiveBlockSize = 1024;
inline constexpr std::int64_t kIdlePollMs = 10;
inline constexpr std::int64_t kAnswerTimeLimitMs = 10000;
// Bounds that no answer of the list server comes near; beyond them the exchange fails.
inline constexpr std::size_t kMaxHeaderBytes = 64 * 1024;
inline constexpr std::size_t kMaxBodyBytes = 16 * 1024 * 1024;
// A message box shows no more of an unexpected answer than this.
inline constexpr std::size_t kMaxShownAnswerBytes = 4 * 1024;

// What the exchange does with the body. Each call may end the exchange; the rules then
// have written their own status texts.
class BodyRules {
  public:
    enum class Step { GoOn, Ended };
    virtual ~BodyRules() = default;
    // The body bytes of one block, in the order they came; never empty.
    virtual Step onBody(std::string_view bytes) = 0;
    // Nothing is waiting and the time limit has not been reached (also while the header is
    // still incomplete; the body is then empty).
    virtual Step onIdle() = 0;
    // The connection has ended: the body is judged once as a whole. Always the last call.
    virtual void onEnd() = 0;
};

enum class ResponseEnd {
    ByRules,      // the body rules ended the exchange (onBody, onIdle or onEnd)
    NotScript,    // the header lacks "200 ", or ended, stalled or grew too long unfinished
    Timeout,      // nothing waiting when the time limit was reached
    BodyTooLarge, // more than kMaxBodyBytes of body
};

struct ResponseResult {
    ResponseEnd end = ResponseEnd::ByRules;
    // NotScript: what came before the exchange failed, the header and whatever followed it in
    // the same block, at most kMaxShownAnswerBytes; empty when nothing came.
    std::string received;
};

// Reads blocks of at most 1024 bytes while bytes are waiting; otherwise waits on the stream
// for up to 10 ms (reading at once what comes meanwhile); when nothing came, fails at
// startMs + 10000 and asks the rules' idle check. A header that never ends
// runs into the same time limit. No byte of the body is lost or handed over twice.
ResponseResult readResponse(platform::ByteStream& connection, platform::Clock& clock,
                            std::int64_t startMs, BodyRules& rules);

// The failure texts of the ways the reader itself ends an exchange, shared by the download
// and the submission: the message box first, then the window check, then the status text.
// False when the window check found the window closed.
bool reportReaderFailure(const ResponseResult& result, ListExchangeSink& sink);

// The first kMaxShownAnswerBytes of a text.
std::string shownPart(std::string_view text);

} // namespace reef::exchange
