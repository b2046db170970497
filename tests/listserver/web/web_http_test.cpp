// The browser page of the list server over real HTTP on loopback.

#include "listserver/web/page_fixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <map>
#include <thread>

using namespace reef::listserver::testing;

namespace {

using WebHttpTest = PageTest;

TEST_F(WebHttpTest, TheStartPageIsThePasswordFormWithTheSecurityHeaders) {
    HttpAnswer page = request("GET", "/");
    ASSERT_EQ(status(page), 200);
    EXPECT_EQ(page.headers["content-type"], "text/html; charset=utf-8");
    EXPECT_NE(page.body.find("<form method=\"post\" action=\"/login\">"), std::string::npos);
    EXPECT_NE(page.body.find("type=\"password\""), std::string::npos);
    const std::string policy = page.headers["content-security-policy"];
    EXPECT_NE(policy.find("script-src 'self'"), std::string::npos) << policy;
    EXPECT_NE(policy.find("frame-ancestors 'none'"), std::string::npos) << policy;
    EXPECT_EQ(policy.find("unsafe-inline"), std::string::npos) << policy;
    EXPECT_EQ(page.headers["x-content-type-options"], "nosniff");
    EXPECT_EQ(page.headers["cache-control"], "no-store");
    for (const char* asset : {"/app.js", "/app.css"}) {
        HttpAnswer answer = request("GET", asset);
        EXPECT_EQ(status(answer), 200) << asset;
        EXPECT_EQ(answer.headers["x-content-type-options"], "nosniff") << asset;
        EXPECT_FALSE(answer.body.empty()) << asset;
    }
}

TEST_F(WebHttpTest, LoginGivesAnHttpOnlyStrictCookieThatOpensTheLists) {
    ASSERT_EQ(submit("Reef_Frend", "New", alliedEntry()), "ready");
    HttpAnswer answer = login(kPassword);
    ASSERT_EQ(status(answer), 303);
    EXPECT_EQ(answer.headers["location"], "/");
    const std::string cookie = answer.headers["set-cookie"];
    EXPECT_NE(cookie.find("HttpOnly"), std::string::npos) << cookie;
    EXPECT_NE(cookie.find("SameSite=Strict"), std::string::npos) << cookie;
    EXPECT_NE(cookie.find("Max-Age=43200"), std::string::npos) << cookie;
    EXPECT_EQ(cookie.find("Secure"), std::string::npos) << cookie;

    const std::string session = "Cookie: " + cookie.substr(0, cookie.find(';')) + "\r\n";
    HttpAnswer lists = request("GET", "/api/lists", "", session);
    ASSERT_EQ(status(lists), 200);
    nlohmann::json json = nlohmann::json::parse(lists.body);
    ASSERT_EQ(json["lists"]["Reef_Frend"].size(), 1u);
    EXPECT_EQ(json["lists"]["Reef_Frend"][0]["Name"], "Paul");
    EXPECT_EQ(json["lists"]["Reef_Frend"][0]["BasisZeit"], 3600);
    EXPECT_TRUE(json["lists"]["Reef_Enemy"].empty());
    HttpAnswer page = request("GET", "/", "", session);
    EXPECT_NE(page.body.find("src=\"/app.js\""), std::string::npos);
    EXPECT_NE(page.body.find("Korallen"), std::string::npos);
}

TEST_F(WebHttpTest, BehindATlsProxyTheCookieIsSecure) {
    HttpAnswer answer = login(kPassword, "", "X-Forwarded-Proto: https\r\n");
    ASSERT_EQ(status(answer), 303);
    EXPECT_NE(answer.headers["set-cookie"].find("; Secure"), std::string::npos);
}

TEST_F(WebHttpTest, TheListsNeedTheCookie) {
    EXPECT_EQ(status(request("GET", "/api/lists")), 401);
    EXPECT_EQ(status(request("GET", "/api/lists", "",
                             "Cookie: reef_sitzung=" + std::string(64, '0') + "\r\n")),
              401);
    // The password alone, in a URL or a header, opens nothing.
    EXPECT_EQ(status(request("GET", "/api/lists?passwort=" + kPassword)), 401);
    EXPECT_EQ(status(request("POST", "/login?passwort=" + kPassword)), 400);
    HttpAnswer form = request("GET", "/", "", "Cookie: reef_sitzung=nichts\r\n");
    EXPECT_NE(form.body.find("type=\"password\""), std::string::npos);
}

TEST_F(WebHttpTest, OneSessionMayAskForTheListsOnlySoOften) {
    const std::string session = sessionHeader();
    int refused = 0;
    for (int i = 0; i < 15; ++i) {
        HttpAnswer lists = request("GET", "/api/lists", "", session);
        refused += status(lists) == 429;
        EXPECT_TRUE(status(lists) == 200 || lists.headers["retry-after"] == "6") << i;
    }
    EXPECT_GE(refused, 4) << "ten at once, then one every 6 seconds";
    EXPECT_EQ(status(request("GET", "/api/lists", "", sessionHeader())), 200)
        << "another session has its own allowance";
}

// One alliance's member logging in again and again from one address neither gets past the
// address's rate nor pushes out another alliance's members.
TEST_F(WebHttpTest, RightPasswordLoginsOfOneAddressAreLimited) {
    HttpAnswer haie = login(kOtherPassword, "127.0.0.42");
    ASSERT_EQ(status(haie), 303);
    const std::string cookie = haie.headers["set-cookie"];
    const std::string other = "Cookie: " + cookie.substr(0, cookie.find(';')) + "\r\n";
    std::map<int, int> answers;
    for (int i = 0; i < 25; ++i)
        ++answers[status(login(kPassword, "127.0.0.41"))];
    EXPECT_EQ(answers[303], 10) << "ten at once";
    EXPECT_EQ(answers[429], 15);
    EXPECT_EQ(status(login(kPassword, "127.0.0.43")), 303) << "another address has its own";
    EXPECT_EQ(status(request("GET", "/api/lists", "", other)), 200);
}

TEST_F(WebHttpTest, LogoutEndsTheSession) {
    const std::string session = sessionHeader();
    ASSERT_EQ(status(request("GET", "/api/lists", "", session)), 200);
    HttpAnswer out = request("POST", "/logout", "", session);
    EXPECT_EQ(status(out), 303);
    EXPECT_NE(out.headers["set-cookie"].find("Max-Age=0"), std::string::npos);
    EXPECT_EQ(status(request("GET", "/api/lists", "", session)), 401);
}

TEST_F(WebHttpTest, ALoginFromAFormOfAnotherSiteIsRefused) {
    HttpAnswer answer = login(kPassword, "", "Sec-Fetch-Site: cross-site\r\n");
    EXPECT_EQ(status(answer), 403);
    EXPECT_EQ(answer.headers.count("set-cookie"), 0u);
    EXPECT_EQ(status(login(kPassword, "", "Sec-Fetch-Site: same-origin\r\n")), 303);
}

// Older browsers send no Sec-Fetch-Site: there the Origin, else the Referer, tells.
TEST_F(WebHttpTest, WithoutSecFetchSiteAFormOfAnotherOriginIsRefused) {
    const std::pair<const char*, int> cases[] = {
        {"Origin: https://evil.example\r\n", 403},
        {"Origin: null\r\n", 403},
        {"Origin: http://127.0.0.1.evil.example\r\n", 403},
        {"Origin: https://127.0.0.1\r\n", 403}, // another scheme is another origin
        {"Referer: https://evil.example/form.html\r\n", 403},
        {"Origin: https://evil.example\r\nReferer: http://127.0.0.1/\r\n", 403},
        {"Origin: http://127.0.0.1\r\n", 303},
        {"Origin: HTTP://127.0.0.1:80\r\n", 303},
        {"Referer: http://127.0.0.1/?x\r\n", 303},
        {"", 303},
    };
    for (const auto& [headers, expected] : cases) {
        HttpAnswer in = login(kPassword, "", headers);
        EXPECT_EQ(status(in), expected) << headers;
        EXPECT_EQ(in.headers.count("set-cookie"), expected == 303 ? 1u : 0u) << headers;
    }
    // Nor may another site log a member out.
    const std::string session = sessionHeader();
    EXPECT_EQ(status(request("POST", "/logout", "", session + "Origin: https://evil.example\r\n")),
              403);
    EXPECT_EQ(status(request("GET", "/api/lists", "", session)), 200);
}

TEST_F(WebHttpTest, AWrongPasswordGetsTheFormAgainAndNoCookie) {
    HttpAnswer answer = login("NotTheRightOne");
    EXPECT_EQ(status(answer), 403);
    EXPECT_EQ(answer.headers.count("set-cookie"), 0u);
    EXPECT_NE(answer.body.find("Falsches Passwort."), std::string::npos);
}

TEST_F(WebHttpTest, WrongPasswordsOfThePageAndTheProgramShareOneThrottle) {
    const std::string source = "127.0.0.21";
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(status(login("guess" + std::to_string(i), source)), 403);
        ASSERT_EQ(body(target("Reef_Frend", "Update", "", "guess" + std::to_string(i)), source),
                  "Error1");
    }
    // Four logins of that address are held for the next free try...
    std::vector<int> held(4);
    std::vector<std::thread> waiting;
    for (int& result : held)
        waiting.emplace_back([&, this] { result = status(login(kPassword, source)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    // ...a fifth is refused at once, its password not looked at...
    HttpAnswer refused = login(kPassword, source);
    EXPECT_EQ(status(refused), 429);
    EXPECT_EQ(refused.headers.count("set-cookie"), 0u);
    for (std::thread& thread : waiting)
        thread.join();
    // ...and the held ones are answered by their password.
    for (int result : held)
        EXPECT_EQ(result, 303);
    // Another address is not slowed down.
    EXPECT_EQ(status(login("guess", "127.0.0.22")), 403);
}

TEST_F(WebHttpTest, ValuesReachThePageEscapedAndInUtf8) {
    ASSERT_EQ(submit("Reef_Enemy", "New", enemyEntry("%3Cscript%3Ealert(1)%3C/script%3E")),
              "ready");
    ASSERT_EQ(submit("Reef_Frend", "New",
                     "&Hilfe=0&Name=Gr%FC%DFe&Allianz=%80uro&Basis=1&Schiffe=1&Modus=0"
                     "&ZielName=Z&ZielBasis=2&BasisZeit=1200"),
              "ready");
    HttpAnswer lists = request("GET", "/api/lists", "", sessionHeader());
    ASSERT_EQ(status(lists), 200);
    EXPECT_EQ(lists.body.find("<script>"), std::string::npos);
    EXPECT_NE(lists.body.find("\\u003cscript\\u003e"), std::string::npos);
    nlohmann::json json = nlohmann::json::parse(lists.body);
    EXPECT_EQ(json["lists"]["Reef_Enemy"][0]["Name"], "<script>alert(1)</script>");
    EXPECT_EQ(json["lists"]["Reef_Frend"][0]["Name"], "Gr\xC3\xBC\xC3\x9F"
                                                      "e");
    EXPECT_EQ(json["lists"]["Reef_Frend"][0]["Allianz"], "\xE2\x82\xAC"
                                                         "uro");
}

TEST_F(WebHttpTest, TheProgramsScriptIsUnchangedBesideThePage) {
    ASSERT_EQ(submit("Reef_Frend", "New", alliedEntry()), "ready");
    HttpAnswer answer = get(port(), target("Reef_Frend", "Update"));
    EXPECT_EQ(answer.headers["content-type"], "text/plain; charset=windows-1252");
    EXPECT_EQ(answer.headers.count("content-security-policy"), 0u);
    EXPECT_EQ(parseListBody(answer.body).size(), 1u);
    EXPECT_EQ(status(request("GET", "/nichts")), 404);
}

TEST_F(WebHttpTest, TheLogHoldsNeitherPasswordNorToken) {
    HttpAnswer answer = login(kPassword);
    const std::string cookie = answer.headers["set-cookie"];
    const std::string token = cookie.substr(cookie.find('=') + 1, 64);
    request("GET", "/api/lists", "", "Cookie: reef_sitzung=" + token + "\r\n");
    login("NotTheRightOne");
    server_->signal(SIGTERM);
    server_->wait();
    const std::string log = server_->log();
    EXPECT_NE(log.find("\"POST /login\" 303"), std::string::npos) << log;
    EXPECT_NE(log.find("\"GET /api/lists\" 200"), std::string::npos) << log;
    EXPECT_EQ(log.find(kPassword), std::string::npos);
    EXPECT_EQ(log.find("NotTheRightOne"), std::string::npos);
    EXPECT_EQ(log.find(token), std::string::npos);
}

// A proxy that appends its X-Real-IP to the client's own would let the client pick the
// address it counts for: more than one such header is refused, on every path.
TEST_F(WebHttpTest, BehindAProxyARequestNamingSeveralClientsIsRefused) {
    server_.reset();
    startServer({"--trusted-proxy", "127.0.0.1"});
    struct Case {
        const char* headers;
        int program; // status of the program's download
        int login;   // status of the page's login
    };
    const Case cases[] = {
        {"X-Real-IP: 198.51.100.7\r\n", 200, 303},
        {"X-Real-IP: 203.0.113.5\r\nX-Real-IP: 198.51.100.7\r\n", 400, 400},
        {"X-Real-IP: 198.51.100.7\r\nx-real-ip: 198.51.100.7\r\n", 400, 400},
    };
    for (const Case& each : cases) {
        EXPECT_EQ(status(request("GET", target("Reef_Frend", "Update"), "", each.headers)),
                  each.program)
            << each.headers;
        HttpAnswer login = this->login(kPassword, "", each.headers);
        EXPECT_EQ(status(login), each.login) << each.headers;
        EXPECT_EQ(login.headers.count("set-cookie"), each.login == 303 ? 1u : 0u);
    }
}

} // namespace
