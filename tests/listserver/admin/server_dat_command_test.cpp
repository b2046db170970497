// The admin commands print the lines of the members' "Server.dat", and the desktop program
// reads exactly that server back from them.

#include "exchange/server_config.h"
#include "listserver/server_harness.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

using namespace reef::listserver::testing;

namespace {

constexpr char kHeader[] = "Server.dat for the members (save it beside ReefTools.exe):\n";

// What follows the header line, as the admin would copy it.
std::string copiedLines(const std::string& output) {
    const std::size_t header = output.find(kHeader);
    return header == std::string::npos ? std::string() : output.substr(header + sizeof kHeader - 1);
}

TEST(ServerDatCommand, AllianceAddPrintsLinesTheDesktopProgramReadsBack) {
    TempDir dir;
    auto added = runListServer({"alliance", "add", "Korallen", "--db", dir.file("l.sqlite"),
                                "--public-address", "lists.example.org:8081"},
                               "korallen-pw\n");
    ASSERT_EQ(added.exitCode, 0) << added.output;
    // After the password has been taken; a note about a new key file may come first.
    EXPECT_NE(added.output.find(std::string("Added alliance \"Korallen\".\n") + kHeader +
                                "Host = lists.example.org\nPort = 8081\n"),
              std::string::npos)
        << added.output;

    const std::string file = dir.file("Server.dat");
    std::ofstream(file, std::ios::binary) << copiedLines(added.output);
    const reef::exchange::ServerConfigLoad loaded = reef::exchange::loadServerConfig(
        {.listServer = {"built.in", 9999}, .passwordSite = "Allianzforum"}, file);
    EXPECT_EQ(loaded.badKey, "");
    EXPECT_EQ(loaded.config.listServer,
              (reef::exchange::ListServerAddress{"lists.example.org", 8081}));
}

TEST(ServerDatCommand, AlliancePasswordPrintsTheListenAddressWhenNoPublicOneIsGiven) {
    TempDir dir;
    const std::string db = dir.file("l.sqlite");
    ASSERT_EQ(
        runListServer({"alliance", "add", "Korallen", "--db", db}, "first-password\n").exitCode, 0);
    auto changed = runListServer(
        {"alliance", "password", "Korallen", "--db", db, "--listen", "127.0.0.1:8080"},
        "second-password\n");
    ASSERT_EQ(changed.exitCode, 0) << changed.output;
    EXPECT_EQ(copiedLines(changed.output), "Host = 127.0.0.1\nPort = 8080\n") << changed.output;
}

TEST(ServerDatCommand, ABadPublicAddressIsRefusedBeforeAnythingChanges) {
    TempDir dir;
    const std::string db = dir.file("l.sqlite");
    auto refused = runListServer(
        {"alliance", "add", "Korallen", "--db", db, "--public-address", "lists.example.org:0"},
        "korallen-pw\n");
    EXPECT_EQ(refused.exitCode, 2) << refused.output;
    EXPECT_NE(refused.output.find("--public-address"), std::string::npos) << refused.output;
    EXPECT_NE(runListServer({"alliance", "list", "--db", db}, "").exitCode, 0)
        << "no database was created";
}

} // namespace
