// Escaping of the texts the program puts into a request's query.

#include "wire/query_encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using reef::wire::encodeQueryValue;
using reef::wire::percentEncode;

struct EncodingCase {
    std::string text;
    std::string password; // percentEncode
    std::string value;    // encodeQueryValue
};

class QueryEncoding : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(QueryEncoding, EscapesWhatWouldBreakTheRequest) {
    EXPECT_EQ(percentEncode(GetParam().text), GetParam().password);
    EXPECT_EQ(encodeQueryValue(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, QueryEncoding,
    ::testing::Values(EncodingCase{"", "", ""},
                      EncodingCase{"Reef_Frend", "Reef_Frend", "Reef_Frend"},
                      EncodingCase{"Klaus Peter", "Klaus%20Peter", "Klaus_Peter"},
                      EncodingCase{"x&Von=Fake", "x%26Von=Fake", "x%26Von=Fake"},
                      EncodingCase{"a#b", "a%23b", "a%23b"}, EncodingCase{"%41", "%2541", "%2541"},
                      EncodingCase{"1+1", "1%2B1", "1%2B1"}, EncodingCase{"Bär", "B%E4r", "B%E4r"},
                      EncodingCase{"a\r\n\tb", "a%0D%0A%09b", "a%0D%0A%09b"},
                      EncodingCase{std::string("\0\x7f\xff", 3), "%00%7F%FF", "%00%7F%FF"},
                      EncodingCase{"1:2:3/?=_-.~!", "1:2:3/?=_-.~!", "1:2:3/?=_-.~!"}));

} // namespace
