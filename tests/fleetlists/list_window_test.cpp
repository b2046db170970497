#include "fleetlists/list_window.h"

#include "support/fleet_lists_harness.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace reef::fleetlists;
using reef::platform::Color;
using reef::platform::ControlId;
using reef::platform::Rect;
using reef::platform::rgb;
using reef::testing::clockTime;
using reef::testing::FleetListsHarness;
using reef::testing::kMidnight;

namespace {

constexpr Color kDarkRed = rgb(103, 2, 0);
constexpr Color kAmber = rgb(255, 204, 0);

FleetEntry row(const std::string& name, std::int32_t basisZeit) {
    FleetEntry e;
    e.Hilfe = 0;
    e.Name = name;
    e.Basis = "1:2:3";
    e.Schiffe = 42;
    e.Modus = 2;
    e.ZielName = name;
    e.ZielBasis = "4:5:6";
    e.ZielZeit = kNoTime;
    e.BasisZeit = basisZeit;
    e.UpdateZeit = clockTime(9, 8, 7);
    e.Von = name;
    return e;
}

class ListWindow : public ::testing::Test, public FleetListsHarness {
  protected:
    void cache(FleetListKind kind, std::int32_t interval, const std::vector<FleetEntry>& rows,
               const std::string& password = "geheim") {
        ListCacheData data;
        data.interval = interval;
        data.password = password;
        data.rows = rows;
        writeCache(kind, data);
    }

