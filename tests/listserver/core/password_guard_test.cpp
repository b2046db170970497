#include "listserver/core/password_guard.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using reef::listserver::GuardTicket;
using reef::listserver::PasswordGuard;

namespace {

void fail(PasswordGuard& guard, const std::string& address, int times, double now) {
    for (int i = 0; i < times; ++i) {
        GuardTicket ticket;
        if (guard.admit(address, now, ticket).verdict == PasswordGuard::Verdict::Check)
            guard.settle(address, now, ticket, false);
    }
}

// Whether a password from the address would be looked at now (the request is given back).
bool checkedNow(PasswordGuard& guard, const std::string& address, double now) {
    GuardTicket ticket;
    const bool check = guard.admit(address, now, ticket).verdict == PasswordGuard::Verdict::Check;
    guard.abandon(address, ticket);
    return check;
}

} // namespace

TEST(PasswordGuard, TenWrongPasswordsThenOneTryPerRefill) {
    PasswordGuard guard;
    fail(guard, "10.0.0.1", 9, 100);
    EXPECT_TRUE(checkedNow(guard, "10.0.0.1", 100));
    fail(guard, "10.0.0.1", 1, 100);
    EXPECT_FALSE(checkedNow(guard, "10.0.0.1", 100));
    EXPECT_FALSE(checkedNow(guard, "10.0.0.1", 105.9));
    EXPECT_TRUE(checkedNow(guard, "10.0.0.1", 106));
    EXPECT_TRUE(checkedNow(guard, "10.0.0.2", 100)) << "other clients are not affected";
}

TEST(PasswordGuard, ParallelPasswordsOfAHeldBackClientShareItsOneTry) {
    PasswordGuard guard;
    fail(guard, "10.0.0.1", 10, 100);
    GuardTicket first;
    GuardTicket second;
    EXPECT_EQ(guard.admit("10.0.0.1", 106, first).verdict, PasswordGuard::Verdict::Check);
    PasswordGuard::Decision decision = guard.admit("10.0.0.1", 106, second);
    EXPECT_EQ(decision.verdict, PasswordGuard::Verdict::Hold) << "the try is taken";
    EXPECT_LT(decision.until - 106, 0.5) << "looks again soon: the first may give it back";
    guard.settle("10.0.0.1", 106, first, true);
    EXPECT_EQ(guard.admit("10.0.0.1", 106.05, second).verdict, PasswordGuard::Verdict::Check);
}

TEST(PasswordGuard, AtItsDeadlineAHeldRequestStillWaitsForAnotherOnesCheck) {
    PasswordGuard guard;
    fail(guard, "10.0.0.1", 10, 100);
    GuardTicket first;
    GuardTicket second;
    ASSERT_EQ(guard.admit("10.0.0.1", 100, first).verdict, PasswordGuard::Verdict::Hold);
    ASSERT_EQ(guard.admit("10.0.0.1", 100, second).verdict, PasswordGuard::Verdict::Hold);
    EXPECT_EQ(guard.admit("10.0.0.1", 106, first).verdict, PasswordGuard::Verdict::Check);
    EXPECT_EQ(guard.admit("10.0.0.1", 106, second).verdict, PasswordGuard::Verdict::Hold)
        << "the first may give the try back";
    guard.settle("10.0.0.1", 106, first, false);
    EXPECT_EQ(guard.admit("10.0.0.1", 106.05, second).verdict, PasswordGuard::Verdict::Refuse)
        << "the try is used up and the deadline passed";
}

TEST(PasswordGuard, AHoldNeverLastsLongerThanOneRefill) {
    PasswordGuard guard;
    fail(guard, "10.0.0.1", 10, 100);
    for (double arrival : {100.0, 101.5, 104.0}) {
        GuardTicket ticket;
        PasswordGuard::Decision decision = guard.admit("10.0.0.1", arrival, ticket);
        ASSERT_EQ(decision.verdict, PasswordGuard::Verdict::Hold);
        EXPECT_LE(decision.until - arrival, PasswordGuard::kRefillSeconds) << arrival;
        guard.abandon("10.0.0.1", ticket);
    }
}

