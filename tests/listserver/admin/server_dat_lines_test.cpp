#include "listserver/admin/server_dat_lines.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace reef::listserver;

namespace {

TEST(PublicAddress, HostAloneOrWithPort) {
    std::string problem;
    EXPECT_EQ(parsePublicAddress("lists.example.org", problem),
              (PublicAddress{"lists.example.org", 80}));
    EXPECT_EQ(parsePublicAddress("203.0.113.7:8081", problem),
              (PublicAddress{"203.0.113.7", 8081}));
    EXPECT_EQ(parsePublicAddress("h:65535", problem), (PublicAddress{"h", 65535}));
    EXPECT_EQ(problem, "");
}

TEST(PublicAddress, RefusedWithAReason) {
    for (const char* text :
         {"", ":80", "h:", "h:0", "h:65536", "h:8o", "h:123456", "lists example.org", "h/reef",
          "h\x01", "m\xC3\xBCnchen.example", "2001:db8::1", "[2001:db8::1]:80"}) {
        std::string problem;
        EXPECT_EQ(parsePublicAddress(text, problem), std::nullopt) << text;
        EXPECT_NE(problem, "") << text;
    }
}

TEST(ServerDatAddress, PublicAddressFirstThenAUsableListenAddress) {
    std::string problem;
    EXPECT_EQ(
        serverDatAddress(std::string("lists.example.org"), std::string("127.0.0.1:8080"), problem),
        (PublicAddress{"lists.example.org", 80}));
    EXPECT_EQ(serverDatAddress(std::nullopt, std::string("127.0.0.1:8080"), problem),
              (PublicAddress{"127.0.0.1", 8080}));
    // Members cannot reach a wildcard, IPv6 or not yet chosen address.
    for (const char* listen : {"0.0.0.0:80", "[::]:80", "[2001:db8::1]:80", "127.0.0.1:0"}) {
        EXPECT_EQ(serverDatAddress(std::nullopt, std::string(listen), problem), std::nullopt)
            << listen;
    }
    EXPECT_EQ(serverDatAddress(std::nullopt, std::nullopt, problem), std::nullopt);
    EXPECT_EQ(problem, "") << "knowing no address is not a mistake";
    EXPECT_EQ(serverDatAddress(std::string("h:0"), std::string("127.0.0.1:8080"), problem),
              std::nullopt)
        << "a refused public address is a problem, not a reason to fall back";
    EXPECT_NE(problem, "");
}

TEST(ServerDatLines, ExactLinesOrHowToGetThem) {
    EXPECT_EQ(serverDatLines(PublicAddress{"lists.example.org", 8081}),
              "Server.dat for the members (save it beside ReefTools.exe):\n"
              "Host = lists.example.org\n"
              "Port = 8081\n");
    const std::string hint = serverDatLines(std::nullopt);
    EXPECT_NE(hint.find("--public-address HOST[:PORT]"), std::string::npos) << hint;
    EXPECT_EQ(hint.find("Host = "), std::string::npos) << "no line to copy by mistake";
}

} // namespace
