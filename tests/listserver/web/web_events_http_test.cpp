// The page's live stream over real HTTP: every write to the alliance's lists is heard within
// 2 seconds, whoever made it, with the chat's alert text; the streams are bounded and end with
// their session and with the server.

#include "listserver/web/page_fixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>

using namespace reef::listserver::testing;
using nlohmann::json;

namespace {

using PageEventsTest = PageTest;
using Clock = std::chrono::steady_clock;

constexpr double kPromised = 2.0; // seconds from a write to its event

json helpingEnemy(const std::string& name, int hilfe) {
    return {{"Hilfe", hilfe},       {"Name", name},       {"Basis", "1:2:3"},
            {"Schiffe", 500},       {"Modus", 2},         {"ZielName", "Anna"},
            {"ZielBasis", "4:5:6"}, {"BasisZeit", 49200}, {"Von", "Bert"}};
}

// The data of the next event of that name on the stream, as JSON; null when none came in time.
json nextEvent(StreamingConnection& stream, const std::string& name, double seconds) {
    if (!stream.waitFor("event: " + name + "\ndata: ", seconds))
        return nullptr;
    const std::size_t start = stream.received().rfind("event: " + name + "\ndata: ") +
                              std::string("event: \ndata: ").size() + name.size();
    if (!stream.waitFor("\n\n", seconds))
        return nullptr;
    const std::size_t end = stream.received().find("\n\n", start);
    return json::parse(stream.received().substr(start, end - start));
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST_F(PageEventsTest, EveryWriteIsHeardWithinTwoSecondsWithTheChatsAlertText) {
    const Page page = openPage();
    auto stream = events(page);
    ASSERT_TRUE(stream->waitFor("\r\n\r\n", 5)) << stream->received();
    const HttpAnswer head = stream->answer();
    EXPECT_EQ(head.statusLine.substr(9, 3), "200");
    EXPECT_EQ(head.headers.at("content-type"), "text/event-stream; charset=utf-8");
    EXPECT_FALSE(nextEvent(*stream, "lists", 5).is_null()) << "the versions at once";
    auto other = events(openPage(kOtherPassword));
    ASSERT_FALSE(nextEvent(*other, "lists", 5).is_null());

    std::int64_t enemyId = 0;
    struct Case {
        const char* what;
        std::function<void()> write;
        const char* list;                 // of the alert, nullptr when there is none
        std::string text;                 // the alert's first line
        const std::int64_t* id = nullptr; // the alert's entry, when the test knows it
    };
    const Case cases[] = {
        {"program, new enemy entry",
         [&] { ASSERT_EQ(submit("Reef_Enemy", "New", enemyEntry("Klaus_Peter")), "ready"); },
         "Reef_Enemy", utf8(u8"Neue gegnerische Flotte: Klaus_Peter → Anna")},
        {"page, new allied entry without a call for help",
         [&] {
             ASSERT_EQ(status(write(page, "Reef_Frend",
                                    {{"Hilfe", 0},
                                     {"Name", "Paul"},
                                     {"Basis", "7:7:7"},
                                     {"Schiffe", 20},
                                     {"ZielName", "Otto"},
                                     {"ZielBasis", "8:8:8"},
                                     {"BasisZeit", 3600}})),
                       201);
         },
         nullptr, ""},
        {"page, new enemy entry",
         [&] {
             HttpAnswer created = write(page, "Reef_Enemy", helpingEnemy("Zorro", 0));
             ASSERT_EQ(status(created), 201);
             enemyId = json::parse(created.body)["id"];
         },
         "Reef_Enemy", utf8(u8"Neue gegnerische Flotte: Zorro → Anna")},
        {"page, an enemy entry's help becomes Achtung",
         [&] {
             ASSERT_EQ(status(write(page, "Reef_Enemy", helpingEnemy("Zorro", 3), enemyId)), 200);
         },
         "Reef_Enemy", "Gegnerische Flotten: Achtung bei Anna", &enemyId},
        {"program, an allied entry calls for help",
         [&] {
             ASSERT_EQ(submit("Reef_Frend", "Change",
                              "&Hilfe=1&Name=Paul&Allianz=&Basis=7:7:7&Punkte=&Modus=1&Schiffe=20"
                              "&ZielName=Otto&ZielAllianz=&ZielBasis=8:8:8&ZielPunkte="
                              "&BasisZeit=3600&IDW=4&BasisZeitW=3600"),
                       "ready");
         },
         "Reef_Frend", utf8(u8"Verbündete Flotten: Hilfe von Paul")},
        {"another server process on the same database",
         [&] {
             ServerProcess second(db_, dir_.file("second.log"));
             ASSERT_TRUE(second.started()) << second.log();
             ASSERT_EQ(get(second.port(), target("Reef_Enemy", "New", enemyEntry("Fremd"))).body,
                       "ready");
         },
         "Reef_Enemy", utf8(u8"Neue gegnerische Flotte: Fremd → Anna")},
    };
    for (const Case& each : cases) {
        each.write();
        const auto written = Clock::now();
        const json lists = nextEvent(*stream, "lists", kPromised);
        ASSERT_FALSE(lists.is_null()) << each.what << ": " << stream->received();
        EXPECT_LE(secondsSince(written), kPromised) << each.what;
        EXPECT_TRUE(lists["versions"].contains("Reef_Enemy")) << lists.dump();
        if (!each.list)
            continue;
        const json alert = nextEvent(*stream, "alert", 0.5);
        ASSERT_FALSE(alert.is_null()) << each.what << ": " << stream->received();
        EXPECT_EQ(alert["list"], each.list) << each.what;
        EXPECT_GT(alert["id"].get<std::int64_t>(), 0) << each.what;
        if (each.id) {
            EXPECT_EQ(alert["id"], *each.id) << each.what;
        }
        const std::string text = alert["text"];
        EXPECT_EQ(text.substr(0, text.find('\n')), each.text) << each.what;
        // A call for help carries the sentence of its help status on a line of its own.
        EXPECT_EQ(text.find('\n') != std::string::npos, !each.text.starts_with("Neue "))
            << each.what;
    }
    // The other alliance heard nothing of it.
    EXPECT_TRUE(nextEvent(*other, "lists", 0.5).is_null()) << other->received();
    EXPECT_EQ(other->received().find("alert"), std::string::npos);
}

TEST_F(PageEventsTest, StreamsAreBoundedPerSessionAndInAll) {
    server_.reset();
    startServer({"--max-streams", "3", "--connections-per-address", "2"});
    const Page page = openPage();
    auto first = events(page);
    auto second = events(page);
    ASSERT_FALSE(nextEvent(*first, "lists", 5).is_null());
    ASSERT_FALSE(nextEvent(*second, "lists", 5).is_null());
    auto third = events(page);
    ASSERT_TRUE(third->waitFor("\r\n\r\n", 5));
    EXPECT_EQ(third->answer().statusLine.substr(9, 3), "429") << third->received();
    third->waitFor("never", 1);
    EXPECT_NE(third->answer().body.find("Zu viele"), std::string::npos);

    // Streams hold no share of the address's connections: the program still gets its list.
    EXPECT_EQ(download("Reef_Frend").size(), 0u);
    EXPECT_EQ(get(port(), target("Reef_Frend", "Update")).statusLine, "HTTP/1.0 200 OK");

    // A page that went away gives its place back at once, as a reloaded page needs.
    first.reset();
    auto reloaded = events(page);
    EXPECT_FALSE(nextEvent(*reloaded, "lists", 5).is_null()) << reloaded->received();

    // The third stream of the server is the last one.
    const Page other = openPage();
    auto last = events(other);
    EXPECT_FALSE(nextEvent(*last, "lists", 5).is_null()) << last->received();
    auto refused = events(other);
    ASSERT_TRUE(refused->waitFor("\r\n\r\n", 5));
    EXPECT_EQ(refused->answer().statusLine.substr(9, 3), "429");

    // Without a session there is no stream.
    auto anonymous = events(Page{"", ""});
    ASSERT_TRUE(anonymous->waitFor("\r\n\r\n", 5));
    EXPECT_EQ(anonymous->answer().statusLine.substr(9, 3), "401");
}

TEST_F(PageEventsTest, AStreamEndsWithItsSessionAndWithTheServer) {
    // Logged out.
    const Page page = openPage();
    auto stream = events(page);
    ASSERT_FALSE(nextEvent(*stream, "lists", 5).is_null());
    ASSERT_EQ(status(request("POST", "/logout", "", page.cookie)), 303);
    stream->waitFor("never", kPromised);
    EXPECT_TRUE(stream->closed()) << "within 2 s of the logout";

    // A new password for the alliance.
    auto before = events(openPage());
    ASSERT_FALSE(nextEvent(*before, "lists", 5).is_null());
    ASSERT_EQ(
        runListServer({"alliance", "password", "Korallen", "--db", db_}, "pw-neu-neu\n").exitCode,
        0);
    before->waitFor("never", kPromised);
    EXPECT_TRUE(before->closed()) << "within 2 s of the new password";

    // The server stops without waiting for the streams.
    auto open = events(openPage("pw-neu-neu"));
    ASSERT_FALSE(nextEvent(*open, "lists", 5).is_null());
    const auto stopping = Clock::now();
    server_->signal(SIGTERM);
    EXPECT_EQ(server_->wait(), 0);
    EXPECT_LT(secondsSince(stopping), 1.5);
    open->waitFor("never", 1);
    EXPECT_TRUE(open->closed());
}

} // namespace
