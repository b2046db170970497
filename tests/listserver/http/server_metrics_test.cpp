#include "listserver/http/server_metrics.h"

#include <gtest/gtest.h>

using namespace reef::listserver;

TEST(ServerMetricsTest, KindsWordsAndAllowedAddresses) {
    const std::pair<const char*, RequestKind> kinds[] = {
        {"/Reef-Update.php?Info1=x&Info2=Reef_Frend&Info3=Update", RequestKind::Update},
        {"http://h/Reef-Update.php?Info3=New&Info1=x", RequestKind::New},
        {"/Reef-Update.php?Info1=Info3=New&Info3=Change", RequestKind::Change},
        {"/Reef-Update.php?Info3=Updates", RequestKind::Other},
        {"/Reef-Update.php?XInfo3=Update", RequestKind::Other},
        {"/Reef-Update.php", RequestKind::Other},
        {"", RequestKind::Other}};
    for (const auto& [target, kind] : kinds)
        EXPECT_EQ(requestKindOf(target), kind) << target;

    const std::tuple<int, const char*, AnswerWord> words[] = {
        {200, "|>Update<|<>end|<>", AnswerWord::List},
        {200, "ready", AnswerWord::Ready},
        {200, "false", AnswerWord::False},
        {200, "Error10", AnswerWord::Error10},
        {200, "Error1", AnswerWord::Error1},
        {200, "Error100", AnswerWord::Other},
        {200, "other", AnswerWord::Other},
        {404, "ready", AnswerWord::Other}};
    for (const auto& [status, body, word] : words)
        EXPECT_EQ(answerWordOf(status, body), word) << body;

    const std::vector<std::string> allowed = {"127.0.0.1", "::1", "2001:db8::7"};
    const std::pair<const char*, bool> clients[] = {
        {"127.0.0.1", true},  {"::1", true},
        {"0:0::1", true},     {"2001:db8:0::7", true},
        {"127.0.0.2", false}, {"::ffff:127.0.0.1", false},
        {"", false},          {"localhost", false}};
    for (const auto& [client, expected] : clients)
        EXPECT_EQ(metricsAllowed(client, allowed), expected) << client;
    EXPECT_FALSE(metricsAllowed("127.0.0.1", {}));
}

TEST(ServerMetricsTest, HistogramBucketsAreCumulativeAndReadingsShareTheirHeader) {
    ServerMetrics metrics;
    metrics.countAnswer(RequestKind::Update, AnswerWord::List, 0.0004);
    metrics.countAnswer(RequestKind::Update, AnswerWord::List, 0.003);
    metrics.countAnswer(RequestKind::Update, AnswerWord::List, 60);
    metrics.addReader([] {
        return std::vector<MetricReading>{{"reef_x", "gauge", "X.", "a=\"1\"", 2},
                                          {"reef_x", "gauge", "", "a=\"2\"", 3.5}};
    });
    const std::string text = metrics.text();
    for (const char* line :
         {"reef_request_duration_seconds_bucket{kind=\"Update\",le=\"0.0005\"} 1\n",
          "reef_request_duration_seconds_bucket{kind=\"Update\",le=\"0.0025\"} 1\n",
          "reef_request_duration_seconds_bucket{kind=\"Update\",le=\"0.005\"} 2\n",
          "reef_request_duration_seconds_bucket{kind=\"Update\",le=\"10\"} 2\n",
          "reef_request_duration_seconds_bucket{kind=\"Update\",le=\"+Inf\"} 3\n",
          "reef_request_duration_seconds_count{kind=\"Update\"} 3\n",
          "reef_requests_total{kind=\"Update\",answer=\"list\"} 3\n",
          "# HELP reef_x X.\n# TYPE reef_x gauge\nreef_x{a=\"1\"} 2\nreef_x{a=\"2\"} 3.5\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
}
