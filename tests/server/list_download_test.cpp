// The download against scripted list servers: the request, the body rules, every failure with
// its three attempts, and the ends that are not failures of the server (window closed, no
// connection).

#include "server/list_download.h"
#include "server/scripted_list_server.h"
#include "support/fake_list_exchange_sink.h"
#include "support/stepped_clock.h"

#include "platform/connection/sockets_environment.h"
#include "wire/list_format.h"

#include <gtest/gtest.h>

#include <optional>

REEF_START_SOCKETS_FOR_TESTS;

namespace {

using reef::fleetlists::FleetListKind;
using reef::server::DownloadJob;
using reef::server::DownloadOutcome;
using reef::server::runListDownload;
using namespace reef::testing;

// 10:05:00 on a day in 2024.
constexpr std::int64_t kNow = 19844LL * 86400 + 10 * 3600 + 5 * 60;

std::string record(const std::string& name, const std::string& basisZeit,
                   const std::string& zielZeit = "") {
    std::string text;
    reef::wire::appendRecord(text, {"3", name, "Ally", "1:2:3", "5000000000", "12", "2", "Otto", "",
                                    "4:5:6", "0", "Bert", zielZeit, basisZeit, "36000"});
    return text;
}

const std::string kTwoRecords =
    "|>Update<|" + record("Anna", "43200") + record("Paul", "36000") + "<>end|<>";

class ListDownload : public ::testing::Test {
  protected:
    DownloadOutcome run(ScriptedListServer& server, const std::string& password = "pw") {
        return runListDownload(DownloadJob{FleetListKind::Allied, password, server.address(), {}},
                               sink, clock);
    }
    std::vector<std::string> attemptTexts(int attempts) const {
        const std::vector<std::string> all = {"Liste aktualisieren",
                                              "Liste aktualisieren (Versuch: 2/3)",
                                              "Liste aktualisieren (Versuch: 3/3)"};
        return {all.begin(), all.begin() + attempts};
    }

    SteppedClock clock{kNow, 5000};
    FakeListExchangeSink sink;
};

TEST_F(ListDownload, SendsTheRequestAndHandsOverTheWholeListInArrivalOrder) {
    // The header ends exactly at the end of a piece and a record is cut across pieces.
    ScriptedListServer server({ScriptedAnswer::closing(
        {"HTTP/1.0 200 OK\r\n\r\n", kTwoRecords.substr(0, 40), kTwoRecords.substr(40)})});
    EXPECT_EQ(run(server, "p w&"), DownloadOutcome::Finished);
    EXPECT_EQ(server.requests(),
              std::vector<std::string>{"GET http://" + server.address().host + ":" +
                                       std::to_string(server.address().port) +
                                       "/Reef-Update.php?Info1=p%20w%26&Info2=Reef_Frend&Info3="
                                       "Update HTTP/1.0\r\n\r\n"});
    ASSERT_EQ(sink.lists().size(), 1u);
    const auto rows = sink.lists()[0];
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Name, "Anna");
    EXPECT_EQ(rows[0].Punkte, 5000000000);
    EXPECT_EQ(rows[0].ZielZeit, reef::fleetlists::kNoTime);
    EXPECT_EQ(rows[0].Hilfe, 3); // no target time: never settled
    EXPECT_EQ(rows[1].Name, "Paul");
    EXPECT_EQ(sink.statuses(1), attemptTexts(1));
    EXPECT_EQ(sink.statuses(0), std::vector<std::string>{"letzte Aktualisierung: 10:05:00"});
    const auto status = sink.statuses(2);
    EXPECT_EQ(status.front(), "Status: Verbindungsaufbau");
    EXPECT_EQ(status[1], "Status: warte auf Antwort");
    EXPECT_EQ(status[status.size() - 3],
              "Status: Daten empfangen: " + std::to_string(kTwoRecords.size() - 10) + " Byte");
    EXPECT_EQ(status[status.size() - 2], "Status: Daten auswerten");
    EXPECT_EQ(status.back(), "Status: Fertig!");
    EXPECT_TRUE(sink.errors().empty());
}

struct BodyCase {
    const char* name;
    std::vector<std::string> pieces;
    std::size_t rows;
};

