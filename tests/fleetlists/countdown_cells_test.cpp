#include "fleetlists/catalogue.h"
#include "fleetlists/countdown_cells.h"
#include "fleetlists/countdown_text.h"

#include "platform/headless/headless_platform.h"

#include <gtest/gtest.h>

#include <vector>

using namespace reef::fleetlists;
using reef::platform::Color;
using reef::platform::ControlId;
using reef::platform::rgb;
using reef::platform::headless::HeadlessDriver;
using reef::platform::headless::HeadlessPlatform;

namespace {

// 08.12.2026 00:00 local time.
constexpr std::int64_t kMidnight = 1796688000;

constexpr std::int32_t at(int hours, int minutes, int seconds = 0) {
    return hours * 3600 + minutes * 60 + seconds;
}

FleetEntry entry(std::int32_t zielZeit, std::int32_t basisZeit) {
    FleetEntry e;
    e.Name = "Paul";
    e.ZielZeit = zielZeit;
    e.BasisZeit = basisZeit;
    return e;
}

class CountdownCells : public ::testing::Test {
  protected:
    CountdownCells() {
        const auto window = ui.openWindow("Liste", 640, 230);
        list = ui.createListView(window, {0, 0, 640, 153});
        for (int column = 0; column < 16; ++column) {
            ui.addListColumn(list, "c", 50);
        }
    }

    void show(const std::vector<FleetEntry>& entries) {
        shown = entries;
        ui.clearListRows(list);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            ui.addListRow(list);
        }
    }

    void write(std::int64_t timeOfDay) {
        writeCountdownCells(ui, list, shown, kMidnight + timeOfDay);
    }

    std::string cell(int row, int column) { return ui.listCell(list, row, column); }
    std::optional<Color> background(int row, int column) {
        return driver.listCellBackground(list, row, column);
    }
    std::optional<Color> textColor(int row, int column) {
        return driver.listCellTextColor(list, row, column);
    }

    HeadlessPlatform ui;
    HeadlessDriver driver{ui};
    ControlId list;
    std::vector<FleetEntry> shown;
};

} // namespace

TEST_F(CountdownCells, OneTickAwayIsAmber) {
    show({entry(at(10, 20), at(14, 0))});
    write(at(10, 5));
    EXPECT_EQ(cell(0, 11), "1");
    EXPECT_EQ(background(0, 11), kWarningBackground);
    EXPECT_EQ(cell(0, 12), "10:20:00");
    EXPECT_EQ(cell(0, 13), "12");
    EXPECT_EQ(background(0, 13), std::nullopt) << "more than one tick keeps the default";
    EXPECT_EQ(cell(0, 14), "14:00:00");
}

TEST_F(CountdownCells, ZeroTicksIsAmberAndPastIsAbgelaufenOnWhite) {
    show({entry(at(10, 0), at(10, 0)), entry(at(9, 0), at(9, 0))});
    write(at(10, 5));
    EXPECT_EQ(cell(0, 11), "0");
    EXPECT_EQ(background(0, 11), kWarningBackground);
    EXPECT_EQ(cell(0, 13), "0");
    EXPECT_EQ(background(0, 13), kWarningBackground);
    EXPECT_EQ(cell(1, 11), "abgelaufen");
    EXPECT_EQ(background(1, 11), kWhite);
    EXPECT_EQ(cell(1, 12), "09:00:00") << "the time is shown although past";
    EXPECT_EQ(cell(1, 13), "abgelaufen");
    EXPECT_EQ(background(1, 13), kWhite);
}

TEST_F(CountdownCells, UnknownTargetTimeShowsNotGiven) {
    show({entry(kNoTime, at(11, 0))});
    write(at(10, 5));
    for (const int column : {11, 12}) {
        EXPECT_EQ(cell(0, column), "n/a");
        EXPECT_EQ(textColor(0, column), rgb(103, 2, 0));
    }
    EXPECT_EQ(cell(0, 13), "3");
    EXPECT_EQ(cell(0, 14), "11:00:00");
}

TEST_F(CountdownCells, TimeOffTheGridShowsItsMinutes) {
    show({entry(at(10, 25, 59), at(23, 59, 59))});
    write(at(10, 5));
    EXPECT_EQ(cell(0, 12), "10:25:00");
    EXPECT_EQ(cell(0, 14), "23:59:00");
}

TEST_F(CountdownCells, ACellFurtherAwayKeepsItsBackground) {
    show({entry(at(20, 0), at(20, 0))});
    const Color earlier = rgb(1, 2, 3);
    ui.setListCellColors(list, 0, 11, earlier, std::nullopt);
    write(at(10, 5));
    EXPECT_EQ(cell(0, 11), "30");
    EXPECT_EQ(background(0, 11), earlier);
}

