#include "server_dat_lines.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace reef::listserver;

namespace {

struct AddressCase {
    const char* text;
    std::optional<PublicAddress> expected;
};

class PublicAddressText : public ::testing::TestWithParam<AddressCase> {};

TEST_P(PublicAddressText, ParsesOrRefusesWithAReason) {
    std::string problem = "left over";
    auto address = parsePublicAddress(GetParam().text, problem);
    EXPECT_EQ(address, GetParam().expected);
    EXPECT_EQ(problem.empty(), GetParam().expected.has_value()) << problem;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PublicAddressText,
    ::testing::Values(
        AddressCase{"lists.example.org", PublicAddress{"lists.example.org", 80}},
        AddressCase{"lists.example.org:8081", PublicAddress{"lists.example.org", 8081}},
        AddressCase{"203.0.113.7:1", PublicAddress{"203.0.113.7", 1}},
        AddressCase{"h:65535", PublicAddress{"h", 65535}}, AddressCase{"", std::nullopt},
        AddressCase{":80", std::nullopt}, AddressCase{"h:", std::nullopt},
        AddressCase{"h:0", std::nullopt}, AddressCase{"h:65536", std::nullopt},
        AddressCase{"h:8o", std::nullopt}, AddressCase{"h:123456", std::nullopt},
        AddressCase{"h:-1", std::nullopt}, AddressCase{"lists example.org", std::nullopt},
        AddressCase{"h/reef", std::nullopt}, AddressCase{"h\x01", std::nullopt},
        AddressCase{"m\xC3\xBCnchen.example", std::nullopt},
        AddressCase{"2001:db8::1", std::nullopt}, AddressCase{"[2001:db8::1]:80", std::nullopt}));

struct ListenCase {
    const char* listen;
    std::optional<PublicAddress> expected;
};

class ListenAddress : public ::testing::TestWithParam<ListenCase> {};

TEST_P(ListenAddress, IsUsedOnlyWhenTheMembersCanReachIt) {
    EXPECT_EQ(publicAddressFromListen(GetParam().listen), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, ListenAddress,
    ::testing::Values(ListenCase{"127.0.0.1:8080", PublicAddress{"127.0.0.1", 8080}},
                      ListenCase{"192.0.2.10:80", PublicAddress{"192.0.2.10", 80}},
                      ListenCase{"0.0.0.0:80", std::nullopt}, ListenCase{"[::]:80", std::nullopt},
                      ListenCase{"[2001:db8::1]:80", std::nullopt},
                      ListenCase{"127.0.0.1:0", std::nullopt},
                      ListenCase{"no port", std::nullopt}));

TEST(ServerDatAddress, PublicAddressWinsOverTheListenAddress) {
    std::string problem;
    EXPECT_EQ(
        serverDatAddress(std::string("lists.example.org"), std::string("127.0.0.1:8080"), problem),
        (PublicAddress{"lists.example.org", 80}));
    EXPECT_EQ(problem, "");
}

TEST(ServerDatAddress, ListenAddressWhenNoPublicOneIsGiven) {
    std::string problem;
    EXPECT_EQ(serverDatAddress(std::nullopt, std::string("127.0.0.1:8080"), problem),
              (PublicAddress{"127.0.0.1", 8080}));
    EXPECT_EQ(serverDatAddress(std::nullopt, std::nullopt, problem), std::nullopt);
    EXPECT_EQ(problem, "") << "knowing no address is not a mistake";
}

TEST(ServerDatAddress, ARefusedPublicAddressIsAProblemNotAFallback) {
    std::string problem;
    EXPECT_EQ(serverDatAddress(std::string("h:0"), std::string("127.0.0.1:8080"), problem),
              std::nullopt);
    EXPECT_NE(problem.find("port"), std::string::npos) << problem;
}

TEST(ServerDatLines, ExactLinesForAnAddress) {
    EXPECT_EQ(serverDatLines(PublicAddress{"lists.example.org", 8081}),
              "Server.dat for the members (save it beside ReefTools.exe):\n"
              "Host = lists.example.org\n"
              "Port = 8081\n");
}

TEST(ServerDatLines, WithoutAnAddressSaysHowToGiveOne) {
    const std::string text = serverDatLines(std::nullopt);
    EXPECT_NE(text.find("--public-address HOST[:PORT]"), std::string::npos) << text;
    EXPECT_EQ(text.find("Host = "), std::string::npos) << "no line to copy by mistake";
}

} // namespace
