#include "etaplan/eta_plan_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace reef::etaplan {
namespace {

// 24.12.2026 18:05 of the local wall clock.
constexpr std::int64_t kChristmasEvening = 1798135500;

EtaPlanFields withAttackTime(const std::string& attackTime) {
    EtaPlanFields fields;
    fields.target = "Atlantis 12:34:5";
    fields.coordinators = "Nemo, Ariel";
    fields.participants = "[KRAK] [TIDE]";
    fields.channel = "#reef-angriff";
    fields.attackTime = attackTime;
    return fields;
}

// Line numbers as a player counts them, from 1.
const std::string& line(const std::vector<std::string>& plan, std::size_t number) {
    return plan.at(number - 1);
}

// --- the whole text

TEST(EtaPlanText, AttackAtTwoGivesTheWholePlan) {
    const std::vector<std::string> expected = {
        "ETA-Plan vom 24.12.2026 18:05",
        "",
        "Ziel: Atlantis 12:34:5",
        "Koordinator: Nemo, Ariel",
        "Teilnehmende Allianzen: [KRAK] [TIDE]",
        "Koordinations-Channel: #reef-angriff",
        "",
        "",
        "ETA 15 | 21:00 bis 21:19",
        "ETA 14 | 21:20 bis 21:39",
        "ETA 13 | 21:40 bis 21:59",
        "ETA 12 | 22:00 bis 22:19",
        "ETA 11 | 22:20 bis 22:39",
        "ETA 10 | 22:40 bis 22:59",
        "ETA 09 | 23:00 bis 23:19",
        "ETA 08 | 23:20 bis 23:39",
        "ETA 07 | 23:40 bis 23:59",
        "ETA 06 | 00:00 bis 00:19",
        "ETA 05 | 00:20 bis 00:39",
        "ETA 04 | 00:40 bis 00:59",
        "ETA 03 | 01:00 bis 01:19",
        "ETA 02 | 01:20 bis 01:39",
        "ETA 01 | 01:40 bis 01:59",
        "ETA 00 | 02:00 -> Eintreffen der Flotten",
        "",
        "",
        "Bitte um Interkom bei Teilnahme mit der Angabe über eigene ETA und Flottenstärke bis "
        "20:00 an die Koordinatoren!",
    };
    EXPECT_EQ(buildEtaPlan(withAttackTime("02:00"), kChristmasEvening), expected);
}

TEST(EtaPlanText, UmlautsAreWindows1252Bytes) {
    const std::vector<std::string> plan = buildEtaPlan(withAttackTime("02:00"), 0);
    const std::string& request = line(plan, 27);
    EXPECT_NE(request.find("Angabe \xFC"
                           "ber"),
              std::string::npos);
    EXPECT_NE(request.find("Flottenst\xE4rke"), std::string::npos);
}

TEST(EtaPlanText, JoinedWithCrLfAndNoFinalLineBreak) {
    const std::vector<std::string> plan = buildEtaPlan(withAttackTime("02:00"), kChristmasEvening);
    const std::string text = joinPlanLines(plan);
    EXPECT_TRUE(text.starts_with("ETA-Plan vom 24.12.2026 18:05\r\n\r\nZiel: Atlantis"));
    EXPECT_NE(text.find("01:59\r\nETA 00 | 02:00 -> Eintreffen der Flotten\r\n\r\n\r\n"
                        "Bitte um Interkom"),
              std::string::npos);
    EXPECT_TRUE(text.ends_with(" an die Koordinatoren!"));
    std::size_t lineFeeds = 0;
    std::size_t crLfs = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        lineFeeds += text[i] == '\n' ? 1 : 0;
        crLfs += text.compare(i, 2, "\r\n") == 0 ? 1 : 0;
    }
    EXPECT_EQ(lineFeeds, 26u);
    EXPECT_EQ(crLfs, 26u);
}

TEST(EtaPlanText, JoiningNothingOrOneLine) {
    EXPECT_EQ(joinPlanLines({}), "");
    EXPECT_EQ(joinPlanLines({"a"}), "a");
    EXPECT_EQ(joinPlanLines({"", ""}), "\r\n");
}

// --- the date line

