// The sessions of the browser page: random tokens, 12 hours, a bounded table.

#include "listserver/web/web_sessions.h"

#include <gtest/gtest.h>

#include <set>

using namespace reef::listserver;

namespace {

WebSession of(AllianceId alliance) {
    return {
        .alliance = alliance, .allianceName = "A", .passwordHash = "h", .client = "", .expires = 0};
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

// Each login as {alliance, client}, and which earlier login's session it pushes out.
TEST(WebSessions, BoundsPerAddressAndAllianceMakeRoomWithinThemFirst) {
    struct Login {
        AllianceId alliance;
        const char* client;
        int pushesOut; // index of the login whose session goes, -1 for none
    };
    const Login logins[] = {
        {1, "c1", -1}, {2, "c2", -1}, {1, "c3", -1},
        {1, "c1", -1}, {1, "c1", 0}, // its address holds two: the address's oldest goes
        {1, "c4", 2}, // its alliance holds three: the alliance's oldest goes, not alliance 2's
        {3, "c5", 3}, // the table is full and alliance 3 has none: the largest alliance pays
        {2, "c6", 1}, // full again: alliance 2's own oldest goes
    };
    WebSessions sessions(4, 100, 3, 2);
    std::vector<std::string> tokens;
    std::set<int> gone;
    for (std::size_t i = 0; i < std::size(logins); ++i) {
        WebSession session = of(logins[i].alliance);
        session.client = logins[i].client;
        tokens.push_back(sessions.open(session, static_cast<double>(i)));
        if (logins[i].pushesOut >= 0)
            gone.insert(logins[i].pushesOut);
        for (std::size_t k = 0; k <= i; ++k)
            EXPECT_EQ(sessions.find(tokens[k], static_cast<double>(i)).has_value(),
                      !gone.contains(static_cast<int>(k)))
                << "login " << k << " after login " << i;
    }
}

} // namespace

namespace {

// The token of a session's writes: bound to the session, never its cookie, and of this process
// alone.
TEST(WebSessions, TheWriteTokenBelongsToItsSessionAlone) {
    WebSessions sessions;
    const std::string one = sessions.open(of(1), 100);
    const std::string two = sessions.open(of(1), 100);
    const std::string csrf = sessions.csrfOf(one);
    EXPECT_EQ(csrf.size(), 64u);
    EXPECT_EQ(csrf.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_NE(csrf, one);
    EXPECT_EQ(sessions.csrfOf(one), csrf) << "the same for every answer of the session";
    EXPECT_TRUE(sessions.csrfMatches(one, csrf));
    const std::pair<std::string, std::string> refused[] = {
        {two, csrf},                                   // another session
        {one, sessions.csrfOf(two)},                   // another session's token
        {one, one},                                    // the cookie itself
        {one, ""},                                     // none
        {one, csrf.substr(0, 63)},                     // cut short
        {one, csrf + "0"},                             // one more
        {one, std::string(64, '0')},                   // a guess
        {"kein-token", sessions.csrfOf("kein-token")}, // no well-formed session token
    };
    for (const auto& [token, sent] : refused)
        EXPECT_FALSE(sessions.csrfMatches(token, sent)) << sent;
    WebSessions otherProcess;
    EXPECT_NE(otherProcess.csrfOf(one), csrf) << "a key of each process";
    // A session is found by its key, as a live stream holds it, and closed so.
    const std::string key = WebSessions::keyOf(one);
    ASSERT_TRUE(sessions.findByKey(key, 100));
    EXPECT_EQ(key.find(one), std::string::npos);
    sessions.closeByKey(key);
    EXPECT_FALSE(sessions.find(one, 100));
    EXPECT_TRUE(sessions.find(two, 100));
    EXPECT_EQ(WebSessions::keyOf("kurz"), "");
}

// An ask for the lists finds the session and takes from its allowance in one step; the
// session brings its own write token, made at the login.
TEST(WebSessions, AnAskFindsTheSessionWithItsTokenAndTakesFromItsAllowance) {
    WebSessions sessions(10, 100);
    const std::string one = sessions.open(of(1), 0);
    const std::string two = sessions.open(of(2), 0);
    for (const std::string& token : {one, two}) {
        auto asked = sessions.ask(token, 0);
        ASSERT_TRUE(asked);
        EXPECT_EQ(asked->session.csrf, sessions.csrfOf(token));
    }
    EXPECT_NE(sessions.ask(one, 0)->session.csrf, sessions.ask(two, 0)->session.csrf);
    EXPECT_EQ(sessions.ask(two, 0)->session.alliance, 2);

    // `one` has asked twice at 0: 8 left at once, then one more every 6 seconds.
    const struct {
        double at;
        int asks;
        int allowed;
    } steps[] = {
        {0, 9, 8},    // the rest of the 10 at once
        {5.9, 1, 0},  // not yet a whole ask back
        {6.5, 2, 1},  // one back after 6 s
        {90, 12, 10}, // never more than 10 saved up
    };
    for (const auto& step : steps) {
        int allowed = 0;
        for (int i = 0; i < step.asks; ++i) {
            auto asked = sessions.ask(one, step.at);
            ASSERT_TRUE(asked) << "a session refused an ask still lasts, at " << step.at;
            allowed += asked->allowed;
        }
        EXPECT_EQ(allowed, step.allowed) << "at " << step.at;
    }
    EXPECT_TRUE(sessions.ask(two, 90)->allowed) << "each session has its own allowance";

    EXPECT_FALSE(sessions.ask(one.substr(1), 90));
    EXPECT_FALSE(sessions.ask("", 90));
    EXPECT_FALSE(sessions.ask(one, 100)) << "expired";
    EXPECT_EQ(sessions.size(), 1u) << "the expired session is dropped";
    sessions.close(two);
    EXPECT_FALSE(sessions.ask(two, 90));
}

} // namespace
