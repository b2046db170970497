// loadServerConfig over real files in a temporary working directory.

#include "exchange/server_config.h"

#include "platform/files.h"
#include "support/scoped_temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace {

using reef::exchange::loadServerConfig;
using reef::exchange::ServerConfig;
using reef::exchange::ServerConfigLoad;

// Deliberately unlike anything a file below names, so that every kept value shows.
const ServerConfig kBuiltIn{.listServer = {"built.in", 8080}, .passwordSite = "Allianzforum"};

ServerConfigLoad loadFrom(const std::string& bytes) {
    EXPECT_TRUE(reef::platform::replaceFileBytes("Server.dat", bytes));
    ServerConfigLoad loaded = loadServerConfig(kBuiltIn);
    EXPECT_EQ(reef::platform::readFileBytes("Server.dat"), bytes) << "the file is only read";
    return loaded;
}

TEST(ServerDat, GoodFilesGiveTheirValuesAndMissingKeysKeepTheBuiltInOnes) {
    reef::testing::ScopedTempDir cwd;
    // Plain texts and numbers: GCC 12 at -O3 takes an array of nested std::string aggregates
    // for uninitialised (a false -Wmaybe-uninitialized).
    struct Case {
        const char* bytes;
        const char* host;
        std::uint16_t port;
        const char* passwordSite;
    };
    const Case cases[] = {
        {"Host = lists.example.org\r\nPort = 8081\r\nPasswortSeite = forum.example.org\r\n",
         "lists.example.org", 8081, "forum.example.org"},
        {"Host = 10.1.2.3\nPort = 80\nPasswortSeite = Forum der KK\n", "10.1.2.3", 80,
         "Forum der KK"},
        {"Host = cr.example\rPort = 8082\r", "cr.example", 8082, "Allianzforum"},
        // A host without a port means port 80, not the built-in port of another server.
        {"Host = lists.example.org\r\n", "lists.example.org", 80, "Allianzforum"},
        {"Port = 9000\r\n", "built.in", 9000, "Allianzforum"},
        {"PasswortSeite = www.example.org/forum\r\n", "built.in", 8080, "www.example.org/forum"},
        {"Host = a.example\r\nPasswortSeite =\r\n", "a.example", 80, "Allianzforum"},
        {"", "built.in", 8080, "Allianzforum"}, // all of kBuiltIn
        {"; von der Allianzleitung\r\n\r\n  host\t=  lists.example.org  \r\nPORT=81\r\n"
         "[alt]\r\nPort = 82\r\n",
         "lists.example.org", 81, "Allianzforum"},
        // UTF-8 after a byte-order mark arrives as CP1252.
        {"\xEF\xBB\xBFHost = lists.example.org\r\nPasswortSeite = Gr\xC3\xBC\xC3\x9F"
         "e\r\n",
         "lists.example.org", 80,
         "Gr\xFC\xDF"
         "e"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        const ServerConfigLoad loaded = loadFrom(c.bytes);
        EXPECT_EQ(loaded.badKey, "");
        EXPECT_EQ(loaded.config,
                  (ServerConfig{.listServer = {c.host, c.port}, .passwordSite = c.passwordSite}));
    }
}

TEST(ServerDat, ABadValueNamesItsKeyAndEveryBuiltInValueHolds) {
    reef::testing::ScopedTempDir cwd;
    struct Case {
        const char* bytes;
        const char* badKey;
    };
    const Case cases[] = {
        {"Host =\r\nPasswortSeite = forum\r\n", "Host"},
        {"Host = lists example.org\r\n", "Host"},
        {"Host = lists\x01.org\r\n", "Host"},
        {"Host = m\xFCnchen.example\r\n", "Host"},
        {"Host = lists.example.org:8080\r\n", "Host"},
        {"Host = lists.example.org/reef\r\n", "Host"},
        {"Host = a.example\r\nPort = 0\r\n", "Port"},
        {"Host = a.example\r\nPort = 65536\r\n", "Port"},
        {"Port = 4294967376\r\n", "Port"}, // 80 after wrapping at 32 bits
        {"Port = 80a\r\n", "Port"},
        {"Port =\r\n", "Port"},
        {"Port = 0\r\nHost = a b\r\n", "Host"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        const ServerConfigLoad loaded = loadFrom(c.bytes);
        EXPECT_EQ(loaded.badKey, c.badKey);
        EXPECT_EQ(loaded.config, kBuiltIn);
    }
}

TEST(ServerDat, MissingFileKeepsTheBuiltInValuesAndCreatesNothing) {
    reef::testing::ScopedTempDir cwd;
    const ServerConfigLoad loaded = loadServerConfig(kBuiltIn);
    EXPECT_EQ(loaded.badKey, "");
    EXPECT_EQ(loaded.config, kBuiltIn);
    EXPECT_FALSE(std::filesystem::exists("Server.dat"));
}

TEST(ServerDat, ProblemTextNamesTheFileAndTheKey) {
    EXPECT_EQ(reef::exchange::serverConfigProblemText("Port"),
              "Ungültiger Wert für ''Port'' in der Datei ''Server.dat''!\n"
              "Es werden die eingebauten Serverdaten verwendet.");
}

TEST(ServerDat, BuiltInValuesAreTheBuildSettings) {
    const ServerConfig builtIn = reef::exchange::builtInServerConfig();
    EXPECT_EQ(builtIn.listServer, reef::exchange::configuredListServer());
    EXPECT_EQ(builtIn.passwordSite, REEF_PASSWORD_SITE);
}

} // namespace
