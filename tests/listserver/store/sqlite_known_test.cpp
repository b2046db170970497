// What a SQLite store answers from memory (alliances by password, list versions) stays true
// when another connection writes the file, as another process (an admin command, a second
// server) does; and the stamp of the shared WAL index that tells it.

#include "listserver/store/sqlite_store.h"
#include "listserver/store/wal_stamp.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace reef::listserver;

namespace {

class SqliteKnownTest : public ::testing::Test {
  protected:
    SqliteKnownTest() {
        char pattern[] = "/tmp/reef-sqlite-known-XXXXXX";
        folder_ = ::mkdtemp(pattern);
        path_ = folder_ + "/lists.sqlite";
    }
    ~SqliteKnownTest() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    // A plain connection of its own, as another program has.
    sqlite3* openRaw(const std::string& path) {
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        raw_.emplace_back(db, &sqlite3_close);
        return db;
    }
    static void exec(sqlite3* db, const char* sql) {
        char* message = nullptr;
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &message), SQLITE_OK)
            << (message ? message : "") << " in " << sql;
    }

    std::string folder_;
    std::string path_;
    std::vector<std::unique_ptr<sqlite3, int (*)(sqlite3*)>> raw_;
};

TEST_F(SqliteKnownTest, TheStampChangesWithEveryCommitOfAnyConnectionAndOnlyThen) {
    sqlite3* watched = openRaw(path_);
    exec(watched, "PRAGMA journal_mode = WAL");
    exec(watched, "CREATE TABLE t (x INTEGER)");
    WalStampReader reader(watched);
    ASSERT_TRUE(reader.usable()) << "SQLite's WAL index has a layout this build does not know";
    sqlite3* other = openRaw(path_);

    // Either: a stamp that changes without a change of data costs only a read.
    enum class Stamp { Same, New, Either };
    struct Step {
        const char* what;
        std::function<void()> run;
        Stamp stamp;
    };
    const std::vector<Step> steps = {
        {"a read", [&] { exec(other, "SELECT count(*) FROM t"); }, Stamp::Same},
        {"a commit of another connection", [&] { exec(other, "INSERT INTO t VALUES (1)"); },
         Stamp::New},
        {"a read of the watched connection", [&] { exec(watched, "SELECT * FROM t"); },
         Stamp::Same},
        {"a commit of the watched connection", [&] { exec(watched, "INSERT INTO t VALUES (2)"); },
         Stamp::New},
        {"a transaction rolled back",
         [&] {
             exec(other, "BEGIN IMMEDIATE");
             exec(other, "INSERT INTO t VALUES (3)");
             exec(other, "ROLLBACK");
         },
         Stamp::Same},
        {"a checkpoint that restarts the log",
         [&] { exec(other, "PRAGMA wal_checkpoint(TRUNCATE)"); }, Stamp::Either},
        {"a commit after the restart", [&] { exec(other, "INSERT INTO t VALUES (4)"); },
         Stamp::New},
        {"a commit of a schema change", [&] { exec(other, "CREATE INDEX i ON t (x)"); },
         Stamp::New},
        {"a commit that changes no row", [&] { exec(other, "DELETE FROM t WHERE x = 99"); },
         Stamp::Either},
    };
    std::vector<WalStamp> seen{*reader.now()};
    for (const Step& step : steps) {
        const std::optional<WalStamp> before = reader.now();
        ASSERT_TRUE(before) << step.what;
        step.run();
        const std::optional<WalStamp> after = reader.now();
        ASSERT_TRUE(after) << step.what;
        if (step.stamp == Stamp::Same) {
            EXPECT_EQ(*after, *before) << step.what;
            continue;
        }
        if (step.stamp == Stamp::New) {
            EXPECT_NE(*after, *before) << step.what;
        }
        if (*after == *before)
            continue;
        for (const WalStamp& earlier : seen)
            EXPECT_NE(*after, earlier) << step.what << ": a stamp seen before came back";
        seen.push_back(*after);
    }
}

