// The download and submission workers against a list server of random answers, with the list
// windows opened, closed and reopened and the program ended at random points. Each run is
// drawn from its seed, printed first, so that a failing run can be replayed alone:
//   REEF_WORKER_SEED=<seed> app_worker_tests --gtest_filter='Seeds/RandomizedWorkers.*'
// A fixed set of seeds runs every time; REEF_WORKER_RUNS=<n> adds n more.

#include "app/exit_program.h"
#include "app/list_workers.h"
#include "app_fixture.h"
#include "exchange/random_list_server.h"
#include "fleetlists/entry_dialog.h"
#include "fleetlists/list_cache.h"
#include "fleetlists/list_window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <random>

namespace reef::app::testing {
namespace {

using fleetlists::EntrySlot;
using fleetlists::FleetListKind;

constexpr std::uint32_t kFixedSeeds = 12;

std::vector<std::uint32_t> seedsToRun() {
    if (const char* one = std::getenv("REEF_WORKER_SEED")) {
        return {static_cast<std::uint32_t>(std::strtoul(one, nullptr, 10))};
    }
    std::uint32_t runs = kFixedSeeds;
    if (const char* more = std::getenv("REEF_WORKER_RUNS")) {
        runs += static_cast<std::uint32_t>(std::strtoul(more, nullptr, 10));
    }
    std::vector<std::uint32_t> seeds;
    for (std::uint32_t seed = 1; seed <= runs; ++seed) {
        seeds.push_back(seed);
    }
    return seeds;
}

class RandomizedWorkers : public AppTest, public ::testing::WithParamInterface<std::uint32_t> {
  protected:
    reef::testing::ScopedTempDir dir;

    void SetUp() override {
        ui.manualClock().setLocalNow(1796688000 + 10 * 3600);
        ui.manualClock().setTickCountMs(5'000'000);
        // Real waits: the windows act while the workers wait for the server.
        ui.manualClock().setRealSleep(true);
        fleetlists::ListCacheData data;
        data.password = "geheim";
        fleetlists::saveListCache(FleetListKind::Allied, "tblFrend.dat", data);
        fleetlists::saveListCache(FleetListKind::Enemy, "tblEnemy.dat", data);
        ASSERT_TRUE(start());
    }

    void TearDown() override {
        releaseWorkers(state);
        state.workers.joinAll();
    }

    fleetlists::ListWindowState& list(FleetListKind kind) { return state.list(kind); }

    void open(FleetListKind kind) {
        click(kind == FleetListKind::Allied ? state.main.alliedListButton
                                            : state.main.enemyListButton);
    }

    void closeWindow(FleetListKind kind) {
        user.requestClose(list(kind).window);
        handleEvents();
    }

    // A new allied entry, typed in and handed over.
    void submitNewEntry() {
        click(list(FleetListKind::Allied).newButton);
        auto& allied = list(FleetListKind::Allied);
        if (!allied.dialog) {
            return;
        }
        for (const auto& [slot, text] :
             std::vector<std::pair<EntrySlot, std::string>>{{EntrySlot::Name, "Anna"},
                                                            {EntrySlot::Basis, "1:2:3"},
                                                            {EntrySlot::Schiffe, "12"},
                                                            {EntrySlot::ZielName, "Otto"},
                                                            {EntrySlot::ZielBasis, "4:5:6"},
                                                            {EntrySlot::BasisZeit, "10:25"}}) {
            user.typeText(fleetlists::slotOf(allied.dialogFields, slot), text);
            handleEvents();
        }
        user.moveFocusAway();
        handleEvents();
        click(ui.findControl(allied.dialog, "Übernehmen"));
    }

    // Runs the posted tasks of the workers for up to `ms` of real time.
    void letWorkersRun(int ms) {
        ui.runTasksUntil([] { return false; }, ms);
        handleEvents();
    }
};

TEST_P(RandomizedWorkers, EveryWorkerEndsAndGivesTheButtonsBackOrFindsTheProgramGone) {
    const std::uint32_t seed = GetParam();
    std::cout << "seed " << seed << std::endl;
    std::minstd_rand random(seed);
    reef::testing::RandomListServer server(seed);
    state.serverConfig.listServer = server.address();

    const int steps = 10 + static_cast<int>(random() % 16);
    for (int step = 0; step < steps && !state.exiting; ++step) {
        const FleetListKind kind = random() % 2 == 0 ? FleetListKind::Allied : FleetListKind::Enemy;
        const bool isOpen = static_cast<bool>(list(kind).window);
        switch (random() % 8) {
        case 0:
        case 1:
        case 2:
            if (isOpen) {
                click(list(kind).refreshButton);
            } else {
                open(kind);
            }
            break;
        case 3:
            if (kind == FleetListKind::Allied && isOpen) {
                submitNewEntry();
            }
            break;
        case 4:
            if (isOpen) {
                closeWindow(kind);
            }
            break;
        case 5:
        case 6:
            letWorkersRun(static_cast<int>(random() % 200));
            break;
        default:
            // The program ends now and then, in the second half of a run.
            if (step >= steps / 2 && random() % 3 == 0) {
                click(state.main.exitButton);
            }
            break;
        }
    }
    if (state.exiting) {
        // The workers see their windows gone at the next check and end by themselves.
        state.workers.joinAll();
        std::cout << "seed " << seed << ": " << server.connections()
                  << " connections, program ended" << std::endl;
        return;
    }
    for (const FleetListKind kind : {FleetListKind::Allied, FleetListKind::Enemy}) {
        if (!list(kind).window) {
            continue;
        }
        ASSERT_TRUE(ui.runTasksUntil([&] { return !list(kind).workerBusy; }))
            << "a worker of a window that stayed open never ended";
        handleEvents();
        // An entry dialog given back after a failed submission keeps the buttons until it
        // closes.
        if (!list(kind).dialog) {
            EXPECT_TRUE(ui.isEnabled(list(kind).refreshButton))
                << "the buttons were not given back";
        }
    }
    std::cout << "seed " << seed << ": " << server.connections() << " connections, windows idle"
              << std::endl;
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomizedWorkers, ::testing::ValuesIn(seedsToRun()),
                         [](const auto& info) { return "seed" + std::to_string(info.param); });

} // namespace
} // namespace reef::app::testing
