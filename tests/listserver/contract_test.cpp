// The list server over real HTTP on loopback, as the desktop program meets it.

#include "listserver/contract_fixture.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace reef::listserver::testing;

namespace {

using ContractTest = ListServerTest;

// A connected socket to the server on loopback, or -1.
int openClient(std::uint16_t port, const char* source = nullptr) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (source) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        ::inet_pton(AF_INET, source, &local.sin_addr);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            ::close(fd);
            return -1;
        }
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// How far apart two times are on a 24-hour clock face.
std::int64_t secondsApartOnTheClock(std::int64_t a, std::int64_t b) {
    std::int64_t apart = ((a - b) % 86400 + 86400) % 86400;
    return std::min(apart, 86400 - apart);
}

TEST_F(ContractTest, EmptyListIsTheFrameAloneWithHttp10HeadersAndClose) {
    HttpAnswer answer = get(port(), target("Reef_Frend", "Update"));
    ASSERT_TRUE(answer.received);
    EXPECT_EQ(answer.statusLine, "HTTP/1.0 200 OK");
    EXPECT_EQ(answer.headers["connection"], "close");
    EXPECT_EQ(answer.headers["content-length"], std::to_string(answer.body.size()));
    EXPECT_EQ(answer.body, "|>Update<|<>end|<>");
}

TEST_F(ContractTest, NewThenUpdateReturnsEveryFieldInWireOrder) {
    std::int64_t before = localWallNow();
    ASSERT_EQ(submit("Reef_Enemy", "New", enemyEntry()), "ready");
    std::int64_t after = localWallNow();

    auto records = download("Reef_Enemy");
    ASSERT_EQ(records.size(), 1u);
    const auto& r = records[0];
    EXPECT_EQ(r[Hilfe], "1");
    EXPECT_EQ(r[Name], "Klaus_Peter") << "\"_\" is stored as it came";
    EXPECT_EQ(r[Allianz], "Haie");
    EXPECT_EQ(r[Basis], "1:2:3");
    EXPECT_EQ(r[Punkte], "1234567");
    EXPECT_EQ(r[Schiffe], "500");
    EXPECT_EQ(r[Modus], "2");
    EXPECT_EQ(r[ZielName], "Anna");
    EXPECT_EQ(r[ZielAllianz], "Korallen");
    EXPECT_EQ(r[ZielBasis], "4:5:6");
    EXPECT_EQ(r[ZielPunkte], "7654321");
    EXPECT_EQ(r[Von], "Bert");
    EXPECT_EQ(r[ZielZeit], "48000");
    EXPECT_EQ(r[BasisZeit], "49200");
    // The time of day of the server's local wall clock.
    std::int64_t updated = std::stoll(r[UpdateZeit]);
    EXPECT_GE(updated, 0);
    EXPECT_LE(updated, 86399);
    EXPECT_LE(secondsApartOnTheClock(updated, before), after - before + 60);
}

TEST_F(ContractTest, TheTimeZoneOptionSetsTheClockOfUpdateZeit) {
    server_->signal(SIGTERM);
    ASSERT_EQ(server_->wait(), 0);
    startServer({"--timezone", "Etc/GMT-9"}); // nine hours east of UTC, all year
    std::int64_t before = static_cast<std::int64_t>(std::time(nullptr));
    ASSERT_EQ(submit("Reef_Frend", "New", alliedEntry()), "ready");
    std::int64_t after = static_cast<std::int64_t>(std::time(nullptr));
    auto records = download("Reef_Frend");
    ASSERT_EQ(records.size(), 1u);
    std::int64_t updated = std::stoll(records[0][UpdateZeit]);
    EXPECT_LE(secondsApartOnTheClock(updated, before + 9 * 3600), after - before + 60);
}

TEST_F(ContractTest, KeysLeftOutOfANewEntryAreEmptyOrZeroAndZielZeitEmpty) {
    ASSERT_EQ(
        submit("Reef_Frend", "New", "&Name=Paul&Basis=1&ZielName=Otto&ZielBasis=2&BasisZeit=0"),
        "ready");
    auto records = download("Reef_Frend");
    ASSERT_EQ(records.size(), 1u);
    const auto& r = records[0];
    EXPECT_EQ(r[Hilfe], "0");
    EXPECT_EQ(r[Allianz], "");
    EXPECT_EQ(r[Punkte], "0");
    EXPECT_EQ(r[Schiffe], "0");
    EXPECT_EQ(r[Modus], "0");
    EXPECT_EQ(r[ZielAllianz], "");
    EXPECT_EQ(r[ZielPunkte], "0");
    EXPECT_EQ(r[Von], "");
    EXPECT_EQ(r[ZielZeit], "") << "no target time given";
    EXPECT_EQ(r[BasisZeit], "0");
}

TEST_F(ContractTest, OriginFormAndAbsoluteFormWithPortAreTheSameScript) {
    ASSERT_EQ(body("/Reef-Update.php?Info1=" + kPassword + "&Info2=Reef_Frend&Info3=New" +
                   alliedEntry("Origin")),
              "ready");
    ASSERT_EQ(body("http://127.0.0.1:80/Reef-Update.php?Info1=" + kPassword +
                   "&Info2=Reef_Frend&Info3=New" + alliedEntry("Absolute")),
              "ready");
    HttpAnswer viaOrigin =
        get(port(), "/Reef-Update.php?Info1=" + kPassword + "&Info2=Reef_Frend&Info3=Update");
    HttpAnswer viaAbsolute = get(port(), target("Reef_Frend", "Update"));
    EXPECT_EQ(viaOrigin.body, viaAbsolute.body);
    auto records = parseListBody(viaOrigin.body);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0][Name], "Origin");
    EXPECT_EQ(records[1][Name], "Absolute");
}

