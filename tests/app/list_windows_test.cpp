// The list windows as the main window and the exit sequence reach them.

#include "app/exit_program.h"
#include "app/main_window.h"
#include "app_fixture.h"
#include "fleetlists/list_cache.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace reef::app::testing {
namespace {

using fleetlists::FleetListKind;

class ListWindowsTest : public AppTest {
  protected:
    reef::testing::ScopedTempDir dir;

    void SetUp() override {
        fleetlists::ListCacheData data;
        data.interval = 2;
        data.password = "geheim";
        fleetlists::saveListCache(FleetListKind::Allied, "tblFrend.dat", data);
        fleetlists::saveListCache(FleetListKind::Enemy, "tblEnemy.dat", data);
        ASSERT_TRUE(start());
    }
};

TEST_F(ListWindowsTest, ButtonAndTrayItemOpenEachListOnceAndRearmTheAutoUpdate) {
    click(state.main.alliedListButton);
    const platform::WindowId allied = state.list(FleetListKind::Allied).window;
    ASSERT_TRUE(allied);
    EXPECT_EQ(user.windowTitle(allied), "Reef - Tools: Verbündete Flotten");
    EXPECT_EQ(state.list(FleetListKind::Allied).lastUpdateTick, 0);

    // Open already: only brought to the front, nothing rearmed.
    state.list(FleetListKind::Allied).lastUpdateTick = 777;
    user.minimize(allied);
    chooseTrayItem(kMenuAlliedList);
    EXPECT_EQ(state.list(FleetListKind::Allied).window, allied);
    EXPECT_FALSE(ui.isMinimized(allied));
    EXPECT_EQ(state.list(FleetListKind::Allied).lastUpdateTick, 777);

    chooseTrayItem(kMenuEnemyList);
    EXPECT_EQ(user.windowTitle(state.list(FleetListKind::Enemy).window),
              "Reef - Tools: Gegnerische Flotten");
    EXPECT_EQ(ui.openWindows().size(), 3u);
}

// With nothing to do the loop waits half a minute, then runs the list windows' timers all
// the same: the countdown of an open list moves on into the next 20-minute slot.
TEST_F(ListWindowsTest, AnIdleLoopWaitsThirtySecondsAndThenRunsTheTimers) {
    click(state.main.alliedListButton);
    fleetlists::ListWindowState& allied = state.list(FleetListKind::Allied);
    ASSERT_TRUE(allied.window);
    allied.interval = 0;                       // no auto-update: the timers keep the countdown
    constexpr std::int64_t kSlot = 1796688000; // a multiple of 1200 s
    ui.manualClock().setLocalNow(kSlot - 10);
    ASSERT_TRUE(ui.pendingEvents().empty());
    const std::int64_t before = ui.clock().tickCountMs();

    runEventLoopOnce(ui, state);
    EXPECT_EQ(ui.clock().tickCountMs() - before, 30000);
    EXPECT_EQ(allied.tickMark, kSlot);
}

TEST_F(ListWindowsTest, ExitWritesTheCacheFilesOfTheOpenWindowsAlliedFirst) {
    click(state.main.enemyListButton);
    click(state.main.alliedListButton);
    state.list(FleetListKind::Allied).interval = 11;
    state.list(FleetListKind::Enemy).interval = 12;
    std::filesystem::remove("tblFrend.dat");
    std::filesystem::remove("tblEnemy.dat");
    click(state.main.exitButton);
    ASSERT_TRUE(state.exiting);
    EXPECT_EQ(state.exitCode, 0);
    fleetlists::ListCacheData allied;
    fleetlists::ListCacheData enemy;
    ASSERT_TRUE(fleetlists::loadListCache(FleetListKind::Allied, "tblFrend.dat", allied));
    ASSERT_TRUE(fleetlists::loadListCache(FleetListKind::Enemy, "tblEnemy.dat", enemy));
    EXPECT_EQ(allied.interval, 11);
    EXPECT_EQ(enemy.interval, 12);
    EXPECT_LE(std::filesystem::last_write_time("tblFrend.dat"),
              std::filesystem::last_write_time("tblEnemy.dat"));
    EXPECT_EQ(state.list(FleetListKind::Allied).openGeneration->load(), 0u);
    EXPECT_TRUE(state.bridge->detached());
}

TEST_F(ListWindowsTest, ExitWithBothListsClosedWritesNoCacheFile) {
    std::filesystem::remove("tblFrend.dat");
    std::filesystem::remove("tblEnemy.dat");
    click(state.main.exitButton);
    EXPECT_FALSE(std::filesystem::exists("tblFrend.dat"));
    EXPECT_FALSE(std::filesystem::exists("tblEnemy.dat"));
}

TEST_F(ListWindowsTest, AListWindowThatCannotBeOpenedEndsTheProgram) {
    ui.failNextWindowOpens(1);
    click(state.main.enemyListButton);
    EXPECT_TRUE(state.exiting);
    EXPECT_EQ(state.exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists("tblFrend.dat.tmp"));
}

} // namespace
} // namespace reef::app::testing
