#include "round_trip.h"

#include <gtest/gtest.h>

#include <string>

using reef::listserver::readsBackAsItself;

namespace {

struct Case {
    std::string value;
    bool readsBack;
};

TEST(ReadsBackAsItself, ByTheDesktopProgramsReadingOfAField) {
    const Case cases[] = {
        {"", true},
        {"Klaus_Peter", true},
        {"a>", true},
        {"a|", true},
        {"|", true},
        {"<", true},
        {"a<", true},
        {"a<>b", true},
        {"x >y", true},
        {"|<", true},
        {">", false},  // "<|>|>": the reader finds "|>" at
                       // once and reads nothing
        {">x", false}, // the case of every later field shifting
        {">>", false},
        {"a|>b", false}, // ends the value early
        {"|>", false},
        {"a||>", false},
    };
    for (const Case& each : cases)
        EXPECT_EQ(readsBackAsItself(each.value), each.readsBack) << "\"" << each.value << "\"";
}

} // namespace