    std::string cell(FleetListKind kind, int r, int column) {
        return ui.listCell(list(kind).listView, r, column);
    }
};

TEST_F(ListWindow, FirstOpeningShowsAnEmptyListAndAsksForThePasswordOnce) {
    user.queueInputBoxAnswer("Korallen1");
    const auto window = open(FleetListKind::Enemy);
    ASSERT_TRUE(window);
    const ListWindowState& l = list(FleetListKind::Enemy);
    EXPECT_EQ(user.windowTitle(window), "Reef - Tools: Gegnerische Flotten");
    EXPECT_EQ(user.clientRect(window), (Rect{0, 0, 640, 230}));
    ASSERT_EQ(user.shownInputBoxes().size(), 1u);
    EXPECT_EQ(user.shownInputBoxes()[0].caption, "Reef - Tools");
    EXPECT_EQ(user.shownInputBoxes()[0].prompt, "Bitte Passwort angeben (siehe Allianzforum):");
    EXPECT_EQ(fleet.password, "Korallen1");
    EXPECT_EQ(ui.listRowCount(l.listView), 0);
    EXPECT_EQ(ui.text(l.intervalField), "0");
    EXPECT_EQ(user.listColumnCount(l.listView), 17);
    EXPECT_EQ(user.listColumnHeader(l.listView, 16), "Eingetragen von");
    EXPECT_EQ(user.listColumnHeader(l.listView, 13), "ETA bis Rückkehr");
    for (int column = 0; column < 17; ++column) {
        EXPECT_EQ(ui.listColumnWidth(l.listView, column),
                  kDefaultColumnWidths[static_cast<std::size_t>(column)]);
    }
    EXPECT_EQ(user.controlRect(l.listView), (Rect{0, 0, 640, 153}));
    EXPECT_EQ(user.controlRect(l.refreshButton), (Rect{325, 178, 150, 25}));
    EXPECT_EQ(user.controlRect(l.intervalField), (Rect{562, 181, 20, 17}));
    EXPECT_EQ(user.labelTextColor(l.descriptionLine), rgb(160, 160, 160));
    EXPECT_EQ(ui.text(l.descriptionLine), kDescriptionPrompt);
    EXPECT_TRUE(ui.isEnabled(l.newButton));
    EXPECT_FALSE(ui.isEnabled(l.changeButton));
    EXPECT_TRUE(ui.isEnabled(l.refreshButton));
    EXPECT_EQ(ui.statusText(l.statusBar, 0), "letzte Aktualisierung: aus Datei geladen");
    EXPECT_EQ(ui.statusText(l.statusBar, 1), "\tgespeicherte Daten laden");
    EXPECT_EQ(ui.statusText(l.statusBar, 2), "\t\tStatus: Fertig!");

    // The other list shares the password: no second question.
    ASSERT_TRUE(open(FleetListKind::Allied));
    EXPECT_EQ(user.shownInputBoxes().size(), 1u);
    EXPECT_EQ(user.listColumnCount(list(FleetListKind::Allied).listView), 16);
}

TEST_F(ListWindow, ReopeningKeepsTheRowsInMemoryAndRereadsOnlyTheInterval) {
    cache(FleetListKind::Allied, 5, {row("Anna", clockTime(12, 0))});
    ASSERT_TRUE(open(FleetListKind::Allied));
    EXPECT_TRUE(user.shownInputBoxes().empty());
    EXPECT_EQ(fleet.password, "geheim");
    EXPECT_EQ(ui.text(list(FleetListKind::Allied).intervalField), "5");
    closeListWindow(ui, fleet, FleetListKind::Allied);
    EXPECT_FALSE(list(FleetListKind::Allied).window);
    ASSERT_EQ(list(FleetListKind::Allied).rows.size(), 1u);

    cache(FleetListKind::Allied, 7, {row("Bert", 0), row("Cora", 0)}, "anders");
    ASSERT_TRUE(open(FleetListKind::Allied));
    ASSERT_EQ(ui.listRowCount(list(FleetListKind::Allied).listView), 1);
    EXPECT_EQ(cell(FleetListKind::Allied, 0, 1), "Anna");
    EXPECT_EQ(ui.text(list(FleetListKind::Allied).intervalField), "7");
    EXPECT_EQ(fleet.password, "geheim");
}

TEST_F(ListWindow, CellsShowTheCataloguesMissionsGroupedPointsAndNotGivenValues) {
    FleetEntry allied = row("Paul", clockTime(12, 0));
    allied.Hilfe = 3;
    allied.Modus = 1;
    allied.Punkte = 0;
    allied.ZielPunkte = 1234567;
    allied.ZielAllianz = "KOR";
    cache(FleetListKind::Allied, 0, {allied});
    ASSERT_TRUE(open(FleetListKind::Allied));
    const ControlId view = list(FleetListKind::Allied).listView;
    const std::vector<std::string> expected = {
        "Ziel", "Paul",  "n/a",       "1:2:3", "n/a", "42", "Verteidigen", "Paul",
        "KOR",  "4:5:6", "1.234.567", "n/a",   "n/a", "6",  "12:00:00",    "09:08:07"};
    for (int column = 0; column < 16; ++column) {
        EXPECT_EQ(ui.listCell(view, 0, column), expected[static_cast<std::size_t>(column)])
            << "column " << column;
    }
    EXPECT_EQ(user.listCellBackground(view, 0, 0), rgb(78, 212, 236));
    EXPECT_EQ(user.listCellBackground(view, 0, 6), rgb(133, 194, 61));
    for (const int column : {2, 4}) {
        EXPECT_EQ(user.listCellTextColor(view, 0, column), kDarkRed);
    }
    EXPECT_EQ(user.listCellTextColor(view, 0, 8), std::nullopt);
    EXPECT_EQ(user.listCellTextColor(view, 0, 10), std::nullopt);
}

TEST_F(ListWindow, EnemyVonCellIsAmberOnlyWhenNamesDifferBeyondLetterCase) {
    FleetEntry sameButCase = row("ÄRGER", 0);
    sameButCase.Von = "ärger";
    FleetEntry other = row("Anna", 0);
    other.Von = "Bert";
    cache(FleetListKind::Enemy, 0, {sameButCase, other});
    ASSERT_TRUE(open(FleetListKind::Enemy));
    const ControlId view = list(FleetListKind::Enemy).listView;
    EXPECT_EQ(user.listCellBackground(view, 0, 16), std::nullopt);
    EXPECT_EQ(user.listCellBackground(view, 1, 16), kAmber);

    // The description's comparison is exact, so the first row gets the suffix anyway.
    user.clickListRow(view, 0);
    handleEvents();
    EXPECT_EQ(ui.text(list(FleetListKind::Enemy).descriptionLine),
              "ÄRGER hat alles unter Kontrolle. (Eingetragen von ärger)");
    EXPECT_TRUE(ui.isEnabled(list(FleetListKind::Enemy).changeButton));
    user.clickListEmptyArea(view);
    handleEvents();
    EXPECT_EQ(ui.text(list(FleetListKind::Enemy).descriptionLine), kDescriptionPrompt);
    EXPECT_FALSE(ui.isEnabled(list(FleetListKind::Enemy).changeButton));
}

TEST_F(ListWindow, AlliedDescriptionJoinsTheNameAndTheSettledSentence) {
    FleetEntry settled = row("Paul", 0);
    settled.Hilfe = 5;
    cache(FleetListKind::Allied, 0, {settled});
    ASSERT_TRUE(open(FleetListKind::Allied));
    user.clickListRow(list(FleetListKind::Allied).listView, 0);
    handleEvents();
    EXPECT_EQ(ui.text(list(FleetListKind::Allied).descriptionLine),
              "Pauls Hilfewunsch ist erledigt, da dieser Spieler bereits auf dem Rückweg ist.");
}

TEST_F(ListWindow, RefreshDisablesTheButtonsAndAsksForADownload) {
    cache(FleetListKind::Allied, 0, {});
    ASSERT_TRUE(open(FleetListKind::Allied));
    const ListWindowState& l = list(FleetListKind::Allied);
    click(l.refreshButton);
    EXPECT_EQ(downloadsStarted, std::vector<FleetListKind>{FleetListKind::Allied});
    for (const ControlId button : {l.newButton, l.changeButton, l.refreshButton}) {
        EXPECT_FALSE(ui.isEnabled(button));
    }
    giveButtonsBack(ui, l);
    EXPECT_TRUE(ui.isEnabled(l.newButton));
    EXPECT_FALSE(ui.isEnabled(l.changeButton));
    EXPECT_TRUE(ui.isEnabled(l.refreshButton));
}

TEST_F(ListWindow, AutoUpdateIsDueOnTheFirstPassAfterItsIntervalAndNotWhileBusy) {
    cache(FleetListKind::Allied, 1, {});
    cache(FleetListKind::Enemy, 1, {});
    ASSERT_TRUE(open(FleetListKind::Allied));
    ASSERT_TRUE(open(FleetListKind::Enemy));
    list(FleetListKind::Allied).lastUpdateTick = 1'000'000;
    list(FleetListKind::Enemy).lastUpdateTick = 1'000'000;
    ui.manualClock().setTickCountMs(1'060'000); // exactly one minute: not yet
    timers();
    EXPECT_TRUE(downloadsStarted.empty());
    ui.manualClock().setTickCountMs(1'060'001);
    timers();
    // Enemy first, then allied.
    EXPECT_EQ(downloadsStarted,
              (std::vector<FleetListKind>{FleetListKind::Enemy, FleetListKind::Allied}));
    EXPECT_FALSE(ui.isEnabled(list(FleetListKind::Enemy).refreshButton));

    downloadsStarted.clear();
    list(FleetListKind::Enemy).workerBusy = true;
    list(FleetListKind::Allied).dialog = ui.openWindow("Dialog", 10, 10);
    timers();
    EXPECT_TRUE(downloadsStarted.empty());

    // A negative interval is off, whatever the time.
    list(FleetListKind::Enemy).workerBusy = false;
    list(FleetListKind::Enemy).interval = -5;
    timers();
    EXPECT_TRUE(downloadsStarted.empty());
}

TEST_F(ListWindow, IntervalFieldSetsTheInterval) {
    ASSERT_TRUE(open(FleetListKind::Allied));
    user.pasteText(list(FleetListKind::Allied).intervalField, "12");
    handleEvents();
    EXPECT_EQ(list(FleetListKind::Allied).interval, 12);
    user.pasteText(list(FleetListKind::Allied).intervalField, "");
    handleEvents();
    EXPECT_EQ(list(FleetListKind::Allied).interval, 0);
}

TEST_F(ListWindow, CountdownsAreRewrittenWhenTheSlotChangesEitherWay) {
    cache(FleetListKind::Allied, 0, {row("Anna", clockTime(10, 40))});
    ASSERT_TRUE(open(FleetListKind::Allied));
    const ControlId view = list(FleetListKind::Allied).listView;
    timers();
    EXPECT_EQ(ui.listCell(view, 0, 13), "2");
    ui.manualClock().setLocalNow(kMidnight + clockTime(10, 19, 59));
    ui.setListCell(view, 0, 13, "stale");
    timers(); // same slot as 10:05: nothing rewritten
    EXPECT_EQ(ui.listCell(view, 0, 13), "stale");
    ui.manualClock().setLocalNow(kMidnight + clockTime(10, 20));
    timers();
    EXPECT_EQ(ui.listCell(view, 0, 13), "1");
    ui.manualClock().setLocalNow(kMidnight + clockTime(9, 50)); // the clock was set back
    timers();
    EXPECT_EQ(ui.listCell(view, 0, 13), "3");
}

TEST_F(ListWindow, ClosingWritesTheCacheFileWithTheRowsAndTheDraggedWidths) {
    cache(FleetListKind::Enemy, 3, {row("Anna", 0)});
    ASSERT_TRUE(open(FleetListKind::Enemy));
    list(FleetListKind::Enemy).dialog = ui.openWindow("Dialog", 10, 10);
    const auto dialog = list(FleetListKind::Enemy).dialog;
    user.dragListColumnWidth(list(FleetListKind::Enemy).listView, 16, 123);
    user.requestClose(list(FleetListKind::Enemy).window);
    handleEvents();
    EXPECT_FALSE(list(FleetListKind::Enemy).window);
    EXPECT_FALSE(user.isWindowOpen(dialog));
    EXPECT_FALSE(list(FleetListKind::Enemy).dialog);

    ListCacheData written;
    written.password = "";
    ASSERT_TRUE(loadListCache(FleetListKind::Enemy, "tblEnemy.dat", written));
    EXPECT_EQ(written.interval, 3);
    EXPECT_EQ(written.password, "geheim");
    EXPECT_EQ(written.widths[16], 123);
    ASSERT_EQ(written.rows.size(), 1u);
    EXPECT_EQ(written.rows[0], row("Anna", 0));
    EXPECT_FALSE(std::filesystem::exists("tblFrend.dat"));
}

TEST_F(ListWindow, ReopenedWhileAnOldWorkerRunsTheListStaysBusy) {
    ASSERT_TRUE(open(FleetListKind::Allied));
    const auto firstGeneration = list(FleetListKind::Allied).generation;
    list(FleetListKind::Allied).workerBusy = true;
    closeListWindow(ui, fleet, FleetListKind::Allied);
    EXPECT_EQ(list(FleetListKind::Allied).openGeneration->load(), 0u);
    ASSERT_TRUE(open(FleetListKind::Allied));
    EXPECT_GT(list(FleetListKind::Allied).generation, firstGeneration);
    EXPECT_EQ(list(FleetListKind::Allied).openGeneration->load(),
              list(FleetListKind::Allied).generation);
    EXPECT_FALSE(ui.isEnabled(list(FleetListKind::Allied).refreshButton));
    EXPECT_FALSE(ui.isEnabled(list(FleetListKind::Allied).newButton));
}

TEST_F(ListWindow, AWindowThatCannotBeOpenedIsReported) {
    ui.failNextWindowOpens(1);
    EXPECT_FALSE(open(FleetListKind::Allied));
    ASSERT_EQ(user.shownMessageBoxes().size(), 1u);
    EXPECT_EQ(user.shownMessageBoxes()[0].text, "Fenster konnte nicht geöffnet werden!");
    EXPECT_FALSE(list(FleetListKind::Allied).window);
}

} // namespace
