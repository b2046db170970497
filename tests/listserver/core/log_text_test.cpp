#include "listserver/core/log_text.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

using reef::listserver::LibraryLog;
using reef::listserver::printable;

namespace {

std::string lineOf(LibraryLog& log, double now, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string line = log.line(now, format, args);
    va_end(args);
    return line;
}

TEST(Printable, OnlyPrintableAsciiReachesTheLog) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain /Reef-Update.php", "plain /Reef-Update.php"},
        {"a\nb", "a\\x0ab"},
        {"\x1b[31mred", "\\x1b[31mred"},
        {"quote\" and \\", "quote\\x22 and \\x5c"},
        {"\xE4\x7F", "\\xe4\\x7f"},
    };
    for (const auto& [text, shown] : cases)
        EXPECT_EQ(printable(text), shown);
    EXPECT_EQ(printable(std::string(10, 'x'), 4), "xxxx...");
}

TEST(LibraryLog, ADecodedPathCannotForgeALogLine) {
    LibraryLog log;
    const std::string line =
        lineOf(log, 0, "Failed to send the response body for the request for `%s'. Error: %s\n",
               "/x\n2026-01-01T00:00:00Z 6.6.6.6 \"GET /forged\" 200 ready", "reset");
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_EQ(line, "libmicrohttpd: Failed to send the response body for the request for `/x\\x0a"
                    "2026-01-01T00:00:00Z 6.6.6.6 \\x22GET /forged\\x22 200 ready'. Error: reset");
}

TEST(LibraryLog, AFloodIsCutToItsShareAMinuteAndTheRestCounted) {
    LibraryLog log;
    for (std::size_t i = 0; i < LibraryLog::kPerMinute; ++i)
        ASSERT_FALSE(lineOf(log, 10, "Server reached connection limit.").empty()) << i;
    for (int i = 0; i < 500; ++i)
        EXPECT_TRUE(lineOf(log, 10 + i * 0.1, "Server reached connection limit.").empty());
    EXPECT_EQ(lineOf(log, 70, "Server reached connection limit."),
              "libmicrohttpd: Server reached connection limit. (500 earlier messages left out)");
    EXPECT_EQ(lineOf(log, 71, "next"), "libmicrohttpd: next");
}

} // namespace
