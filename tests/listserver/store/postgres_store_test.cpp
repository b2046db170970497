// What the PostgreSQL store adds to the tests every store passes: several processes on one
// database (each store object here stands for one process, with connections of its own).

#include "listserver/contract_fixture.h"
#include "listserver/core/list_service.h"
#include "listserver/store/postgres_store.h"
#include "listserver/test_database.h"

#include <libpq-fe.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace reef::listserver;
using namespace reef::listserver::testing;

namespace {

constexpr std::int64_t kNow = 1'700'000'000;

class PostgresStoreTest : public ::testing::Test {
  protected:
    FleetEntry entry(const std::string& name) {
        FleetEntry made;
        made.Name = name;
        return made;
    }
    AllianceId allianceIn(ListStore& store, const std::string& name = "A") {
        store.addAlliance(name, "hash-" + name);
        return store.findAlliance("hash-" + name)->id;
    }

    TempDir dir_;
    TestDatabase database_{dir_.path(), "unused", TestDatabase::Kind::Postgres};
};

TEST_F(PostgresStoreTest, ANewerSchemaIsRefusedAndAReopenKeepsTheData) {
    {
        PostgresStore store(database_.address());
        ASSERT_TRUE(store.addAlliance("A", "hash-a"));
        EXPECT_FALSE(store.addAlliance("B", "hash-a")) << "two alliances, one password";
        EXPECT_FALSE(store.addAlliance("A", "hash-b"));
    }
    {
        PostgresStore again(database_.address());
        ASSERT_EQ(again.alliances().size(), 1u);
        EXPECT_EQ(again.findAlliance("hash-a")->name, "A");
    }
    EXPECT_EQ(runPostgres(database_.address(), "SELECT version FROM reef_schema"),
              std::to_string(PostgresStore::schemaVersion()));
    runPostgres(database_.address(), "UPDATE reef_schema SET version = 999");
    try {
        PostgresStore newer(database_.address());
        FAIL() << "a database of a newer schema was opened";
    } catch (const StorageUnavailable& error) {
        EXPECT_NE(std::string(error.what()).find("newer"), std::string::npos) << error.what();
    }
}

TEST_F(PostgresStoreTest, AnOlderSchemaGetsTheMissingStepsAndKeepsItsData) {
    {
        PostgresStore store(database_.address());
        ASSERT_TRUE(store.addAlliance("A", "hash-a"));
    }
    // What the first schema had: no count of wrong passwords, no chat webhooks, no
    // notifications.
    runPostgres(database_.address(),
                "DROP TABLE wrong_password; DROP TABLE webhook; DROP TRIGGER list_state_notify "
                "ON list_state; DROP FUNCTION reef_list_version_notify(); DROP FUNCTION "
                "reef_wrong_password_notify(); DROP TRIGGER alliance_notify ON alliance; DROP "
                "FUNCTION reef_alliance_notify(); UPDATE reef_schema SET version = 1");
    PostgresStore migrated(database_.address());
    EXPECT_EQ(runPostgres(database_.address(), "SELECT version FROM reef_schema"),
              std::to_string(PostgresStore::schemaVersion()));
    EXPECT_EQ(migrated.findAlliance("hash-a")->name, "A");
    migrated.recordWrongPassword("192.0.2.7", 10, 6);
    EXPECT_TRUE(migrated.sharedTriesLeft("192.0.2.7", 10, 6));
    EXPECT_TRUE(
        migrated.setWebhook("A", Webhook{"https://chat.example/h", WebhookFormat::Json, ""}));
    EXPECT_EQ(runPostgres(database_.address(),
                          "SELECT count(*) FROM pg_trigger WHERE tgname "
                          "IN ('list_state_notify', 'wrong_password_notify', 'alliance_notify')"),
              "3");
}

TEST_F(PostgresStoreTest, ProcessesStartingTogetherCreateTheSchemaOnce) {
    std::atomic<int> opened{0};
    std::vector<std::thread> starts;
    for (int i = 0; i < 4; ++i)
        starts.emplace_back([&] {
            try {
                PostgresStore store(database_.address());
                ++opened;
            } catch (const std::exception&) {
            }
        });
    for (auto& start : starts)
        start.join();
    EXPECT_EQ(opened, 4);
    EXPECT_EQ(runPostgres(database_.address(), "SELECT count(*) FROM reef_schema"), "1");
}

TEST_F(PostgresStoreTest, EveryProcessUsesTheKeyTheFirstOneStored) {
    PostgresStore first(database_.address());
    PostgresStore second(database_.address());
    const std::string a(32, 'a');
    const std::string b(32, 'b');
    EXPECT_EQ(first.keptKey(a), a);
    EXPECT_EQ(second.keptKey(b), a);
    EXPECT_EQ(first.keptKey(b), a);
}

TEST_F(PostgresStoreTest, AWriteOfAnotherProcessCountsUpTheVersionOfItsListAlone) {
    PostgresStore reader(database_.address());
    PostgresStore writer(database_.address());
    const AllianceId alliance = allianceIn(writer);
    const auto alliedBefore = reader.listVersion(alliance, ListKind::Allied);
    const auto enemyBefore = reader.listVersion(alliance, ListKind::Enemy);
    ASSERT_TRUE(alliedBefore && enemyBefore);
    writer.addEntry(alliance, ListKind::Allied, entry("N"), ChangeTime{0, kNow}, 0, 10);
    EXPECT_NE(reader.listVersion(alliance, ListKind::Allied), alliedBefore);
    EXPECT_EQ(reader.listVersion(alliance, ListKind::Enemy), enemyBefore);
    const auto afterAdd = reader.listVersion(alliance, ListKind::Allied);
    const Changed changed =
        writer.changeEntry(alliance, ListKind::Allied, ChangeKey{1, 0, std::nullopt}, EntryPatch{},
                           ChangeTime{0, kNow + 1}, 0);
    ASSERT_EQ(changed.result, ChangeResult::Replaced);
    EXPECT_NE(reader.listVersion(alliance, ListKind::Allied), afterAdd);
}

// Waits up to two seconds for what a notification brings.
template <typename Check> bool eventually(Check check) {
    for (int i = 0; i < 200; ++i) {
        if (check())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return check();
}

TEST_F(PostgresStoreTest, AListeningProcessHearsOfOtherWritesAlsoAfterItsConnectionsEnded) {
    PostgresStore reader(database_.address());
    PostgresStore writer(database_.address());
    const AllianceId alliance = allianceIn(writer);
    reader.listenForChanges();
    ASSERT_TRUE(eventually([&] { return reader.listening(); }));
    for (int round = 0; round < 2; ++round) {
        const auto allied = reader.listVersion(alliance, ListKind::Allied);
        const auto enemy = reader.listVersion(alliance, ListKind::Enemy);
        ASSERT_TRUE(allied && enemy);
        writer.addEntry(alliance, ListKind::Allied, entry("N" + std::to_string(round)),
                        ChangeTime{0, kNow}, 0, 10);
        EXPECT_TRUE(eventually([&] {
            return reader.listVersion(alliance, ListKind::Allied) != allied;
        })) << round;
        EXPECT_EQ(reader.listVersion(alliance, ListKind::Enemy), enemy) << round;
        // The writer's version is the reader's.
        EXPECT_EQ(reader.listVersion(alliance, ListKind::Allied),
                  writer.listVersion(alliance, ListKind::Allied));

        const std::string client = "192.0.2." + std::to_string(10 + round);
        EXPECT_FALSE(reader.sharedTriesLeft(client, 10, 6)) << "no wrong password yet";
        writer.recordWrongPassword(client, 10, 6);
        EXPECT_TRUE(eventually([&] { return reader.sharedTriesLeft(client, 10, 6).has_value(); }));
        EXPECT_NEAR(reader.sharedTriesLeft(client, 10, 6).value_or(-1), 9, 0.05);

        // An alliance the reader found is kept until any alliance changes.
        const std::string before = "hash-A" + std::string(round ? "1" : "");
        const std::string after = "hash-A" + std::to_string(round + 1);
        ASSERT_EQ(reader.findAlliance(before)->id, alliance);
        ASSERT_TRUE(writer.setAlliancePassword("A", after));
        EXPECT_TRUE(eventually([&] { return !reader.findAlliance(before); })) << round;
        EXPECT_EQ(reader.findAlliance(after)->id, alliance);

        // Every connection of both ends, the listening one too: the reader still hears, by
        // reading the versions itself until it listens again.
        runPostgres(database_.address(),
                    "SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity WHERE "
                    "datname = current_database() AND application_name = 'reef-listserver'");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_TRUE(eventually([&] { return reader.listening(); }));
}

TEST_F(PostgresStoreTest, TwoProcessesAddingAtOnceNeverOverfillAList) {
    PostgresStore one(database_.address());
    PostgresStore two(database_.address());
    const AllianceId alliance = allianceIn(one);
    std::atomic<int> stored{0};
    std::atomic<int> full{0};
    std::vector<std::thread> writers;
    for (PostgresStore* store : {&one, &two, &one, &two})
        writers.emplace_back([&, store] {
            for (int i = 0; i < 10; ++i) {
                auto added = store->addEntry(alliance, ListKind::Enemy, entry("E"),
                                             ChangeTime{0, kNow}, 0, 15);
                ++(added.result == AddResult::Stored ? stored : full);
            }
        });
    for (auto& writer : writers)
        writer.join();
    EXPECT_EQ(stored, 15);
    EXPECT_EQ(full, 25);
    EXPECT_EQ(one.entries(alliance, ListKind::Enemy, 0).entries.size(), 15u);
}

TEST_F(PostgresStoreTest, ExpiryRunsInOneProcessAtATime) {
    PostgresStore store(database_.address());
    const AllianceId alliance = allianceIn(store);
    store.addEntry(alliance, ListKind::Allied, entry("Old"), ChangeTime{0, kNow}, 0, 10);
    // Another process is removing expired entries: it holds the lock for that.
    PGconn* other = PQconnectdb(database_.address().c_str());
    ASSERT_EQ(PQstatus(other), CONNECTION_OK);
    PQclear(PQexec(
        other, ("BEGIN; SELECT pg_advisory_xact_lock(" + std::to_string(kPostgresExpiryLock) + ")")
                   .c_str()));
    EXPECT_EQ(store.removeExpired(kNow + 1), 0);
    EXPECT_EQ(store.entries(alliance, ListKind::Allied, 0).entries.size(), 1u);
    PQclear(PQexec(other, "COMMIT"));
    PQfinish(other);
    EXPECT_EQ(store.removeExpired(kNow + 1), 1);
    EXPECT_TRUE(store.entries(alliance, ListKind::Allied, 0).entries.empty());
}

TEST_F(PostgresStoreTest, WrongPasswordsOfAClientAreCountedForAllProcesses) {
    PostgresStore one(database_.address());
    PostgresStore two(database_.address());
    EXPECT_FALSE(one.sharedTriesLeft("192.0.2.7", 10, 6)) << "no wrong password yet";
    one.recordWrongPassword("192.0.2.7", 10, 6);
    two.recordWrongPassword("192.0.2.7", 10, 6);
    one.recordWrongPassword("192.0.2.7", 10, 6);
    // A few milliseconds of refill at most.
    EXPECT_NEAR(*two.sharedTriesLeft("192.0.2.7", 10, 6), 7, 0.05);
    EXPECT_FALSE(two.sharedTriesLeft("192.0.2.8", 10, 6)) << "another client";
    for (int i = 0; i < 20; ++i)
        two.recordWrongPassword("192.0.2.7", 10, 6);
    EXPECT_NEAR(*one.sharedTriesLeft("192.0.2.7", 10, 6), 0, 0.05) << "never below empty";
}

TEST_F(PostgresStoreTest, AGuesserHeldBackByOneProcessIsHeldBackByTheOtherToo) {
    PostgresStore first(database_.address());
    PostgresStore second(database_.address());
    const ServerKey key = ServerKey::fromBytes(std::string(32, 'k'));
    ASSERT_TRUE(first.addAlliance("A", key.passwordHash("right-password")));
    // The monotonic clocks stand still: only the database's clock refills, by milliseconds.
    const ServiceClock clock{[] { return kNow; }, [] { return kNow; }, [] { return 100.0; }};
    ListService one(first, key, clock, ServiceOptions{});
    ListService two(second, key, clock, ServiceOptions{});
    auto ask = [](ListService& service, const std::string& password, const std::string& client) {
        GuardTicket ticket;
        Outcome outcome =
            service.handle("/Reef-Update.php?Info1=" + password + "&Info2=Reef_Frend&Info3=Update",
                           client, ticket);
        service.abandon(client, ticket);
        return outcome;
    };
    for (int i = 0; i < 10; ++i) {
        Outcome wrong = ask(one, "guess-" + std::to_string(i), "192.0.2.7");
        ASSERT_TRUE(std::holds_alternative<Answer>(wrong)) << i;
        ASSERT_EQ(std::get<Answer>(wrong).text(), "Error1");
    }
    EXPECT_TRUE(std::holds_alternative<Hold>(ask(two, "right-password", "192.0.2.7")))
        << "the other process holds the guesser's address back as well";
    Outcome other = ask(two, "right-password", "192.0.2.8");
    ASSERT_TRUE(std::holds_alternative<Answer>(other));
    EXPECT_EQ(std::get<Answer>(other).text(), "|>Update<|<>end|<>") << "another client";
}

TEST_F(PostgresStoreTest, AFailureOfTheWholeCommitStoresNothing) {
    PostgresStore store(database_.address());
    const AllianceId alliance = allianceIn(store);
    EXPECT_THROW(store.inOneCommit([&] {
        store.addEntry(alliance, ListKind::Allied, entry("N"), ChangeTime{0, kNow}, 0, 10);
        throw std::runtime_error("the disk is gone");
    }),
                 std::runtime_error);
    EXPECT_TRUE(store.entries(alliance, ListKind::Allied, 0).entries.empty());
}

TEST_F(PostgresStoreTest, AnUnreachableDatabaseIsUnavailableAndItsPasswordNeverShown) {
    const std::string address = database_.address();
    const std::string wrong =
        "postgresql://reef:secret-word@/no_such_database" + address.substr(address.find('?'));
    try {
        PostgresStore store(wrong);
        FAIL() << "opened a database that does not exist";
    } catch (const StorageUnavailable& error) {
        EXPECT_EQ(std::string(error.what()).find("secret-word"), std::string::npos) << error.what();
        EXPECT_NE(std::string(error.what()).find("no_such_database"), std::string::npos)
            << error.what();
    }
    EXPECT_EQ(describePostgresAddress(wrong).find("secret-word"), std::string::npos);
}

// Two server processes on one database, as behind a load balancer.
class PostgresServersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(runListServer({"alliance", "add", "Korallen", "--db", database_.address()},
                                kPassword + "\n")
                      .exitCode,
                  0);
        for (const char* log : {"one.log", "two.log"}) {
            servers_.push_back(
                std::make_unique<ServerProcess>(database_.address(), dir_.file(log)));
            ASSERT_TRUE(servers_.back()->started()) << servers_.back()->log();
        }
    }
    std::string ask(int server, const std::string& list, const std::string& operation,
                    const std::string& rest = "") {
        return get(servers_[static_cast<std::size_t>(server)]->port(),
                   "/Reef-Update.php?Info1=" + kPassword + "&Info2=" + list +
                       "&Info3=" + operation + rest)
            .body;
    }

    TempDir dir_;
    TestDatabase database_{dir_.path(), "unused", TestDatabase::Kind::Postgres};
    std::vector<std::unique_ptr<ServerProcess>> servers_;
};

TEST_F(PostgresServersTest, BothProcessesCheckPasswordsWithTheOneKey) {
    EXPECT_EQ(ask(0, "Reef_Frend", "Update"), "|>Update<|<>end|<>");
    EXPECT_EQ(ask(1, "Reef_Frend", "Update"), "|>Update<|<>end|<>");
    // A password changed while both run counts in both at once.
    ASSERT_EQ(runListServer({"alliance", "password", "Korallen", "--db", database_.address()},
                            "second-password\n")
                  .exitCode,
              0);
    for (int server : {0, 1})
        EXPECT_EQ(get(servers_[static_cast<std::size_t>(server)]->port(),
                      "/Reef-Update.php?Info1=second-password&Info2=Reef_Frend&Info3=Update")
                      .body,
                  "|>Update<|<>end|<>")
            << server;
    EXPECT_EQ(ask(1, "Reef_Frend", "Update"), "Error1");
}

TEST_F(PostgresServersTest, ConnectionsTheDatabaseEndedAreReplacedWithoutAFailedRequest) {
    ASSERT_EQ(ask(0, "Reef_Enemy", "New", enemyEntry("Klaus")), "ready");
    const std::string ended = runPostgres(
        database_.address(), "SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity "
                             "WHERE datname = current_database() AND "
                             "application_name = 'reef-listserver'");
    EXPECT_NE(ended, "0");
    // The ends reach the servers' sockets.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (int server : {0, 1}) {
        EXPECT_EQ(ask(server, "Reef_Enemy", "New", enemyEntry("Paul")), "ready") << server;
        EXPECT_EQ(parseListBody(ask(server, "Reef_Enemy", "Update")).size(),
                  static_cast<std::size_t>(2 + server))
            << server;
    }
}

TEST_F(PostgresServersTest, TheLogNamesTheDatabaseButNeverThePasswordOfItsAddress) {
    const std::string address = database_.address();
    const std::string withPassword =
        "postgresql://reef:secret-word@/" + address.substr(std::string("postgresql:///").size());
    ServerProcess third(withPassword, dir_.file("three.log"));
    ASSERT_TRUE(third.started()) << third.log();
    EXPECT_EQ(third.log().find("secret-word"), std::string::npos) << third.log();
    EXPECT_NE(third.log().find("PostgreSQL database reef_test_"), std::string::npos) << third.log();
}

TEST_F(PostgresServersTest, DemoIsRefusedForASharedDatabase) {
    auto demo = runListServer({"serve", "--demo", "--db", database_.address()}, "");
    EXPECT_EQ(demo.exitCode, 2);
    EXPECT_NE(demo.output.find("--demo"), std::string::npos) << demo.output;
}

} // namespace
