// Fuzz target of the download's answer: the response reader and the download's body rules
// with the record parser behind them, fed in blocks of random size with pauses between them
// and a list window that may close at any window check. A list handed over must be exactly
// what the whole body parsed in one piece gives, and nothing may touch a closed window; the
// tray's comparison of a list with itself and with an empty one holds for any rows. Then the
// user-interface thread's part: the rows sorted, shown, their countdowns rewritten, one of
// them changed in the entry dialog (ListDisplay), at a time of the day the input chooses.

#include "exchange/download_body.h"
#include "exchange/list_body_parser.h"
#include "exchange/response_reader.h"
#include "fleetlists/list_alerts.h"
#include "fuzz/fuzz_stream.h"
#include "fuzz/list_display.h"
#include "platform/clock.h"
#include "wire/list_format.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace reef;

namespace {

// The rows of the list text after its marker, parsed in one piece up to its end marker.
std::vector<fleetlists::FleetEntry> parsedWhole(fleetlists::FleetListKind kind,
                                                std::string_view list, std::int64_t localNow) {
    exchange::ListBodyParser parser(kind, localNow);
    parser.append(list);
    fuzz::check(parser.takeEndMarker(), "a list handed over without its end marker");
    parser.parseWholeRecords();
    return parser.takeRows();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::InputBytes input(data, size);
    const std::uint8_t choice = input.byte();
    const std::uint32_t seed = input.word();
    const std::uint8_t closeAt = input.byte();
    const auto kind =
        (choice & 1) != 0 ? fleetlists::FleetListKind::Enemy : fleetlists::FleetListKind::Allied;
    // Most inputs get a well-formed header, so that the body rules are reached; the others
    // fuzz the header as well.
    const std::string header = (choice & 6) != 0 ? "HTTP/1.1 200 OK\r\n\r\n" : "";
    const std::string answer = header + std::string(input.rest());
    // The time of the download and a later one of the countdown rewrite, from the seed, so
    // that the seeds' layout stays as it was.
    const std::int64_t localNow = fuzz::kDayStart + seed % 86400;
    const std::int64_t later = localNow + seed / 86400 % 86400;

    fuzz::BlockStream stream(answer, seed);
    fuzz::ClosingSink sink(closeAt % 32);
    platform::ManualClock clock(localNow, 0);
    exchange::DownloadBody body(kind, sink, clock, stream);
    const exchange::ResponseResult result = exchange::readResponse(stream, clock, 0, body);
    const bool open = exchange::reportReaderFailure(result, sink);

    fuzz::check(sink.lists.size() <= 1, "more than one list handed over");
    if (result.end != exchange::ResponseEnd::ByRules) {
        fuzz::check(sink.lists.empty(), "a list handed over by a failed exchange");
        fuzz::check(open == !sink.seenClosed(), "the reader's failure misreports the window");
        return 0;
    }
    const exchange::Verdict verdict = body.verdict();
    fuzz::check(verdict != exchange::Verdict::Pending, "an exchange that ended without a verdict");
    fuzz::check((verdict == exchange::Verdict::WindowClosed) == sink.seenClosed(),
                "the verdict misreports the window");
    fuzz::check((verdict == exchange::Verdict::Succeeded) == !sink.lists.empty(),
                "a list handed over without success, or success without a list");
    if (verdict == exchange::Verdict::Succeeded) {
        // The list ends where the handed-out bytes end: the end marker closed the last block.
        const std::string_view whole = std::string_view(answer).substr(0, stream.handedOut());
        const std::size_t bodyStart = whole.find("\r\n\r\n") + 4;
        const std::string_view list = whole.substr(bodyStart + wire::kListMarker.size());
        fuzz::check(whole.substr(bodyStart).starts_with(wire::kListMarker),
                    "a list without its marker");
        fuzz::check(sink.lists.front() == parsedWhole(kind, list, localNow),
                    "rows that differ from the body parsed in one piece");
        // The tray's comparison of the rows with those before: the same rows again say
        // nothing, and against an empty list every enemy row is new.
        const std::vector<fleetlists::FleetEntry>& rows = sink.lists.front();
        fuzz::check(!fleetlists::alertForDownload(kind, rows, rows, {}, "x", localNow),
                    "the same rows raise a notification");
        fuzz::check(kind == fleetlists::FleetListKind::Allied || rows.empty() ||
                        fleetlists::alertForDownload(kind, {}, rows, {}, "x", localNow),
                    "new enemy rows raise none");
        fuzz::ListDisplay::instance().show(kind, std::move(sink.lists.front()), true, localNow,
                                           later);
    }
    return 0;
}
