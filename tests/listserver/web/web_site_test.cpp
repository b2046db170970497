// The browser page's requests above HTTP, with a real database and clocks set by the test.

#include "listserver/core/list_service.h"
#include "listserver/store/sqlite_store.h"
#include "listserver/web/web_site.h"
#include "wire/list_format.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>

using namespace reef::listserver;

namespace {

class WebSiteTest : public ::testing::Test {
  protected:
    WebSiteTest()
        : folder_(makeFolder()),
          store_((folder_ / "lists.sqlite").string(), SqliteStore::Create::IfMissing),
          key_(ServerKey::loadOrCreate((folder_ / "lists.sqlite.key").string(), true, nullptr)),
          service_(store_, key_,
                   ServiceClock{[this] { return utc_; }, [this] { return utc_ + 3600; },
                                [this] { return monotonic_; }},
                   ServiceOptions{}),
          site_(service_, [this] { return monotonic_; }) {
        store_.addAlliance("Korallen", key_.passwordHash("pw-korallen"));
        store_.addAlliance("Haie", key_.passwordHash("pw-haie"));
    }
    ~WebSiteTest() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    static std::filesystem::path makeFolder() {
        char pattern[] = "/tmp/reef-web-unit-XXXXXX";
        return ::mkdtemp(pattern);
    }

    WebOutcome ask(const std::string& method, const std::string& path, const std::string& body = "",
                   const std::string& cookie = "", const std::string& address = "192.0.2.1") {
        WebRequest request;
        request.method = method;
        request.path = path;
        request.body = body;
        request.cookieHeader = cookie;
        request.clientAddress = address;
        GuardTicket ticket;
        return site_.handle(request, ticket);
    }
    WebAnswer answer(const std::string& method, const std::string& path,
                     const std::string& body = "", const std::string& cookie = "",
                     const std::string& address = "192.0.2.1") {
        WebOutcome outcome = ask(method, path, body, cookie, address);
        EXPECT_TRUE(std::holds_alternative<WebAnswer>(outcome)) << path;
        return std::holds_alternative<WebAnswer>(outcome) ? std::get<WebAnswer>(outcome)
                                                          : WebAnswer{};
    }
    static std::string header(const WebAnswer& answer, const std::string& name) {
        for (const auto& [key, value] : answer.headers)
            if (key == name)
                return value;
        return {};
    }
    // The cookie header a browser sends after this login.
    std::string login(const std::string& password = "pw-korallen") {
        WebAnswer done = answer("POST", "/login", "passwort=" + password);
        EXPECT_EQ(done.status, 303);
        std::string cookie = header(done, "Set-Cookie");
        return cookie.substr(0, cookie.find(';'));
    }
    void store(ListKind kind, FleetEntry entry) {
        store_.addEntry(1, kind, entry, ChangeTime{36000, utc_}, 0, 100);
    }

