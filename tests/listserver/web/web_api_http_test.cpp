// The page's interface for new and changed entries over real HTTP: what it stores is what the
// desktop program's requests store, and what it refuses it names in German.

#include "listserver/web/page_fixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <map>

using namespace reef::listserver::testing;
using nlohmann::json;

namespace {

using PageApiTest = PageTest;

json enemyJson(const std::string& name = "Klaus Peter") {
    return {{"Hilfe", 1},
            {"Name", name},
            {"Allianz", "Haie"},
            {"Basis", "1:2:3"},
            {"Punkte", "1234567"},
            {"Schiffe", 500},
            {"Modus", 2},
            {"ZielName", "Anna"},
            {"ZielAllianz", "Korallen"},
            {"ZielBasis", "4:5:6"},
            {"ZielPunkte", "7654321"},
            {"ZielZeit", 48000},
            {"BasisZeit", 49200},
            {"Von", "Bert"}};
}

std::int64_t idOf(const HttpAnswer& answer) {
    return json::parse(answer.body).value("id", std::int64_t{0});
}

TEST_F(PageApiTest, ANewEntryGetsItsNumberAndAChangeKeepsIt) {
    const Page page = openPage();
    EXPECT_EQ(page.csrf.size(), 64u);
    EXPECT_EQ(page.cookie.find(page.csrf), std::string::npos) << "the token is not the cookie";

    HttpAnswer created = write(page, "Reef_Enemy", enemyJson());
    ASSERT_EQ(status(created), 201) << created.body;
    const std::int64_t id = idOf(created);
    ASSERT_GT(id, 0);
    json shown = lists(page)["Reef_Enemy"];
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0]["id"], id);
    EXPECT_EQ(shown[0]["Name"], "Klaus_Peter") << "stored as the program's request stores it";

    json changed = enemyJson("Klaus Peter");
    changed["Hilfe"] = 3;
    changed["ZielZeit"] = nullptr;
    HttpAnswer replaced = write(page, "Reef_Enemy", changed, id);
    ASSERT_EQ(status(replaced), 200) << replaced.body;
    EXPECT_EQ(idOf(replaced), id);
    shown = lists(page)["Reef_Enemy"];
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0]["id"], id);
    EXPECT_EQ(shown[0]["Hilfe"], 3);
    EXPECT_TRUE(shown[0]["ZielZeit"].is_null());

    // An entry of the other list, of another alliance, or of none at all is not there.
    EXPECT_EQ(status(write(page, "Reef_Frend", changed, id)), 404);
    EXPECT_EQ(status(write(page, "Reef_Enemy", changed, id + 1000)), 404);
    const Page haie = openPage(kOtherPassword);
    HttpAnswer foreign = write(haie, "Reef_Enemy", enemyJson("Fremd"), id);
    EXPECT_EQ(status(foreign), 404) << foreign.body;
    EXPECT_EQ(lists(page)["Reef_Enemy"][0]["Name"], "Klaus_Peter");
    EXPECT_TRUE(lists(haie)["Reef_Enemy"].empty());

    // Paths and methods the interface does not have.
    EXPECT_EQ(status(request("GET", "/api/entries", "", page.cookie)), 405);
    EXPECT_EQ(status(request("POST", "/api/entries/1", "{}", page.writeHeaders())), 405);
    EXPECT_EQ(status(request("PUT", "/api/entries", "{}", page.writeHeaders())), 405);
    for (const char* path : {"/api/entries/0", "/api/entries/-1", "/api/entries/01",
                             "/api/entries/1x", "/api/entries/99999999999999999999"})
        EXPECT_EQ(status(request("PUT", path, changed.dump(), page.writeHeaders())), 404) << path;
}

