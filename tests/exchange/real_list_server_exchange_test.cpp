// The program's download and submission against the real reef-listserver: awkward values
// come back through the program's own parser as typed (blanks as "_", as the server keeps
// them), and a change replaces its entry.

#include "exchange/list_download.h"
#include "exchange/list_submission.h"
#include "support/fake_list_exchange_sink.h"

#include "listserver/server_harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

using reef::fleetlists::DialogMode;
using reef::fleetlists::EntrySubmission;
using reef::fleetlists::FleetEntry;
using reef::fleetlists::FleetListKind;
using namespace reef::exchange;
using reef::testing::FakeListExchangeSink;
namespace harness = reef::listserver::testing;

struct RealListServer : ::testing::Test {
    void SetUp() override {
        const std::string db = dir.file("lists.sqlite");
        ASSERT_EQ(harness::runListServer({"alliance", "add", "K", "--db", db}, "Korallen & Co%#\n")
                      .exitCode,
                  0);
        server = std::make_unique<harness::ServerProcess>(db, dir.file("server.log"));
        ASSERT_TRUE(server->started()) << server->log();
    }

    SubmissionOutcome submit(const EntrySubmission& entry) {
        FakeListExchangeSink sink;
        return runSubmission({entry, {"127.0.0.1", server->port()}, {}}, sink,
                             reef::platform::systemClock());
    }

    std::vector<FleetEntry> download(FleetListKind kind) {
        FakeListExchangeSink sink;
        runListDownload({kind, "Korallen & Co%#", {"127.0.0.1", server->port()}, {}}, sink,
                        reef::platform::systemClock());
        EXPECT_EQ(sink.lastStatus(2), "Status: Fertig!") << server->log();
        return sink.lists().empty() ? std::vector<FleetEntry>() : sink.lists()[0];
    }

    static EntrySubmission entry(FleetListKind kind, const std::string& name) {
        EntrySubmission e;
        e.kind = kind;
        e.helpSelection = 2;
        e.missionSelection = 1;
        e.Name = name;
        e.Basis = "1:2:3";
        e.Punkte = "1.234";
        e.ZielName = "Otto";
        e.ZielBasis = "4:5:6";
        e.BasisZeit = "13:47";
        e.Von = "Bert";
        e.password = "Korallen & Co%#";
        return e;
    }

    harness::TempDir dir;
    std::unique_ptr<harness::ServerProcess> server;
};

TEST_F(RealListServer, AwkwardValuesComeBackAsTyped) {
    std::vector<std::string> names = {"Bär & Co", "x&Von=F", "#1 %41+",  "endet|",
                                      "endet<",   "|x>",     "ß\x80\xff"};
    for (const std::string& name : names) {
        ASSERT_EQ(submit(entry(FleetListKind::Allied, name)), SubmissionOutcome::Accepted) << name;
    }
    std::vector<std::string> received;
    for (const FleetEntry& row : download(FleetListKind::Allied)) {
        received.push_back(row.Name);
        EXPECT_EQ(row.Punkte, 1234);
        EXPECT_EQ(row.BasisZeit, 49200);
    }
    for (std::string& name : names) {
        std::replace(name.begin(), name.end(), ' ', '_');
    }
    std::sort(received.begin(), received.end());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(received, names);
}

TEST_F(RealListServer, AChangeReplacesTheEntryAndTheEnemyListKeepsWhoEnteredIt) {
    ASSERT_EQ(submit(entry(FleetListKind::Allied, "Paul")), SubmissionOutcome::Accepted);
    EntrySubmission change = entry(FleetListKind::Allied, "Paulchen");
    change.mode = DialogMode::Change;
    change.ZielZeit = "14:05";
    change.editCopy = download(FleetListKind::Allied).at(0);
    ASSERT_EQ(submit(change), SubmissionOutcome::Accepted);
    const auto allied = download(FleetListKind::Allied);
    ASSERT_EQ(allied.size(), 1u);
    EXPECT_EQ(allied[0].Name + " " + std::to_string(allied[0].ZielZeit), "Paulchen 50400");

    ASSERT_EQ(submit(entry(FleetListKind::Enemy, "Klaus Peter")), SubmissionOutcome::Accepted);
    const auto enemy = download(FleetListKind::Enemy);
    ASSERT_EQ(enemy.size(), 1u);
    EXPECT_EQ(enemy[0].Name + " " + enemy[0].Von, "Klaus_Peter Bert");
}

} // namespace