TEST_F(SqliteKnownTest, ADatabaseWithoutAWriteAheadLogHasNoStamp) {
    sqlite3* db = openRaw(path_);
    exec(db, "PRAGMA journal_mode = DELETE");
    exec(db, "CREATE TABLE t (x INTEGER)");
    WalStampReader reader(db);
    EXPECT_FALSE(reader.usable());
    EXPECT_EQ(reader.now(), std::nullopt);
}

// Every change another writer makes is seen by the next call, while repeated calls in between
// are answered from memory (the same answers, and still after the other writer is gone).
TEST_F(SqliteKnownTest, AnswersFromMemoryFollowEveryWriteOfAnotherStore) {
    SqliteStore serving(path_, SqliteStore::Create::IfMissing);
    auto other = std::make_unique<SqliteStore>(path_, SqliteStore::Create::Never);
    ASSERT_TRUE(other->addAlliance("Korallen", "hash-1"));
    ASSERT_TRUE(other->addAlliance("Haie", "hash-h"));
    const AllianceId korallen = serving.findAlliance("hash-1")->id;
    const AllianceId haie = serving.findAlliance("hash-h")->id;
    const ChangeTime when{3600, 1'700'000'000};

    struct Expected {
        std::optional<AllianceId> hash1, hash2, hashH;
        std::int64_t korallenAllied, korallenEnemy, haieAllied;
    };
    struct Step {
        const char* what;
        std::function<void()> run;
        Expected expected;
    };
    const std::vector<Step> steps = {
        {"nothing written", [] {}, {korallen, std::nullopt, haie, 0, 0, 0}},
        {"an entry in the allied list of Korallen",
         [&] { other->addEntry(korallen, ListKind::Allied, FleetEntry{}, when, 0, 10); },
         {korallen, std::nullopt, haie, 1, 0, 0}},
        {"a new password for Korallen",
         [&] { ASSERT_TRUE(other->setAlliancePassword("Korallen", "hash-2")); },
         {std::nullopt, korallen, haie, 1, 0, 0}},
        {"an entry of the serving store itself",
         [&] { serving.addEntry(haie, ListKind::Allied, FleetEntry{}, when, 0, 10); },
         {std::nullopt, korallen, haie, 1, 0, 1}},
        {"two entries in one commit",
         [&] {
             other->inOneCommit([&] {
                 other->addEntry(korallen, ListKind::Enemy, FleetEntry{}, when, 0, 10);
                 other->addEntry(korallen, ListKind::Allied, FleetEntry{}, when, 0, 10);
             });
         },
         {std::nullopt, korallen, haie, 2, 1, 1}},
        {"Haie removed",
         [&] { ASSERT_TRUE(other->removeAlliance("Haie")); },
         {std::nullopt, korallen, std::nullopt, 2, 1, 0}},
        {"the other store closed",
         [&] { other.reset(); },
         {std::nullopt, korallen, std::nullopt, 2, 1, 0}},
    };
    for (const Step& step : steps) {
        step.run();
        for (int round = 0; round < 3; ++round) {
            auto idOf = [&](const char* hash) -> std::optional<AllianceId> {
                auto found = serving.findAlliance(hash);
                return found ? std::optional(found->id) : std::nullopt;
            };
            EXPECT_EQ(idOf("hash-1"), step.expected.hash1) << step.what << ", round " << round;
            EXPECT_EQ(idOf("hash-2"), step.expected.hash2) << step.what << ", round " << round;
            EXPECT_EQ(idOf("hash-h"), step.expected.hashH) << step.what << ", round " << round;
            EXPECT_EQ(serving.listVersion(korallen, ListKind::Allied), step.expected.korallenAllied)
                << step.what << ", round " << round;
            EXPECT_EQ(serving.listVersion(korallen, ListKind::Enemy), step.expected.korallenEnemy)
                << step.what << ", round " << round;
            EXPECT_EQ(serving.listVersion(haie, ListKind::Allied), step.expected.haieAllied)
                << step.what << ", round " << round;
        }
    }
    EXPECT_EQ(serving.findAlliance("hash-2")->name, "Korallen");
}

} // namespace