// The program's Update shows an entry made on the page byte for byte as one the program made
// with the same values, new or changed.
TEST_F(PageApiTest, TheProgramReadsAPageEntryAsItsOwn) {
    struct Case {
        const char* list;
        std::string program; // the query part the program sends
        json page;
    };
    const Case cases[] = {
        {"Reef_Enemy",
         "&Hilfe=1&Name=Klaus_Peter&Allianz=Gr%FC%DFe&Basis=1:2:3&Punkte=1234567&Schiffe=500"
         "&Modus=2&ZielName=Anna&ZielAllianz=%80uro&ZielBasis=4:5:6&ZielPunkte=7654321"
         "&BasisZeit=49200&Von=Bert&ZielZeit=48000",
         {{"Hilfe", 1},
          {"Name", "  Klaus Peter "},
          {"Allianz", utf8(u8"Grüße")},
          {"Basis", "1:2:3"},
          {"Punkte", "1.234.567"},
          {"Schiffe", "500"},
          {"Modus", 2},
          {"ZielName", "Anna"},
          {"ZielAllianz", utf8(u8"€uro")},
          {"ZielBasis", "4:5:6"},
          {"ZielPunkte", 7654321},
          {"BasisZeit", 49620}, // 13:47 is snapped to 13:40
          {"Von", "Bert"},
          {"ZielZeit", "13:20"}}},
        {"Reef_Frend",
         "&Hilfe=3&Name=Paul&Basis=7:7:7&Schiffe=20&Modus=1&ZielName=Otto&ZielBasis=8:8:8"
         "&BasisZeit=3600",
         {{"Hilfe", 3},
          {"Name", "Paul"},
          {"Allianz", ""},
          {"Basis", "7:7:7"},
          {"Punkte", nullptr},
          {"Schiffe", 20},
          {"Modus", 1},
          {"ZielName", "Otto"},
          {"ZielBasis", "8:8:8"},
          {"BasisZeit", 3600},
          {"ZielZeit", nullptr},
          {"Von", "ignored in the allied list"}}},
    };
    const Page page = openPage();
    for (const Case& each : cases) {
        ASSERT_EQ(submit(each.list, "New", each.program), "ready") << each.list;
        HttpAnswer created = write(page, each.list, each.page);
        ASSERT_EQ(status(created), 201) << created.body;
        auto records = download(each.list);
        ASSERT_EQ(records.size(), 2u) << each.list;
        for (int field = Hilfe; field < UpdateZeit; ++field)
            EXPECT_EQ(records[0][field], records[1][field]) << each.list << " field " << field;
        EXPECT_LE(std::abs(std::stoi(records[0][UpdateZeit]) - std::stoi(records[1][UpdateZeit])),
                  2);

        // The same change from either side (the page's first: the program's key would fit
        // both entries).
        const std::string programChange =
            "&Hilfe=0&Name=Neu&Allianz=&Basis=9:9:9&Punkte=&Modus=0&Schiffe=7&ZielName=Z"
            "&ZielAllianz=&ZielBasis=1:1:1&ZielPunkte=&BasisZeit=1200" +
            std::string(std::string(each.list) == "Reef_Enemy" ? "&Von=Bert" : "") +
            "&IDW=" + std::to_string(records[0][Name].size()) +
            "&BasisZeitW=" + records[0][BasisZeit];
        const json pageChange = {{"Hilfe", 0},           {"Name", "Neu"},        {"Basis", "9:9:9"},
                                 {"Modus", 0},           {"Schiffe", 7},         {"ZielName", "Z"},
                                 {"ZielBasis", "1:1:1"}, {"BasisZeit", "00:20"}, {"Von", "Bert"}};
        ASSERT_EQ(status(write(page, each.list, pageChange, idOf(created))), 200);
        ASSERT_EQ(submit(each.list, "Change", programChange), "ready");
        records = download(each.list);
        ASSERT_EQ(records.size(), 2u);
        for (int field = Hilfe; field < UpdateZeit; ++field)
            EXPECT_EQ(records[0][field], records[1][field])
                << each.list << " changed, field " << field;
        EXPECT_EQ(records[0][Von], std::string(each.list) == "Reef_Enemy" ? "Bert" : "");
    }
}

TEST_F(PageApiTest, ARefusedValueIsNamedInGerman) {
    struct Case {
        const char* what;
        std::string list;
        json change; // merged into a complete enemy entry; null removes the field
        int status;
        const char* field;
        const char8_t* says;
    };
    // The body reader's own cases are its unit test's; here one of each way to the member.
    const Case cases[] = {
        {"name missing", "Reef_Enemy", {{"Name", nullptr}}, 422, "Name", u8"„Name“ ausfüllen"},
        {"name too long",
         "Reef_Enemy",
         {{"Name", std::string(101, 'x')}},
         422,
         "Name",
         u8"länger als 100"},
        {"100 characters, umlauts too, are fine",
         "Reef_Enemy",
         {{"Name", std::string(90, 'x') + utf8(u8"üüüüüüüüüü")}},
         201,
         "",
         u8""},
        {"no Windows-1252 form",
         "Reef_Enemy",
         {{"Basis", utf8(u8"Base 🐙")}},
         422,
         "Basis",
         u8"„Basis“ enthält Zeichen"},
        {"field marker", "Reef_Enemy", {{"ZielName", "a|>b"}}, 422, "ZielName", u8"„Ziel Name“"},
        {"return time past midnight",
         "Reef_Enemy",
         {{"BasisZeit", 86400}},
         422,
         "BasisZeit",
         u8"„Rückkehr“ ist keine Uhrzeit"},
        {"entered by missing (enemy)",
         "Reef_Enemy",
         {{"Von", ""}},
         422,
         "Von",
         u8"„Eintragung getätigt von“"},
        {"unknown list", "Reef_Alle", {}, 422, "list", u8"Reef_Frend oder Reef_Enemy"},
    };
    const Page page = openPage();
    for (const Case& each : cases) {
        json entry = enemyJson();
        for (const auto& [key, value] : each.change.items()) {
            if (value.is_null() && key != "ZielZeit")
                entry.erase(key);
            else
                entry[key] = value;
        }
        HttpAnswer answer = write(page, each.list, entry);
        EXPECT_EQ(status(answer), each.status) << each.what << ": " << answer.body;
        EXPECT_EQ(answer.headers["content-type"], "application/json; charset=utf-8") << each.what;
        if (each.status != 422)
            continue;
        const json refused = json::parse(answer.body);
        EXPECT_EQ(refused.value("field", ""), each.field) << each.what;
        EXPECT_NE(refused.value("error", "").find(utf8(each.says)), std::string::npos)
            << each.what << ": " << refused.dump();
    }
    EXPECT_EQ(status(request("POST", "/api/entries", "Name=Klaus", page.writeHeaders())), 400);
    EXPECT_EQ(status(request("POST", "/api/entries", std::string(20000, ' '), page.writeHeaders())),
              413);
    EXPECT_EQ(lists(page)["Reef_Enemy"].size(), 1u) << "only the good entry is stored";
}