TEST(EtaPlanText, DateLineShowsTheClockWithLeadingZeros) {
    // 03.01.2027 07:09:00
    const auto plan = buildEtaPlan(withAttackTime("02:00"), 1798960140);
    EXPECT_EQ(line(plan, 1), "ETA-Plan vom 03.01.2027 07:09");
}

TEST(EtaPlanText, DateLineIgnoresSeconds) {
    const auto plan = buildEtaPlan(withAttackTime("02:00"), kChristmasEvening + 59);
    EXPECT_EQ(line(plan, 1), "ETA-Plan vom 24.12.2026 18:05");
}

// --- attack times

TEST(EtaPlanText, AttackAtMidnight) {
    const auto plan = buildEtaPlan(withAttackTime("00:00"), kChristmasEvening);
    EXPECT_EQ(line(plan, 9), "ETA 15 | 19:00 bis 19:19");
    EXPECT_EQ(line(plan, 16), "ETA 08 | 21:20 bis 21:39");
    EXPECT_EQ(line(plan, 23), "ETA 01 | 23:40 bis 23:59");
    EXPECT_EQ(line(plan, 24), "ETA 00 | 00:00 -> Eintreffen der Flotten");
    EXPECT_NE(line(plan, 27).find(" bis 18:00 an die "), std::string::npos);
}

TEST(EtaPlanText, AttackOffTheTickIsNotRounded) {
    const auto plan = buildEtaPlan(withAttackTime("14:35"), kChristmasEvening);
    EXPECT_EQ(line(plan, 9), "ETA 15 | 09:35 bis 09:54");
    EXPECT_EQ(line(plan, 10), "ETA 14 | 09:55 bis 10:14");
    EXPECT_EQ(line(plan, 23), "ETA 01 | 14:15 bis 14:34");
    EXPECT_EQ(line(plan, 24), "ETA 00 | 14:35 -> Eintreffen der Flotten");
    EXPECT_NE(line(plan, 27).find(" bis 08:35 an die "), std::string::npos);
}

TEST(EtaPlanText, SingleHourDigitReadsLikeTwoDigits) {
    EXPECT_EQ(buildEtaPlan(withAttackTime("2:00"), kChristmasEvening),
              buildEtaPlan(withAttackTime("02:00"), kChristmasEvening));
    EXPECT_EQ(buildEtaPlan(withAttackTime("0200"), kChristmasEvening),
              buildEtaPlan(withAttackTime("02:00"), kChristmasEvening));
}

TEST(EtaPlanText, HoursPastMidnightWrapToTheNextDay) {
    const auto late = buildEtaPlan(withAttackTime("25:00"), kChristmasEvening);
    EXPECT_EQ(late, buildEtaPlan(withAttackTime("01:00"), kChristmasEvening));
    EXPECT_EQ(line(late, 9), "ETA 15 | 20:00 bis 20:19");
    EXPECT_EQ(line(late, 24), "ETA 00 | 01:00 -> Eintreffen der Flotten");
    EXPECT_NE(line(late, 27).find(" bis 19:00 an die "), std::string::npos);
}

TEST(EtaPlanText, TextWithoutDigitsMeansMidnight) {
    EXPECT_EQ(buildEtaPlan(withAttackTime(""), kChristmasEvening),
              buildEtaPlan(withAttackTime("00:00"), kChristmasEvening));
    EXPECT_EQ(buildEtaPlan(withAttackTime("ab:cd"), kChristmasEvening),
              buildEtaPlan(withAttackTime("00:00"), kChristmasEvening));
}

TEST(EtaPlanText, NegativeHoursStillGiveClockTimes) {
    // -1:00 is an hour before midnight: the arrival shows as 23:00 of the day before.
    const auto plan = buildEtaPlan(withAttackTime("-1:00"), kChristmasEvening);
    EXPECT_EQ(line(plan, 9), "ETA 15 | 18:00 bis 18:19");
    EXPECT_EQ(line(plan, 24), "ETA 00 | 23:00 -> Eintreffen der Flotten");
    EXPECT_NE(line(plan, 27).find(" bis 17:00 an die "), std::string::npos);
}

TEST(EtaPlanText, LargestTwoDigitValuesWrapToo) {
    // 99 hours and 99 minutes are 4 days, 4 hours and 39 minutes.
    const auto plan = buildEtaPlan(withAttackTime("99:99"), kChristmasEvening);
    EXPECT_EQ(line(plan, 24), "ETA 00 | 04:39 -> Eintreffen der Flotten");
    EXPECT_EQ(line(plan, 9), "ETA 15 | 23:39 bis 23:58");
}

