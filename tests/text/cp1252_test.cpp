#include "text/cp1252.h"

#include <gtest/gtest.h>

using namespace reef::text;

// The build turns every string literal into Windows-1252; the program relies on it for every
// German text it shows, writes and sends.
TEST(Charset, StringLiteralsAreCp1252InTheBinary) {
    const std::string literal = "Flottenverhältnis Größe Übernehmen €";
    const std::string expected = "Flottenverh\xE4ltnis Gr\xF6\xDF"
                                 "e \xDC"
                                 "bernehmen \x80";
    EXPECT_EQ(literal, expected);
    EXPECT_EQ(sizeof("ä"), 2u) << "one byte per umlaut plus the terminator";
}

TEST(Cp1252, RoundTripsEveryByteThroughUtf16AndUtf8) {
    std::string all;
    for (int b = 1; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    EXPECT_EQ(utf16ToCp1252(cp1252ToUtf16(all)), all);
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
}

TEST(Cp1252, MapsTheWindowsRangeToUnicode) {
    EXPECT_EQ(cp1252ToUtf16("\x80\x9F\xE4"), std::u16string(u"\u20AC\u0178\u00E4"));
    EXPECT_EQ(cp1252ToUtf8("\x80"), std::string("\xE2\x82\xAC"));
    EXPECT_EQ(cp1252ToUtf8("\xFC"), std::string("\xC3\xBC"));
}

TEST(Cp1252, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    EXPECT_EQ(utf16ToCp1252(u"a\u4E2Db"), "a?b");
    EXPECT_EQ(utf16ToCp1252(u"\U0001F600"), "?") << "a surrogate pair is one character";
    EXPECT_EQ(utf8ToCp1252("x\xE4\xB8\xADy"), "x?y");
    EXPECT_EQ(utf8ToCp1252("\xF0\x9F\x98\x80"), "?");
    EXPECT_EQ(utf8ToCp1252("\xC3"), "?") << "cut-off sequence";
    EXPECT_EQ(utf8ToCp1252("\xFF"), "?");
}

TEST(Cp1252, OverlongUtf8FormsAreMalformed) {
    const std::string overlongZero = "a\xC0\x80"
                                     "b";
    EXPECT_EQ(utf8ToCp1252(overlongZero), "a?b") << "no NUL from an overlong zero";
    EXPECT_EQ(utf8ToCp1252("\xC0\x8D\xC0\x8A"), "??") << "no line break from overlong CR LF";
    EXPECT_EQ(utf8ToCp1252("\xE0\x83\xA4"), "?") << "overlong ä";
    EXPECT_EQ(utf8ToCp1252("\xF0\x80\x81\x81"), "?") << "overlong A";
    EXPECT_EQ(utf8ToCp1252("\xC2\x81\xC3\xA4\xE2\x82\xAC"), "\x81\xE4\x80")
        << "the shortest forms stay valid";
}