TEST_F(ContractTest, ValuesArePercentDecodedWhileUnderscorePlusAndRawBytesStay) {
    // "%41%42" is AB, "%E4" the byte of ä, a raw 0xFC byte (ü as the desktop program sends
    // it) stays, "_" and "+" stay, a "%" without two hex digits stays.
    ASSERT_EQ(submit("Reef_Enemy", "New",
                     "&Name=%41%42_x+y&Allianz=100%&Basis=%E4\xFC&ZielName=%zz&ZielBasis=1#2"
                     "&BasisZeit=1200&Von=%42ert"),
              "ready");
    auto records = download("Reef_Enemy");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0][Name], "AB_x+y");
    EXPECT_EQ(records[0][Allianz], "100%");
    EXPECT_EQ(records[0][Basis], "\xE4\xFC");
    EXPECT_EQ(records[0][ZielName], "%zz");
    EXPECT_EQ(records[0][ZielBasis], "1#2") << "a \"#\" the desktop program sends is no fragment";
    EXPECT_EQ(records[0][Von], "Bert");
}

TEST_F(ContractTest, EachListAndEachAllianceIsSeparate) {
    ASSERT_EQ(submit("Reef_Frend", "New", alliedEntry("Freund")), "ready");
    ASSERT_EQ(submit("Reef_Enemy", "New", enemyEntry("Feind")), "ready");
    ASSERT_EQ(submit("Reef_Frend", "New", alliedEntry("HaiFreund"), kOtherPassword), "ready");

    auto allied = download("Reef_Frend");
    auto enemy = download("Reef_Enemy");
    auto otherAllied = download("Reef_Frend", kOtherPassword);
    auto otherEnemy = download("Reef_Enemy", kOtherPassword);
    ASSERT_EQ(allied.size(), 1u);
    EXPECT_EQ(allied[0][Name], "Freund");
    ASSERT_EQ(enemy.size(), 1u);
    EXPECT_EQ(enemy[0][Name], "Feind");
    ASSERT_EQ(otherAllied.size(), 1u);
    EXPECT_EQ(otherAllied[0][Name], "HaiFreund");
    EXPECT_TRUE(otherEnemy.empty());
}

TEST_F(ContractTest, ErrorWordsForPasswordAndQuery) {
    EXPECT_EQ(body(target("Reef_Frend", "Update", "", "wrong")), "Error1");
    EXPECT_EQ(body(target("Reef_Frend", "New", alliedEntry(), "wrong")), "Error1");
    EXPECT_EQ(body(target("Reef_Frend", "Update", "", "")), "Error1");

    EXPECT_EQ(body("/Reef-Update.php?Info2=Reef_Frend&Info3=Update"), "Error3");
    EXPECT_EQ(body("/Reef-Update.php?Info1=" + kPassword + "&Info3=Update"), "Error3");
    EXPECT_EQ(body("/Reef-Update.php?Info1=" + kPassword + "&Info2=Reef_Frend"), "Error3");
    EXPECT_EQ(body(target("Reef_Friends", "Update")), "Error3");
    EXPECT_EQ(body(target("Reef_Frend", "Delete")), "Error3");
    EXPECT_EQ(body(target("Reef_Frend", "update")), "Error3") << "operations are case-sensitive";
}

TEST_F(ContractTest, OtherPathsAndMethodsAreNotTheScript) {
    HttpAnswer other =
        get(port(), "/index.php?Info1=" + kPassword + "&Info2=Reef_Frend&Info3=Update");
    EXPECT_EQ(other.statusLine.substr(0, 12), "HTTP/1.0 404");
    HttpAnswer root = get(port(), "http://reef.example/robots.txt");
    EXPECT_EQ(root.statusLine.substr(0, 12), "HTTP/1.0 404");
    HttpAnswer post = parseAnswer(
        exchange(port(), "POST " + target("Reef_Frend", "Update") + " HTTP/1.0\r\n\r\n"));
    EXPECT_TRUE(post.received);
    EXPECT_EQ(post.statusLine.find(" 200 "), std::string::npos);
    HttpAnswer head = parseAnswer(exchange(
        port(), "HEAD " + target("Reef_Frend", "New", alliedEntry()) + " HTTP/1.0\r\n\r\n"));
    EXPECT_TRUE(head.received);
    EXPECT_EQ(head.statusLine.find(" 200 "), std::string::npos);
    EXPECT_TRUE(download("Reef_Frend").empty()) << "HEAD stores nothing";
}

TEST_F(ContractTest, DatabaseHeldByAnotherProcessGivesError2AndStoresNothing) {
    {
        DatabaseBlocker blocker(*database_);
        EXPECT_EQ(submit("Reef_Frend", "New", alliedEntry()), "Error2");
    }
    EXPECT_TRUE(download("Reef_Frend").empty());
    EXPECT_EQ(submit("Reef_Frend", "New", alliedEntry()), "ready") << "usable again";
}