TEST(PasswordGuard, AnIPv6NetworkIsOneClient) {
    EXPECT_EQ(PasswordGuard::clientOf("2001:db8:1:2:aaaa::1"), "2001:db8:1:2::/64");
    EXPECT_EQ(PasswordGuard::clientOf("2001:db8:1:2:bbbb:cccc:dddd:eeee"), "2001:db8:1:2::/64");
    EXPECT_EQ(PasswordGuard::clientOf("::ffff:192.0.2.7"), "192.0.2.7");
    EXPECT_EQ(PasswordGuard::clientOf("192.0.2.7"), "192.0.2.7");
    EXPECT_EQ(PasswordGuard::clientOf("not an address"), "not an address");

    PasswordGuard guard;
    for (int i = 0; i < 10; ++i)
        fail(guard, "2001:db8:1:2::" + std::to_string(i + 1), 1, 0);
    EXPECT_FALSE(checkedNow(guard, "2001:db8:1:2::ffff", 0)) << "a fresh address of the same /64";
    EXPECT_TRUE(checkedNow(guard, "2001:db8:2:3::1", 0)) << "a /64 of another /48";
}

TEST(PasswordGuard, AFloodOfNewClientsNeitherGrowsWithoutBoundNorFreesTheHeldBack) {
    PasswordGuard guard;
    fail(guard, "198.51.100.1", 10, 0); // held back
    for (std::size_t i = 0; i < PasswordGuard::kMaxClients + 20000; ++i)
        fail(guard,
             "10." + std::to_string(i >> 16) + "." + std::to_string((i >> 8) & 255) + "." +
                 std::to_string(i & 255),
             1, 1);
    EXPECT_LE(guard.rememberedClients(), PasswordGuard::kMaxClients);
    EXPECT_FALSE(checkedNow(guard, "198.51.100.1", 1)) << "the emptiest buckets are kept";
}

TEST(PasswordGuard, EveryPathThatMakesABucketKeepsTheBound) {
    // After one wrong password of a /48, each of its other /64 networks is a new client.
    using Path = void (*)(PasswordGuard&, const std::string&);
    const std::pair<const char*, Path> paths[] = {
        {"right password",
         [](PasswordGuard& guard, const std::string& address) {
             GuardTicket ticket;
             if (guard.admit(address, 1, ticket).verdict == PasswordGuard::Verdict::Check)
                 guard.settle(address, 1, ticket, true);
         }},
        {"wrong password",
         [](PasswordGuard& guard, const std::string& address) { fail(guard, address, 1, 1); }},
    };
    for (const auto& [name, path] : paths) {
        PasswordGuard guard;
        fail(guard, "2001:db8:0::1", 1, 0);
        fail(guard, "2001:db8:1::1", 1, 0);
        char address[64];
        for (std::size_t i = 0; i < PasswordGuard::kMaxClients + 20000; ++i) {
            std::snprintf(address, sizeof address, "2001:db8:%zx:%zx::1", i >> 16, i & 0xFFFF);
            path(guard, address);
        }
        EXPECT_LE(guard.rememberedClients(), PasswordGuard::kMaxClients) << name;
    }
}

TEST(PasswordGuard, TheNetworksOfOneIPv6SiteShareABucketToo) {
    EXPECT_EQ(PasswordGuard::keysOf("2001:db8:1:2::1"),
              (std::vector<std::string>{"2001:db8:1:2::/64", "2001:db8:1::/48"}));
    EXPECT_EQ(PasswordGuard::keysOf("192.0.2.7"), (std::vector<std::string>{"192.0.2.7"}));
    PasswordGuard guard;
    for (int i = 0; i < 10; ++i)
        fail(guard, "2001:db8:1:" + std::to_string(100 + i) + "::1", 1, 0);
    EXPECT_FALSE(checkedNow(guard, "2001:db8:1:ffff::1", 0)) << "another /64 of the same /48";
    EXPECT_TRUE(checkedNow(guard, "2001:db8:2::1", 0)) << "another /48";
}

TEST(PasswordGuard, PastTheServersBudgetAWrongPasswordIsAnsweredLateAndARightOneAtOnce) {
    PasswordGuard guard;
    const int budget = static_cast<int>(PasswordGuard::kServerFailuresPerMinute);
    for (int i = 0; i < budget; ++i) {
        GuardTicket ticket;
        const std::string address =
            "10.1." + std::to_string(i / 250) + "." + std::to_string(i % 250);
        ASSERT_EQ(guard.admit(address, 50, ticket).verdict, PasswordGuard::Verdict::Check);
        ASSERT_EQ(guard.settle(address, 50, ticket, false), 50) << i;
    }
    GuardTicket wrong;
    ASSERT_EQ(guard.admit("10.2.0.1", 50, wrong).verdict, PasswordGuard::Verdict::Check);
    EXPECT_EQ(guard.settle("10.2.0.1", 50, wrong, false), 50 + PasswordGuard::kSlowWrongSeconds);
    GuardTicket right;
    ASSERT_EQ(guard.admit("10.2.0.2", 50, right).verdict, PasswordGuard::Verdict::Check);
    EXPECT_EQ(guard.settle("10.2.0.2", 50, right, true), 50);
}
