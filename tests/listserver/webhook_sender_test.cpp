// The sending queue against a chat endpoint on loopback: what arrives, in which order and
// pace, and what happens when the chat refuses, throttles or hangs.

#include "listserver/chat_endpoint.h"
#include "listserver/webhook_sender.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>

using namespace reef::listserver;
using reef::listserver::testing::ChatEndpoint;
using reef::listserver::testing::ChatReply;

namespace {

// Collects the sender's log lines.
struct LogLines {
    std::mutex mutex;
    std::vector<std::string> lines;
    WebhookSender::Log log() {
        return [this](const std::string& line) {
            std::lock_guard lock(mutex);
            lines.push_back(line);
        };
    }
    std::string all() {
        std::lock_guard lock(mutex);
        std::string text;
        for (const auto& line : lines)
            text += line + "\n";
        return text;
    }
};

// Quick pauses, so that the retry tests take well under a second each.
SenderOptions quick() {
    SenderOptions options;
    options.secondsBetween = 0.05;
    options.firstRetrySeconds = 0.1;
    return options;
}

Delivery message(const ChatEndpoint& chat, const std::string& body) {
    return Delivery{chat.url(), "http://127.0.0.1", "of alliance \"Korallen\"", body};
}

std::vector<std::string> bodies(ChatEndpoint& chat) {
    std::vector<std::string> out;
    for (const auto& request : chat.requests())
        out.push_back(request.body);
    return out;
}

TEST(WebhookSender, PostsTheBodyAsUtf8JsonToTheWebhookPath) {
    ChatEndpoint chat;
    LogLines log;
    WebhookSender sender(quick(), log.log());
    sender.send(message(chat, R"({"text":"Angriff"})"));
    ASSERT_TRUE(chat.waitFor(1, 10));
    auto request = chat.requests().at(0);
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, std::string("/api/webhooks/4711/") + ChatEndpoint::kSecret);
    EXPECT_EQ(request.headers["content-type"], "application/json; charset=utf-8");
    EXPECT_EQ(request.body, R"({"text":"Angriff"})");
}

TEST(WebhookSender, KeepsTheOrderAndTheGapBetweenMessagesOfOneWebhook) {
    ChatEndpoint chat;
    LogLines log;
    SenderOptions options = quick();
    options.secondsBetween = 0.3;
    WebhookSender sender(options, log.log());
    for (const char* body : {"1", "2", "3"})
        sender.send(message(chat, body));
    ASSERT_TRUE(chat.waitFor(3, 10));
    auto requests = chat.requests();
    EXPECT_EQ(bodies(chat), (std::vector<std::string>{"1", "2", "3"}));
    // A lower bound on the pace, not a speed goal: the chat must never get them faster. The
    // gap counts from the start of a post, the endpoint sees its body a little later.
    EXPECT_GE(requests[1].at - requests[0].at, 0.2);
    EXPECT_GE(requests[2].at - requests[1].at, 0.2);
}

TEST(WebhookSender, WaitsTheRetryAfterOfA429AndThenSendsTheSameMessage) {
    ChatEndpoint chat;
    chat.script({ChatReply{429, "Retry-After: 1\r\n", false}});
    LogLines log;
    WebhookSender sender(quick(), log.log());
    sender.send(message(chat, "eins"));
    sender.send(message(chat, "zwei"));
    ASSERT_TRUE(chat.waitFor(3, 10));
    auto requests = chat.requests();
    EXPECT_EQ(bodies(chat), (std::vector<std::string>{"eins", "eins", "zwei"}));
    EXPECT_GE(requests[1].at - requests[0].at, 0.95);
    EXPECT_NE(log.all().find("answered 429, next try in 1 s"), std::string::npos) << log.all();
}

