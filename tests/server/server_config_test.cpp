// loadServerConfig over real files in a temporary working directory.

#include "server/server_config.h"

#include "platform/files.h"
#include "support/scoped_temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using reef::server::builtInServerConfig;
using reef::server::ListServerAddress;
using reef::server::loadServerConfig;
using reef::server::ServerConfig;

// Deliberately unlike anything a file below names, so that every kept value shows.
const ServerConfig kBuiltIn{.listServer = {"built.in", 8080}, .passwordSite = "Allianzforum"};

struct GoodFile {
    const char* name;
    std::string bytes;
    ServerConfig expected;
};

class ServerDatFile : public ::testing::TestWithParam<GoodFile> {
  protected:
    reef::testing::ScopedTempDir cwd;
};

TEST_P(ServerDatFile, GivesTheExpectedValuesAndLeavesTheFileAlone) {
    ASSERT_TRUE(reef::platform::replaceFileBytes("Server.dat", GetParam().bytes));
    const reef::server::ServerConfigLoad loaded = loadServerConfig(kBuiltIn);
    EXPECT_EQ(loaded.badKey, "");
    EXPECT_EQ(loaded.config, GetParam().expected);
    EXPECT_EQ(reef::platform::readFileBytes("Server.dat"), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ServerDatFile,
    ::testing::Values(
        GoodFile{"AllThreeKeysCrLf",
                 "Host = lists.example.org\r\nPort = 8081\r\nPasswortSeite = forum.example.org\r\n",
                 {{"lists.example.org", 8081}, "forum.example.org"}},
        GoodFile{"AllThreeKeysLf",
                 "Host = 10.1.2.3\nPort = 80\nPasswortSeite = Forum der KK\n",
                 {{"10.1.2.3", 80}, "Forum der KK"}},
        GoodFile{"HostWithoutPortMeansPort80",
                 "Host = lists.example.org\r\n",
                 {{"lists.example.org", 80}, "Allianzforum"}},
        GoodFile{"PortAloneKeepsTheBuiltInHost",
                 "Port = 9000\r\n",
                 {{"built.in", 9000}, "Allianzforum"}},
        GoodFile{"PasswordSiteAloneKeepsTheBuiltInServer",
                 "PasswortSeite = www.example.org/forum\r\n",
                 {{"built.in", 8080}, "www.example.org/forum"}},
        GoodFile{"EmptyPasswordSiteKeepsTheBuiltInOne",
                 "Host = a.example\r\nPasswortSeite =\r\n",
                 {{"a.example", 80}, "Allianzforum"}},
        GoodFile{"EmptyFileKeepsEverything", "", kBuiltIn},
        GoodFile{"HandWrittenCaseBlanksCommentsAndSections",
                 "; von der Allianzleitung\r\n\r\n  host\t=  lists.example.org  \r\nPORT=81\r\n"
                 "[alt]\r\nPort = 82\r\n",
                 {{"lists.example.org", 81}, "Allianzforum"}},
        GoodFile{"FirstOfTwoEqualKeysCounts",
                 "Host = first.example\nHost = second.example\n",
                 {{"first.example", 80}, "Allianzforum"}},
        GoodFile{"ByteOrderMarkIsSkippedAndUtf8Converted",
                 "\xEF\xBB\xBFHost = lists.example.org\r\nPasswortSeite = Gr\xC3\xBC\xC3\x9F"
                 "e\r\n",
                 {{"lists.example.org", 80},
                  "Gr\xFC\xDF"
                  "e"}},
        GoodFile{"LoneCarriageReturnsEndLinesToo",
                 "Host = cr.example\rPort = 8082\r",
                 {{"cr.example", 8082}, "Allianzforum"}},
        GoodFile{"Cp1252TextIsKeptAsItIs",
                 "PasswortSeite = Allianz-B\xFC"
                 "ro\r\n",
                 {{"built.in", 8080},
                  "Allianz-B\xFC"
                  "ro"}}),
    [](const ::testing::TestParamInfo<GoodFile>& info) { return std::string(info.param.name); });

struct BadFile {
    const char* name;
    std::string bytes;
    const char* badKey;
};

class BadServerDatFile : public ::testing::TestWithParam<BadFile> {
  protected:
    reef::testing::ScopedTempDir cwd;
};

TEST_P(BadServerDatFile, NamesTheKeyKeepsEveryBuiltInValueAndWritesNothing) {
    ASSERT_TRUE(reef::platform::replaceFileBytes("Server.dat", GetParam().bytes));
    const reef::server::ServerConfigLoad loaded = loadServerConfig(kBuiltIn);
    EXPECT_EQ(loaded.badKey, GetParam().badKey);
    EXPECT_EQ(loaded.config, kBuiltIn);
    EXPECT_EQ(reef::platform::readFileBytes("Server.dat"), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadServerDatFile,
    ::testing::Values(BadFile{"EmptyHost", "Host =\r\nPasswortSeite = forum\r\n", "Host"},
                      BadFile{"HostWithInnerBlank", "Host = lists example.org\r\n", "Host"},
                      BadFile{"HostWithTab", "Host = lists\texample.org\r\n", "Host"},
                      BadFile{"HostWithControlCharacter", "Host = lists\x01.org\r\n", "Host"},
                      BadFile{"HostOutsideAscii",
                              "Host = m\xFC"
                              "nchen.example\r\n",
                              "Host"},
                      BadFile{"HostWithPortWrittenIntoIt", "Host = lists.example.org:8080\r\n",
                              "Host"},
                      BadFile{"HostWithPath", "Host = lists.example.org/reef\r\n", "Host"},
                      BadFile{"PortZero", "Host = a.example\r\nPort = 0\r\n", "Port"},
                      BadFile{"PortTooLarge", "Host = a.example\r\nPort = 65536\r\n", "Port"},
                      BadFile{"PortThatWouldWrap", "Port = 4294967376\r\n", "Port"},
                      BadFile{"PortNegative", "Port = -80\r\n", "Port"},
                      BadFile{"PortWithLetters", "Port = 80a\r\n", "Port"},
                      BadFile{"PortEmpty", "Port =\r\n", "Port"},
                      BadFile{"PortWithInnerBlank", "Port = 80 80\r\n", "Port"},
                      BadFile{"HostIsNamedBeforePort", "Port = 0\r\nHost = a b\r\n", "Host"},
                      BadFile{"BadValueAfterByteOrderMark",
                              "\xEF\xBB\xBFHost = a\xC2\xA0"
                              "b\r\n",
                              "Host"}),
    [](const ::testing::TestParamInfo<BadFile>& info) { return std::string(info.param.name); });

TEST(ServerDat, MissingFileKeepsTheBuiltInValuesAndCreatesNothing) {
    reef::testing::ScopedTempDir cwd;
    const reef::server::ServerConfigLoad loaded = loadServerConfig(kBuiltIn);
    EXPECT_EQ(loaded.badKey, "");
    EXPECT_EQ(loaded.config, kBuiltIn);
    EXPECT_FALSE(std::filesystem::exists("Server.dat"));
}

TEST(ServerDat, ProblemTextNamesTheFileAndTheKey) {
    EXPECT_EQ(reef::server::serverConfigProblemText("Port"),
              "Ungültiger Wert für ''Port'' in der Datei ''Server.dat''!\n"
              "Es werden die eingebauten Serverdaten verwendet.");
}

TEST(ServerDat, BuiltInValuesAreTheBuildSettings) {
    const ServerConfig builtIn = builtInServerConfig();
    EXPECT_EQ(builtIn.listServer, reef::server::configuredListServer());
    EXPECT_EQ(builtIn.passwordSite, REEF_PASSWORD_SITE);
    EXPECT_FALSE(builtIn.passwordSite.empty());
}

} // namespace