class ListDownloadBodies : public ListDownload, public ::testing::WithParamInterface<BodyCase> {};

TEST_P(ListDownloadBodies, FinishWithTheList) {
    ScriptedListServer server({ScriptedAnswer::closing(GetParam().pieces)});
    EXPECT_EQ(run(server), DownloadOutcome::Finished);
    ASSERT_EQ(sink.lists().size(), 1u);
    EXPECT_EQ(sink.lists()[0].size(), GetParam().rows);
    EXPECT_EQ(sink.lastStatus(2), "Status: Fertig!");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListDownloadBodies,
    ::testing::Values(
        BodyCase{"Empty", {"HTTP/1.0 200 OK\r\n\r\n|>Update<|<>end|<>"}, 0},
        BodyCase{"TwoHundredInAHeaderValue",
                 {"HTTP/1.0 404 Not Found\r\nX-Note: 200 fine\r\n\r\n" + kTwoRecords},
                 2},
        BodyCase{"BlankLineCutBetweenBlocks", {"HTTP/1.0 200 OK\r\n\r", "\n" + kTwoRecords}, 2},
        BodyCase{"MarkerCutBetweenBlocks", {"HTTP/1.0 200 OK\r\n\r\n|>Upd", "ate<|<>end|<>"}, 0},
        BodyCase{"EndMarkerCutBetweenBlocks",
                 {std::string(kOkHeader) + kTwoRecords.substr(0, kTwoRecords.size() - 3),
                  kTwoRecords.substr(kTwoRecords.size() - 3)},
                 2}),
    [](const auto& info) { return std::string(info.param.name); });

struct FailureCase {
    const char* name;
    ScriptedAnswer answer;
    std::string status;
    std::optional<std::string> box; // the message box of each attempt
    bool waitsForTimeLimit = false;
};

class ListDownloadFailures : public ListDownload,
                             public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ListDownloadFailures, TryThreeTimesAndHandNothingOver) {
    const FailureCase& c = GetParam();
    ScriptedListServer server({c.answer, c.answer, c.answer});
    std::optional<ClockTicker> ticker;
    if (c.waitsForTimeLimit) {
        ticker.emplace(clock);
    }
    EXPECT_EQ(run(server), DownloadOutcome::Finished);
    EXPECT_EQ(server.requests().size(), 3u);
    EXPECT_TRUE(server.clientClosedAll());
    EXPECT_EQ(sink.statuses(1), attemptTexts(3));
    EXPECT_EQ(sink.lastStatus(2), c.status);
    EXPECT_TRUE(sink.lists().empty());
    EXPECT_TRUE(sink.statuses(0).empty());
    EXPECT_EQ(sink.errors(),
              c.box ? std::vector<std::string>(3, *c.box) : std::vector<std::string>());
}

const std::string kNotFound = "HTTP/1.0 404 Not Found\r\n\r\nweg";

