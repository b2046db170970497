// The submission against scripted list servers: every answer row, once, without retry.

#include "server/entry_request.h"
#include "server/list_submission.h"
#include "server/scripted_list_server.h"
#include "support/fake_list_exchange_sink.h"
#include "support/stepped_clock.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using reef::fleetlists::DialogMode;
using reef::server::runSubmission;
using reef::server::SubmissionJob;
using reef::server::SubmissionOutcome;
using namespace reef::testing;

SubmissionJob job(const reef::server::ListServerAddress& server,
                  DialogMode mode = DialogMode::New) {
    SubmissionJob j;
    j.server = server;
    j.entry.mode = mode;
    j.entry.Name = "Paul";
    j.entry.BasisZeit = "10:00";
    j.entry.password = "pw";
    return j;
}

struct AnswerCase {
    const char* name;
    ScriptedAnswer answer;
    SubmissionOutcome outcome;
    std::string status;
    std::optional<std::string> box;
    bool waitsForTimeLimit = false;
};

class SubmissionAnswers : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(SubmissionAnswers, EndOnceWithTheirStatus) {
    const AnswerCase& c = GetParam();
    ScriptedListServer server({c.answer});
    SteppedClock clock;
    FakeListExchangeSink sink;
    std::optional<ClockTicker> ticker;
    if (c.waitsForTimeLimit) {
        ticker.emplace(clock);
    }
    const SubmissionJob j = job(server.address());
    EXPECT_EQ(runSubmission(j, sink, clock), c.outcome);
    EXPECT_EQ(server.requests(), std::vector<std::string>{reef::server::buildNewEntryRequest(
                                     j.entry, server.address())});
    EXPECT_TRUE(server.clientClosedAll());
    EXPECT_EQ(sink.statuses(1), std::vector<std::string>{"neuen Eintrag erstellen"});
    EXPECT_EQ(sink.lastStatus(2), c.status);
    EXPECT_EQ(sink.errors(), c.box ? std::vector<std::string>{*c.box} : std::vector<std::string>());
    EXPECT_EQ(sink.passwordRequests(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SubmissionAnswers,
    ::testing::Values(
        AnswerCase{"Ready", okAnswer("ready"), SubmissionOutcome::Accepted, "Status: Fertig!",
                   std::nullopt},
        AnswerCase{"ReadyAndMore", ScriptedAnswer::holding({std::string(kOkHeader), "readyX\n"}),
                   SubmissionOutcome::Accepted, "Status: Fertig!", std::nullopt},
        AnswerCase{"ReadyInPieces", ScriptedAnswer::holding({std::string(kOkHeader) + "rea", "dy"}),
                   SubmissionOutcome::Accepted, "Status: Fertig!", std::nullopt},
        AnswerCase{"False", okAnswer("false: Name"), SubmissionOutcome::Failed,
                   "Status: Fehler (falsche Eingabe)", std::nullopt},
        AnswerCase{"Error1", okAnswer("Error1"), SubmissionOutcome::Failed,
                   "Status: Fehler (falsches Passwort)", std::nullopt},
        AnswerCase{"Error2HeldOpen", ScriptedAnswer::holding({std::string(kOkHeader) + "Error2"}),
                   SubmissionOutcome::Failed, "Status: Fehler (DatenBank nicht gefunden)",
                   std::nullopt},
        AnswerCase{"Error10", okAnswer("Error10"), SubmissionOutcome::Failed,
                   "Status: Fehler (Fatal Error)", std::nullopt},
        AnswerCase{"Error3HeldOpen", ScriptedAnswer::holding({std::string(kOkHeader) + "Error3"}),
                   SubmissionOutcome::Failed, "Status: Fehler (Timeout)", std::nullopt, true},
        AnswerCase{"Error3Closed", okAnswer("Error3"), SubmissionOutcome::Failed, "Status: Fehler!",
                   std::nullopt},
        AnswerCase{"NoTwoHundred", ScriptedAnswer::closing({"HTTP/1.0 500 Oops\r\n\r\n"}),
                   SubmissionOutcome::Failed, "Status: Fehler (Script nicht erreichbar)",
                   "HTTP/1.0 500 Oops\r\n\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Submission, ChangeShowsItsOperationAndSendsTheChange) {
    ScriptedListServer server({okAnswer("ready")});
    SteppedClock clock;
    FakeListExchangeSink sink;
    const SubmissionJob j = job(server.address(), DialogMode::Change);
    EXPECT_EQ(runSubmission(j, sink, clock), SubmissionOutcome::Accepted);
    EXPECT_EQ(server.requests(), std::vector<std::string>{
                                     reef::server::buildChangeRequest(j.entry, server.address())});
    EXPECT_EQ(sink.statuses(1), std::vector<std::string>{"alten Eintrag aktualisieren"});
}

TEST(Submission, ClosingTheWindowWhileWaitingEndsSilently) {
    ScriptedListServer server({ScriptedAnswer::holding({})});
    SteppedClock clock;
    FakeListExchangeSink sink;
    sink.onStatus([](FakeListExchangeSink& s, int, const std::string& text) {
        if (text == "Status: warte auf Antwort") {
            s.closeWindow();
        }
    });
    EXPECT_EQ(runSubmission(job(server.address()), sink, clock), SubmissionOutcome::WindowClosed);
    EXPECT_TRUE(server.clientClosedAll());
    EXPECT_EQ(sink.lastStatus(2), "Status: warte auf Antwort");
}

TEST(Submission, NoConnectionFailsWithoutRetry) {
    PeerListener boundOnly(false);
    SteppedClock clock;
    FakeListExchangeSink sink;
    EXPECT_EQ(runSubmission(job({"127.0.0.1", boundOnly.port()}), sink, clock),
              SubmissionOutcome::Failed);
    EXPECT_EQ(sink.statuses(1).size(), 1u);
    EXPECT_EQ(sink.lastStatus(2), "Status: Fehler (Server nicht gefunden)");
}

} // namespace
