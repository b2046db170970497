#include "listserver/http/connection_limits.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using reef::listserver::ConnectionLimits;

TEST(ConnectionLimits, EachClientMayHoldItsShareAndNoMore) {
    ConnectionLimits limits(3, 100);
    std::vector<std::string> held;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(limits.mayOpen("192.0.2.1"));
        held.push_back(limits.opened("192.0.2.1"));
    }
    EXPECT_FALSE(limits.mayOpen("192.0.2.1"));
    EXPECT_TRUE(limits.mayOpen("192.0.2.2")) << "another address has its own share";
    limits.closed(held.back());
    EXPECT_TRUE(limits.mayOpen("192.0.2.1")) << "a closed connection frees its place";
    EXPECT_EQ(limits.openOf("192.0.2.1"), 2u);
}

TEST(ConnectionLimits, TheAddressesOfOneIPv6NetworkShareOneShare) {
    ConnectionLimits limits(2, 100);
    limits.opened("2001:db8:1:2::1");
    limits.opened("2001:db8:1:2:ffff::2");
    EXPECT_FALSE(limits.mayOpen("2001:db8:1:2:aaaa:bbbb:cccc:dddd")) << "the same /64";
    EXPECT_TRUE(limits.mayOpen("2001:db8:1:3::1")) << "the next /64";
    EXPECT_EQ(limits.openOf("2001:db8:1:2::9"), 2u);
}

TEST(ConnectionLimits, PastTheTotalNoClientMayOpenMore) {
    ConnectionLimits limits(2, 3);
    limits.opened("192.0.2.1");
    limits.opened("192.0.2.1");
    std::string third = limits.opened("192.0.2.2");
    EXPECT_FALSE(limits.mayOpen("192.0.2.3"));
    limits.closed(third);
    EXPECT_TRUE(limits.mayOpen("192.0.2.3"));
}