// --- header lines

TEST(EtaPlanText, EmptyFieldsLeaveTheLabelsAlone) {
    EtaPlanFields fields;
    fields.attackTime = "02:00";
    const auto plan = buildEtaPlan(fields, kChristmasEvening);
    ASSERT_EQ(plan.size(), kEtaPlanLineCount);
    EXPECT_EQ(line(plan, 3), "Ziel: ");
    EXPECT_EQ(line(plan, 4), "Koordinator: ");
    EXPECT_EQ(line(plan, 5), "Teilnehmende Allianzen: ");
    EXPECT_EQ(line(plan, 6), "Koordinations-Channel: ");
}

TEST(EtaPlanText, FieldTextsAreNotTrimmed) {
    EtaPlanFields fields;
    fields.target = "  Ziel mit Rand  ";
    fields.coordinators = "\tNemo";
    fields.attackTime = "02:00";
    const auto plan = buildEtaPlan(fields, kChristmasEvening);
    EXPECT_EQ(line(plan, 3), "Ziel:   Ziel mit Rand  ");
    EXPECT_EQ(line(plan, 4), "Koordinator: \tNemo");
}

TEST(EtaPlanText, EveryPlanHasTwentySevenLines) {
    for (const char* time : {"", "5", "02:00", "14:35", "-1:00", "99:99", "x"}) {
        EXPECT_EQ(buildEtaPlan(withAttackTime(time), kChristmasEvening).size(), kEtaPlanLineCount)
            << time;
    }
}

// --- normalising the attack time

TEST(AttackTimeNormalisation, BringsTheTimeDownToItsTick) {
    EXPECT_EQ(normalizeAttackTime("14:35"), "14:20");
    EXPECT_EQ(normalizeAttackTime("23:59"), "23:40");
    EXPECT_EQ(normalizeAttackTime("14:19"), "14:00");
    EXPECT_EQ(normalizeAttackTime("14:40"), "14:40");
}

TEST(AttackTimeNormalisation, TimesOnATickStay) {
    EXPECT_EQ(normalizeAttackTime("02:00"), "02:00");
    EXPECT_EQ(normalizeAttackTime("0200"), "0200");
}

TEST(AttackTimeNormalisation, ShortTextsLoseTheirSeparator) {
    // The hours come from "2:" and the text is too short for a separator.
    EXPECT_EQ(normalizeAttackTime("2:00"), "0200");
    // A single digit serves as both hours and minutes: 05:05 brought down to 05:00.
    EXPECT_EQ(normalizeAttackTime("5"), "0500");
    EXPECT_EQ(normalizeAttackTime(""), "0000");
}

TEST(AttackTimeNormalisation, HoursWrapAtMidnight) {
    EXPECT_EQ(normalizeAttackTime("24:00"), "00:00");
    EXPECT_EQ(normalizeAttackTime("25:10"), "01:00");
}

TEST(AttackTimeNormalisation, TheUsersSeparatorStays) {
    EXPECT_EQ(normalizeAttackTime("14.35"), "14.20");
    EXPECT_EQ(normalizeAttackTime("14 Uhr 35"), "14 Uhr 20");
    EXPECT_EQ(normalizeAttackTime("14 - 35"), "14 - 20");
}

TEST(AttackTimeNormalisation, PercentSignsInTheSeparatorAreNotFormatCodes) {
    EXPECT_EQ(normalizeAttackTime("14%35"), "14%20");
    EXPECT_EQ(normalizeAttackTime("14%yyyy35"), "14%yyyy20");
}

TEST(AttackTimeNormalisation, NegativeTimesShowAsMidnight) {
    EXPECT_EQ(normalizeAttackTime("-1:00"), "00:00");
    EXPECT_EQ(normalizeAttackTime("-9.-9"), "00.00");
}

TEST(AttackTimeNormalisation, NormalisingTwiceChangesNothing) {
    for (const char* time : {"14:35", "5", "2:00", "23:59", "24:00", "14.35", "-1:00", "99:99"}) {
        const std::string once = normalizeAttackTime(time);
        EXPECT_EQ(normalizeAttackTime(once), once) << time;
    }
}

} // namespace
} // namespace reef::etaplan