TEST_F(ContractTest, ChangeReplacesTheOneMatchKeepingOnlyALeftOutHelpCode) {
    ASSERT_EQ(submit("Reef_Enemy", "New", enemyEntry("Klaus", "49200")), "ready");
    ASSERT_EQ(submit("Reef_Enemy", "New", enemyEntry("Another", "49200")), "ready");
    auto before = download("Reef_Enemy");
    ASSERT_EQ(before.size(), 2u);
    ASSERT_EQ(before[0][ZielZeit], "48000");

    // The desktop program's change: no Hilfe (nothing selected), no ZielZeit (the field
    // "am Ziel" emptied), Modus before Schiffe, IDW = length of the old name "Klaus".
    ASSERT_EQ(submit("Reef_Enemy", "Change",
                     "&Name=Klausi&Allianz=&Basis=1:2:4&Punkte=&Modus=1&Schiffe=700"
                     "&ZielName=Anna&ZielAllianz=&ZielBasis=4:5:6&ZielPunkte=1&BasisZeit=50400"
                     "&Von=Bert&IDW=5&BasisZeitW=49200"),
              "ready");
    auto after = download("Reef_Enemy");
    ASSERT_EQ(after.size(), 2u);
    const auto& changed = after[0];
    EXPECT_EQ(changed[Name], "Klausi");
    EXPECT_EQ(changed[Hilfe], "1") << "left out: kept";
    EXPECT_EQ(changed[ZielZeit], "") << "left out: the target time is cleared";
    EXPECT_EQ(changed[Allianz], "") << "sent empty: emptied";
    EXPECT_EQ(changed[Punkte], "0");
    EXPECT_EQ(changed[Basis], "1:2:4");
    EXPECT_EQ(changed[Modus], "1");
    EXPECT_EQ(changed[Schiffe], "700");
    EXPECT_EQ(changed[ZielPunkte], "1");
    EXPECT_EQ(changed[BasisZeit], "50400");
    EXPECT_EQ(after[1], before[1]) << "the other entry is untouched";

    // A change that brings a help code and a target time stores both.
    ASSERT_EQ(submit("Reef_Enemy", "Change",
                     "&Hilfe=4&Name=Klausi&Allianz=&Basis=1:2:4&Punkte=&Modus=1&Schiffe=700"
                     "&ZielName=Anna&ZielAllianz=&ZielBasis=4:5:6&ZielPunkte=1&BasisZeit=50400"
                     "&Von=Bert&ZielZeit=51600&IDW=6&BasisZeitW=50400"),
              "ready");
    auto again = download("Reef_Enemy");
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again[0][Hilfe], "4");
    EXPECT_EQ(again[0][ZielZeit], "51600");
}

TEST_F(ContractTest, ChangeMatchingSeveralEntriesTakesOnlyTheOneWithTheNewName) {
    // Same name length and return time: "Anna" and "Bert".
    ASSERT_EQ(submit("Reef_Frend", "New", alliedEntry("Anna", "3600")), "ready");
    ASSERT_EQ(submit("Reef_Frend", "New", alliedEntry("Bert", "3600")), "ready");
    ASSERT_EQ(submit("Reef_Frend", "Change",
                     "&Hilfe=0&Name=Bert&Allianz=&Basis=9:9:9&Punkte=&Modus=0&Schiffe=1"
                     "&ZielName=Otto&ZielAllianz=&ZielBasis=8:8:8&ZielPunkte=&BasisZeit=4800"
                     "&IDW=4&BasisZeitW=3600"),
              "ready");
    auto records = download("Reef_Frend");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0][Name], "Anna");
    EXPECT_EQ(records[0][Basis], "7:7:7") << "Anna untouched";
    EXPECT_EQ(records[1][Name], "Bert");
    EXPECT_EQ(records[1][Basis], "9:9:9");
    EXPECT_EQ(records[1][BasisZeit], "4800");
}

TEST_F(ContractTest, ChangeThatIsNotClearChangesNothing) {
    ASSERT_EQ(submit("Reef_Frend", "New", alliedEntry("Anna", "3600")), "ready");
    ASSERT_EQ(submit("Reef_Frend", "New", alliedEntry("Bert", "3600")), "ready");
    ASSERT_EQ(submit("Reef_Frend", "New", alliedEntry("Bert", "3600")), "ready");
    auto before = download("Reef_Frend");
    const std::string change = "&Name=XXXX&Basis=9&ZielName=Otto&ZielBasis=8&BasisZeit=0";
    // Several match and none has the new name.
    EXPECT_EQ(submit("Reef_Frend", "Change", change + "&IDW=4&BasisZeitW=3600"), "false");
    // Several match and two have the new name.
    EXPECT_EQ(submit("Reef_Frend", "Change",
                     "&Name=Bert&Basis=9&ZielName=Otto&ZielBasis=8&BasisZeit=0&IDW=4"
                     "&BasisZeitW=3600"),
              "false");
    // None matches: other length, other time.
    EXPECT_EQ(submit("Reef_Frend", "Change", change + "&IDW=5&BasisZeitW=3600"), "false");
    EXPECT_EQ(submit("Reef_Frend", "Change", change + "&IDW=4&BasisZeitW=4800"), "false");
    // The key itself is missing or broken.
    EXPECT_EQ(submit("Reef_Frend", "Change", change + "&BasisZeitW=3600"), "false");
    EXPECT_EQ(submit("Reef_Frend", "Change", change + "&IDW=4"), "false");
    EXPECT_EQ(submit("Reef_Frend", "Change", change + "&IDW=x&BasisZeitW=3600"), "false");
    EXPECT_EQ(download("Reef_Frend"), before);
}

struct BadInput {
    const char* what;
    std::string keys; // an enemy entry
};

