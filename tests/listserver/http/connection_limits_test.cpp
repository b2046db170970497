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
    EXPECT_TRUE(limits.mayOpen("2001:db8:1:102::1")) << "a /64 of another /56";
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

TEST(ConnectionLimits, TheNetworksOfOneIPv6HomeShareTheirSlash56) {
    EXPECT_EQ(ConnectionLimits::keysOf("2001:db8:1:2ff::1"),
              (std::vector<std::string>{"2001:db8:1:2ff::/64", "2001:db8:1:200::/56"}));
    EXPECT_EQ(ConnectionLimits::keysOf("192.0.2.1"), (std::vector<std::string>{"192.0.2.1"}));
    struct Case {
        const char* address;
        bool mayOpen;
    };
    const Case cases[] = {
        {"2001:db8:1:2ff::9", false}, // the same /64
        {"2001:db8:1:2aa::1", false}, // another /64 of the same /56
        {"2001:db8:1:300::1", true},  // the next /56
        {"192.0.2.1", true},
    };
    ConnectionLimits limits(2, 100);
    std::vector<std::string> held = {limits.opened("2001:db8:1:201::1"),
                                     limits.opened("2001:db8:1:2ff::1")};
    for (const Case& each : cases)
        EXPECT_EQ(limits.mayOpen(each.address), each.mayOpen) << each.address;
    limits.closed(held.front());
    EXPECT_TRUE(limits.mayOpen("2001:db8:1:2aa::1")) << "a closed connection frees the /56 too";
    EXPECT_TRUE(limits.mayOpen("2001:db8:1:2ff::9"));
}
