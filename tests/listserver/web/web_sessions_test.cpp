// The sessions of the browser page: random tokens, 12 hours, a bounded table.

#include "listserver/web/web_sessions.h"

#include <gtest/gtest.h>

#include <set>

using namespace reef::listserver;

namespace {

WebSession of(AllianceId alliance) {
    return {.alliance = alliance, .allianceName = "A", .passwordHash = "h", .expires = 0};
}

TEST(WebSessions, TokensAreLongRandomHexAndFindTheirSession) {
    WebSessions sessions;
    std::set<std::string> tokens;
    for (int i = 0; i < 50; ++i) {
        std::string token = sessions.open(of(i), 100);
        EXPECT_EQ(token.size(), 64u);
        EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos);
        tokens.insert(token);
        ASSERT_TRUE(sessions.find(token, 100));
        EXPECT_EQ(sessions.find(token, 100)->alliance, i);
    }
    EXPECT_EQ(tokens.size(), 50u);
}

TEST(WebSessions, ASessionEndsTwelveHoursAfterItsLogin) {
    WebSessions sessions;
    std::string token = sessions.open(of(1), 1000);
    EXPECT_TRUE(sessions.find(token, 1000 + 12 * 3600 - 1));
    EXPECT_FALSE(sessions.find(token, 1000 + 12 * 3600));
    EXPECT_EQ(sessions.size(), 0u) << "the expired session is dropped";
}

TEST(WebSessions, UnknownMalformedAndClosedTokensFindNothing) {
    WebSessions sessions;
    std::string token = sessions.open(of(1), 0);
    std::string other = token;
    other[0] = other[0] == 'a' ? 'b' : 'a';
    EXPECT_FALSE(sessions.find(other, 0));
    EXPECT_FALSE(sessions.find(token.substr(1), 0));
    EXPECT_FALSE(sessions.find("", 0));
    std::string upper = token;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_FALSE(sessions.find(upper, 0)) << "tokens are lower-case";
    sessions.close(token);
    EXPECT_FALSE(sessions.find(token, 0));
}

TEST(WebSessions, AFullTableDropsExpiredSessionsThenTheOldest) {
    WebSessions sessions(3, 100);
    std::string first = sessions.open(of(1), 0);
    std::string second = sessions.open(of(2), 10);
    std::string third = sessions.open(of(3), 20);
    std::string fourth = sessions.open(of(4), 30);
    EXPECT_EQ(sessions.size(), 3u);
    EXPECT_FALSE(sessions.find(first, 30)) << "the oldest made room";
    EXPECT_TRUE(sessions.find(second, 30));
    // At 115 the second has expired: it goes, and nobody else has to.
    std::string fifth = sessions.open(of(5), 115);
    EXPECT_EQ(sessions.size(), 3u);
    EXPECT_TRUE(sessions.find(third, 115));
    EXPECT_TRUE(sessions.find(fourth, 115));
    EXPECT_TRUE(sessions.find(fifth, 115));
}

TEST(WebSessions, ExpiredSessionsAreDroppedAtTheNextLogin) {
    WebSessions sessions(100, 50);
    for (int i = 0; i < 10; ++i)
        sessions.open(of(i), 0);
    sessions.open(of(99), 60);
    EXPECT_EQ(sessions.size(), 1u);
}

} // namespace
