// Chat webhooks through the real reef-listserver: the admin command, the alerts that a
// running server posts to a chat endpoint on loopback, and the requests of the desktop
// program while that chat hangs.

#include "listserver/chat_endpoint.h"
#include "listserver/contract_fixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <iostream>
#include <sys/stat.h>

namespace reef::listserver::testing {

namespace {

using nlohmann::json;

class WebhookServerTest : public ListServerTest {
  protected:
    CommandResult setWebhook(const std::vector<std::string>& extra) {
        std::vector<std::string> args = {"alliance", "webhook", "Korallen"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.insert(args.end(), {"--db", db_});
        return runListServer(args, "");
    }
    // The bodies the chat has received, read as JSON.
    std::vector<json> messages() {
        std::vector<json> out;
        for (const ChatRequest& request : chat_.requests())
            out.push_back(json::parse(request.body));
        return out;
    }
    double updateMilliseconds(std::size_t expectedEntries) {
        const auto start = std::chrono::steady_clock::now();
        auto records = download("Reef_Enemy");
        const auto end = std::chrono::steady_clock::now();
        EXPECT_EQ(records.size(), expectedEntries);
        return std::chrono::duration<double, std::milli>(end - start).count();
    }

    ChatEndpoint chat_;
};

std::string figures(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return "median " + std::to_string(values[values.size() / 2]) + " ms, max " +
           std::to_string(values.back()) + " ms over " + std::to_string(values.size());
}

TEST_F(WebhookServerTest, TheCommandStoresTheWebhookAndListShowsOnlySchemeAndHost) {
    CommandResult set = setWebhook({chat_.url(), "--format", "json", "--mention", "@alle"});
    ASSERT_EQ(set.exitCode, 0) << set.output;
    EXPECT_NE(set.output.find("http://127.0.0.1"), std::string::npos) << set.output;
    EXPECT_NE(set.output.find("use https"), std::string::npos) << "http is warned about";
    EXPECT_EQ(set.output.find(ChatEndpoint::kSecret), std::string::npos) << set.output;
    CommandResult list = runListServer({"alliance", "list", "--db", db_}, "");
    EXPECT_EQ(list.output, "Haie\nKorallen (webhook: json to http://127.0.0.1)\n");
    struct stat info {};
    ASSERT_EQ(::stat(db_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u) << "the database holding the URL is the owner's alone";

    CommandResult removed = setWebhook({"--remove"});
    ASSERT_EQ(removed.exitCode, 0) << removed.output;
    EXPECT_EQ(runListServer({"alliance", "list", "--db", db_}, "").output, "Haie\nKorallen\n");
}

TEST_F(WebhookServerTest, TheCommandRefusesWhatCannotWork) {
    EXPECT_EQ(setWebhook({"ftp://example.org/x"}).exitCode, 2);
    EXPECT_EQ(setWebhook({chat_.url(), "--format", "teams"}).exitCode, 2);
    EXPECT_EQ(setWebhook({chat_.url(), "--mention", "a\nb"}).exitCode, 2);
    EXPECT_EQ(setWebhook({chat_.url(), "--remove"}).exitCode, 2);
    EXPECT_EQ(setWebhook({}).exitCode, 2);
    EXPECT_EQ(
        runListServer({"alliance", "webhook", "Niemand", chat_.url(), "--db", db_}, "").exitCode,
        1);
    EXPECT_EQ(runListServer({"alliance", "list", "--db", db_}, "").output, "Haie\nKorallen\n");
}

TEST_F(WebhookServerTest, OneMessagePerAlertAndNoneForOtherWrites) {
    ASSERT_EQ(setWebhook({chat_.url(), "--format", "json"}).exitCode, 0);
    // A new enemy fleet.
    ASSERT_EQ(submit("Reef_Enemy", "New", enemyEntry()), "ready");
    ASSERT_TRUE(chat_.waitFor(1, 10)) << server_->log();
    // No message: an allied entry, a change that keeps the help code, another alliance.
    ASSERT_EQ(submit("Reef_Frend", "New", alliedEntry()), "ready");
    ASSERT_EQ(submit("Reef_Enemy", "Change", enemyEntry() + "&IDW=11&BasisZeitW=49200"), "ready");
    ASSERT_EQ(submit("Reef_Enemy", "New", enemyEntry(), kOtherPassword), "ready");
    // Calls for help.
    std::string enemyAchtung = enemyEntry();
    enemyAchtung.replace(enemyAchtung.find("Hilfe=1"), 7, "Hilfe=3");
    ASSERT_EQ(submit("Reef_Enemy", "Change", enemyAchtung + "&IDW=11&BasisZeitW=49200"), "ready");
    std::string alliedHilfe = alliedEntry();
    alliedHilfe.replace(alliedHilfe.find("Hilfe=3"), 7, "Hilfe=1");
    ASSERT_EQ(submit("Reef_Frend", "Change", alliedHilfe + "&IDW=4&BasisZeitW=3600"), "ready");
    ASSERT_TRUE(chat_.waitFor(3, 10)) << server_->log();
    EXPECT_FALSE(chat_.waitFor(4, 1.5)) << "nothing beyond the three alerts";

    std::vector<json> sent = messages();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0]["Ereignis"], "neuer_gegner");
    EXPECT_EQ(sent[0]["Name"], "Klaus_Peter") << "as stored and downloaded";
    EXPECT_EQ(sent[0]["ZielZeit"], 48000);
    EXPECT_EQ(sent[0]["Von"], "Bert");
    EXPECT_EQ(sent[1]["Ereignis"], "gegner_hilfe");
    EXPECT_EQ(sent[1]["HilfeName"], "Achtung");
    EXPECT_EQ(sent[2]["Ereignis"], "verbuendete_hilfe");
    EXPECT_EQ(sent[2]["Liste"], "Reef_Frend");
    EXPECT_EQ(sent[2]["HilfeName"], "Hilfe");
}

TEST_F(WebhookServerTest, TheLogNamesTheWebhookByHostAndNeverHoldsTheUrl) {
    chat_.script({ChatReply{500, "", false}});
    ASSERT_EQ(setWebhook({chat_.url()}).exitCode, 0);
    ASSERT_EQ(submit("Reef_Enemy", "New", enemyEntry()), "ready");
    ASSERT_TRUE(chat_.waitFor(2, 15)) << "sent again after the 500";
    server_->signal(SIGTERM);
    ASSERT_EQ(server_->wait(), 0);
    const std::string log = server_->log();
    EXPECT_NE(log.find("webhook of alliance \"Korallen\", new enemy entry (http://127.0.0.1): "
                       "answered 500, next try in 2 s"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find(ChatEndpoint::kSecret), std::string::npos) << log;
    EXPECT_EQ(log.find("/api/webhooks"), std::string::npos) << log;
}

TEST_F(WebhookServerTest, UpdateAndSubmissionsAnswerWhileTheChatNeverAnswers) {
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(submit("Reef_Enemy", "New", enemyEntry("Vorher" + std::to_string(i))), "ready");
    std::vector<double> before;
    for (int i = 0; i < 20; ++i)
        before.push_back(updateMilliseconds(3));

    chat_.setDefault(ChatReply{204, "", true}); // holds every answer until the test ends
    ASSERT_EQ(setWebhook({chat_.url(), "--format", "discord"}).exitCode, 0);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(submit("Reef_Enemy", "New", enemyEntry("Haengt" + std::to_string(i))), "ready");
    ASSERT_TRUE(chat_.waitFor(1, 10)) << "the first alert is held by the chat";
    std::vector<double> during;
    for (int i = 0; i < 20; ++i)
        during.push_back(updateMilliseconds(6));
    EXPECT_EQ(chat_.requests().size(), 1u) << "the chat still holds the first alert";
    std::cout << "[ figures  ] Update without webhook: " << figures(before) << "\n"
              << "[ figures  ] Update while the chat hangs: " << figures(during) << "\n";

    // And the server stops at once, without waiting for the chat.
    const auto stopAt = std::chrono::steady_clock::now();
    server_->signal(SIGTERM);
    ASSERT_EQ(server_->wait(), 0);
    std::cout << "[ figures  ] stopped after "
              << std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                           stopAt)
                     .count()
              << " ms while the chat held an alert\n";
    EXPECT_NE(server_->log().find("messages not sent: 3"), std::string::npos) << server_->log();
}

} // namespace

} // namespace reef::listserver::testing
