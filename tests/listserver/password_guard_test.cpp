#include "password_guard.h"

#include <gtest/gtest.h>

#include <string>

using reef::listserver::PasswordGuard;

namespace {

void fail(PasswordGuard& guard, const std::string& address, int times, double now) {
    for (int i = 0; i < times; ++i)
        guard.recordFailure(address, now);
}

} // namespace

TEST(PasswordGuard, TenWrongPasswordsThenOneTryPerRefill) {
    PasswordGuard guard;
    fail(guard, "10.0.0.1", 9, 100);
    EXPECT_TRUE(guard.mayTry("10.0.0.1", 100));
    fail(guard, "10.0.0.1", 1, 100);
    EXPECT_FALSE(guard.mayTry("10.0.0.1", 100));
    EXPECT_FALSE(guard.mayTry("10.0.0.1", 105.9));
    EXPECT_TRUE(guard.mayTry("10.0.0.1", 106));
    EXPECT_TRUE(guard.mayTry("10.0.0.2", 100)) << "other clients are not affected";
}

TEST(PasswordGuard, AnIPv6NetworkIsOneClient) {
    EXPECT_EQ(PasswordGuard::clientOf("2001:db8:1:2:aaaa::1"), "2001:db8:1:2::/64");
    EXPECT_EQ(PasswordGuard::clientOf("2001:db8:1:2:bbbb:cccc:dddd:eeee"), "2001:db8:1:2::/64");
    EXPECT_EQ(PasswordGuard::clientOf("::ffff:192.0.2.7"), "192.0.2.7");
    EXPECT_EQ(PasswordGuard::clientOf("192.0.2.7"), "192.0.2.7");
    EXPECT_EQ(PasswordGuard::clientOf("not an address"), "not an address");

    PasswordGuard guard;
    for (int i = 0; i < 10; ++i)
        guard.recordFailure("2001:db8:1:2::" + std::to_string(i + 1), 0);
    EXPECT_FALSE(guard.mayTry("2001:db8:1:2::ffff", 0)) << "a fresh address of the same /64";
    EXPECT_TRUE(guard.mayTry("2001:db8:1:3::1", 0)) << "the next /64 is another client";
}

TEST(PasswordGuard, AFloodOfNewClientsNeitherGrowsWithoutBoundNorFreesTheHeldBack) {
    PasswordGuard guard;
    fail(guard, "198.51.100.1", 10, 0); // held back
    for (std::size_t i = 0; i < PasswordGuard::kMaxClients + 20000; ++i)
        guard.recordFailure("10." + std::to_string(i >> 16) + "." + std::to_string((i >> 8) & 255) +
                                "." + std::to_string(i & 255),
                            1);
    EXPECT_LE(guard.rememberedClients(), PasswordGuard::kMaxClients);
    EXPECT_FALSE(guard.mayTry("198.51.100.1", 1)) << "the emptiest buckets are kept";
}