TEST_F(CountdownCells, RewritingFollowsTheClock) {
    show({entry(at(10, 40), at(12, 0))});
    write(at(10, 5));
    EXPECT_EQ(cell(0, 11), "2");
    EXPECT_EQ(background(0, 11), std::nullopt);
    write(at(10, 20));
    EXPECT_EQ(cell(0, 11), "1");
    EXPECT_EQ(background(0, 11), kWarningBackground);
    write(at(10, 40));
    EXPECT_EQ(cell(0, 11), "0");
    write(at(11, 0));
    EXPECT_EQ(cell(0, 11), "71") << "one tick back is not yet past; the amber stays";
    EXPECT_EQ(background(0, 11), kWarningBackground);
    write(at(11, 0, 1));
    EXPECT_EQ(cell(0, 11), "abgelaufen");
    EXPECT_EQ(background(0, 11), kWhite);
    EXPECT_EQ(cell(0, 13), "3");
}

TEST_F(CountdownCells, OnlyRowsThatExistAreWritten) {
    show({entry(at(10, 20), at(10, 20))});
    shown.push_back(entry(at(11, 0), at(11, 0)));
    write(at(10, 5));
    EXPECT_EQ(ui.listRowCount(list), 1);
    EXPECT_EQ(cell(0, 11), "1");

    show({entry(at(10, 20), at(10, 20)), entry(at(11, 0), at(11, 0))});
    shown.pop_back();
    write(at(10, 5));
    EXPECT_EQ(cell(1, 11), "") << "a row without an entry stays as it is";
}

TEST_F(CountdownCells, OtherColumnsAreUntouched) {
    show({entry(at(10, 20), at(10, 20))});
    ui.setListCell(list, 0, 10, "keep");
    ui.setListCell(list, 0, 15, "keep");
    write(at(10, 5));
    EXPECT_EQ(cell(0, 10), "keep");
    EXPECT_EQ(cell(0, 15), "keep");
}

// A time that is no time of the day shows "n/a" in both of its cells, dark red, like a
// target time not given; the row and its other countdown stay as they are.
TEST_F(CountdownCells, TimesOutsideTheDayShowNotGivenInBothCells) {
    const std::int32_t outside[] = {86400, 200000, -10000, 2147483647, -2147483647 - 1};
    for (const std::int32_t time : outside) {
        show({entry(time, at(11, 0)), entry(at(10, 20), time)});
        write(at(16, 40));
        write(at(10, 5));
        for (const auto& [row, column] : {std::pair{0, 11}, {0, 12}, {1, 13}, {1, 14}}) {
            EXPECT_EQ(cell(row, column), "n/a") << time << " " << row << " " << column;
            EXPECT_EQ(textColor(row, column), rgb(103, 2, 0)) << time;
            EXPECT_EQ(background(row, column), std::nullopt) << time;
        }
        EXPECT_EQ(cell(0, 13), "3");
        EXPECT_EQ(cell(0, 14), "11:00:00");
        EXPECT_EQ(cell(1, 11), "1");
        EXPECT_EQ(cell(1, 12), "10:20:00");
    }
}

TEST(CountdownText, EveryKindOfValue) {
    struct Case {
        std::int32_t time;
        const char* ticks;
        const char* shown;
        std::optional<Color> background;
        std::optional<Color> textColor;
    };
    const Color red = rgb(103, 2, 0);
    const Case cases[] = {
        {at(10, 20), "1", "10:20:00", kWarningBackground, std::nullopt},
        {at(10, 0), "0", "10:00:00", kWarningBackground, std::nullopt},
        {at(10, 40), "2", "10:40:00", std::nullopt, std::nullopt},
        {at(9, 0), "abgelaufen", "09:00:00", kWhite, std::nullopt},
        {at(23, 59, 59), "abgelaufen", "23:59:00", kWhite, std::nullopt},
        {0, "abgelaufen", "00:00:00", kWhite, std::nullopt},
        {kNoTime, "n/a", "n/a", std::nullopt, red},
        {86400, "n/a", "n/a", std::nullopt, red},
        {-10000, "n/a", "n/a", std::nullopt, red},
        {-2147483647 - 1, "n/a", "n/a", std::nullopt, red},
        {2147483647, "n/a", "n/a", std::nullopt, red},
    };
    for (const Case& c : cases) {
        const CountdownText shown = countdownText(c.time, kMidnight + at(10, 5));
        EXPECT_EQ(shown.ticks, c.ticks) << c.time;
        EXPECT_EQ(shown.time, c.shown) << c.time;
        EXPECT_EQ(shown.ticksBackground, c.background) << c.time;
        EXPECT_EQ(shown.textColor, c.textColor) << c.time;
    }
}
