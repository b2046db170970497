// The download against scripted list servers: the request, the body rules, every failure with
// its three attempts, a closed window and a refused connection.

#include "exchange/list_download.h"
#include "exchange/scripted_list_server.h"
#include "support/fake_list_exchange_sink.h"
#include "support/stepped_clock.h"

#include "platform/connection/sockets_environment.h"
#include "wire/list_format.h"

#include <gtest/gtest.h>

#include <optional>

REEF_START_SOCKETS_FOR_TESTS;

namespace {

using reef::fleetlists::FleetListKind;
using namespace reef::exchange;
using namespace reef::testing;

constexpr std::int64_t kNow = 19844LL * 86400 + 10 * 3600 + 5 * 60; // 10:05:00

std::string record(const std::string& name) {
    std::string text;
    reef::wire::appendRecord(text, {"3", name, "A", "1:2:3", "5000000000", "12", "2", "Otto", "",
                                    "4:5:6", "0", "Bert", "", "43200", "36000"});
    return text;
}

const std::string kList = "|>Update<|" + record("Anna") + record("Paul") + "<>end|<>";
const std::vector<std::string> kAttempts = {"Liste aktualisieren",
                                            "Liste aktualisieren (Versuch: 2/3)",
                                            "Liste aktualisieren (Versuch: 3/3)"};

struct ListDownload : ::testing::Test {
    DownloadOutcome run(ScriptedListServer& server, const std::string& password = "pw") {
        return runListDownload({FleetListKind::Allied, password, server.address(), {}}, sink,
                               clock);
    }
    SteppedClock clock{kNow};
    FakeListExchangeSink sink;
};

TEST_F(ListDownload, SendsTheRequestAndHandsOverTheWholeListInArrivalOrder) {
    // The header ends exactly at the end of a block, and a record is cut across two.
    ScriptedListServer server({{{kOkHeader, kList.substr(0, 40), kList.substr(40)}}});
    EXPECT_EQ(run(server, "p w&"), DownloadOutcome::Finished);
    const std::string host = "127.0.0.1:" + std::to_string(server.address().port);
    EXPECT_EQ(server.requests(),
              std::vector<std::string>{"GET http://" + host +
                                       "/Reef-Update.php?Info1=p%20w%26"
                                       "&Info2=Reef_Frend&Info3=Update HTTP/1.0\r\n\r\n"});
    ASSERT_EQ(sink.lists().size(), 1u);
    EXPECT_EQ(sink.lists()[0].at(0).Name + sink.lists()[0].at(1).Name, "AnnaPaul");
    EXPECT_EQ(sink.calls("1: "), std::vector<std::string>{kAttempts[0]});
    EXPECT_EQ(sink.calls("0: "), std::vector<std::string>{"letzte Aktualisierung: 10:05:00"});
    const auto status = sink.calls("2: ");
    EXPECT_EQ(std::vector<std::string>(status.begin(), status.begin() + 2),
              (std::vector<std::string>{"Status: Verbindungsaufbau", "Status: warte auf Antwort"}));
    EXPECT_EQ(std::vector<std::string>(status.end() - 3, status.end()),
              (std::vector<std::string>{
                  "Status: Daten empfangen: " + std::to_string(kList.size() - 10) + " Byte",
                  "Status: Daten auswerten", "Status: Fertig!"}));
}

struct BodyCase {
    const char* name;
    std::vector<std::string> pieces;
    std::size_t rows;
};
struct ListDownloadBodies : ListDownload, ::testing::WithParamInterface<BodyCase> {};

TEST_P(ListDownloadBodies, FinishWithTheList) {
    ScriptedListServer server({{GetParam().pieces}});
    EXPECT_EQ(run(server), DownloadOutcome::Finished);
    ASSERT_EQ(sink.lists().size(), 1u);
    EXPECT_EQ(sink.lists()[0].size(), GetParam().rows);
    EXPECT_EQ(sink.lastStatus(2), "Status: Fertig!");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListDownloadBodies,
    ::testing::Values(
        BodyCase{"Empty", {kOkHeader + "|>Update<|<>end|<>"}, 0},
        BodyCase{"TwoHundredInAHeaderValue", {"HTTP/1.0 404 No\r\nX: 200 \r\n\r\n" + kList}, 2},
        BodyCase{"BlankLineCut", {"HTTP/1.0 200 OK\r\n\r", "\n" + kList}, 2},
        BodyCase{"MarkerCut", {kOkHeader + "|>Upd", "ate<|<>end|<>"}, 0},
        BodyCase{"EndMarkerCut", {kOkHeader + kList.substr(0, kList.size() - 3), "|<>"}, 2}),
    [](const auto& info) { return std::string(info.param.name); });

struct FailureCase {
    const char* name;
    ScriptedAnswer answer;
    std::string status;
    std::string box = {}; // shown at each attempt when not empty
    bool waitsForTimeLimit = false;
};
struct ListDownloadFailures : ListDownload, ::testing::WithParamInterface<FailureCase> {};

TEST_P(ListDownloadFailures, TryThreeTimesAndHandNothingOver) {
    const FailureCase& c = GetParam();
    ScriptedListServer server({c.answer, c.answer, c.answer});
    std::optional<ClockTicker> ticker;
    if (c.waitsForTimeLimit) {
        ticker.emplace(clock);
    }
    EXPECT_EQ(run(server), DownloadOutcome::Finished);
    EXPECT_TRUE(server.clientClosedAll());
    EXPECT_EQ(sink.calls("1: "), kAttempts);
    EXPECT_EQ(sink.lastStatus(2), c.status);
    EXPECT_EQ(sink.calls("box: "), std::vector<std::string>(c.box.empty() ? 0 : 3, c.box));
    EXPECT_TRUE(sink.lists().empty());
    EXPECT_TRUE(sink.calls("0: ").empty());
}

const std::string kNotFound = "HTTP/1.0 404 Not Found\r\n\r\nweg";
const std::string kNoScript = "Status: Fehler (Script nicht erreichbar)";
const std::string kTimeout = "Status: Fehler (Timeout)";
const std::string kFailed = "Status: Fehler!";

INSTANTIATE_TEST_SUITE_P(
    Rows, ListDownloadFailures,
    ::testing::Values(
        FailureCase{"NoTwoHundred", {{kNotFound}}, kNoScript, kNotFound},
        FailureCase{"HeaderCutOff", {{"HTTP/1.0 200 OK\r\n"}}, kNoScript, "HTTP/1.0 200 OK\r\n"},
        FailureCase{"HeaderStalls", {{"HTTP/1.0 200 OK\r\n"}, true}, kTimeout, "", true},
        FailureCase{"HeaderTooLong",
                    {{"HTTP/1.0 200 OK\r\n" + std::string(70000, 'x')}},
                    kNoScript,
                    ("HTTP/1.0 200 OK\r\n" + std::string(4096, 'x')).substr(0, 4096)},
        FailureCase{"UnexpectedBody", okAnswer("<html>"), kFailed, "<html>"},
        FailureCase{"UnexpectedBodyUpTo4KiB", okAnswer(std::string(9000, 'h')), kFailed,
                    std::string(4096, 'h')},
        FailureCase{"Error2", okAnswer("Error2"), "Status: Fehler (DatenBank nicht gefunden)"},
        FailureCase{"Error3HeldOpen",
                    {{kOkHeader, "Error3"}, true},
                    "Status: Fehler (fehlerhafte Abfrage)"},
        FailureCase{"Error10", okAnswer("Error10"), "Status: Fehler (Fatal Error)"},
        FailureCase{"ErrorAndMoreHeldOpen", okAnswer("Error1 ", true), kTimeout, "", true},
        FailureCase{"ErrorAndMoreClosed", okAnswer("Error4"), kFailed},
        FailureCase{"HalfAList", okAnswer(kList.substr(0, 60)), kFailed},
        FailureCase{"LineBreakAfterEndHeldOpen", okAnswer(kList + "\r\n", true), kTimeout, "",
                    true},
        FailureCase{"LineBreakAfterEndClosed", okAnswer(kList + "\n"), kFailed}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ListDownload, WrongPasswordAsksForANewOneAndTheNextAttemptSendsIt) {
    ScriptedListServer server({okAnswer("Error1"), okAnswer(kList)});
    sink.passwords = {"neu"};
    EXPECT_EQ(run(server, "alt"), DownloadOutcome::Finished);
    const auto requests = server.requests();
    EXPECT_NE(requests.at(0).find("Info1=alt&"), std::string::npos);
    EXPECT_NE(requests.at(1).find("Info1=neu&"), std::string::npos);
    const auto calls = sink.calls();
    const auto wrong =
        std::find(calls.begin(), calls.end(), "2: Status: Fehler (falsches Passwort)");
    ASSERT_NE(wrong, calls.end());
    EXPECT_EQ(*(wrong + 1), "password requester");
    EXPECT_EQ(sink.calls("1: ").size(), 2u);
    EXPECT_EQ(sink.lists().size(), 1u);
}

TEST_F(ListDownload, ClosingTheWindowWhileWaitingEndsSilently) {
    ScriptedListServer server({{{}, true}});
    sink.closeWindowAtStatus("Status: warte auf Antwort");
    EXPECT_EQ(run(server), DownloadOutcome::WindowClosed);
    EXPECT_TRUE(server.clientClosedAll());
    EXPECT_EQ(sink.calls().back(), "2: Status: warte auf Antwort");
}

TEST_F(ListDownload, ClosingTheWindowDuringTheListHandsNothingOver) {
    ScriptedListServer server({{{kOkHeader, kList}}});
    sink.closeWindowAtStatus("Status: Daten empfangen");
    EXPECT_EQ(run(server), DownloadOutcome::WindowClosed);
    EXPECT_TRUE(sink.lists().empty());
}

TEST_F(ListDownload, RefusedConnectionGivesNoRetry) {
    PeerListener boundOnly(false);
    EXPECT_EQ(runListDownload({FleetListKind::Enemy, "pw", {"127.0.0.1", boundOnly.port()}, {}},
                              sink, clock),
              DownloadOutcome::NoConnection);
    EXPECT_EQ(sink.calls("1: ").size(), 1u);
    EXPECT_EQ(sink.lastStatus(2), "Status: Fehler (Server nicht gefunden)");
}

TEST_F(ListDownload, AWindowClosedWhileConnectingEndsTheAttemptsSilently) {
    PeerListener boundOnly(false);
    sink.closeWindowAtStatus("Status: Verbindungsaufbau (2/10)");
    EXPECT_EQ(runListDownload({FleetListKind::Enemy, "pw", {"127.0.0.1", boundOnly.port()}, {}},
                              sink, clock),
              DownloadOutcome::WindowClosed);
    EXPECT_EQ(sink.calls().back(), "2: Status: Verbindungsaufbau (2/10)");
    EXPECT_EQ(sink.calls("1: ").size(), 1u) << "no further download attempt";
}

} // namespace
