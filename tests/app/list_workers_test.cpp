// The list windows with their real workers: a download or a submission against a scripted
// list server on loopback, and the ends that come in between (window closed, program ended).

#include "app/exit_program.h"
#include "app/list_workers.h"
#include "app_fixture.h"
#include "fleetlists/list_cache.h"
#include "fleetlists/list_window.h"
#include "platform/connection/sockets_environment.h"
#include "server/scripted_list_server.h"
#include "wire/list_format.h"

#include <gtest/gtest.h>

#include <fstream>

REEF_START_SOCKETS_FOR_TESTS;

namespace reef::app::testing {
namespace {

using fleetlists::EntrySlot;
using fleetlists::FleetEntry;
using fleetlists::FleetListKind;
using reef::testing::okAnswer;
using reef::testing::ScriptedAnswer;
using reef::testing::ScriptedListServer;

constexpr FleetListKind kAllied = FleetListKind::Allied;

// 10:05:00 local time on 08.12.2026.
constexpr std::int64_t kNow = 1796688000 + 10 * 3600 + 5 * 60;

std::string record(const std::string& name, const std::string& basisZeit) {
    std::string text;
    wire::appendRecord(text, {"0", name, "", "1:2:3", "0", "12", "2", "Otto", "", "4:5:6", "0", "",
                              "", basisZeit, "36000"});
    return text;
}

FleetEntry cachedRow(const std::string& name) {
    FleetEntry entry;
    entry.Name = name;
    entry.ZielZeit = fleetlists::kNoTime;
    entry.BasisZeit = 12 * 3600;
    return entry;
}

class ListWorkersTest : public AppTest {
  protected:
    reef::testing::ScopedTempDir dir;

    void SetUp() override {
        ui.manualClock().setLocalNow(kNow);
        ui.manualClock().setTickCountMs(5'000'000);
        // The workers' waits take real time, so that a test can act while they wait.
        ui.manualClock().setRealSleep(true);
        fleetlists::ListCacheData data;
        data.password = "geheim";
        data.rows = {cachedRow("Alt")};
        fleetlists::saveListCache(kAllied, "tblFrend.dat", data);
        ASSERT_TRUE(start());
    }

    void TearDown() override {
        // As at the end of the program, but the threads are joined before the platform goes.
        releaseWorkers(state);
        state.workers.joinAll();
    }

    void useServer(const ScriptedListServer& server) {
        state.serverConfig.listServer = server.address();
    }

    fleetlists::ListWindowState& allied() { return state.list(kAllied); }

    void openAllied() {
        click(state.main.alliedListButton);
        ASSERT_TRUE(allied().window);
    }

    bool waitUntilIdle() {
        return ui.runTasksUntil([&] { return !allied().workerBusy; });
    }

