// The response reader on its own: every body byte handed over once, and the body's bound.

#include "exchange/response_reader.h"
#include "exchange/scripted_list_server.h"
#include "platform/connection.h"
#include "support/stepped_clock.h"

#include <gtest/gtest.h>

namespace {

using namespace reef::exchange;
using namespace reef::testing;

struct CollectingRules final : BodyRules {
    std::string body;
    int ends = 0;
    Step onBody(std::string_view bytes) override {
        body += bytes;
        return Step::GoOn;
    }
    Step onIdle() override { return Step::GoOn; }
    void onEnd() override { ++ends; }
};

ResponseEnd readFrom(ScriptedListServer& server, CollectingRules& rules) {
    reef::platform::Connection connection;
    EXPECT_TRUE(connection.open(server.address().host, server.address().port));
    connection.send(std::string("GET / HTTP/1.0\r\n\r\n"));
    SteppedClock clock;
    return readResponse(connection, clock, 0, rules).end;
}

TEST(ReadResponse, HandsOverEveryBodyByteOnceAndJudgesTheEndOnce) {
    std::string body;
    for (int i = 0; i < 3000; ++i) {
        body += std::to_string(i) + ",";
    }
    ScriptedListServer server({{{"HTTP/1.0 200 OK\r\n\r\n" + body.substr(0, 1500),
                                 body.substr(1500, 1), body.substr(1501)}}});
    CollectingRules rules;
    EXPECT_EQ(readFrom(server, rules), ResponseEnd::ByRules);
    EXPECT_EQ(rules.body, body);
    EXPECT_EQ(rules.ends, 1);
}

TEST(ReadResponse, FailsABodyOverSixteenMebibytes) {
    ScriptedListServer server({okAnswer(std::string(kMaxBodyBytes + 1, 'x'))});
    CollectingRules rules;
    EXPECT_EQ(readFrom(server, rules), ResponseEnd::BodyTooLarge);
    EXPECT_EQ(rules.ends, 0);
}

} // namespace
