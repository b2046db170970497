// Escaping of the texts the program puts into a request's query.

#include "wire/query_encoding.h"

#include <gtest/gtest.h>

namespace {

using reef::wire::encodeQueryValue;
using reef::wire::percentEncode;

TEST(QueryEncoding, EscapesWhatWouldBreakTheRequestAndNothingElse) {
    const std::string text = std::string("a b&c#d%41+Bär\r\t\0\x7f", 18) + "1:2/?=_-.~!";
    EXPECT_EQ(percentEncode(text), "a%20b%26c%23d%2541%2BB%E4r%0D%09%00%7F1:2/?=_-.~!");
    EXPECT_EQ(encodeQueryValue(text), "a_b%26c%23d%2541%2BB%E4r%0D%09%00%7F1:2/?=_-.~!");
}

} // namespace
