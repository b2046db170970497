// The list windows with their real workers: a download or a submission against a scripted
// list server on loopback, and the ends that come in between (window closed, program ended).

#include "app/event_loop.h"
#include "app/exit_program.h"
#include "app/list_workers.h"
#include "app_fixture.h"
#include "exchange/scripted_list_server.h"
#include "fleetlists/list_cache.h"
#include "fleetlists/list_window.h"
#include "platform/connection/sockets_environment.h"
#include "wire/list_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
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

    // "Neuer Eintrag" with every required field typed in; returns the dialog's "Übernehmen".
    platform::ControlId newEntryReadyToSubmit() {
        click(allied().newButton);
        EXPECT_TRUE(allied().dialog);
        for (const auto& [slot, text] :
             std::vector<std::pair<EntrySlot, std::string>>{{EntrySlot::Name, "Anna"},
                                                            {EntrySlot::Basis, "1:2:3"},
                                                            {EntrySlot::Schiffe, "12"},
                                                            {EntrySlot::ZielName, "Otto"},
                                                            {EntrySlot::ZielBasis, "4:5:6"},
                                                            {EntrySlot::BasisZeit, "10:25"}}) {
            user.typeText(fleetlists::slotOf(allied().dialogFields, slot), text);
            handleEvents();
        }
        user.moveFocusAway();
        handleEvents();
        const auto submit = ui.findControl(allied().dialog, "Übernehmen");
        EXPECT_TRUE(ui.isEnabled(submit));
        return submit;
    }

    // Runs passes of the event loop as the idle program does (each waits 30 s on the clock).
    void idlePasses(int count) {
        for (int pass = 0; pass < count; ++pass) {
            runEventLoopOnce(ui, state);
        }
    }
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
    // The row selected before is gone with the old rows: nothing selected, nothing to change.
    EXPECT_EQ(ui.selectedListRow(allied().listView), -1);
    EXPECT_FALSE(ui.isEnabled(allied().changeButton));
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

std::string hostileRecord(const std::string& name, const std::string& hilfe,
                          const std::string& modus, const std::string& basisZeit) {
    std::string text;
    wire::appendRecord(text, {hilfe, name, "", "1:2:3", "0", "5000000000", modus, "Otto", "",
                              "4:5:6", "0", "", "200000", basisZeit, "1700000000"});
    return text;
}

