// The end of the Windows session ends the program as "Programm beenden" does.

#include "app_fixture.h"

#include "fleetlists/column_widths.h"
#include "fleetlists/list_cache.h"
#include "support/file_arrivals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace reef::app::testing {
namespace {

using fleetlists::FleetListKind;

class SessionEndTest : public AppTest {
  protected:
    void SetUp() override { ASSERT_TRUE(start()); }

    // A list window as far as the exit sequence sees it: the window, its list view with the
    // kind's columns, and rows in memory.
    void openList(FleetListKind kind, const std::string& name, std::int16_t firstWidth) {
        fleetlists::ListWindowState& list = state.list(kind);
        list.window = ui.openWindow("Reef - Tools: " + name, 640, 230);
        list.listView = ui.createListView(list.window, platform::Rect{0, 22, 640, 153});
        for (int column = 0; column < fleetlists::columnCount(kind); ++column) {
            ui.addListColumn(list.listView, "Spalte", column == 0 ? firstWidth : 60);
        }
        list.interval = 15;
        fleetlists::FleetEntry row;
        row.Hilfe = 1;
        row.Name = name;
        row.Basis = "1:2:3";
        row.Schiffe = 40;
        row.ZielName = "Ziel";
        row.ZielBasis = "4:5:6";
        row.ZielZeit = 3600;
        row.BasisZeit = 7200;
        list.rows = {row};
    }

    static fleetlists::ListCacheData readCache(FleetListKind kind) {
        fleetlists::ListCacheData data;
        EXPECT_TRUE(fleetlists::loadListCache(kind, fleetlists::listCacheFileName(kind), data));
        return data;
    }

    reef::testing::ScopedTempDir cwd;
};

TEST_F(SessionEndTest, WritesBothOpenListsAlliedFirstAndEndsWithCodeZeroWithoutAQuestion) {
    state.fleet.password = "geheim";
    openList(FleetListKind::Enemy, "Gegnerische Flotten", 91);
    openList(FleetListKind::Allied, "Verbündete Flotten", 83);
    reef::testing::FileArrivals arrivals(cwd.path().string());
    ASSERT_TRUE(arrivals.watching());

    EXPECT_TRUE(user.endSession());

    // Done before the driver returned, as the system may end the process right after.
    EXPECT_TRUE(state.exiting);
    EXPECT_EQ(state.exitCode, 0);
    EXPECT_TRUE(user.shownMessageBoxes().empty());
    std::vector<std::string> written = arrivals.names();
    std::erase_if(written, [](const std::string& name) { return !name.ends_with(".dat"); });
    EXPECT_EQ(written, (std::vector<std::string>{"tblFrend.dat", "tblEnemy.dat"}));

    const fleetlists::ListCacheData allied = readCache(FleetListKind::Allied);
    EXPECT_EQ(allied.rows, state.list(FleetListKind::Allied).rows);
    EXPECT_EQ(allied.interval, 15);
    EXPECT_EQ(allied.password, "geheim");
    EXPECT_EQ(allied.widths[0], 83) << "the widths of the open list view";
    const fleetlists::ListCacheData enemy = readCache(FleetListKind::Enemy);
    EXPECT_EQ(enemy.rows, state.list(FleetListKind::Enemy).rows);
    EXPECT_EQ(enemy.widths[0], 91);
    // Released like at "Programm beenden".
    EXPECT_TRUE(ui.openWindows().empty());
    EXPECT_FALSE(user.hasTrayIcon());
}

TEST_F(SessionEndTest, AfterTheExitNothingIsWrittenAgain) {
    openList(FleetListKind::Allied, "Verbündete Flotten", 80);
    click(state.main.exitButton);
    ASSERT_TRUE(state.exiting);
    std::filesystem::remove("tblFrend.dat");

    platform::Event sessionEnd;
    sessionEnd.kind = platform::EventKind::SessionEnd;
    dispatchEvent(ui, state, sessionEnd);

    EXPECT_FALSE(std::filesystem::exists("tblFrend.dat"));
}

} // namespace
} // namespace reef::app::testing
