// How long the download's parsing and ordering of a list body takes, next to a plain scan of
// the same bytes, for 2000 and 4000 entries (the second shows whether the work grows
// linearly). Prints figures; asserts nothing.

#include "exchange/fleet_record.h"
#include "exchange/list_body_parser.h"
#include "exchange/response_reader.h"
#include "wire/list_format.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// 10:05:00 on some day.
constexpr std::int64_t kNow = 19844LL * 86400 + 10 * 3600 + 5 * 60;

std::string listBody(int entries) {
    std::string body;
    for (int i = 0; i < entries; ++i) {
        const std::string n = std::to_string(i);
        reef::wire::appendRecord(
            body, {std::to_string(i % 6), "Spieler" + n, "Allianz" + std::to_string(i % 9),
                   "1:" + n + ":3", std::to_string(1000000 + i), std::to_string(250 + i % 700),
                   std::to_string(i % 3), "Ziel" + n, "", "4:" + n + ":6", "7654321", "Bert",
                   i % 4 == 0 ? "" : std::to_string(i * 1200 % 86400),
                   std::to_string(i * 1200 % 86400), "1700000000"});
    }
    body += reef::wire::kEndMarker;
    return body;
}

// The parse as the download does it: block by block, then the order by return ticks.
std::size_t parseAndSort(const std::string& body) {
    reef::exchange::ListBodyParser parser(reef::fleetlists::FleetListKind::Allied, kNow);
    for (std::size_t at = 0; at < body.size(); at += reef::exchange::kReceiveBlockSize) {
        parser.append(std::string_view(body).substr(at, reef::exchange::kReceiveBlockSize));
        parser.takeEndMarker();
        parser.parseWholeRecords();
    }
    std::vector<reef::fleetlists::FleetEntry> rows = parser.takeRows();
    reef::exchange::sortByReturnTicks(rows, kNow);
    return rows.size();
}

// Touches every byte once, in the same blocks: the floor for any parser.
std::size_t plainScan(const std::string& body) {
    std::size_t bars = 0;
    for (std::size_t at = 0; at < body.size(); at += reef::exchange::kReceiveBlockSize) {
        const std::string_view block =
            std::string_view(body).substr(at, reef::exchange::kReceiveBlockSize);
        bars += static_cast<std::size_t>(std::count(block.begin(), block.end(), '|'));
    }
    return bars;
}

// The median of several runs, in milliseconds.
template <typename Work> double medianMs(Work work, std::size_t& result) {
    std::vector<double> times;
    for (int run = 0; run < 15; ++run) {
        const auto start = Clock::now();
        result = work();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main() {
    std::printf("%8s %10s %14s %14s %8s\n", "entries", "bytes", "parse+sort ms", "plain scan ms",
                "ratio");
    double first = 0;
    for (const int entries : {2000, 4000}) {
        const std::string body = listBody(entries);
        std::size_t rows = 0;
        std::size_t bars = 0;
        const double parse = medianMs([&] { return parseAndSort(body); }, rows);
        const double scan = medianMs([&] { return plainScan(body); }, bars);
        std::printf("%8d %10zu %14.3f %14.3f %8.1f   (%zu rows, %zu bars)\n", entries, body.size(),
                    parse, scan, parse / scan, rows, bars);
        if (first == 0) {
            first = parse;
        } else {
            std::printf("4000 / 2000 entries: %.2f times the parse+sort time (linear: 2)\n",
                        parse / first);
        }
    }
    return 0;
}
