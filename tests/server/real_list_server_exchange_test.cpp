// The program's side of the exchange against the real reef-listserver: entries submitted with
// awkward values come back through the program's own download and parser as they were typed
// (blanks as "_", the form the server keeps them in).

#include "server/list_download.h"
#include "server/list_submission.h"
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
using namespace reef::server;
using reef::testing::FakeListExchangeSink;
namespace harness = reef::listserver::testing;

const std::string kPassword = "korallen-pw";

class RealListServer : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string db = dir_.file("lists.sqlite");
        ASSERT_EQ(
            harness::runListServer({"alliance", "add", "Korallen", "--db", db}, kPassword + "\n")
                .exitCode,
            0);
        server_ = std::make_unique<harness::ServerProcess>(db, dir_.file("server.log"));
        ASSERT_TRUE(server_->started()) << server_->log();
    }

    ListServerAddress address() const { return {"127.0.0.1", server_->port()}; }

    SubmissionOutcome submit(EntrySubmission entry) {
        FakeListExchangeSink sink;
        entry.password = kPassword;
        return runSubmission(SubmissionJob{entry, address(), {}}, sink,
                             reef::platform::systemClock());
    }

    std::vector<FleetEntry> download(FleetListKind kind) {
        FakeListExchangeSink sink;
        EXPECT_EQ(runListDownload(DownloadJob{kind, kPassword, address(), {}}, sink,
                                  reef::platform::systemClock()),
                  DownloadOutcome::Finished);
        EXPECT_EQ(sink.lastStatus(2), "Status: Fertig!") << server_->log();
        return sink.lists().empty() ? std::vector<FleetEntry>() : sink.lists()[0];
    }

    static EntrySubmission entry(FleetListKind kind, const std::string& name) {
        EntrySubmission e;
        e.kind = kind;
        e.helpSelection = 2;
        e.missionSelection = 1;
        e.Name = name;
        e.Allianz = "Korallen";
        e.Basis = "1:2:3";
        e.Punkte = "1.234.567";
        e.Schiffe = "250";
        e.ZielName = "Otto";
        e.ZielBasis = "4:5:6";
        e.BasisZeit = "13:47";
        e.Von = "Bert";
        return e;
    }

    harness::TempDir dir_;
    std::unique_ptr<harness::ServerProcess> server_;
};

TEST_F(RealListServer, AwkwardValuesComeBackAsTyped) {
    const std::vector<std::string> names = {"Bär & Co", "x&Von=Fake", "#1 %41+",  "endet|",
                                            "endet<",   "|x>",        "ß\x80\xff"};
    for (const std::string& name : names) {
        ASSERT_EQ(submit(entry(FleetListKind::Allied, name)), SubmissionOutcome::Accepted) << name;
    }
    std::vector<std::string> received;
    for (const FleetEntry& row : download(FleetListKind::Allied)) {
        received.push_back(row.Name);
        EXPECT_EQ(row.Punkte, 1234567);
        EXPECT_EQ(row.BasisZeit, 49200);
        EXPECT_EQ(row.ZielZeit, reef::fleetlists::kNoTime);
    }
    std::vector<std::string> expected;
    for (std::string name : names) {
        std::replace(name.begin(), name.end(), ' ', '_');
        expected.push_back(name);
    }
    std::sort(received.begin(), received.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(received, expected);
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
    EXPECT_EQ(allied[0].Name, "Paulchen");
    EXPECT_EQ(allied[0].ZielZeit, 50400);

    ASSERT_EQ(submit(entry(FleetListKind::Enemy, "Klaus Peter")), SubmissionOutcome::Accepted);
    const auto enemy = download(FleetListKind::Enemy);
    ASSERT_EQ(enemy.size(), 1u);
    EXPECT_EQ(enemy[0].Name, "Klaus_Peter");
    EXPECT_EQ(enemy[0].Von, "Bert");
}

} // namespace
