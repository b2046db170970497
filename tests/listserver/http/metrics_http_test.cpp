// GET /metrics over real HTTP: the counters follow the requests, and only the addresses of
// --metrics-from (also as named by a trusted proxy) get them.

#include "listserver/contract_fixture.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>

using namespace reef::listserver::testing;

namespace {

class MetricsHttpTest : public ListServerTest {
  protected:
    HttpAnswer metrics(const std::string& source = "127.0.0.1", const std::string& headers = "",
                       const std::string& method = "GET") {
        return parseAnswer(exchange(port(),
                                    method + " /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers +
                                        "Connection: close\r\n\r\n",
                                    source));
    }
    // Every sample of a scrape by its name with labels; the text must be well formed.
    std::map<std::string, double> samples() {
        HttpAnswer answer = metrics();
        EXPECT_EQ(answer.statusLine, "HTTP/1.0 200 OK");
        EXPECT_EQ(answer.headers["content-type"], "text/plain; version=0.0.4; charset=utf-8");
        static const std::regex sample(
            R"(([a-z_]+(\{[a-z_]+="[^"]*"(,[a-z_]+="[^"]*")*\})?) (-?[0-9.e+]+|\+Inf))");
        std::map<std::string, double> values;
        std::istringstream lines(answer.body);
        std::string line;
        while (std::getline(lines, line)) {
            if (line.starts_with("# HELP ") || line.starts_with("# TYPE "))
                continue;
            std::smatch match;
            if (!std::regex_match(line, match, sample)) {
                ADD_FAILURE() << "not a sample line: " << line;
                continue;
            }
            EXPECT_FALSE(values.contains(match[1])) << "twice: " << line;
            values[match[1]] = std::stod(match[4]);
        }
        return values;
    }
};

TEST_F(MetricsHttpTest, CountersFollowRequestsAndOnlyTheListedAddressesSeeThem) {
    // Two writes a minute per address: the third New from here is refused by the budget.
    startServer({"--metrics-from", "127.0.0.1", "--trusted-proxy", "127.0.0.3",
                 "--writes-per-minute", "2"});
    const auto before = samples();
    const std::string updateList = R"(reef_requests_total{kind="Update",answer="list"})";
    const std::string updateCount = R"(reef_request_duration_seconds_count{kind="Update"})";
    for (const char* name :
         {R"(reef_held_requests)", R"(reef_list_bytes)", R"(reef_webhook_queue_messages)",
          R"(reef_webhook_failures_total)", R"(reef_refused_connections_total{reason="total"})",
          R"(reef_write_budget_refusals_total{budget="alliance"})",
          R"(reef_request_duration_seconds_bucket{kind="New",le="+Inf"})"})
        EXPECT_TRUE(before.contains(name)) << name;
    EXPECT_EQ(before.at(updateList), 0);

    for (int i = 0; i < 3; ++i)
        download("Reef_Frend");
    EXPECT_EQ(body(target("Reef_Frend", "Update", "", "wrong-password-1")), "Error1");
    EXPECT_EQ(submit("Reef_Frend", "New", alliedEntry("Spieler_A", "3600")), "ready");
    EXPECT_EQ(submit("Reef_Frend", "New", alliedEntry("Spieler_B", "3601")), "ready");
    EXPECT_EQ(submit("Reef_Frend", "New", alliedEntry("Spieler_C", "3602")), "Error10");
    EXPECT_EQ(body(target("Reef_Frend", "Delete")), "Error3");
    EXPECT_EQ(get(port(), "/nothing-here").statusLine.substr(9, 3), "404");
    EXPECT_EQ(download("Reef_Frend").size(), 2u); // kept in memory until the next write

    const auto after = samples();
    const std::map<std::string, double> moved = {
        {updateList, 4},
        {R"(reef_requests_total{kind="Update",answer="Error1"})", 1},
        {R"(reef_requests_total{kind="New",answer="ready"})", 2},
        {R"(reef_requests_total{kind="New",answer="Error10"})", 1},
        {R"(reef_requests_total{kind="other",answer="Error3"})", 1},
        {R"(reef_requests_total{kind="other",answer="other"})", 1},
        {R"(reef_write_budget_refusals_total{budget="address"})", 1},
        {updateCount, 5},
        {R"(reef_request_duration_seconds_bucket{kind="Update",le="+Inf"})", 5},
        {R"(reef_request_duration_seconds_count{kind="New"})", 3},
        {R"(reef_web_requests_total{status="200"})", 0},
    };
    for (const auto& [name, by] : moved) {
        ASSERT_TRUE(before.contains(name) && after.contains(name)) << name;
        EXPECT_EQ(after.at(name) - before.at(name), by) << name;
    }
    // The buckets count up to the total; the time of 5 downloads is not nothing.
    EXPECT_LE(after.at(R"(reef_request_duration_seconds_bucket{kind="Update",le="0.0005"})"),
              after.at(R"(reef_request_duration_seconds_bucket{kind="Update",le="10"})"));
    EXPECT_GT(after.at(R"(reef_request_duration_seconds_sum{kind="Update"})"), 0);
    EXPECT_GT(after.at("reef_list_bytes"), 0);

    // Anyone else: as if there were no such path, also when a trusted proxy names them.
    for (const auto& [source, headers] : std::vector<std::pair<std::string, std::string>>{
             {"127.0.0.2", ""},
             {"127.0.0.2", "X-Real-IP: 127.0.0.1\r\n"}, // not a trusted proxy: header ignored
             {"127.0.0.3", "X-Real-IP: 203.0.113.9\r\n"},
             {"127.0.0.3", ""}}) {
        HttpAnswer refused = metrics(source, headers);
        EXPECT_EQ(refused.statusLine, "HTTP/1.0 404 Not Found") << source << " " << headers;
        EXPECT_EQ(refused.body.find("reef_"), std::string::npos);
    }
    EXPECT_EQ(metrics("127.0.0.3", "X-Real-IP: 127.0.0.1\r\n").statusLine, "HTTP/1.0 200 OK");
    HttpAnswer posted = metrics("127.0.0.1", "Content-Length: 0\r\n", "POST");
    EXPECT_EQ(posted.statusLine, "HTTP/1.0 405 Method Not Allowed");
    // The scrapes themselves are no requests of the desktop program.
    EXPECT_EQ(samples().at(updateCount), after.at(updateCount));
}

} // namespace
