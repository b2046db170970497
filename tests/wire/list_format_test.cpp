// The shared list format: identifiers, framing, the record scanner and which values survive
// the way there and back.

#include "wire/list_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using reef::wire::appendRecord;
using reef::wire::appendValue;
using reef::wire::kindIndexOf;
using reef::wire::listIdentifier;
using reef::wire::readsBackAsItself;
using reef::wire::RecordValues;
using reef::wire::scanRecord;

RecordValues numbered() {
    static const std::vector<std::string> texts = {"0", "1", "2",  "3",  "4",  "5",  "6", "7",
                                                   "8", "9", "10", "11", "12", "13", "14"};
    RecordValues values;
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = texts[i];
    }
    return values;
}

// A record whose first value is the one under test, followed by fourteen plain ones.
std::string recordStartingWith(std::string_view first) {
    RecordValues values = numbered();
    values[0] = first;
    std::string text;
    appendRecord(text, values);
    return text;
}

TEST(ListIdentifier, ByKindIndexAndBack) {
    EXPECT_EQ(listIdentifier(0), "Reef_Frend");
    EXPECT_EQ(listIdentifier(1), "Reef_Enemy");
    EXPECT_EQ(listIdentifier(2), "");
    EXPECT_EQ(listIdentifier(-1), "");
    EXPECT_EQ(kindIndexOf("Reef_Frend"), 0);
    EXPECT_EQ(kindIndexOf("Reef_Enemy"), 1);
    EXPECT_EQ(kindIndexOf("reef_frend"), std::nullopt);
    EXPECT_EQ(kindIndexOf(""), std::nullopt);
}

TEST(RecordFraming, EachValueBetweenItsMarksInWireOrder) {
    std::string text;
    appendValue(text, "");
    EXPECT_EQ(text, "<||>");
    text.clear();
    appendRecord(text, numbered());
    EXPECT_EQ(text, "<|0|><|1|><|2|><|3|><|4|><|5|><|6|><|7|><|8|><|9|><|10|><|11|><|12|><|13|>"
                    "<|14|>");
}

TEST(ScanRecord, ReadsWhatAppendRecordWrote) {
    const std::string text = recordStartingWith("Bär") + "<|next";
    const auto record = scanRecord(text);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->values[0], "Bär");
    EXPECT_EQ(record->values[14], "14");
    EXPECT_EQ(text.substr(record->length), "<|next");
}

TEST(ScanRecord, SkipsWhatStandsBeforeEachValue) {
    std::string text;
    for (int i = 0; i < 15; ++i) {
        text += "\r\n x<|v" + std::to_string(i) + "|>";
    }
    const auto record = scanRecord(text);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->values[0], "v0");
    EXPECT_EQ(record->values[14], "v14");
    EXPECT_EQ(record->length, text.size());
}

TEST(ScanRecord, NeedsFifteenClosingMarks) {
    std::string text = recordStartingWith("a");
    EXPECT_FALSE(scanRecord(std::string_view(text).substr(0, text.size() - 1)));
    EXPECT_FALSE(scanRecord(""));
    EXPECT_FALSE(scanRecord("<|a|><|b"));
}

TEST(ScanRecord, AValueWithoutItsOpeningMarkIsEmpty) {
    // Each "|>" ends a value; "x|>" and "y|>" have no "<|", "<|>" shares its "|".
    const std::string text = "x|><|>y|><|z|>" + recordStartingWith("w");
    const auto record = scanRecord(text);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->values[0], "");
    EXPECT_EQ(record->values[1], "");
    EXPECT_EQ(record->values[2], "");
    EXPECT_EQ(record->values[3], "z");
    EXPECT_EQ(record->values[4], "w");
}

TEST(ScanRecord, TheFirstOpeningMarkWins) {
    const std::string text = recordStartingWith("a<|b");
    const auto record = scanRecord(text);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->values[0], "a<|b");
}

struct ValueCase {
    std::string value;
    bool survives;
};

class ReadsBackAsItself : public ::testing::TestWithParam<ValueCase> {};

TEST_P(ReadsBackAsItself, Predicts) {
    EXPECT_EQ(readsBackAsItself(GetParam().value), GetParam().survives) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Values, ReadsBackAsItself,
                         ::testing::Values(ValueCase{"", true}, ValueCase{"Müller", true},
                                           ValueCase{"a|", true}, ValueCase{"a<", true},
                                           ValueCase{"|", true}, ValueCase{"<", true},
                                           ValueCase{"a>", true}, ValueCase{"<|a", true},
                                           ValueCase{">a", false}, ValueCase{">", false},
                                           ValueCase{"a|>b", false}, ValueCase{"x<>end|<>", false},
                                           ValueCase{"a\rb", false}, ValueCase{"a\nb", false},
                                           ValueCase{std::string("a\0b", 3), false}));

// Every value of up to four characters from the marks' own letters: the predicate says yes
// exactly when the scanner returns the value whole and stops right after it.
TEST(ReadsBackAsItselfRoundTrip, AgreesWithTheScannerOnAllShortValues) {
    const std::string letters = "<|>a";
    std::vector<std::string> values = {""};
    for (std::size_t begin = 0, length = 1; length <= 4; ++length) {
        const std::size_t end = values.size();
        for (std::size_t i = begin; i < end; ++i) {
            for (const char c : letters) {
                values.push_back(values[i] + c);
            }
        }
        begin = end;
    }
    int surviving = 0;
    for (const std::string& value : values) {
        const std::string text = recordStartingWith(value);
        const auto record = scanRecord(text);
        const bool whole = record && record->values[0] == value && record->values[14] == "14" &&
                           record->length == text.size();
        EXPECT_EQ(readsBackAsItself(value), whole) << value;
        surviving += whole ? 1 : 0;
    }
    // Neither everything nor nothing: the set holds both kinds.
    EXPECT_GT(surviving, 0);
    EXPECT_LT(surviving, static_cast<int>(values.size()));
}

} // namespace
