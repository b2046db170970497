// The shared list format: identifiers, framing, the record scanner, and which values survive
// the way there and back.

#include "wire/list_format.h"

#include <gtest/gtest.h>

namespace {

using namespace reef::wire;

// A record whose first value is the one given, followed by "1" to "14".
std::string recordStartingWith(std::string_view first) {
    static const std::string numbers[] = {"1", "2", "3",  "4",  "5",  "6",  "7",
                                          "8", "9", "10", "11", "12", "13", "14"};
    RecordValues values{first};
    for (std::size_t i = 1; i < values.size(); ++i) {
        values[i] = numbers[i - 1];
    }
    std::string text;
    appendRecord(text, values);
    return text;
}

TEST(ListIdentifier, ByKindIndexAndBack) {
    EXPECT_EQ(listIdentifier(0), "Reef_Frend");
    EXPECT_EQ(listIdentifier(1), "Reef_Enemy");
    EXPECT_EQ(listIdentifier(2), "");
    EXPECT_EQ(kindIndexOf("Reef_Enemy"), 1);
    EXPECT_EQ(kindIndexOf("reef_frend"), std::nullopt);
}

TEST(AppendRecord, FramesEachValueInOrder) {
    EXPECT_EQ(recordStartingWith(""),
              "<||><|1|><|2|><|3|><|4|><|5|><|6|><|7|><|8|><|9|><|10|><|11|><|12|><|13|><|14|>");
}

struct ScanCase {
    const char* name;
    std::string text;
    std::optional<std::string> first; // nothing: no whole record
    std::size_t rest = 0;             // bytes left after the record
};

struct ScanRecord : ::testing::TestWithParam<ScanCase> {};

TEST_P(ScanRecord, TakesTheFirstRecord) {
    const auto record = scanRecord(GetParam().text);
    ASSERT_EQ(record.has_value(), GetParam().first.has_value());
    if (record) {
        EXPECT_EQ(record->values[0], *GetParam().first);
        EXPECT_EQ(record->values[14], "14");
        EXPECT_EQ(GetParam().text.size() - record->length, GetParam().rest);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ScanRecord,
    ::testing::Values(
        ScanCase{"Plain", recordStartingWith("Bär") + "<|x", "Bär", 3},
        ScanCase{"SkipsWhatStandsBefore", "\r\n x" + recordStartingWith("a"), "a"},
        ScanCase{"FirstOpeningMarkWins", recordStartingWith("a<|b"), "a<|b"},
        ScanCase{"NoOpeningMarkGivesEmpty", "x|>" + recordStartingWith("a").substr(5), ""},
        ScanCase{"SharedBarGivesEmpty", "<|>" + recordStartingWith("a").substr(5), ""},
        ScanCase{"OneMarkShort", recordStartingWith("a").substr(0, 70), std::nullopt},
        ScanCase{"Empty", "", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadsBackAsItself, RefusesWhatTheProgramReadsOtherwise) {
    for (const std::string value : {">a", "a|>b", "x<>end|<>", "a\rb", "a\nb"}) {
        EXPECT_FALSE(readsBackAsItself(value)) << value;
    }
    EXPECT_FALSE(readsBackAsItself(std::string("a\0b", 3)));
    EXPECT_TRUE(readsBackAsItself("Müller"));
}

// Every value of up to four characters from the marks' own letters: the predicate says yes
// exactly when the scanner returns the value whole and stops right after its record.
TEST(ReadsBackAsItself, AgreesWithTheScannerOnAllShortValues) {
    std::vector<std::string> values = {""};
    for (std::size_t i = 0; values[i].size() < 4; ++i) {
        for (const char c : std::string("<|>a")) {
            values.push_back(values[i] + c);
        }
    }
    int surviving = 0;
    for (const std::string& value : values) {
        const std::string text = recordStartingWith(value);
        const auto record = scanRecord(text);
        const bool whole = record && record->values[0] == value && record->length == text.size();
        EXPECT_EQ(readsBackAsItself(value), whole) << value;
        surviving += whole;
    }
    EXPECT_GT(surviving, 0);
    EXPECT_LT(surviving, static_cast<int>(values.size()));
}

} // namespace
