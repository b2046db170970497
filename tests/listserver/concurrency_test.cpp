// Several desktop programs at once: writers and readers of both lists lose nothing and never
// see a torn list.

#include "listserver/contract_fixture.h"

#include <atomic>
#include <cstdio>
#include <set>
#include <thread>

using namespace reef::listserver::testing;

namespace {

using ConcurrencyTest = ListServerTest;

// Each client its own loopback address, as members are: the server's limit of connections
// per address is not what these tests are about.
std::string memberAddress(int client) {
    return "127.0.0." + std::to_string(10 + client);
}

TEST_F(ConcurrencyTest, ParallelWritersAndReadersOfBothListsLoseNothing) {
    constexpr int kWriters = 4;
    constexpr int kEntriesPerWriter = 30;
    std::atomic<int> failures{0};
    std::atomic<int> tornLists{0};
    std::atomic<bool> writing{true};

    std::vector<std::thread> threads;
    for (int w = 0; w < kWriters; ++w) {
        threads.emplace_back([&, w] {
            for (int i = 0; i < kEntriesPerWriter; ++i) {
                std::string name = "W" + std::to_string(w) + "E" + std::to_string(i);
                bool enemy = (i % 2) == 1;
                std::string keys = enemy ? enemyEntry(name) : alliedEntry(name);
                HttpAnswer answer =
                    get(port(), target(enemy ? "Reef_Enemy" : "Reef_Frend", "New", keys),
                        memberAddress(w));
                if (answer.body != "ready")
                    ++failures;
            }
        });
    }
    std::vector<std::thread> readers;
    for (int r = 0; r < 2; ++r) {
        readers.emplace_back([&, r] {
            std::size_t lastSeen = 0;
            while (writing) {
                HttpAnswer answer =
                    get(port(), target(r == 0 ? "Reef_Frend" : "Reef_Enemy", "Update"),
                        memberAddress(kWriters + r));
                try {
                    std::size_t seen = parseListBody(answer.body).size();
                    // Entries only come, none go: a reader never sees the list shrink.
                    if (seen < lastSeen) {
                        ++tornLists;
                        std::fprintf(stderr, "list shrank from %zu to %zu entries\n", lastSeen,
                                     seen);
                    }
                    lastSeen = seen;
                } catch (const std::exception&) {
                    ++tornLists;
                    std::fprintf(stderr, "not a list: %s %.200s\n", answer.statusLine.c_str(),
                                 answer.body.c_str());
                }
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    writing = false;
    for (auto& thread : readers)
        thread.join();

    EXPECT_EQ(failures, 0);
    EXPECT_EQ(tornLists, 0);
    std::set<std::string> names;
    for (const char* list : {"Reef_Frend", "Reef_Enemy"})
        for (const auto& record : download(list)) {
            EXPECT_TRUE(names.insert(record[Name]).second) << "twice: " << record[Name];
            bool enemyName = std::stoi(record[Name].substr(record[Name].find('E') + 1)) % 2;
            EXPECT_EQ(enemyName, std::string(list) == "Reef_Enemy") << record[Name];
        }
    EXPECT_EQ(names.size(), static_cast<std::size_t>(kWriters * kEntriesPerWriter));
}

TEST_F(ConcurrencyTest, ParallelChangesOfDistinctEntriesAllTakeEffect) {
    constexpr int kEntries = 12;
    for (int i = 0; i < kEntries; ++i)
        ASSERT_EQ(submit("Reef_Frend", "New", alliedEntry("P" + std::to_string(i + 10), "3600")),
                  "ready");
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = t; i < kEntries; i += 4) {
                // Every entry has IDW 3 and the same time; the new name picks it out.
                std::string name = "P" + std::to_string(i + 10);
                std::string keys = alliedEntry(name, "4800") + "&IDW=3&BasisZeitW=3600";
                if (get(port(), target("Reef_Frend", "Change", keys)).body != "ready")
                    ++failures;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
    auto records = download("Reef_Frend");
    ASSERT_EQ(records.size(), static_cast<std::size_t>(kEntries));
    for (const auto& record : records)
        EXPECT_EQ(record[BasisZeit], "4800") << record[Name];
}

} // namespace

namespace {

// Two servers on one SQLite file, as an admin may run them, each keeping what downloads ask
// for in memory: what one stores, and a new password the admin command sets, count at the
// other's next request. (PostgreSQL's servers learn of it by notification, a moment later: its
// own tests.)
TEST_F(ConcurrencyTest, TwoServersOnOneFileSeeEachOthersWritesAtTheNextRequest) {
    if (database_->isPostgres())
        GTEST_SKIP() << "servers on PostgreSQL hear of each other's writes by notification";
    ServerProcess second(
        db_, dir_.file("second.log"),
        {"--writes-per-minute", "100000", "--alliance-writes-per-minute", "100000"});
    ASSERT_TRUE(second.started()) << second.log();
    const std::uint16_t ports[2] = {port(), second.port()};
    auto countsAt = [&](std::uint16_t at, const std::string& password) {
        HttpAnswer answer = get(at, target("Reef_Enemy", "Update", "", password));
        return answer.body.starts_with("|>Update<|")
                   ? std::to_string(parseListBody(answer.body).size())
                   : answer.body;
    };
    std::string password = kPassword;
    for (int i = 0; i < 12; ++i) {
        if (i == 6) {
            ASSERT_EQ(runListServer({"alliance", "password", "Korallen", "--db", db_},
                                    "pw-korallen-neu\n")
                          .exitCode,
                      0);
            for (std::uint16_t at : ports)
                EXPECT_EQ(countsAt(at, password), "Error1") << "the old password, port " << at;
            password = "pw-korallen-neu";
        }
        const std::uint16_t writer = ports[i % 2];
        ASSERT_EQ(get(writer, target("Reef_Enemy", "New",
                                     enemyEntry("Spieler_" + std::to_string(i)), password))
                      .body,
                  "ready");
        for (std::uint16_t at : ports)
            for (int again = 0; again < 2; ++again)
                EXPECT_EQ(countsAt(at, password), std::to_string(i + 1))
                    << "entry " << i << " written through port " << writer << ", read at " << at
                    << (again ? " again" : "");
    }
}

} // namespace
