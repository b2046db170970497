// The pure pieces of the connection: Base64, the IPv4 test, the CONNECT answer's status code
// and the list server address.

#include "exchange/base64.h"
#include "exchange/list_server_address.h"
#include "exchange/proxy.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using reef::exchange::base64Length;
using reef::exchange::connectAnswerStatus;
using reef::exchange::encodeBase64;
using reef::exchange::isNumericIPv4;
using reef::exchange::ListServerAddress;
using reef::exchange::parseListServerAddress;

TEST(Base64, KnownVectors) {
    EXPECT_EQ(encodeBase64(""), "");
    EXPECT_EQ(encodeBase64("f"), "Zg==");
    EXPECT_EQ(encodeBase64("fo"), "Zm8=");
    EXPECT_EQ(encodeBase64("foo"), "Zm9v");
    EXPECT_EQ(encodeBase64("foob"), "Zm9vYg==");
    EXPECT_EQ(encodeBase64("fooba"), "Zm9vYmE=");
    EXPECT_EQ(encodeBase64("foobar"), "Zm9vYmFy");
    EXPECT_EQ(encodeBase64("Aladdin:open sesame"), "QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
}

TEST(Base64, UsesTheStandardAlphabetForHighBytes) {
    EXPECT_EQ(encodeBase64(std::string("\xfb\xff\xbf", 3)), "+/+/");
    EXPECT_EQ(encodeBase64(std::string("\0\0\0", 3)), "AAAA");
    // CP1252 text goes as its bytes: "ä" is 0xE4.
    EXPECT_EQ(encodeBase64("Bär:pw"), "QuRyOnB3");
}

TEST(Base64, LengthMatchesTheEncoding) {
    for (std::size_t n = 0; n < 40; ++n) {
        EXPECT_EQ(encodeBase64(std::string(n, 'x')).size(), base64Length(n)) << n;
    }
}

TEST(IsNumericIPv4, AcceptsCanonicalDottedAddresses) {
    EXPECT_TRUE(isNumericIPv4("192.168.0.1"));
    EXPECT_TRUE(isNumericIPv4("0.0.0.0"));
    EXPECT_TRUE(isNumericIPv4("255.255.255.255"));
    EXPECT_TRUE(isNumericIPv4("127.0.0.1"));
}

TEST(IsNumericIPv4, RefusesEverythingElse) {
    EXPECT_FALSE(isNumericIPv4("192.168.000.1"));
    EXPECT_FALSE(isNumericIPv4("192.168.0"));
    EXPECT_FALSE(isNumericIPv4("1.2.3.4.5"));
    EXPECT_FALSE(isNumericIPv4("256.1.1.1"));
    EXPECT_FALSE(isNumericIPv4("a.b.c.d"));
    EXPECT_FALSE(isNumericIPv4(" 1.2.3.4"));
    EXPECT_FALSE(isNumericIPv4("1.2.3.4 "));
    EXPECT_FALSE(isNumericIPv4(""));
    EXPECT_FALSE(isNumericIPv4("..."));
    EXPECT_FALSE(isNumericIPv4("1..2.3"));
    EXPECT_FALSE(isNumericIPv4("1.2.3."));
    EXPECT_FALSE(isNumericIPv4("+1.2.3.4"));
    EXPECT_FALSE(isNumericIPv4("-0.2.3.4"));
    EXPECT_FALSE(isNumericIPv4("01.2.3.4"));
    EXPECT_FALSE(isNumericIPv4("1.2.3.4x"));
    // A value that wraps at 32 bits to a small number is still refused.
    EXPECT_FALSE(isNumericIPv4("4294967297.1.1.1"));
    EXPECT_FALSE(isNumericIPv4("reef.example.org.de"));
}

TEST(ConnectAnswerStatus, TakesTheCodeOfTheFirstHttpLine) {
    EXPECT_EQ(connectAnswerStatus("HTTP/1.0 200 Connection established\r\n\r\n"), 200);
    EXPECT_EQ(connectAnswerStatus("HTTP/1.1 407 Proxy Authentication Required\r\n"), 407);
    EXPECT_EQ(connectAnswerStatus("\r\n\r\nHTTP/1.0 200 OK\r\n"), 200);
    EXPECT_EQ(connectAnswerStatus("  HTTP/1.0 200  \n"), 200);
    EXPECT_EQ(connectAnswerStatus("garbage\nHTTP/1.0 503 Busy\nHTTP/1.0 200 OK\n"), 503);
    // The code is read like every integer field: digits up to the first other character.
    EXPECT_EQ(connectAnswerStatus("HTTP/1.0 200\r\n"), 200);
    EXPECT_EQ(connectAnswerStatus("HTTP/1.0 200OK\n"), 200);
}

TEST(ConnectAnswerStatus, NoQualifyingLineGivesZero) {
    EXPECT_EQ(connectAnswerStatus(""), 0);
    EXPECT_EQ(connectAnswerStatus("HTTP/1.0 200 OK"), 0);
    EXPECT_EQ(connectAnswerStatus("HTTP/2 200\n"), 0);
    EXPECT_EQ(connectAnswerStatus("xHTTP/1.0 200\n"), 0);
    EXPECT_EQ(connectAnswerStatus("HTTP/1.0\n"), 0);
    EXPECT_EQ(connectAnswerStatus("HTTP/1.0  200 OK\n"), 0);
    EXPECT_EQ(connectAnswerStatus(std::string("\0HTTP/1.0 200 OK\n", 17)), 0);
    EXPECT_EQ(connectAnswerStatus(std::string("HTTP/1.0 200\0 OK\n", 17)), 0);
    EXPECT_EQ(connectAnswerStatus("\tHTTP/1.0 200 OK\n"), 0);
}

TEST(ListServerAddress, HostAloneUsesPort80) {
    EXPECT_EQ(parseListServerAddress("reef.example.org"),
              (ListServerAddress{"reef.example.org", 80}));
    EXPECT_EQ(parseListServerAddress("10.0.0.1"), (ListServerAddress{"10.0.0.1", 80}));
}

TEST(ListServerAddress, HostAndPort) {
    EXPECT_EQ(parseListServerAddress("127.0.0.1:8080"), (ListServerAddress{"127.0.0.1", 8080}));
    EXPECT_EQ(parseListServerAddress("reef:1"), (ListServerAddress{"reef", 1}));
    EXPECT_EQ(parseListServerAddress("reef:65535"), (ListServerAddress{"reef", 65535}));
}

TEST(ListServerAddress, RefusesMalformedText) {
    for (const char* text : {"", ":80", "reef:", "reef:0", "reef:65536", "reef:99999999", "reef:8o",
                             "reef:-1", "a:1:2", "re ef", "reef\t:80", "reef: 80"}) {
        EXPECT_FALSE(parseListServerAddress(text).has_value()) << text;
    }
}

} // namespace