TEST_F(ContractTest, EveryBadInputGetsFalseAndChangesNothing) {
    const std::string good = enemyEntry();
    auto without = [&](const std::string& key) {
        std::string keys = good;
        std::size_t at = keys.find("&" + key + "=");
        std::size_t end = keys.find('&', at + 1);
        keys.erase(at, end == std::string::npos ? std::string::npos : end - at);
        return keys;
    };
    auto with = [&](const std::string& key, const std::string& value) {
        return without(key) + "&" + key + "=" + value;
    };
    const std::vector<BadInput> cases = {
        {"Name missing", without("Name")},
        {"Name empty", with("Name", "")},
        {"Basis missing", without("Basis")},
        {"ZielName missing", without("ZielName")},
        {"ZielBasis missing", without("ZielBasis")},
        {"BasisZeit missing", without("BasisZeit")},
        {"BasisZeit empty", with("BasisZeit", "")},
        {"Von missing in the enemy list", without("Von")},
        {"Hilfe 6", with("Hilfe", "6")},
        {"Hilfe -1 (nothing selected)", with("Hilfe", "-1")},
        {"Modus 3", with("Modus", "3")},
        {"Modus -1", with("Modus", "-1")},
        {"BasisZeit 86400", with("BasisZeit", "86400")},
        {"BasisZeit -1", with("BasisZeit", "-1")},
        {"ZielZeit 86400", with("ZielZeit", "86400")},
        {"ZielZeit -1200", with("ZielZeit", "-1200")},
        {"BasisZeit not a number", with("BasisZeit", "12:00")},
        {"Punkte not a number", with("Punkte", "1.234")},
        {"Name with |>", with("Name", "a|>b")},
        {"Name with <|", with("Name", "a<|b")},
        {"Name beginning with >", with("Name", "%3Ex")},
        {"ZielBasis that is only >", with("ZielBasis", ">")},
        {"Von beginning with >", with("Von", ">Bert")},
        {"Von with the end marker", with("Von", "x<>end|<>")},
        {"Basis with CR", with("Basis", "1%0D2")},
        {"Basis with LF", with("Basis", "1%0A2")},
        {"Allianz with NUL", with("Allianz", "a%00b")},
        {"Name with TAB", with("Name", "a%09b")},
        {"Name with ESC", with("Name", "%1B[31mred")},
        {"Von ending in DEL", with("Von", "Anna%7F")},
        {"Punkte signed", with("Punkte", "-5")},
        {"Schiffe with a plus", with("Schiffe", "+5")},
        {"ZielPunkte signed", with("ZielPunkte", "-0")},
        {"ZielName of 101 bytes", with("ZielName", std::string(101, 'z'))},
        {"Von of 101 bytes after decoding", with("Von", "%41" + std::string(100, 'v'))},
    };
    for (const BadInput& bad : cases)
        EXPECT_EQ(submit("Reef_Enemy", "New", bad.keys), "false") << bad.what;
    EXPECT_TRUE(download("Reef_Enemy").empty());

    // The same values refused in a change, too.
    ASSERT_EQ(submit("Reef_Enemy", "New", good), "ready");
    auto before = download("Reef_Enemy");
    for (const BadInput& bad : cases)
        EXPECT_EQ(submit("Reef_Enemy", "Change", bad.keys + "&IDW=11&BasisZeitW=49200"), "false")
            << bad.what;
    EXPECT_EQ(download("Reef_Enemy"), before);

    // The limits themselves are fine, and the allied list needs no Von.
    EXPECT_EQ(
        submit("Reef_Enemy", "New", with("ZielName", std::string(100, 'z')) + "&Hilfe=5&Modus=0"),
        "ready");
    EXPECT_EQ(submit("Reef_Enemy", "New", with("BasisZeit", "86399")), "ready");
    EXPECT_EQ(submit("Reef_Frend", "New", alliedEntry()), "ready");
}

TEST_F(ContractTest, EveryStoredValueReadsBackAsItselfByTheDesktopProgramsRule) {
    // Values near the framing that are stored: each must come back whole in its own field,
    // and no later field or record may shift.
    const std::vector<std::string> values = {"a>",   "a|", "|",      "<",   "a<",    "a<>b",
                                             "x_>y", "|<", "%3C%3E", "-->", "a<>end"};
    for (const std::string& value : values) {
        ASSERT_EQ(submit("Reef_Enemy", "New",
                         "&Hilfe=2&Name=" + value + "&Allianz=" + value + "&Basis=" + value +
                             "&Punkte=5&Schiffe=6&Modus=1&ZielName=" + value +
                             "&ZielAllianz=" + value + "&ZielBasis=" + value +
                             "&ZielPunkte=7&BasisZeit=1200&Von=" + value + "&ZielZeit=2400"),
                  "ready")
            << value;
    }
    auto records = download("Reef_Enemy");
    ASSERT_EQ(records.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::string expected = values[i] == "%3C%3E" ? "<>" : values[i];
        for (Field text : {Name, Allianz, Basis, ZielName, ZielAllianz, ZielBasis, Von})
            EXPECT_EQ(records[i][text], expected) << "field " << text;
        EXPECT_EQ(records[i][Hilfe], "2");
        EXPECT_EQ(records[i][ZielPunkte], "7");
        EXPECT_EQ(records[i][ZielZeit], "2400");
        EXPECT_EQ(records[i][BasisZeit], "1200");
    }
}

TEST_F(ContractTest, AFullListTakesNoFurtherEntry) {
    for (int i = 0; i < 2000; ++i)
        ASSERT_EQ(submit("Reef_Frend", "New", alliedEntry("P" + std::to_string(i))), "ready") << i;
    EXPECT_EQ(submit("Reef_Frend", "New", alliedEntry("TooMany")), "false");
    EXPECT_EQ(submit("Reef_Enemy", "New", enemyEntry()), "ready") << "the other list has room";
    auto records = download("Reef_Frend");
    ASSERT_EQ(records.size(), 2000u);
    EXPECT_EQ(records.back()[Name], "P1999");
}

TEST_F(ContractTest, RequestsOver8KiBAreRefused) {
    const std::string padding = "&Pad=";
    std::string near = target("Reef_Frend", "New", alliedEntry("Near") + padding);
    near += std::string(8000 - near.size(), 'p');
    EXPECT_EQ(body(near), "ready") << "unknown keys are ignored; under 8 KiB is fine";

    std::string over = target("Reef_Frend", "New", alliedEntry("Over") + padding);
    over += std::string(9000 - over.size(), 'p');
    HttpAnswer refused = get(port(), over);
    EXPECT_EQ(refused.statusLine.find(" 200 "), std::string::npos) << refused.statusLine;

    HttpAnswer hugeHeader = parseAnswer(
        exchange(port(), "GET " + target("Reef_Frend", "New", alliedEntry("Header")) +
                             " HTTP/1.0\r\nX-Fill: " + std::string(9000, 'h') + "\r\n\r\n"));
    EXPECT_EQ(hugeHeader.statusLine.find(" 200 "), std::string::npos);

    auto records = download("Reef_Frend");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0][Name], "Near");
}

