// Chat webhooks through the real reef-listserver: the admin command, the alerts a running
// server posts to a chat endpoint on loopback, and the desktop program's requests while that
// chat never answers.

#include "listserver/chat/chat_endpoint.h"
#include "listserver/contract_fixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <sys/stat.h>

namespace reef::listserver::testing {

namespace {

class WebhookServerTest : public ListServerTest {
  protected:
    CommandResult webhook(std::vector<std::string> args, const std::string& name = "Korallen") {
        args.insert(args.begin(), {"alliance", "webhook", name});
        args.insert(args.end(), {"--db", db_});
        return runListServer(args, "");
    }
    std::string allianceList() {
        return runListServer({"alliance", "list", "--db", db_}, "").output;
    }

    ChatEndpoint chat_;
};

TEST_F(WebhookServerTest, TheCommandKeepsTheUrlAndShowsOnlySchemeAndHost) {
    CommandResult set = webhook({chat_.url(), "--format", "json", "--mention", "@alle"});
    ASSERT_EQ(set.exitCode, 0) << set.output;
    EXPECT_NE(set.output.find("use https"), std::string::npos) << "http is warned about";
    EXPECT_EQ(set.output.find(ChatEndpoint::kSecret), std::string::npos) << set.output;
    EXPECT_EQ(allianceList(), "Haie\nKorallen (webhook: json to http://127.0.0.1)\n");
    struct stat info {};
    ASSERT_EQ(::stat(db_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u) << "the database holding the URL is the owner's alone";
    for (const auto& refused :
         std::vector<std::vector<std::string>>{{"ftp://example.org/x"},
                                               {chat_.url(), "--format", "teams"},
                                               {chat_.url(), "--mention", "a\nb"},
                                               {chat_.url(), "--remove"},
                                               {}})
        EXPECT_EQ(webhook(refused).exitCode, 2) << (refused.empty() ? "" : refused[0]);
    EXPECT_EQ(webhook({chat_.url()}, "Niemand").exitCode, 1);
    ASSERT_EQ(webhook({"--remove"}).exitCode, 0);
    EXPECT_EQ(allianceList(), "Haie\nKorallen\n");
}

TEST_F(WebhookServerTest, OneMessagePerAlertNoneForOtherWritesAndNoUrlInTheLog) {
    ASSERT_EQ(webhook({chat_.url(), "--format", "json"}).exitCode, 0);
    ASSERT_EQ(submit("Reef_Enemy", "New", enemyEntry()), "ready");
    // Nothing for these: an allied entry, a change that keeps the help code, another alliance.
    ASSERT_EQ(submit("Reef_Frend", "New", alliedEntry()), "ready");
    ASSERT_EQ(submit("Reef_Enemy", "Change", enemyEntry() + "&IDW=11&BasisZeitW=49200"), "ready");
    ASSERT_EQ(submit("Reef_Enemy", "New", enemyEntry(), kOtherPassword), "ready");
    std::string achtung = enemyEntry();
    achtung.replace(achtung.find("Hilfe=1"), 7, "Hilfe=3");
    ASSERT_EQ(submit("Reef_Enemy", "Change", achtung + "&IDW=11&BasisZeitW=49200"), "ready");
    std::string hilfe = alliedEntry();
    hilfe.replace(hilfe.find("Hilfe=3"), 7, "Hilfe=1");
    ASSERT_EQ(submit("Reef_Frend", "Change", hilfe + "&IDW=4&BasisZeitW=3600"), "ready");
    ASSERT_TRUE(chat_.waitFor(3, 10)) << server_->log();
    EXPECT_FALSE(chat_.waitFor(4, 1.5)) << "nothing beyond the three alerts";

    std::vector<nlohmann::json> sent;
    for (const std::string& body : chat_.bodies())
        sent.push_back(nlohmann::json::parse(body));
    EXPECT_EQ(sent.at(0)["Ereignis"], "neuer_gegner");
    EXPECT_EQ(sent[0]["Name"], "Klaus_Peter");
    EXPECT_EQ(sent[0]["ZielZeit"], 48000);
    EXPECT_EQ(sent[1]["Ereignis"], "gegner_hilfe");
    EXPECT_EQ(sent[1]["HilfeName"], "Achtung");
    EXPECT_EQ(sent[2]["Ereignis"], "verbuendete_hilfe");
    EXPECT_EQ(sent[2]["HilfeName"], "Hilfe");

    server_->signal(SIGTERM);
    ASSERT_EQ(server_->wait(), 0);
    const std::string log = server_->log();
    EXPECT_NE(
        log.find("webhook of alliance \"Korallen\", new enemy entry (http://127.0.0.1): sent"),
        std::string::npos)
        << log;
    EXPECT_EQ(log.find(ChatEndpoint::kSecret), std::string::npos) << log;
}

TEST_F(WebhookServerTest, AMembersEntryPingsNoOneAndLinksNowhereInSlackOrDiscord) {
    const std::string ping = "<!channel>_@here", link = "[Neues_Passwort_hier](https://e.example)";
    std::string entry = enemyEntry(ping);
    entry.replace(entry.find("ZielName=Anna"), 13, "ZielName=" + link);
    entry.replace(entry.find("Von=Bert"), 8, "Von=@everyone");
    ASSERT_EQ(webhook({chat_.url(), "--format", "slack", "--mention", "<!here>"}).exitCode, 0);
    ASSERT_EQ(submit("Reef_Enemy", "New", entry), "ready");
    ASSERT_TRUE(chat_.waitFor(1, 10)) << server_->log();
    ASSERT_EQ(webhook({chat_.url(), "--format", "discord", "--mention", "@here"}).exitCode, 0);
    entry.replace(entry.find("Hilfe=1"), 7, "Hilfe=3");
    const std::string key = "&IDW=" + std::to_string(ping.size()) + "&BasisZeitW=49200";
    ASSERT_EQ(submit("Reef_Enemy", "Change", entry + key), "ready");
    ASSERT_TRUE(chat_.waitFor(2, 10)) << server_->log();

    const std::string zw = "\xe2\x80\x8b"; // U+200B, bytes: these literals are not UTF-8
    const nlohmann::json slack = nlohmann::json::parse(chat_.bodies().at(0));
    const std::string text = slack["text"];
    EXPECT_EQ(text.substr(0, text.find('\n')),
              "<!here> Neue gegnerische Flotte: &lt;!channel&gt;_@" + zw +
                  "here \xe2\x86\x92 [Neues_Passwort_hier]" + zw + "(https://e.example)")
        << text;
    EXPECT_NE(text.find("\nEingetragen von: @" + zw + "everyone"), std::string::npos) << text;
    const nlohmann::json discord = nlohmann::json::parse(chat_.bodies().at(1));
    EXPECT_EQ(discord["content"], "@here");
    EXPECT_EQ(discord["allowed_mentions"], nlohmann::json({{"parse", {"everyone"}}}));
    EXPECT_EQ(discord["embeds"][0]["description"],
              "\\[Neues\\_Passwort\\_hier\\](https://e\\.example) weis noch nichts vom Angriff und "
              "wird wohl seine Flotte verlieren. (Eingetragen von @" +
                  zw + "everyone)");
}

TEST_F(WebhookServerTest, UpdateAndSubmissionsAnswerWhileTheChatNeverAnswers) {
    using Clock = std::chrono::steady_clock;
    const auto updates = [&](std::size_t entries) {
        std::vector<double> ms;
        for (int i = 0; i < 20; ++i) {
            const auto start = Clock::now();
            EXPECT_EQ(download("Reef_Enemy").size(), entries);
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        std::sort(ms.begin(), ms.end());
        return "median " + std::to_string(ms[10]) + " ms, slowest " + std::to_string(ms[19]) +
               " ms of 20";
    };
    // Three enemy fleets, then each turned to "Achtung" once the chat hangs: the same list
    // is read before and during.
    const std::vector<std::string> names = {"Eins", "Zwei", "Drei"};
    const auto fleet = [&](std::size_t i, const std::string& help) {
        std::string keys = enemyEntry(names[i], std::to_string(49200 + 1200 * i));
        return keys.replace(keys.find("Hilfe=1"), 7, help);
    };
    for (std::size_t i = 0; i < names.size(); ++i)
        ASSERT_EQ(submit("Reef_Enemy", "New", fleet(i, "Hilfe=1")), "ready");
    const std::string before = updates(3);

    chat_.answer({}, ChatReply{204, "", true}); // held until the test ends
    ASSERT_EQ(webhook({chat_.url()}).exitCode, 0);
    for (std::size_t i = 0; i < names.size(); ++i)
        ASSERT_EQ(
            submit("Reef_Enemy", "Change",
                   fleet(i, "Hilfe=3") + "&IDW=4&BasisZeitW=" + std::to_string(49200 + 1200 * i)),
            "ready");
    ASSERT_TRUE(chat_.waitFor(1, 10));
    const std::string during = updates(3);
    EXPECT_EQ(chat_.requests().size(), 1u) << "the chat still holds the first alert";
    std::cout << "[ figures  ] Update without webhook: " << before << "\n"
              << "[ figures  ] Update while the chat hangs: " << during << "\n";

    const auto stopAt = Clock::now();
    server_->signal(SIGTERM);
    ASSERT_EQ(server_->wait(), 0);
    std::cout << "[ figures  ] server stopped "
              << std::chrono::duration<double, std::milli>(Clock::now() - stopAt).count()
              << " ms after SIGTERM while the chat held an alert\n";
    EXPECT_NE(server_->log().find("messages not sent: 3"), std::string::npos) << server_->log();
}

} // namespace

} // namespace reef::listserver::testing