TEST_F(PageApiTest, AWriteNeedsTheSessionAndItsTokenFromThisSite) {
    const Page page = openPage();
    const Page other = openPage();
    ASSERT_NE(page.csrf, other.csrf) << "each session has its own token";
    // The token comes in the header; in the body too, unless the client sends the header.
    const HttpAnswer plain = request("GET", "/api/lists", "", page.cookie);
    EXPECT_EQ(json::parse(plain.body).value("csrf", ""), page.csrf);
    const HttpAnswer lean = request("GET", "/api/lists", "", page.cookie + "X-Reef-Csrf:\r\n");
    const HttpAnswer otherLean =
        request("GET", "/api/lists", "", other.cookie + "X-Reef-Csrf: " + other.csrf + "\r\n");
    EXPECT_EQ(lean.headers.at("x-reef-csrf"), page.csrf);
    EXPECT_FALSE(json::parse(lean.body).contains("csrf"));
    EXPECT_EQ(lean.body, otherLean.body) << "the body every session of the alliance gets";
    const std::string body = json{{"list", "Reef_Enemy"}, {"entry", enemyJson()}}.dump();
    const std::string type = "Content-Type: application/json\r\n";
    struct Case {
        const char* what;
        std::string headers;
        int status;
    };
    const Case cases[] = {
        {"no session", "X-Reef-Csrf: " + page.csrf + "\r\n" + type, 401},
        {"no token", page.cookie + type, 403},
        {"a wrong token", page.cookie + "X-Reef-Csrf: " + std::string(64, 'a') + "\r\n" + type,
         403},
        {"another session's token", page.cookie + "X-Reef-Csrf: " + other.csrf + "\r\n" + type,
         403},
        {"the cookie as token",
         page.cookie + "X-Reef-Csrf: " + page.cookie.substr(21, 64) + "\r\n" + type, 403},
        {"from another site", page.writeHeaders() + "Sec-Fetch-Site: cross-site\r\n", 403},
        {"from a sibling site", page.writeHeaders() + "Sec-Fetch-Site: same-site\r\n", 403},
        {"an old browser on another origin",
         page.writeHeaders() + "Origin: https://evil.example\r\n", 403},
        {"this page", page.writeHeaders() + "Sec-Fetch-Site: same-origin\r\n", 201},
        {"an old browser on this origin", page.writeHeaders() + "Origin: http://127.0.0.1\r\n",
         201},
    };
    int stored = 0;
    for (const Case& each : cases) {
        HttpAnswer answer = request("POST", "/api/entries", body, each.headers);
        EXPECT_EQ(status(answer), each.status) << each.what << ": " << answer.body;
        if (each.status != 201) {
            EXPECT_FALSE(json::parse(answer.body).value("error", "").empty()) << each.what;
        }
        stored += each.status == 201;
    }
    EXPECT_EQ(lists(page)["Reef_Enemy"].size(), static_cast<std::size_t>(stored));
    // Logging out ends the token with the session.
    ASSERT_EQ(status(request("POST", "/logout", "", page.cookie)), 303);
    EXPECT_EQ(status(write(page, "Reef_Enemy", enemyJson())), 401);
}

// Page and program writes of one address share its budget, as two programs there would.
TEST_F(PageApiTest, PastTheWriteBudgetAWriteIsRefusedWith429) {
    server_.reset();
    server_ = std::make_unique<ServerProcess>(
        db_, dir_.file("server.log"),
        std::vector<std::string>{"--writes-per-minute", "3", "--alliance-writes-per-minute",
                                 "100"});
    ASSERT_TRUE(server_->started()) << server_->log();
    const Page page = openPage();
    std::map<int, int> answers;
    for (int i = 0; i < 5; ++i)
        ++answers[status(write(page, "Reef_Enemy", enemyJson("Angreifer" + std::to_string(i))))];
    EXPECT_EQ(answers[201], 3);
    EXPECT_EQ(answers[429], 2);
    HttpAnswer refused = write(page, "Reef_Enemy", enemyJson());
    EXPECT_EQ(status(refused), 429);
    EXPECT_FALSE(refused.headers["retry-after"].empty());
    EXPECT_NE(json::parse(refused.body).value("error", "").find("Zu viele"), std::string::npos);
    EXPECT_EQ(submit("Reef_Enemy", "New", enemyEntry()), "Error10") << "the program's too";
    EXPECT_EQ(status(write(page, "Reef_Enemy", enemyJson(), 0, "", "127.0.0.9")), 201)
        << "another address has its own budget";
    EXPECT_EQ(lists(page)["Reef_Enemy"].size(), 4u);
}

} // namespace