INSTANTIATE_TEST_SUITE_P(
    Rows, ListDownloadFailures,
    ::testing::Values(
        FailureCase{"NoTwoHundred", ScriptedAnswer::closing({kNotFound}),
                    "Status: Fehler (Script nicht erreichbar)", kNotFound},
        FailureCase{"HeaderCutOff", ScriptedAnswer::closing({"HTTP/1.0 200 OK\r\n"}),
                    "Status: Fehler (Script nicht erreichbar)", "HTTP/1.0 200 OK\r\n"},
        FailureCase{"HeaderStalls", ScriptedAnswer::holding({"HTTP/1.0 200 OK\r\n"}),
                    "Status: Fehler (Timeout)", std::nullopt, true},
        FailureCase{"HeaderTooLong",
                    ScriptedAnswer::closing({"HTTP/1.0 200 OK\r\n" + std::string(70000, 'x')}),
                    "Status: Fehler (Script nicht erreichbar)",
                    ("HTTP/1.0 200 OK\r\n" + std::string(4096, 'x')).substr(0, 4096)},
        FailureCase{"UnexpectedBody", okAnswer("<html>"), "Status: Fehler!", "<html>"},
        FailureCase{"UnexpectedBodyShownUpTo4KiB", okAnswer(std::string(9000, 'h')),
                    "Status: Fehler!", std::string(4096, 'h')},
        FailureCase{"Error2", okAnswer("Error2"), "Status: Fehler (DatenBank nicht gefunden)",
                    std::nullopt},
        FailureCase{"Error3HeldOpen", ScriptedAnswer::holding({std::string(kOkHeader), "Error3"}),
                    "Status: Fehler (fehlerhafte Abfrage)", std::nullopt},
        FailureCase{"Error10", okAnswer("Error10"), "Status: Fehler (Fatal Error)", std::nullopt},
        FailureCase{"ErrorPlusSomethingHeldOpen",
                    ScriptedAnswer::holding({std::string(kOkHeader) + "Error1 "}),
                    "Status: Fehler (Timeout)", std::nullopt, true},
        FailureCase{"ErrorPlusSomethingClosed", okAnswer("Error4"), "Status: Fehler!",
                    std::nullopt},
        FailureCase{"HalfAList", okAnswer(kTwoRecords.substr(0, 60)), "Status: Fehler!",
                    std::nullopt},
        FailureCase{"LineBreakAfterTheEndMarkerHeldOpen",
                    ScriptedAnswer::holding({std::string(kOkHeader) + kTwoRecords + "\r\n"}),
                    "Status: Fehler (Timeout)", std::nullopt, true},
        FailureCase{"LineBreakAfterTheEndMarkerClosed", okAnswer(kTwoRecords + "\n"),
                    "Status: Fehler!", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ListDownload, WrongPasswordAsksForANewOneAndTheNextAttemptSendsIt) {
    ScriptedListServer server({okAnswer("Error1"), okAnswer(kTwoRecords)});
    sink.answerPasswordsWith({"neu"});
    EXPECT_EQ(run(server, "alt"), DownloadOutcome::Finished);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[0].find("Info1=alt&"), std::string::npos);
    EXPECT_NE(requests[1].find("Info1=neu&"), std::string::npos);
    const auto calls = sink.calls();
    const auto wrong =
        std::find(calls.begin(), calls.end(), "status 2: Status: Fehler (falsches Passwort)");
    ASSERT_NE(wrong, calls.end());
    EXPECT_EQ(*(wrong + 1), "password requester");
    EXPECT_EQ(sink.statuses(1), attemptTexts(2));
    EXPECT_EQ(sink.lists().size(), 1u);
}

TEST_F(ListDownload, ClosingTheWindowWhileWaitingEndsSilently) {
    ScriptedListServer server({ScriptedAnswer::holding({})});
    sink.onStatus([](FakeListExchangeSink& s, int, const std::string& text) {
        if (text == "Status: warte auf Antwort") {
            s.closeWindow();
        }
    });
    EXPECT_EQ(run(server), DownloadOutcome::WindowClosed);
    EXPECT_TRUE(server.clientClosedAll());
    EXPECT_EQ(sink.lastStatus(2), "Status: warte auf Antwort");
    EXPECT_EQ(sink.statuses(1), attemptTexts(1));
}

TEST_F(ListDownload, ClosingTheWindowDuringTheListHandsNothingOver) {
    ScriptedListServer server({ScriptedAnswer::closing({std::string(kOkHeader), kTwoRecords})});
    sink.onStatus([](FakeListExchangeSink& s, int, const std::string& text) {
        if (text.starts_with("Status: Daten empfangen")) {
            s.closeWindow();
        }
    });
    EXPECT_EQ(run(server), DownloadOutcome::WindowClosed);
    EXPECT_TRUE(sink.lists().empty());
    EXPECT_TRUE(sink.statuses(0).empty());
}

TEST_F(ListDownload, RefusedConnectionGivesNoRetry) {
    PeerListener boundOnly(false);
    EXPECT_EQ(runListDownload(
                  DownloadJob{FleetListKind::Enemy, "pw", {"127.0.0.1", boundOnly.port()}, {}},
                  sink, clock),
              DownloadOutcome::NoConnection);
    EXPECT_EQ(sink.statuses(1), attemptTexts(1));
    EXPECT_EQ(sink.statuses(2).size(), 11u);
    EXPECT_EQ(sink.lastStatus(2), "Status: Fehler (Server nicht gefunden)");
}

} // namespace
