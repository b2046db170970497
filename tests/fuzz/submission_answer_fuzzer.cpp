// Fuzz target of the submission's answer: the response reader and the submission's answer
// rules, fed in blocks of random size with pauses between them and a list window that may
// close at any window check. Only an answer whose body begins with "ready" is accepted, and
// nothing may touch a closed window.

#include "exchange/response_reader.h"
#include "exchange/submission_answer.h"
#include "fuzz/fuzz_stream.h"
#include "platform/clock.h"
#include "wire/list_format.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace reef;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::InputBytes input(data, size);
    const std::uint8_t choice = input.byte();
    const std::uint32_t seed = input.word();
    const std::uint8_t closeAt = input.byte();
    const std::string header = (choice & 3) != 0 ? "HTTP/1.0 200 OK\r\nX: y\r\n\r\n" : "";
    const std::string answer = header + std::string(input.rest());

    fuzz::BlockStream stream(answer, seed, 1 + choice % 64);
    fuzz::ClosingSink sink(closeAt % 16);
    platform::ManualClock clock(0, 5000);
    exchange::SubmissionAnswer rules(sink);
    const exchange::ResponseResult result = exchange::readResponse(stream, clock, 5000, rules);
    const bool open = exchange::reportReaderFailure(result, sink);
    fuzz::check(sink.lists.empty(), "a submission that hands over a list");

    if (result.end != exchange::ResponseEnd::ByRules) {
        fuzz::check(open == !sink.seenClosed(), "the reader's failure misreports the window");
        return 0;
    }
    const exchange::SubmissionOutcome outcome = rules.outcome();
    fuzz::check((outcome == exchange::SubmissionOutcome::WindowClosed) == sink.seenClosed(),
                "the outcome misreports the window");
    if (outcome == exchange::SubmissionOutcome::Accepted) {
        const std::string_view whole = std::string_view(answer).substr(0, stream.handedOut());
        const std::size_t blank = whole.find("\r\n\r\n");
        fuzz::check(blank != std::string_view::npos &&
                        whole.substr(blank + 4).starts_with(wire::kAnswerStored),
                    "accepted without \"ready\" at the start of the body");
    }
    return 0;
}
