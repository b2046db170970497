#include "text/date_text.h"

#include <gtest/gtest.h>

using namespace reef::text;

TEST(FormatDate, EveryTokenWithLeadingZeros) {
    EXPECT_EQ(formatDate("%dd.%mm.%yyyy %hh:%ii:%ss", 1796744887), "08.12.2026 15:48:07");
    EXPECT_EQ(formatDate("%yy", 1796744887), "26");
    EXPECT_EQ(formatDate("%dd.%mm.%yyyy %hh:%ii", 0), "01.01.1970 00:00");
    EXPECT_EQ(formatDate("%hh:%ii:00", 3600 * 9 + 60 * 5 + 59), "09:05:00");
}

TEST(FormatDate, CalendarEdges) {
    EXPECT_EQ(formatDate("%dd.%mm.%yyyy %hh:%ii:%ss", 951868799), "29.02.2000 23:59:59");
    EXPECT_EQ(formatDate("%dd.%mm.%yyyy", 4107542400), "01.03.2100");
    EXPECT_EQ(formatDate("%dd.%mm.%yyyy %hh:%ii:%ss", 2147483648), "19.01.2038 03:14:08")
        << "date values are 64-bit in memory";
}

TEST(FormatDate, TokensIgnoreLetterCase) {
    EXPECT_EQ(formatDate("%HH:%Ii:%sS %DD.%mM.%YYYY %yY", 1796744887), "15:48:07 08.12.2026 26");
}

TEST(FormatDate, OtherCharactersAndLonePercentAreCopied) {
    EXPECT_EQ(formatDate("100% at %hh", 3600), "100% at 01");
    EXPECT_EQ(formatDate("%", 0), "%");
    EXPECT_EQ(formatDate("%h:%i %x", 0), "%h:%i %x");
    EXPECT_EQ(formatDate("%hh%", 7200), "02%");
    EXPECT_EQ(formatDate("", 5), "");
    EXPECT_EQ(formatDate("ü %hh", 0), "\xFC 00");
}

TEST(FormatDate, ValuesOfADayOrMoreShowTheLaterTimeOfDay) {
    EXPECT_EQ(formatDate("%hh:%ii", 86400), "00:00");
    EXPECT_EQ(formatDate("%hh:%ii", 86400 + 3600), "01:00");
    EXPECT_EQ(formatDate("%hh:%ii", 68400 + 7200), "21:00");
    EXPECT_EQ(formatDate("%hh:%ii", 68400 + 7200 + 18000), "02:00");
    EXPECT_EQ(formatDate("%hh:%ii", 86399), "23:59");
}

TEST(FormatDate, NegativeValuesShowZeroTimeDayAndMonth) {
    EXPECT_EQ(formatDate("%hh:%ii:%ss", -1), "00:00:00");
    EXPECT_EQ(formatDate("%dd.%mm.", -3600), "00.00.");
    EXPECT_EQ(formatDate("%yyyy", -1), "1969");
}

TEST(ParseClockTime, HoursSeparatorMinutes) {
    EXPECT_EQ(parseClockTime("10:25"), 10 * 3600 + 25 * 60);
    EXPECT_EQ(parseClockTime("0:00"), 0);
    EXPECT_EQ(parseClockTime("23:59"), 23 * 3600 + 59 * 60);
    EXPECT_EQ(parseClockTime("2:5"), 2 * 3600 + 5 * 60);
    EXPECT_EQ(parseClockTime("14.35"), 14 * 3600 + 35 * 60) << "any separator character";
    EXPECT_EQ(parseClockTime("1025"), 10 * 3600 + 5 * 60) << "third character is the separator";
    EXPECT_EQ(parseClockTime("10:20:00"), 10 * 3600 + 20 * 60) << "the rest is ignored";
    EXPECT_EQ(parseClockTime("10:205"), 10 * 3600 + 20 * 60);
}

TEST(ParseClockTime, OutOfRangeOrMisshapenIsInvalid) {
    EXPECT_EQ(parseClockTime("24:00"), -1);
    EXPECT_EQ(parseClockTime("23:60"), -1);
    EXPECT_EQ(parseClockTime("99:99"), -1);
    EXPECT_EQ(parseClockTime("-1:00"), -1);
    EXPECT_EQ(parseClockTime("ab:cd"), -1);
    EXPECT_EQ(parseClockTime("5"), -1);
    EXPECT_EQ(parseClockTime("10:"), -1);
    EXPECT_EQ(parseClockTime(" 10:00"), -1);
}

TEST(ParseClockTime, EmptyTextIsMidnight) {
    EXPECT_EQ(parseClockTime(""), 0);
}