TEST(WebhookSender, RetriesServerErrorsWithGrowingPausesAndGivesUpAfterItsTries) {
    ChatEndpoint chat;
    chat.setDefault(ChatReply{503, "", false});
    LogLines log;
    SenderOptions options = quick();
    options.attempts = 3;
    WebhookSender sender(options, log.log());
    sender.send(message(chat, "x"));
    ASSERT_TRUE(chat.waitFor(3, 10));
    EXPECT_FALSE(chat.waitFor(4, 1.0)); // no fourth try
    auto requests = chat.requests();
    const double firstPause = requests[1].at - requests[0].at;
    const double secondPause = requests[2].at - requests[1].at;
    EXPECT_GE(firstPause, 0.09);
    EXPECT_GE(secondPause, 0.19);
    EXPECT_NE(log.all().find("answered 503, given up after 3 tries"), std::string::npos)
        << log.all();
}

TEST(WebhookSender, DoesNotRetryAWebhookTheChatNoLongerKnows) {
    ChatEndpoint chat;
    chat.script({ChatReply{404, "", false}});
    LogLines log;
    WebhookSender sender(quick(), log.log());
    sender.send(message(chat, "weg"));
    sender.send(message(chat, "danach"));
    ASSERT_TRUE(chat.waitFor(2, 10));
    EXPECT_EQ(bodies(chat), (std::vector<std::string>{"weg", "danach"}));
    EXPECT_NE(log.all().find("answered 404, given up after 1 try"), std::string::npos) << log.all();
}

TEST(WebhookSender, DropsTheOldestMessageWithALogLineWhenTheQueueIsFull) {
    ChatEndpoint chat;
    chat.setDefault(ChatReply{204, "", true});
    LogLines log;
    SenderOptions options = quick();
    options.capacity = 3;
    WebhookSender sender(options, log.log());
    sender.send(message(chat, "0"));
    ASSERT_TRUE(chat.waitFor(1, 10)); // "0" is under way, the queue is empty
    for (const char* body : {"1", "2", "3", "4", "5"})
        sender.send(message(chat, body));
    chat.release();
    ASSERT_TRUE(chat.waitFor(4, 10));
    EXPECT_FALSE(chat.waitFor(5, 0.5));
    EXPECT_EQ(bodies(chat), (std::vector<std::string>{"0", "3", "4", "5"}));
    std::string lines = log.all();
    std::size_t drops = 0;
    for (std::size_t at = lines.find("queue full"); at != std::string::npos;
         at = lines.find("queue full", at + 1))
        ++drops;
    EXPECT_EQ(drops, 2u) << lines;
}

TEST(WebhookSender, StopsAtOnceWhileTheChatHoldsItsAnswer) {
    ChatEndpoint chat;
    chat.setDefault(ChatReply{204, "", true});
    LogLines log;
    auto sender = std::make_unique<WebhookSender>(quick(), log.log());
    sender->send(message(chat, "haengt"));
    sender->send(message(chat, "wartet"));
    ASSERT_TRUE(chat.waitFor(1, 10));
    const double before = ChatEndpoint::now();
    sender.reset();
    std::cout << "[ figures  ] sender stopped " << (ChatEndpoint::now() - before) * 1000
              << " ms after its stop while the chat held its answer\n";
    EXPECT_NE(log.all().find("stopping; messages not sent: 2"), std::string::npos) << log.all();
}

TEST(WebhookSender, NeverWritesTheUrlIntoTheLog) {
    ChatEndpoint chat;
    chat.script({ChatReply{500, "", false}, ChatReply{429, "Retry-After: 0\r\n", false},
                 ChatReply{400, "", false}});
    LogLines log;
    SenderOptions options = quick();
    options.capacity = 1;
    WebhookSender sender(options, log.log());
    sender.send(message(chat, "a"));
    sender.send(message(chat, "b"));
    sender.send(message(chat, "c"));
    ASSERT_TRUE(chat.waitFor(3, 10));
    chat.release();
    sender.send(message(chat, "d"));
    ASSERT_TRUE(chat.waitFor(4, 10));
    const std::string lines = log.all();
    EXPECT_FALSE(lines.empty());
    EXPECT_EQ(lines.find(ChatEndpoint::kSecret), std::string::npos) << lines;
    EXPECT_EQ(lines.find("/api/webhooks"), std::string::npos) << lines;
    EXPECT_NE(lines.find("(http://127.0.0.1)"), std::string::npos) << lines;
}

} // namespace