    std::string status(int field) { return ui.statusText(allied().statusBar, field); }
};

TEST_F(ListWorkersTest, ADownloadReplacesTheRowsSortedAndGivesTheButtonsBack) {
    ScriptedListServer server({okAnswer("|>Update<|" + record("Spaet", "43200") +
                                        record("Frueh", "37200") + "<>end|<>")});
    useServer(server);
    openAllied();
    user.clickListRow(allied().listView, 0);
    handleEvents();
    ASSERT_NE(ui.text(allied().descriptionLine), fleetlists::kDescriptionPrompt);
    click(allied().refreshButton);
    EXPECT_TRUE(allied().workerBusy);
    EXPECT_FALSE(ui.isEnabled(allied().newButton));
    ASSERT_TRUE(waitUntilIdle());

    ASSERT_EQ(allied().rows.size(), 2u);
    EXPECT_EQ(allied().rows[0].Name, "Frueh");
    EXPECT_EQ(ui.listCell(allied().listView, 0, 1), "Frueh");
    EXPECT_EQ(ui.listCell(allied().listView, 1, 1), "Spaet");
    EXPECT_EQ(ui.text(allied().descriptionLine), fleetlists::kDescriptionPrompt);
    EXPECT_EQ(status(0), "letzte Aktualisierung: 10:05:00");
    EXPECT_EQ(status(1), "\tListe aktualisieren");
    EXPECT_EQ(status(2), "\t\tStatus: Fertig!");
    EXPECT_EQ(allied().lastUpdateTick, ui.clock().tickCountMs());
    EXPECT_TRUE(ui.isEnabled(allied().newButton));
    EXPECT_TRUE(ui.isEnabled(allied().refreshButton));
    EXPECT_NE(server.requests().at(0).find("Info1=geheim&Info2=Reef_Frend&Info3=Update"),
              std::string::npos);
}

TEST_F(ListWorkersTest, ADownloadCutOffAfterTheMarkerKeepsThePreviousRowsEverywhere) {
    const std::string cut = "|>Update<|" + record("Neu", "43200");
    ScriptedListServer server({okAnswer(cut), okAnswer(cut), okAnswer(cut)});
    useServer(server);
    openAllied();
    click(allied().refreshButton);
    ASSERT_TRUE(waitUntilIdle());
    ASSERT_EQ(allied().rows.size(), 1u);
    EXPECT_EQ(allied().rows[0].Name, "Alt");
    EXPECT_EQ(ui.listCell(allied().listView, 0, 1), "Alt");
    EXPECT_EQ(status(1), "\tListe aktualisieren (Versuch: 3/3)");
    user.requestClose(allied().window);
    handleEvents();
    fleetlists::ListCacheData written;
    ASSERT_TRUE(fleetlists::loadListCache(kAllied, "tblFrend.dat", written));
    ASSERT_EQ(written.rows.size(), 1u);
    EXPECT_EQ(written.rows[0].Name, "Alt");
}

TEST_F(ListWorkersTest, AWindowReopenedWhileItsOldWorkerWaitsStaysBusyAndHearsNothingOfIt) {
    ScriptedListServer server({ScriptedAnswer{.pieces = {}, .holdOpen = true}});
    useServer(server);
    openAllied();
    click(allied().refreshButton);
    ASSERT_TRUE(ui.runTasksUntil([&] { return status(2) == "\t\tStatus: warte auf Antwort"; }));
    user.requestClose(allied().window);
    handleEvents();
    openAllied();
    EXPECT_TRUE(allied().workerBusy);
    EXPECT_FALSE(ui.isEnabled(allied().refreshButton));
    click(allied().refreshButton); // disabled: no second worker
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(status(2), "\t\tStatus: Fertig!");
    EXPECT_EQ(status(1), "\tgespeicherte Daten laden");
    EXPECT_TRUE(ui.isEnabled(allied().refreshButton));
    EXPECT_TRUE(server.clientClosedAll());
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(ListWorkersTest, EndingTheProgramWhileADownloadWaitsSavesTheListAndWaitsForNothing) {
    ScriptedListServer server({ScriptedAnswer{.pieces = {}, .holdOpen = true}});
    useServer(server);
    openAllied();
    click(allied().refreshButton);
    ASSERT_TRUE(ui.runTasksUntil([&] { return status(2) == "\t\tStatus: warte auf Antwort"; }));
    std::filesystem::remove("tblFrend.dat");
    click(state.main.exitButton);
    EXPECT_TRUE(state.exiting);
    EXPECT_EQ(state.exitCode, 0);
    EXPECT_TRUE(std::filesystem::exists("tblFrend.dat"));
    // The worker sees its window gone at its next check and ends by itself.
    state.workers.joinAll();
    EXPECT_TRUE(server.clientClosedAll());
}

TEST_F(ListWorkersTest, ASubmissionClosesTheDialogOnReadyAndGivesItBackOnFalse) {
    ScriptedListServer server({okAnswer("false"), okAnswer("ready")});
    useServer(server);
    openAllied();
    click(allied().newButton);
    ASSERT_TRUE(allied().dialog);
    const auto field = [&](EntrySlot slot) {
        return fleetlists::slotOf(allied().dialogFields, slot);
    };
    for (const auto& [slot, text] :
         std::vector<std::pair<EntrySlot, std::string>>{{EntrySlot::Name, "Anna"},
                                                        {EntrySlot::Basis, "1:2:3"},
                                                        {EntrySlot::Schiffe, "12"},
                                                        {EntrySlot::ZielName, "Otto"},
                                                        {EntrySlot::ZielBasis, "4:5:6"},
                                                        {EntrySlot::BasisZeit, "10:25"}}) {
        user.typeText(field(slot), text);
        handleEvents();
    }
    user.moveFocusAway();
    handleEvents();
    const auto submit = ui.findControl(allied().dialog, "Übernehmen");
    ASSERT_TRUE(ui.isEnabled(submit));
    click(submit);
    EXPECT_FALSE(ui.isWindowEnabled(allied().dialog));
    ASSERT_TRUE(waitUntilIdle());
    ASSERT_TRUE(allied().dialog);
    EXPECT_TRUE(ui.isWindowEnabled(allied().dialog));
    EXPECT_EQ(ui.text(field(EntrySlot::Name)), "Anna");
    EXPECT_EQ(status(2), "\t\tStatus: Fehler (falsche Eingabe)");

    click(submit);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_FALSE(allied().dialog);
    EXPECT_EQ(status(1), "\tneuen Eintrag erstellen");
    EXPECT_EQ(status(2), "\t\tStatus: Fertig!");
    EXPECT_TRUE(ui.isEnabled(allied().newButton));
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[1].find("&Info3=New&Hilfe=0&Name=Anna&Basis=1:2:3&Schiffe=12&Modus=2"),
              std::string::npos)
        << requests[1];
    EXPECT_NE(requests[1].find("&BasisZeit=37200"), std::string::npos);
}

// The tray tells of what a download brings that the list did not hold: at the first download
// of a run the list is the cache file's; a click on the notification opens the list again.
TEST_F(ListWorkersTest, ADownloadTellsTheTrayOfANewAttackAndAClickOpensTheList) {
    const auto enemyRecord = [](const std::string& name, const std::string& ships,
                                const std::string& target) {
        std::string text;
        wire::appendRecord(text, {"0", name, "EVL", "1:2:3", "0", ships, "2", target, "", "4:5:6",
                                  "0", "Otto", "39600", "43200", "36000"});
        return text;
    };
    FleetEntry bert = cachedRow("Bert");
    bert.Basis = "1:2:3";
    fleetlists::ListCacheData cache;
    cache.rows = {bert};
    fleetlists::saveListCache(FleetListKind::Enemy, "tblEnemy.dat", cache);
    std::ofstream("FrendPre.dat") << "Name = anna\r\n";
    const std::string list = "|>Update<|" + enemyRecord("Bert", "99", "Otto") +
                             enemyRecord("Carl", "40", "Anna") + "<>end|<>";
    const std::string more = "|>Update<|" + enemyRecord("Bert", "99", "Otto") +
                             enemyRecord("Carl", "40", "Anna") + enemyRecord("Dora", "1", "Emil") +
                             "<>end|<>";
    ScriptedListServer server({okAnswer(list), okAnswer(list), okAnswer(more)});
    useServer(server);
    fleetlists::ListWindowState& enemy = state.list(FleetListKind::Enemy);
    const auto download = [&] {
        click(enemy.refreshButton);
        ASSERT_TRUE(ui.runTasksUntil([&] { return !enemy.workerBusy; }));
    };
    click(state.main.enemyListButton);
    ASSERT_TRUE(enemy.window);
    download();
    ASSERT_EQ(ui.shownNotifications().size(), 1u);
    EXPECT_EQ(ui.shownNotifications()[0].title, "Angriff auf dich!");
    EXPECT_EQ(ui.shownNotifications()[0].text,
              "Neue gegnerische Flotte: Carl (EVL) greift Anna (4:5:6) an, Ankunft 11:00:00 (in "
              "3 Ticks)");
    EXPECT_TRUE(ui.shownNotifications()[0].sound);
    download(); // the same list again
    EXPECT_EQ(ui.shownNotifications().size(), 1u);

    user.requestClose(enemy.window);
    handleEvents();
    ASSERT_FALSE(enemy.window);
    user.clickTray(platform::TrayEventType::NotificationClick);
    handleEvents();
    ASSERT_TRUE(enemy.window);
    EXPECT_EQ(ui.listCell(enemy.listView, 1, 1), "Carl");

    std::ofstream("Alarm.dat") << "Gegner = 0\r\n";
    download(); // brings Dora, which the player does not want to hear of
    EXPECT_EQ(enemy.rows.size(), 3u);
    EXPECT_EQ(ui.shownNotifications().size(), 1u);
}

} // namespace
} // namespace reef::app::testing