    std::filesystem::path folder_;
    SqliteStore store_;
    ServerKey key_;
    std::int64_t utc_ = 1'700'000'000;
    double monotonic_ = 100;
    ListService service_;
    WebSite site_;
};

TEST_F(WebSiteTest, WrongOrMissingPasswordsGiveTheFormAgainAndNoCookie) {
    const std::pair<const char*, int> cases[] = {
        {"passwort=falsch-falsch", 403}, {"passwort=", 400}, {"kennwort=pw-korallen", 400}};
    for (const auto& [body, status] : cases) {
        WebAnswer done = answer("POST", "/login", body);
        EXPECT_EQ(done.status, status) << body;
        EXPECT_EQ(header(done, "Set-Cookie"), "") << body;
        EXPECT_NE(done.body.find("name=\"passwort\""), std::string::npos) << body;
    }
    EXPECT_EQ(site_.sessionCount(), 0u);
}

TEST_F(WebSiteTest, FormsOfOtherSitesAreRefused) {
    const std::pair<const char*, int> cases[] = {
        {"", 303}, {"same-origin", 303}, {"none", 303}, {"cross-site", 403}, {"same-site", 403}};
    for (const auto& [site, status] : cases) {
        for (const char* path : {"/login", "/logout"}) {
            WebRequest request;
            request.method = "POST";
            request.path = path;
            request.body = "passwort=pw-korallen";
            request.fetchSite = site;
            request.clientAddress = "192.0.2.1";
            GuardTicket ticket;
            WebAnswer done = std::get<WebAnswer>(site_.handle(request, ticket));
            EXPECT_EQ(done.status, status) << site << " " << path;
            EXPECT_EQ(header(done, "Set-Cookie").empty(), status == 403) << site << " " << path;
        }
    }
}

TEST_F(WebSiteTest, TheListsNeedASessionAndAreJsonWithTheRecordFieldNames) {
    EXPECT_EQ(answer("GET", "/api/lists").status, 401);
    EXPECT_EQ(answer("GET", "/api/lists", "", "reef_sitzung=" + std::string(64, 'a')).status, 401);

    FleetEntry entry;
    entry.Hilfe = 2;
    entry.Name = "<script>alert(1)</script>";
    entry.Allianz = "Gr\xFC\xDF"
                    "e \x80";
    entry.Punkte = 9'007'199'254'740'993; // beyond what a JavaScript number holds exactly
    entry.Schiffe = 12;
    entry.Modus = 1;
    entry.ZielName = "Anna";
    entry.Von = "Bert";
    entry.BasisZeit = 4800;
    store(ListKind::Enemy, entry);

    WebAnswer lists = answer("GET", "/api/lists", "", login());
    ASSERT_EQ(lists.status, 200);
    EXPECT_EQ(lists.contentType, "application/json; charset=utf-8");
    EXPECT_EQ(lists.text().find('<'), std::string::npos) << "no markup even inside strings";
    // What goes out: the session's token first, then the body every session shares.
    EXPECT_EQ(lists.sentText().rfind("{\"csrf\":\"", 0), 0u);
    EXPECT_EQ(nlohmann::json::parse(lists.sentText())["csrf"].get<std::string>().size(), 64u);
    EXPECT_EQ(nlohmann::json::parse(lists.sentText())["csrf"], header(lists, "X-Reef-Csrf"));
    EXPECT_EQ(nlohmann::json::parse(lists.sentText())["lists"],
              nlohmann::json::parse(lists.text())["lists"]);
    nlohmann::json json = nlohmann::json::parse(lists.text());
    EXPECT_TRUE(json["lists"]["Reef_Frend"].empty());
    ASSERT_EQ(json["lists"]["Reef_Enemy"].size(), 1u);
    const nlohmann::json& e = json["lists"]["Reef_Enemy"][0];
    std::vector<std::string> keys;
    for (const auto& item : e.items())
        keys.push_back(item.key());
    std::vector<std::string> names(reef::wire::kFieldNames.begin(), reef::wire::kFieldNames.end());
    names.push_back("id");
    std::sort(keys.begin(), keys.end());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(keys, names);
    EXPECT_EQ(e["Name"], "<script>alert(1)</script>");
    EXPECT_EQ(e["Allianz"], "Gr\xC3\xBC\xC3\x9F"
                            "e \xE2\x82\xAC");
    EXPECT_EQ(e["Punkte"], "9007199254740993");
    EXPECT_EQ(e["Hilfe"], 2);
    EXPECT_EQ(e["Schiffe"], 12);
    EXPECT_TRUE(e["ZielZeit"].is_null());
    EXPECT_EQ(e["BasisZeit"], 4800);
    EXPECT_EQ(e["UpdateZeit"], 36000);
}

TEST_F(WebSiteTest, TheListsAreOneSharedBodyPerVersionCountedAgainstTheListLimit) {
    FleetEntry entry;
    entry.Name = "Erste";
    store(ListKind::Allied, entry);
    const std::string sessions[] = {login(), login()};
    const WebAnswer first = answer("GET", "/api/lists", "", sessions[0]);
    const WebAnswer again = answer("GET", "/api/lists", "", sessions[1]);
    ASSERT_TRUE(first.sharedBody);
    EXPECT_EQ(first.sharedBody, again.sharedBody) << "one body for every session";
    EXPECT_EQ(service_.listBytes(), first.text().size()) << "counted once";

    entry.Name = "Zweite";
    store(ListKind::Enemy, entry);
    const WebAnswer next = answer("GET", "/api/lists", "", sessions[0]);
    EXPECT_NE(next.sharedBody, first.sharedBody) << "a new version of a list, a new body";
    EXPECT_NE(next.text().find("Zweite"), std::string::npos);
    EXPECT_EQ(service_.listBytes(), first.text().size() + next.text().size())
        << "the old version is counted while an answer holds it";

    // Past the limit no body is built: the page hears that the server is busy.
    ServiceOptions small;
    small.maxListBytes = next.text().size() - 1;
    ListService tight(store_, key_,
                      ServiceClock{[this] { return utc_; }, [this] { return utc_ + 3600; },
                                   [this] { return monotonic_; }},
                      small);
    WebSite site(tight, [this] { return monotonic_; });
    WebRequest request;
    request.method = "POST";
    request.path = "/login";
    request.body = "passwort=pw-korallen";
    request.clientAddress = "192.0.2.1";
    GuardTicket ticket;
    const std::string cookie =
        header(std::get<WebAnswer>(site.handle(request, ticket)), "Set-Cookie");
    request.method = "GET";
    request.path = "/api/lists";
    request.cookieHeader = cookie.substr(0, cookie.find(';'));
    const WebAnswer refused = std::get<WebAnswer>(site.handle(request, ticket));
    EXPECT_EQ(refused.status, 503);
    EXPECT_EQ(tight.listBytes(), 0u);
}

TEST_F(WebSiteTest, ASessionAsksForTheListsWithinItsAllowance) {
    const std::string session = login();
    const std::string other = login();
    // {seconds later, status}: ten at once, then one per refill.
    const std::pair<double, int> asks[] = {{0, 200}, {0, 200}, {0, 200}, {0, 200}, {0, 200},
                                           {0, 200}, {0, 200}, {0, 200}, {0, 200}, {0, 200},
                                           {0, 429}, {3, 429}, {3, 200}, {0, 429}, {60, 200}};
    for (const auto& [later, status] : asks) {
        monotonic_ += later;
        const WebAnswer done = answer("GET", "/api/lists", "", session);
        EXPECT_EQ(done.status, status) << monotonic_;
        EXPECT_EQ(header(done, "Retry-After"), status == 429 ? "6" : "");
    }
    EXPECT_EQ(answer("GET", "/api/lists", "", other).status, 200) << "another session has its own";
}

TEST_F(WebSiteTest, EachSessionSeesOnlyItsOwnAlliance) {
    FleetEntry entry;
    entry.Name = "Nur Korallen";
    store(ListKind::Allied, entry);
    nlohmann::json haie =
        nlohmann::json::parse(answer("GET", "/api/lists", "", login("pw-haie")).text());
    EXPECT_TRUE(haie["lists"]["Reef_Frend"].empty());
    nlohmann::json korallen =
        nlohmann::json::parse(answer("GET", "/api/lists", "", login()).text());
    EXPECT_EQ(korallen["lists"]["Reef_Frend"].size(), 1u);
}

TEST_F(WebSiteTest, ANewAlliancePasswordEndsItsSessions) {
    std::string cookie = login();
    ASSERT_EQ(answer("GET", "/api/lists", "", cookie).status, 200);
    store_.setAlliancePassword("Korallen", key_.passwordHash("pw-korallen-neu"));
    EXPECT_EQ(answer("GET", "/api/lists", "", cookie).status, 401);
    EXPECT_NE(answer("GET", "/", "", cookie).body.find("name=\"passwort\""), std::string::npos);
}

TEST_F(WebSiteTest, SessionsEndAfterTwelveHours) {
    std::string cookie = login();
    monotonic_ += 12 * 3600 - 1;
    EXPECT_EQ(answer("GET", "/api/lists", "", cookie).status, 200);
    monotonic_ += 1;
    EXPECT_EQ(answer("GET", "/api/lists", "", cookie).status, 401);
}

TEST_F(WebSiteTest, EachPathTakesOnlyItsMethod) {
    const std::tuple<const char*, const char*, int, const char*> cases[] = {
        {"GET", "/login", 405, "POST"},   {"GET", "/logout", 405, "POST"},
        {"POST", "/", 405, "GET"},        {"POST", "/api/lists", 405, "GET"},
        {"HEAD", "/app.js", 405, "GET"},  {"PUT", "/login", 405, "POST"},
        {"GET", "/app.js", 200, nullptr}, {"GET", "/app.css", 200, nullptr},
    };
    for (const auto& [method, path, status, allow] : cases) {
        WebAnswer done = answer(method, path);
        EXPECT_EQ(done.status, status) << method << " " << path;
        if (allow) {
            EXPECT_EQ(header(done, "Allow"), allow) << method << " " << path;
        }
    }
    EXPECT_EQ(answer("GET", "/app.js").contentType, "text/javascript; charset=utf-8");
    EXPECT_EQ(answer("GET", "/app.css").contentType, "text/css; charset=utf-8");
}

TEST_F(WebSiteTest, TheSecurityHeadersAllowNoInlineScriptAndNoFraming) {
    std::string policy;
    std::string sniffing;
    for (const auto& [name, value] : webSecurityHeaders()) {
        if (name == "Content-Security-Policy")
            policy = value;
        if (name == "X-Content-Type-Options")
            sniffing = value;
    }
    EXPECT_NE(policy.find("script-src 'self'"), std::string::npos);
    EXPECT_NE(policy.find("frame-ancestors 'none'"), std::string::npos);
    EXPECT_NE(policy.find("default-src 'none'"), std::string::npos);
    EXPECT_EQ(policy.find("unsafe"), std::string::npos);
    EXPECT_EQ(sniffing, "nosniff");
    // Nothing inline for the policy to forbid: no script or style element with a body, and
    // no event attribute.
    for (const std::string& page :
         {answer("GET", "/").body, answer("GET", "/", "", login()).body}) {
        EXPECT_EQ(page.find("<script>"), std::string::npos);
        EXPECT_EQ(page.find("<style"), std::string::npos);
        EXPECT_EQ(page.find(" on"), std::string::npos);
        EXPECT_EQ(page.find("http"), std::string::npos) << "no external resource";
    }
}

TEST_F(WebSiteTest, TheAllianceNameIsEscapedInThePage) {
    store_.addAlliance("<b>Riff</b> & \"Co\"", key_.passwordHash("pw-riff-riff"));
    WebAnswer page = answer("GET", "/", "", login("pw-riff-riff"));
    EXPECT_NE(page.body.find("&lt;b&gt;Riff&lt;/b&gt; &amp; &quot;Co&quot;"), std::string::npos);
    EXPECT_EQ(page.body.find("<b>"), std::string::npos);
}

TEST_F(WebSiteTest, WebPathsAreTheirsAndTheScriptIsNot) {
    for (const char* path : {"/", "/login", "/logout", "/api/lists", "/app.js", "/app.css"})
        EXPECT_TRUE(isWebPath(path)) << path;
    for (const char* path : {"/Reef-Update.php", "/index.html", "/api", "", "/app.js/"})
        EXPECT_FALSE(isWebPath(path)) << path;
}

} // namespace