// Numbers that no list server of this program sends: every row is shown and kept, a return
// time outside the day sorts last with "n/a" in both its cells, codes outside the tables show
// their numbers, and a change of such a row starts with an empty "Rückkehr".
TEST_F(ListWorkersTest, ARowWithNumbersOutOfRangeIsShownKeptAndChangeable) {
    const std::string list =
        "|>Update<|" + hostileRecord("Tag", "99", "7", "200000") +
        hostileRecord("Minus", "0", "2", "-10000") + hostileRecord("Max", "1", "1", "2147483647") +
        hostileRecord("Min", "2", "0", "-2147483648") + record("Normal", "43200") + "<>end|<>";
    ScriptedListServer server({okAnswer(list)});
    useServer(server);
    openAllied();
    click(allied().refreshButton);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(status(2), "\t\tStatus: Fertig!");
    ASSERT_EQ(allied().rows.size(), 5u);
    ASSERT_EQ(ui.listRowCount(allied().listView), 5);
    EXPECT_EQ(ui.listCell(allied().listView, 0, 1), "Normal");
    EXPECT_EQ(ui.listCell(allied().listView, 0, 13), "6");
    std::vector<std::string> names;
    for (int row = 1; row < 5; ++row) {
        names.push_back(ui.listCell(allied().listView, row, 1));
        for (const int column : {11, 12, 13, 14}) {
            EXPECT_EQ(ui.listCell(allied().listView, row, column), "n/a") << row << " " << column;
        }
        EXPECT_EQ(ui.listCell(allied().listView, row, 5), "705032704") << "wrapped at 32 bits";
        EXPECT_EQ(ui.listCell(allied().listView, row, 15), "22:13:20");
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Max", "Min", "Minus", "Tag"}));
    const int tag =
        static_cast<int>(std::find_if(allied().rows.begin(), allied().rows.end(),
                                      [](const FleetEntry& entry) { return entry.Name == "Tag"; }) -
                         allied().rows.begin());
    EXPECT_EQ(ui.listCell(allied().listView, tag, 0), "99");
    EXPECT_EQ(ui.listCell(allied().listView, tag, 6), "7");

    // A change of the row: nothing is chosen that the row did not say, and "Rückkehr" waits.
    user.clickListRow(allied().listView, tag);
    handleEvents();
    click(allied().changeButton);
    ASSERT_TRUE(allied().dialog);
    const auto field = [&](EntrySlot slot) {
        return fleetlists::slotOf(allied().dialogFields, slot);
    };
    EXPECT_EQ(ui.text(field(EntrySlot::BasisZeit)), "");
    EXPECT_EQ(ui.text(field(EntrySlot::ZielZeit)), "");
    EXPECT_EQ(ui.text(field(EntrySlot::Schiffe)), "705032704");
    EXPECT_EQ(ui.dropDownSelection(field(EntrySlot::Hilfe)), -1);
    EXPECT_EQ(ui.dropDownSelection(field(EntrySlot::Modus)), -1);
    const auto submit = ui.findControl(allied().dialog, "Übernehmen");
    EXPECT_FALSE(ui.isEnabled(submit));
    EXPECT_EQ(allied().editCopy.BasisZeit, 200000) << "the server finds the row by it";
    user.typeText(field(EntrySlot::BasisZeit), "11:00");
    handleEvents();
    EXPECT_TRUE(ui.isEnabled(submit));

    std::filesystem::remove("tblFrend.dat");
    click(state.main.exitButton);
    EXPECT_EQ(state.exitCode, 0);
    fleetlists::ListCacheData written;
    ASSERT_TRUE(fleetlists::loadListCache(kAllied, "tblFrend.dat", written));
    EXPECT_EQ(written.rows, allied().rows);
}

// After "Error1" the real requester asks; its answer is the password of both lists from then
// on, in the next attempt and in the other list's download.
TEST_F(ListWorkersTest, AWrongPasswordAsksOnceAndTheAnswerServesBothLists) {
    const std::string list = "|>Update<|" + record("Neu", "43200") + "<>end|<>";
    ScriptedListServer server({okAnswer("Error1"), okAnswer(list), okAnswer(list)});
    useServer(server);
    openAllied();
    const std::size_t boxesBefore = user.shownInputBoxes().size();
    user.queueInputBoxAnswer("neu es");
    click(allied().refreshButton);
    ASSERT_TRUE(waitUntilIdle());
    const auto boxes = user.shownInputBoxes();
    ASSERT_EQ(boxes.size(), boxesBefore + 1);
    EXPECT_EQ(boxes.back().caption, "Reef - Tools");
    EXPECT_EQ(boxes.back().prompt, "Bitte neues Passwort angeben:");
    EXPECT_EQ(boxes.back().defaultText, "");
    EXPECT_EQ(state.fleet.password, "neu es");
    EXPECT_EQ(status(1), "\tListe aktualisieren (Versuch: 2/3)");
    EXPECT_EQ(status(2), "\t\tStatus: Fertig!");

    auto& enemy = state.list(FleetListKind::Enemy);
    click(state.main.enemyListButton);
    ASSERT_TRUE(enemy.window);
    EXPECT_EQ(user.shownInputBoxes().size(), boxesBefore + 1) << "the password is known";
    click(enemy.refreshButton);
    ASSERT_TRUE(ui.runTasksUntil([&] { return !enemy.workerBusy; }));
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_NE(requests[0].find("Info1=geheim&Info2=Reef_Frend"), std::string::npos);
    EXPECT_NE(requests[1].find("Info1=neu%20es&Info2=Reef_Frend"), std::string::npos)
        << requests[1];
    EXPECT_NE(requests[2].find("Info1=neu%20es&Info2=Reef_Enemy"), std::string::npos)
        << requests[2];
    click(state.main.exitButton);
    for (const FleetListKind kind : {kAllied, FleetListKind::Enemy}) {
        fleetlists::ListCacheData written;
        ASSERT_TRUE(fleetlists::loadListCache(kind, fleetlists::listCacheFileName(kind), written));
        EXPECT_EQ(written.password, "neu es");
    }
}

// A cycle that ended in failure, after three attempts or without any connection, counts as
// an update: the auto-update waits its interval instead of starting at every pass.
TEST_F(ListWorkersTest, AFailedCycleRestartsTheAutoUpdateIntervalWhateverTheFailure) {
    ScriptedListServer failing({okAnswer("Error2"), okAnswer("Error2"), okAnswer("Error2")});
    reef::testing::PeerListener refusing(false);
    useServer(failing);
    openAllied();
    const auto cycleEndedAndRests = [&](const std::string& failure) {
        ASSERT_TRUE(allied().workerBusy) << failure;
        ASSERT_TRUE(waitUntilIdle());
        EXPECT_EQ(status(2), "\t\t" + failure);
        EXPECT_EQ(allied().lastUpdateTick, ui.clock().tickCountMs()) << failure;
        idlePasses(2); // one minute on the clock: not yet past the interval
        EXPECT_FALSE(allied().workerBusy) << failure;
        EXPECT_TRUE(ui.isEnabled(allied().refreshButton));
    };
    user.typeText(allied().intervalField, "\b1");
    handleEvents(); // the loop's timers run after the event: the auto-update is due at once
    cycleEndedAndRests("Status: Fehler (DatenBank nicht gefunden)");
    EXPECT_EQ(failing.requests().size(), 3u);

    state.serverConfig.listServer = {"127.0.0.1", refusing.port()};
    idlePasses(1); // past the interval now
    cycleEndedAndRests("Status: Fehler (Server nicht gefunden)");
    EXPECT_EQ(status(1), "\tListe aktualisieren") << "no further attempt without a connection";
}

// The end of the program while an entry dialog is open, and while its submission waits: the
// cache files of the open lists are written, the code is 0, nothing waits on the network.
class EndWithEntryDialog : public ListWorkersTest {
  protected:
    void endProgram() {
        std::filesystem::remove("tblFrend.dat");
        std::filesystem::remove("tblEnemy.dat");
        click(state.main.exitButton);
        EXPECT_TRUE(state.exiting);
        EXPECT_EQ(state.exitCode, 0);
        EXPECT_FALSE(allied().dialog);
        fleetlists::ListCacheData written;
        ASSERT_TRUE(fleetlists::loadListCache(kAllied, "tblFrend.dat", written));
        ASSERT_EQ(written.rows.size(), 1u);
        EXPECT_EQ(written.rows[0].Name, "Alt");
        EXPECT_EQ(written.password, "geheim");
        EXPECT_TRUE(std::filesystem::exists("tblEnemy.dat"));
    }

    void openBothLists() {
        openAllied();
        click(state.main.enemyListButton);
        ASSERT_TRUE(state.list(FleetListKind::Enemy).window);
    }
};

TEST_F(EndWithEntryDialog, OpenDialog) {
    openBothLists();
    newEntryReadyToSubmit();
    endProgram();
}

TEST_F(EndWithEntryDialog, SubmissionWaiting) {
    ScriptedListServer server({ScriptedAnswer{.pieces = {}, .holdOpen = true}});
    useServer(server);
    openBothLists();
    click(newEntryReadyToSubmit());
    ASSERT_TRUE(ui.runTasksUntil([&] { return status(2) == "\t\tStatus: warte auf Antwort"; }));
    endProgram();
    // The worker finds its window gone at its next check and ends by itself.
    state.workers.joinAll();
    EXPECT_TRUE(server.clientClosedAll());
}

// Closing the list window while its submission waits closes the dialog and saves the list;
// the worker ends silently, and the window opened again gets its buttons back then.
TEST_F(ListWorkersTest, ClosingTheListDuringASubmissionEndsItSilently) {
    ScriptedListServer server({ScriptedAnswer{.pieces = {}, .holdOpen = true}});
    useServer(server);
    openAllied();
    click(newEntryReadyToSubmit());
    ASSERT_TRUE(ui.runTasksUntil([&] { return status(2) == "\t\tStatus: warte auf Antwort"; }));
    std::filesystem::remove("tblFrend.dat");
    user.requestClose(allied().window);
    handleEvents();
    EXPECT_FALSE(allied().window);
    EXPECT_FALSE(allied().dialog);
    EXPECT_TRUE(std::filesystem::exists("tblFrend.dat"));
    openAllied();
    EXPECT_FALSE(ui.isEnabled(allied().newButton)) << "busy until the old worker has ended";
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_TRUE(server.clientClosedAll());
    EXPECT_TRUE(ui.isEnabled(allied().newButton));
    EXPECT_TRUE(ui.isEnabled(allied().refreshButton));
    EXPECT_EQ(status(1), "\tgespeicherte Daten laden");
    EXPECT_EQ(status(2), "\t\tStatus: Fertig!");
    EXPECT_EQ(server.requests().size(), 1u);
}

// The system refuses a thread: the program goes on, the list (or the dialog) is given back
// with the reason, and the next try runs.
TEST_F(ListWorkersTest, AWorkerThatCannotBeStartedGivesTheListBack) {
    const std::string list = "|>Update<|" + record("Neu", "43200") + "<>end|<>";
    ScriptedListServer server({okAnswer(list), okAnswer("ready")});
    useServer(server);
    openAllied();
    const std::string refused = "\t\tStatus: Fehler (Vorgang konnte nicht gestartet werden)";

    state.workers.refuseNextStarts(1);
    click(allied().refreshButton);
    EXPECT_FALSE(allied().workerBusy);
    EXPECT_EQ(status(2), refused);
    EXPECT_TRUE(ui.isEnabled(allied().refreshButton));
    EXPECT_TRUE(ui.isEnabled(allied().newButton));
    click(allied().refreshButton);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(allied().rows.at(0).Name, "Neu");

    const auto submit = newEntryReadyToSubmit();
    state.workers.refuseNextStarts(1);
    click(submit);
    EXPECT_FALSE(allied().workerBusy);
    ASSERT_TRUE(allied().dialog);
    EXPECT_TRUE(ui.isWindowEnabled(allied().dialog));
    EXPECT_EQ(status(2), refused);
    click(submit);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_FALSE(allied().dialog);
    EXPECT_EQ(server.requests().size(), 2u);
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
