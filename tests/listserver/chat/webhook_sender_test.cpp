// The sending queue against a chat endpoint on loopback: what arrives, in which order and
// pace, and what happens when the chat refuses, throttles or hangs.

#include "listserver/chat/chat_endpoint.h"
#include "listserver/chat/webhook_sender.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>

using namespace reef::listserver;
using reef::listserver::testing::ChatEndpoint;
using reef::listserver::testing::ChatReply;
using Bodies = std::vector<std::string>;

namespace {

class WebhookSenderTest : public ::testing::Test {
  protected:
    // Quick pauses, so that each test takes about a second at most.
    WebhookSender& start(SenderOptions options = {.secondsBetween = 0.05,
                                                  .firstRetrySeconds = 0.1}) {
        sender_ = std::make_unique<WebhookSender>(options, [this](const std::string& line) {
            std::lock_guard lock(mutex_);
            log_ += line + "\n";
        });
        return *sender_;
    }
    void send(const std::string& body, const std::string& url = "") {
        sender_->send(
            Delivery{url.empty() ? chat_.url() : url, "http://127.0.0.1", "of Korallen", body});
    }
    std::string log() {
        std::lock_guard lock(mutex_);
        return log_;
    }

    ChatEndpoint chat_;
    std::mutex mutex_;
    std::string log_;
    std::unique_ptr<WebhookSender> sender_;
};

TEST_F(WebhookSenderTest, PostsJsonToTheUrlInOrderAtTheWebhooksPace) {
    start({.secondsBetween = 0.3});
    for (const char* body : {"1", "2", "3"})
        send(body);
    ASSERT_TRUE(chat_.waitFor(3, 10));
    auto requests = chat_.requests();
    EXPECT_EQ(chat_.bodies(), (Bodies{"1", "2", "3"}));
    EXPECT_EQ(requests[0].head.rfind(std::string("POST /api/webhooks/4711/") +
                                         ChatEndpoint::kSecret + " HTTP/1.1\r\n",
                                     0),
              0u);
    EXPECT_NE(requests[0].head.find("Content-Type: application/json; charset=utf-8"),
              std::string::npos);
    // A lower bound, not a speed goal: the pace counts from the start of a post.
    EXPECT_GE(requests[1].at - requests[0].at, 0.2);
    EXPECT_GE(requests[2].at - requests[1].at, 0.2);
}

TEST_F(WebhookSenderTest, A429IsWaitedOutForItsRetryAfterAndTheLogNamesOnlyTheHost) {
    chat_.answer({ChatReply{429, "Retry-After: 1\r\n"}});
    start();
    send("eins");
    send("zwei");
    ASSERT_TRUE(chat_.waitFor(3, 10));
    EXPECT_EQ(chat_.bodies(), (Bodies{"eins", "eins", "zwei"}));
    EXPECT_GE(chat_.requests()[1].at - chat_.requests()[0].at, 1.0);
    const std::string lines = log();
    EXPECT_NE(lines.find("webhook of Korallen (http://127.0.0.1): answered 429, next try in 1 s"),
              std::string::npos)
        << lines;
    EXPECT_EQ(lines.find(ChatEndpoint::kSecret), std::string::npos) << lines;
}

TEST_F(WebhookSenderTest, ServerErrorsAreRetriedWithGrowingPausesThenGivenUp) {
    chat_.answer({}, ChatReply{503, ""});
    start({.secondsBetween = 0.05, .firstRetrySeconds = 0.1, .attempts = 3});
    send("x");
    ASSERT_TRUE(chat_.waitFor(3, 10));
    EXPECT_FALSE(chat_.waitFor(4, 1.0));
    auto requests = chat_.requests();
    EXPECT_GE(requests[1].at - requests[0].at, 0.1);
    EXPECT_GE(requests[2].at - requests[1].at, 0.2);
    EXPECT_NE(log().find("answered 503, given up after 3 tries"), std::string::npos) << log();
}

TEST_F(WebhookSenderTest, AWebhookTheChatRefusesForGoodIsNotAskedAgain) {
    chat_.answer({ChatReply{404, ""}});
    start();
    send("weg");
    send("danach");
    ASSERT_TRUE(chat_.waitFor(2, 10));
    EXPECT_FALSE(chat_.waitFor(3, 0.5));
    EXPECT_EQ(chat_.bodies(), (Bodies{"weg", "danach"}));
}

TEST_F(WebhookSenderTest, AFullQueueDropsTheOldestWithALogLineEach) {
    chat_.answer({}, ChatReply{204, "", true});
    start({.capacity = 3, .secondsBetween = 0.05});
    send("0");
    ASSERT_TRUE(chat_.waitFor(1, 10)); // "0" is under way, the queue is empty
    for (const char* body : {"1", "2", "3", "4", "5"})
        send(body);
    chat_.release();
    ASSERT_TRUE(chat_.waitFor(4, 10));
    EXPECT_FALSE(chat_.waitFor(5, 0.5));
    EXPECT_EQ(chat_.bodies(), (Bodies{"0", "3", "4", "5"}));
    const std::string lines = log();
    const std::string drop = "queue full (3 messages), dropped the oldest";
    const std::size_t first = lines.find(drop);
    ASSERT_NE(first, std::string::npos) << lines;
    const std::size_t second = lines.find(drop, first + 1);
    ASSERT_NE(second, std::string::npos) << lines;
    EXPECT_EQ(lines.find(drop, second + 1), std::string::npos) << lines;
}

TEST_F(WebhookSenderTest, AHangingChatHoldsUpNoOtherWebhookAndFillsOnlyItsOwnQueue) {
    chat_.answer({ChatReply{204, "", true}}); // the first post hangs, later ones are answered
    start({.capacity = 3, .secondsBetween = 0.05});
    const std::string other = chat_.url() + "-haie";
    send("a0");
    ASSERT_TRUE(chat_.waitFor(1, 10));
    for (const char* body : {"a1", "a2", "a3", "a4", "a5"})
        send(body);
    const double queuedAt = ChatEndpoint::now();
    for (const char* body : {"b1", "b2", "b3"})
        send(body, other);
    EXPECT_TRUE(chat_.waitFor(4, 5)) << "the other webhook waits on the hanging chat";
    if (chat_.requests().size() > 1)
        std::cout << "[ figures  ] another webhook's message arrived "
                  << (chat_.requests()[1].at - queuedAt) * 1000 << " ms after it was queued\n";
    chat_.release();
    ASSERT_TRUE(chat_.waitFor(7, 10));
    EXPECT_FALSE(chat_.waitFor(8, 0.5));
    EXPECT_EQ(chat_.bodies(), (Bodies{"a0", "b1", "b2", "b3", "a3", "a4", "a5"}));
    const std::string lines = log();
    std::size_t drops = 0;
    for (auto at = lines.find("queue full"); at != std::string::npos;
         at = lines.find("queue full", at + 1))
        ++drops;
    EXPECT_EQ(drops, 2u) << "a1 and a2 only: " << lines;
}

TEST_F(WebhookSenderTest, StopsAtOnceWhileTheChatHoldsItsAnswer) {
    chat_.answer({}, ChatReply{204, "", true});
    start();
    send("haengt");
    send("wartet");
    ASSERT_TRUE(chat_.waitFor(1, 10));
    const double before = ChatEndpoint::now();
    sender_.reset();
    std::cout << "[ figures  ] sender stopped " << (ChatEndpoint::now() - before) * 1000
              << " ms after its stop while the chat held its answer\n";
    EXPECT_NE(log().find("stopping; messages not sent: 2"), std::string::npos) << log();
}

} // namespace