// Connections that sent half a request and wait; closed at the end.
struct IdleClients {
    std::vector<int> fds;
    ~IdleClients() {
        for (int fd : fds)
            ::close(fd);
    }
    void open(std::uint16_t port, const char* source, int count) {
        for (int i = 0; i < count; ++i) {
            int fd = openClient(port, source);
            ASSERT_GE(fd, 0);
            ASSERT_EQ(::send(fd, "GET /", 5, MSG_NOSIGNAL), 5);
            fds.push_back(fd);
        }
    }
};

// True when the server closes the connection without an answer.
bool refusedWithoutAnswer(std::uint16_t port, const char* source) {
    int fd = openClient(port, source);
    if (fd < 0)
        return true;
    timeval limit{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    const std::string request = "GET /Reef-Update.php HTTP/1.0\r\n\r\n";
    (void)::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    char byte;
    ssize_t n = ::recv(fd, &byte, 1, 0);
    int error = errno;
    ::close(fd);
    return n == 0 || (n < 0 && error == ECONNRESET);
}

TEST_F(ContractTest, PastEightConnectionsOfOneAddressItsNextIsRefusedWhileOthersAreServed) {
    IdleClients idle;
    idle.open(port(), "127.0.0.8", 8);
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // all eight accepted
    EXPECT_TRUE(refusedWithoutAnswer(port(), "127.0.0.8"));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(body(target("Reef_Frend", "Update"), "127.0.0.9"), "|>Update<|<>end|<>");
    std::printf("another address answered after %.3f s\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

TEST_F(ContractTest, PastTheTotalOfConnectionsFurtherOnesAreRefused) {
    server_->signal(SIGTERM);
    ASSERT_EQ(server_->wait(), 0);
    startServer({"--max-connections", "10"});
    IdleClients idle;
    idle.open(port(), "127.0.0.10", 8);
    idle.open(port(), "127.0.0.11", 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(refusedWithoutAnswer(port(), "127.0.0.12"));
    for (int fd : idle.fds)
        ::close(fd);
    idle.fds.clear();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(body(target("Reef_Frend", "Update"), "127.0.0.12"), "|>Update<|<>end|<>");
}

TEST_F(ContractTest, PastItsWriteBudgetAnAddressGetsError10WhileDownloadsGoOn) {
    server_->signal(SIGTERM);
    ASSERT_EQ(server_->wait(), 0);
    startServer({"--writes-per-minute", "5"});
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(
            body(target("Reef_Frend", "New", alliedEntry("W" + std::to_string(i))), "127.0.0.13"),
            "ready");
    EXPECT_EQ(body(target("Reef_Frend", "New", alliedEntry("Over")), "127.0.0.13"), "Error10");
    EXPECT_EQ(body(target("Reef_Frend", "New", alliedEntry("Other")), "127.0.0.14"), "ready");
    auto records = parseListBody(body(target("Reef_Frend", "Update"), "127.0.0.13"));
    EXPECT_EQ(records.size(), 6u) << "downloads are not budgeted; the refused entry is missing";
}

TEST_F(ContractTest, AnIdleConnectionIsClosedByTheServer) {
    // Connect, send half a request and nothing more: the server must hang up by itself. The
    // receive limit only keeps a broken server from hanging the test; running into it fails.
    int fd = openClient(port());
    ASSERT_GE(fd, 0);
    timeval limit{60, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    const std::string half = "GET /Reef-Update.php?Info1=";
    ASSERT_EQ(::send(fd, half.data(), half.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(half.size()));
    std::string answer;
    char buffer[512];
    ssize_t n;
    while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
        answer.append(buffer, static_cast<std::size_t>(n));
    int error = n < 0 ? errno : 0;
    ::close(fd);
    EXPECT_TRUE(n == 0 || error == ECONNRESET) << "not closed: " << std::strerror(error);
    EXPECT_EQ(answer.find(" 200 "), std::string::npos);
    EXPECT_EQ(body(target("Reef_Frend", "Update")), "|>Update<|<>end|<>") << "still serving";
}

TEST_F(ContractTest, ASlowTrickleIsCutAfterTheDeadline) {
    // One byte every two seconds never lets the connection fall idle, yet it may not hold
    // the server for longer than its deadline (15 s).
    int fd = openClient(port());
    ASSERT_GE(fd, 0);
    const std::string request = target("Reef_Frend", "Update") + std::string(200, 'x');
    bool cut = false;
    for (std::size_t i = 0; i < request.size() && !cut; ++i) {
        if (::send(fd, &request[i], 1, MSG_NOSIGNAL) != 1) {
            cut = true;
            break;
        }
        pollfd wait{fd, POLLIN, 0};
        if (::poll(&wait, 1, 2000) > 0) {
            char byte;
            cut = ::recv(fd, &byte, 1, 0) <= 0;
        }
    }
    ::close(fd);
    EXPECT_TRUE(cut) << "the server kept a trickling connection open for " << request.size() * 2
                     << " s";
    EXPECT_EQ(body(target("Reef_Frend", "Update")), "|>Update<|<>end|<>");
}

TEST_F(ContractTest, AfterTenWrongPasswordsTheRightOneIsHeldAndThenAnsweredWithTheList) {
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(
            body(target("Reef_Frend", "Update", "", "guess" + std::to_string(i)), "127.0.0.2"),
            "Error1");
    // A member behind the same address: held until the next try, then answered by the
    // password, within the desktop program's 10 s.
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(body(target("Reef_Frend", "Update"), "127.0.0.2"), "|>Update<|<>end|<>");
    double held = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(held, 10.0);
    std::printf("right password after ten wrong ones: answered after %.2f s\n", held);
    // Other addresses are served as before.
    EXPECT_EQ(body(target("Reef_Frend", "Update"), "127.0.0.3"), "|>Update<|<>end|<>");
}

TEST_F(ContractTest, TheFifthHeldRequestOfAClientGetsError10AtOnce) {
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(
            body(target("Reef_Frend", "Update", "", "guess" + std::to_string(i)), "127.0.0.4"),
            "Error1");
    std::vector<std::string> answers(4);
    std::vector<std::thread> waiting;
    for (std::string& answer : answers)
        waiting.emplace_back(
            [&, this] { answer = get(port(), target("Reef_Frend", "Update"), "127.0.0.4").body; });
    // Until all four are held: the server logs no line before it answers.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(body(target("Reef_Frend", "Update"), "127.0.0.4"), "Error10");
    for (std::thread& thread : waiting)
        thread.join();
    for (const std::string& answer : answers)
        EXPECT_EQ(answer, "|>Update<|<>end|<>") << "the held right passwords all get the list";
}

TEST_F(ContractTest, AServerStoppedWhileARequestIsHeldAnswersItAndStopsCleanly) {
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(
            body(target("Reef_Frend", "Update", "", "guess" + std::to_string(i)), "127.0.0.5"),
            "Error1");
    std::string answer;
    std::thread held(
        [&, this] { answer = get(port(), target("Reef_Frend", "Update"), "127.0.0.5").body; });
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    server_->signal(SIGTERM);
    EXPECT_EQ(server_->wait(), 0) << server_->log();
    held.join();
    EXPECT_EQ(answer, "Error10") << server_->log();
}

TEST_F(ContractTest, LogHasOneLinePerRequestAndNeverThePassword) {
    ASSERT_EQ(submit("Reef_Frend", "New", alliedEntry()), "ready");
    ASSERT_EQ(body(target("Reef_Frend", "Update", "", "NotTheRightOne")), "Error1");
    ASSERT_EQ(body(target("Reef_Enemy", "Update")), "|>Update<|<>end|<>");
    server_->signal(SIGTERM);
    EXPECT_EQ(server_->wait(), 0);
    std::string log = server_->log();
    EXPECT_EQ(log.find(kPassword), std::string::npos);
    EXPECT_EQ(log.find("NotTheRightOne"), std::string::npos);
    std::size_t requestLines = 0;
    for (std::size_t at = log.find("\"GET "); at != std::string::npos;
         at = log.find("\"GET ", at + 1))
        ++requestLines;
    EXPECT_EQ(requestLines, 3u);
    EXPECT_NE(log.find("ready"), std::string::npos);
    EXPECT_NE(log.find("Error1"), std::string::npos);
    EXPECT_NE(log.find("Reef_Frend New: stored as entry 1"), std::string::npos)
        << "every write names its entry, so that vandalism can be traced";
}

TEST_F(ContractTest, SigtermAndSigintStopCleanly) {
    server_->signal(SIGTERM);
    EXPECT_EQ(server_->wait(), 0);
    EXPECT_NE(server_->log().find("stopped"), std::string::npos);
    startServer();
    EXPECT_EQ(submit("Reef_Frend", "New", alliedEntry()), "ready");
    server_->signal(SIGINT);
    EXPECT_EQ(server_->wait(), 0);
    startServer();
    EXPECT_EQ(download("Reef_Frend").size(), 1u);
}

TEST_F(ContractTest, ASecondServerOnATakenPortRefusesToStart) {
    auto result = runListServer({"serve", "--listen", "127.0.0.1:" + std::to_string(port()), "--db",
                                 dir_.file("other.sqlite")},
                                "");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.output.find("already in use"), std::string::npos) << result.output;
}

TEST(ListServerStart, ADatabaseThatCannotBeOpenedIsRefusedClearly) {
    TempDir dir;
    auto missingFolder = runListServer(
        {"serve", "--listen", "127.0.0.1:0", "--db", dir.file("no/such/folder/x.sqlite")}, "");
    EXPECT_EQ(missingFolder.exitCode, 1);
    EXPECT_NE(missingFolder.output.find("cannot open database"), std::string::npos)
        << missingFolder.output;

    std::string notADatabase = dir.file("notes.txt");
    {
        FILE* file = std::fopen(notADatabase.c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fputs("these are no fleet lists, just some text long enough to be read as a header "
                   "of a database file by anyone who tries",
                   file);
        std::fclose(file);
    }
    auto garbage = runListServer({"serve", "--listen", "127.0.0.1:0", "--db", notADatabase}, "");
    EXPECT_EQ(garbage.exitCode, 1);
    EXPECT_NE(garbage.output.find("cannot open database"), std::string::npos) << garbage.output;
}

TEST(ListServerStart, DemoPasswordGoesToAPrivateFileNotTheLogAndStaysAtTheNextStart) {
    TempDir dir;
    std::string db = dir.file("demo.sqlite");
    std::string password;
    for (int start = 0; start < 2; ++start) {
        ServerProcess server(db, dir.file("server.log"), {"--demo"});
        ASSERT_TRUE(server.started()) << server.log();
        const std::string file = db + ".demo-password";
        struct stat info {};
        ASSERT_EQ(::stat(file.c_str(), &info), 0) << server.log();
        EXPECT_EQ(info.st_mode & 0777, 0600u);
        std::string written;
        {
            FILE* in = std::fopen(file.c_str(), "r");
            ASSERT_NE(in, nullptr);
            char line[64] = {};
            ASSERT_NE(std::fgets(line, sizeof line, in), nullptr);
            std::fclose(in);
            written = line;
            written.pop_back(); // the line end
        }
        EXPECT_GE(written.size(), 10u);
        EXPECT_EQ(server.log().find(written), std::string::npos) << "never in the log";
        EXPECT_NE(server.log().find(file), std::string::npos) << "the log says where it is";
        if (start == 1) {
            EXPECT_EQ(written, password) << "an existing demo alliance keeps its password";
        }
        password = written;
        EXPECT_EQ(get(server.port(),
                      "/Reef-Update.php?Info1=" + password + "&Info2=Reef_Enemy&Info3=Update")
                      .body,
                  "|>Update<|<>end|<>");
    }
}

TEST(ListServerStart, HelpExplainsEveryOption) {
    auto help = runListServer({"--help"}, "");
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option :
         {"serve", "--listen", "--db", "--timezone", "--expiry-hours", "alliance add",
          "alliance list", "alliance password", "alliance remove"})
        EXPECT_NE(help.output.find(option), std::string::npos) << option;
    auto wrong = runListServer({"serve", "--no-such-option"}, "");
    EXPECT_EQ(wrong.exitCode, 2);
    auto zone = runListServer({"serve", "--timezone", "Mars/Olympus"}, "");
    EXPECT_EQ(zone.exitCode, 2);
    EXPECT_NE(zone.output.find("time zone"), std::string::npos);
}

TEST(ListServerAdmin, EveryPrintableAsciiCharacterMayBeInAPassword) {
    // The desktop program percent-encodes blank, "&", "#", "%" and "+" in the password.
    TempDir dir;
    std::string db = dir.file("lists.sqlite");
    const std::string password = " a b&c#d%e+f=g?h_ ";
    ASSERT_EQ(runListServer({"alliance", "add", "Korallen", "--db", db}, password + "\n").exitCode,
              0);
    ServerProcess server(db, dir.file("server.log"));
    ASSERT_TRUE(server.started()) << server.log();
    auto update = [&](const std::string& encoded) {
        return get(server.port(),
                   "/Reef-Update.php?Info1=" + encoded + "&Info2=Reef_Frend&Info3=Update")
            .body;
    };
    EXPECT_EQ(update("%20a%20b%26c%23d%25e%2Bf=g?h_%20"), "|>Update<|<>end|<>");
    EXPECT_EQ(update("%20a%20b%26c%23d%25e%2Bf=g?h_"), "Error1") << "the last blank counts";
}

TEST(ListServerAdmin, AlliancesArePasswordProtectedAndManaged) {
    TempDir dir;
    std::string db = dir.file("lists.sqlite");
    ASSERT_EQ(
        runListServer({"alliance", "add", "Korallen", "--db", db}, "first-password\n").exitCode, 0);
    struct stat key {};
    ASSERT_EQ(::stat((db + ".key").c_str(), &key), 0);
    EXPECT_EQ(key.st_mode & 0777, 0600u) << "the key file is readable only by its owner";

    auto sameName = runListServer({"alliance", "add", "Korallen", "--db", db}, "other-password\n");
    EXPECT_NE(sameName.exitCode, 0);
    auto samePassword = runListServer({"alliance", "add", "Haie", "--db", db}, "first-password\n");
    EXPECT_NE(samePassword.exitCode, 0);
    EXPECT_NE(samePassword.output.find("password"), std::string::npos);
    for (const char* bad :
         {"tab\there-password", "umlaut-\xC3\xA4-password", "delete\x7F-password", "nine-char"}) {
        auto badPassword =
            runListServer({"alliance", "add", "Haie", "--db", db}, std::string(bad) + "\n");
        EXPECT_NE(badPassword.exitCode, 0) << bad;
    }
    ASSERT_EQ(runListServer({"alliance", "add", "Haie", "--db", db}, "haie-password\r\n").exitCode,
              0)
        << "a CR before the line end is not part of the password";

    auto list = runListServer({"alliance", "list", "--db", db}, "");
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_EQ(list.output, "Haie\nKorallen\n");

    // The database holds no password in plain text.
    {
        FILE* file = std::fopen(db.c_str(), "rb");
        ASSERT_NE(file, nullptr);
        std::string content;
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            content.append(buffer, n);
        std::fclose(file);
        EXPECT_EQ(content.find("first-password"), std::string::npos);
    }

    ASSERT_EQ(runListServer({"alliance", "password", "Korallen", "--db", db}, "second-password\n")
                  .exitCode,
              0);
    EXPECT_NE(
        runListServer({"alliance", "password", "Nobody", "--db", db}, "x-password\n").exitCode, 0);
    EXPECT_NE(
        runListServer({"alliance", "password", "Korallen", "--db", db}, "123456789\n").exitCode, 0)
        << "nine characters are too few";
    auto taken = runListServer({"alliance", "password", "Korallen", "--db", db}, "haie-password\n");
    EXPECT_NE(taken.exitCode, 0) << "the password of another alliance";
    EXPECT_NE(taken.output.find("another alliance"), std::string::npos) << taken.output;
    {
        ServerProcess server(db, dir.file("server.log"));
        ASSERT_TRUE(server.started()) << server.log();
        auto update = [&](const std::string& password) {
            return get(server.port(),
                       "/Reef-Update.php?Info1=" + password + "&Info2=Reef_Frend&Info3=Update")
                .body;
        };
        EXPECT_EQ(update("first-password"), "Error1");
        EXPECT_EQ(update("second-password"), "|>Update<|<>end|<>");
        EXPECT_EQ(update("haie-password"), "|>Update<|<>end|<>");
        ASSERT_EQ(runListServer({"alliance", "remove", "Haie", "--db", db}, "").exitCode, 0);
        EXPECT_EQ(update("haie-password"), "Error1") << "a removed alliance is gone at once";
    }
    EXPECT_NE(runListServer({"alliance", "remove", "Haie", "--db", db}, "").exitCode, 0);
    EXPECT_EQ(runListServer({"alliance", "list", "--db", db}, "").output, "Korallen\n");

    // A key that others may read is refused, with the remedy.
    ASSERT_EQ(::chmod((db + ".key").c_str(), 0644), 0);
    auto readable = runListServer({"serve", "--listen", "127.0.0.1:0", "--db", db}, "");
    EXPECT_EQ(readable.exitCode, 1);
    EXPECT_NE(readable.output.find("chmod 600"), std::string::npos) << readable.output;
    ASSERT_EQ(::chmod((db + ".key").c_str(), 0600), 0);

    // Without its key the database is refused rather than silently useless.
    ASSERT_EQ(::rename((db + ".key").c_str(), (db + ".key.saved").c_str()), 0);
    auto noKey = runListServer({"serve", "--listen", "127.0.0.1:0", "--db", db}, "");
    EXPECT_EQ(noKey.exitCode, 1);
    EXPECT_NE(noKey.output.find("key file"), std::string::npos) << noKey.output;
}

} // namespace

namespace {

unsigned modeOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return 07777;
    return info.st_mode & 0777;
}

TEST(ListServerFiles, DatabaseJournalAndKeyAreForTheServersUserAlone) {
    TempDir dir;
    std::string db = dir.file("lists.sqlite");
    const mode_t previous = ::umask(022); // what a shell usually hands on
    ASSERT_EQ(
        runListServer({"alliance", "add", "Korallen", "--db", db}, "first-password\n").exitCode, 0);
    {
        ServerProcess server(db, dir.file("server.log"),
                             {"--writes-per-minute", "100", "--alliance-writes-per-minute", "100"});
        ASSERT_TRUE(server.started()) << server.log();
        ASSERT_EQ(get(server.port(), "/Reef-Update.php?Info1=first-password&Info2=Reef_Frend"
                                     "&Info3=New&Name=A&Basis=1&ZielName=B&ZielBasis=2&BasisZeit=0")
                      .body,
                  "ready");
        for (const std::string& file : {db, db + "-wal", db + "-shm", db + ".key"})
            EXPECT_EQ(modeOf(file) & 077, 0u) << file << " mode " << std::oct << modeOf(file);
    }
    ::umask(previous);
}

TEST(ListServerFiles, TheKeyMustBeARegularFileOfTheServersUserNotALink) {
    TempDir dir;
    std::string db = dir.file("lists.sqlite");
    std::string key = db + ".key";
    ASSERT_EQ(
        runListServer({"alliance", "add", "Korallen", "--db", db}, "first-password\n").exitCode, 0);
    auto serve = [&] {
        return runListServer({"serve", "--listen", "127.0.0.1:0", "--db", db}, "");
    };

    ASSERT_EQ(::rename(key.c_str(), (key + ".real").c_str()), 0);
    ASSERT_EQ(::symlink((key + ".real").c_str(), key.c_str()), 0);
    auto linked = serve();
    EXPECT_EQ(linked.exitCode, 1);
    EXPECT_NE(linked.output.find("symbolic link"), std::string::npos) << linked.output;
    ASSERT_EQ(::unlink(key.c_str()), 0);
    ASSERT_EQ(::rename((key + ".real").c_str(), key.c_str()), 0);

    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(key.c_str(), 12345, 12345), 0);
        auto foreign = serve();
        EXPECT_EQ(foreign.exitCode, 1);
        EXPECT_NE(foreign.output.find("another user"), std::string::npos) << foreign.output;
        ASSERT_EQ(::chown(key.c_str(), 0, 0), 0);
    }

    ASSERT_EQ(::unlink(key.c_str()), 0);
    ASSERT_EQ(::mkdir(key.c_str(), 0700), 0);
    auto directory = serve();
    EXPECT_EQ(directory.exitCode, 1);
    EXPECT_NE(directory.output.find("not a regular file"), std::string::npos) << directory.output;
}

TEST(ListServerFiles, AKeyIsCreatedOnlyTogetherWithANewDatabase) {
    TempDir dir;
    std::string db = dir.file("lists.sqlite");
    // A key file left from another database is not taken by a new one.
    {
        FILE* file = std::fopen((db + ".key").c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite("0123456789abcdef0123456789abcdef", 1, 32, file);
        std::fclose(file);
        ::chmod((db + ".key").c_str(), 0600);
    }
    auto adopted = runListServer({"alliance", "add", "Korallen", "--db", db}, "first-password\n");
    EXPECT_NE(adopted.exitCode, 0);
    EXPECT_NE(adopted.output.find("already there"), std::string::npos) << adopted.output;
}

} // namespace

namespace {

TEST_F(ContractTest, TwoServerProcessesOnOneDatabaseSeeEachOthersWritesAtOnce) {
    ServerProcess second(db_, dir_.file("second.log"));
    ASSERT_TRUE(second.started()) << second.log();
    auto secondAnswer = [&](const std::string& operation, const std::string& rest = "") {
        return get(second.port(), target("Reef_Enemy", operation, rest)).body;
    };
    // Both keep the list in memory after a download.
    ASSERT_EQ(body(target("Reef_Enemy", "Update")), "|>Update<|<>end|<>");
    ASSERT_EQ(secondAnswer("Update"), "|>Update<|<>end|<>");
    ASSERT_EQ(submit("Reef_Enemy", "New", enemyEntry("Klaus")), "ready");
    auto seen = parseListBody(secondAnswer("Update"));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0][Name], "Klaus");
    ASSERT_EQ(secondAnswer("Change", enemyEntry("Klara") + "&IDW=5&BasisZeitW=49200"), "ready");
    seen = download("Reef_Enemy");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0][Name], "Klara");
}

TEST_F(ContractTest, BehindATrustedProxyARequestCountsForTheAddressItNames) {
    const std::string request = "GET " + target("Reef_Frend", "Update", "", "wrong-password") +
                                " HTTP/1.0\r\nX-Real-IP: 198.51.100.7\r\n\r\n";
    // Not trusted: the header is anybody's to write, and is ignored.
    EXPECT_EQ(parseAnswer(exchange(port(), request)).body, "Error1");
    EXPECT_EQ(server_->log().find("198.51.100.7"), std::string::npos) << server_->log();
    server_->signal(SIGTERM);
    ASSERT_EQ(server_->wait(), 0);
    startServer({"--trusted-proxy", "127.0.0.1"});
    EXPECT_EQ(parseAnswer(exchange(port(), request)).body, "Error1");
    EXPECT_NE(server_->log().find(" 198.51.100.7 \"GET"), std::string::npos) << server_->log();
}

} // namespace
