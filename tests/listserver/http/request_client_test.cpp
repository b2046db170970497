// Which client a request counts for when a reverse proxy forwards it.

#include "listserver/http/http_server.h"

#include <gtest/gtest.h>

using namespace reef::listserver;

namespace {

struct Case {
    const char* peer;
    const char* realIp; // nullptr: no header
    const char* client;
};

TEST(RequestClient, OnlyATrustedProxyNamesTheClientAndOnlyByAValidAddress) {
    const std::vector<std::string> trusted = {"127.0.0.1", "::1"};
    const Case cases[] = {
        {"203.0.113.9", "198.51.100.7", "203.0.113.9"}, // anybody may write the header
        {"127.0.0.1", "198.51.100.7", "198.51.100.7"},
        {"::1", "2001:db8:0:0::1", "2001:db8::1"}, // counted in the usual form
        {"127.0.0.1", nullptr, "127.0.0.1"},
        {"127.0.0.1", "", "127.0.0.1"},
        {"127.0.0.1", "198.51.100.7, 10.0.0.1", "127.0.0.1"}, // a list is no address
        {"127.0.0.1", "not-an-address", "127.0.0.1"},
        {"127.0.0.2", "198.51.100.7", "127.0.0.2"},
    };
    for (const Case& each : cases)
        EXPECT_EQ(requestClient(each.peer, each.realIp, trusted), each.client)
            << each.peer << " " << (each.realIp ? each.realIp : "(none)");
    EXPECT_EQ(requestClient("127.0.0.1", "198.51.100.7", {}), "127.0.0.1") << "none trusted";
}

} // namespace
