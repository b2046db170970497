#pragma once
// A running list server with two alliances on a fresh database, and the requests of the
// desktop program.

#include "listserver/server_harness.h"
#include "listserver/test_database.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace reef::listserver::testing {

inline const std::string kPassword = "pw-korallen";
inline const std::string kOtherPassword = "pw-haie-haie";

// Field positions of a download record.
enum Field {
    Hilfe,
    Name,
    Allianz,
    Basis,
    Punkte,
    Schiffe,
    Modus,
    ZielName,
    ZielAllianz,
    ZielBasis,
    ZielPunkte,
    Von,
    ZielZeit,
    BasisZeit,
    UpdateZeit
};

// The keys of an enemy entry in the order the desktop program sends a new entry.
inline std::string enemyEntry(const std::string& name = "Klaus_Peter",
                              const std::string& basisZeit = "49200") {
    return "&Hilfe=1&Name=" + name +
           "&Allianz=Haie&Basis=1:2:3&Punkte=1234567&Schiffe=500&Modus=2&ZielName=Anna"
           "&ZielAllianz=Korallen&ZielBasis=4:5:6&ZielPunkte=7654321&BasisZeit=" +
           basisZeit + "&Von=Bert&ZielZeit=48000";
}

inline std::string alliedEntry(const std::string& name = "Paul",
                               const std::string& basisZeit = "3600") {
    return "&Hilfe=3&Name=" + name + "&Basis=7:7:7&Schiffe=20&Modus=1&ZielName=Otto" +
           "&ZielBasis=8:8:8&BasisZeit=" + basisZeit;
}

class ListServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        database_ = std::make_unique<TestDatabase>(dir_.path());
        db_ = database_->address();
        ASSERT_EQ(
            runListServer({"alliance", "add", "Korallen", "--db", db_}, kPassword + "\n").exitCode,
            0);
        ASSERT_EQ(
            runListServer({"alliance", "add", "Haie", "--db", db_}, kOtherPassword + "\n").exitCode,
            0);
        startServer();
    }

    // The write budgets are out of the way unless a test sets its own: many tests write more
    // than a member would.
    void startServer(std::vector<std::string> extra = {}) {
        const std::vector<std::string> generous = {"--writes-per-minute", "100000",
                                                   "--alliance-writes-per-minute", "100000"};
        extra.insert(extra.begin(), generous.begin(), generous.end());
        server_ = std::make_unique<ServerProcess>(db_, dir_.file("server.log"), extra);
        ASSERT_TRUE(server_->started()) << server_->log();
    }

    std::uint16_t port() const { return server_->port(); }

    // The request of the desktop program: absolute form, password and list unescaped.
    static std::string target(const std::string& list, const std::string& operation,
                              const std::string& rest = "",
                              const std::string& password = kPassword) {
        return "http://reef.example/Reef-Update.php?Info1=" + password + "&Info2=" + list +
               "&Info3=" + operation + rest;
    }

    // The answer body of a submission or any other request; the status must be 200.
    std::string body(const std::string& requestTarget, const std::string& source = "") {
        HttpAnswer answer = get(port(), requestTarget, source);
        EXPECT_EQ(answer.statusLine, "HTTP/1.0 200 OK") << requestTarget;
        return answer.body;
    }

    std::string submit(const std::string& list, const std::string& operation,
                       const std::string& rest, const std::string& password = kPassword) {
        return body(target(list, operation, rest, password));
    }

    std::vector<std::vector<std::string>> download(const std::string& list,
                                                   const std::string& password = kPassword) {
        HttpAnswer answer = get(port(), target(list, "Update", "", password));
        EXPECT_EQ(answer.statusLine, "HTTP/1.0 200 OK");
        return parseListBody(answer.body);
    }

    TempDir dir_;
    std::unique_ptr<TestDatabase> database_;
    std::string db_;
    std::unique_ptr<ServerProcess> server_;
};

} // namespace reef::listserver::testing
