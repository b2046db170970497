// The submission against scripted list servers: every answer row, once, without retry.

#include "exchange/entry_request.h"
#include "exchange/list_submission.h"
#include "exchange/scripted_list_server.h"
#include "support/fake_list_exchange_sink.h"
#include "support/stepped_clock.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using reef::fleetlists::DialogMode;
using namespace reef::exchange;
using namespace reef::testing;

SubmissionJob jobFor(const ListServerAddress& server) {
    SubmissionJob job;
    job.server = server;
    return job;
}

struct AnswerCase {
    const char* name;
    ScriptedAnswer answer;
    SubmissionOutcome outcome;
    std::string status;
    std::string box = {};
    bool waitsForTimeLimit = false;
};

struct SubmissionAnswers : ::testing::TestWithParam<AnswerCase> {};

TEST_P(SubmissionAnswers, EndOnceWithTheirStatus) {
    const AnswerCase& c = GetParam();
    ScriptedListServer server({c.answer});
    SteppedClock clock;
    FakeListExchangeSink sink;
    std::optional<ClockTicker> ticker;
    if (c.waitsForTimeLimit) {
        ticker.emplace(clock);
    }
    SubmissionJob job = jobFor(server.address());
    job.entry.mode =
        GetParam().outcome == SubmissionOutcome::Accepted ? DialogMode::Change : DialogMode::New;
    EXPECT_EQ(runSubmission(job, sink, clock), c.outcome);
    EXPECT_EQ(server.requests(),
              std::vector<std::string>{buildSubmissionRequest(job.entry, server.address())});
    EXPECT_TRUE(server.clientClosedAll());
    EXPECT_EQ(sink.calls("1: "), std::vector<std::string>{job.entry.mode == DialogMode::Change
                                                              ? "alten Eintrag aktualisieren"
                                                              : "neuen Eintrag erstellen"});
    EXPECT_EQ(sink.lastStatus(2), c.status);
    EXPECT_EQ(sink.calls("box: "), std::vector<std::string>(c.box.empty() ? 0 : 1, c.box));
    EXPECT_TRUE(sink.calls("password").empty());
}

const std::string kFalse = "Status: Fehler (falsche Eingabe)";

INSTANTIATE_TEST_SUITE_P(
    Rows, SubmissionAnswers,
    ::testing::Values(
        AnswerCase{"Ready", okAnswer("ready"), SubmissionOutcome::Accepted, "Status: Fertig!"},
        AnswerCase{"ReadyAndMore", okAnswer("readyX\n", true), SubmissionOutcome::Accepted,
                   "Status: Fertig!"},
        AnswerCase{"ReadyInPieces",
                   {{kOkHeader + "rea", "dy"}, true},
                   SubmissionOutcome::Accepted,
                   "Status: Fertig!"},
        AnswerCase{"False", okAnswer("false: Name"), SubmissionOutcome::Failed, kFalse},
        AnswerCase{"Error1", okAnswer("Error1"), SubmissionOutcome::Failed,
                   "Status: Fehler (falsches Passwort)"},
        AnswerCase{"Error2HeldOpen", okAnswer("Error2", true), SubmissionOutcome::Failed,
                   "Status: Fehler (DatenBank nicht gefunden)"},
        AnswerCase{"Error10", okAnswer("Error10"), SubmissionOutcome::Failed,
                   "Status: Fehler (Fatal Error)"},
        AnswerCase{"Error3HeldOpen", okAnswer("Error3", true), SubmissionOutcome::Failed,
                   "Status: Fehler (Timeout)", "", true},
        AnswerCase{"Error3Closed", okAnswer("Error3"), SubmissionOutcome::Failed,
                   "Status: Fehler!"},
        AnswerCase{"NoTwoHundred",
                   {{"HTTP/1.0 500 Oops\r\n\r\n"}},
                   SubmissionOutcome::Failed,
                   "Status: Fehler (Script nicht erreichbar)",
                   "HTTP/1.0 500 Oops\r\n\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Submission, ClosingTheWindowWhileWaitingEndsSilently) {
    ScriptedListServer server({{{}, true}});
    SteppedClock clock;
    FakeListExchangeSink sink;
    sink.closeWindowAtStatus("Status: warte auf Antwort");
    EXPECT_EQ(runSubmission(jobFor(server.address()), sink, clock),
              SubmissionOutcome::WindowClosed);
    EXPECT_TRUE(server.clientClosedAll());
    EXPECT_EQ(sink.calls().back(), "2: Status: warte auf Antwort");
}

TEST(Submission, NoConnectionFailsWithoutRetry) {
    PeerListener boundOnly(false);
    SteppedClock clock;
    FakeListExchangeSink sink;
    EXPECT_EQ(runSubmission(jobFor({"127.0.0.1", boundOnly.port()}), sink, clock),
              SubmissionOutcome::Failed);
    EXPECT_EQ(sink.calls("1: ").size(), 1u);
    EXPECT_EQ(sink.lastStatus(2), "Status: Fehler (Server nicht gefunden)");
}

TEST(Submission, AWindowClosedWhileConnectingEndsTheAttemptsSilently) {
    PeerListener boundOnly(false);
    SteppedClock clock;
    FakeListExchangeSink sink;
    sink.closeWindowAtStatus("Status: Verbindungsaufbau (4/10)");
    EXPECT_EQ(runSubmission(jobFor({"127.0.0.1", boundOnly.port()}), sink, clock),
              SubmissionOutcome::WindowClosed);
    EXPECT_EQ(sink.calls().back(), "2: Status: Verbindungsaufbau (4/10)");
}

} // namespace
