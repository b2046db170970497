// The server killed with SIGKILL in the middle of a burst of new entries from several
// clients: after the restart every entry that was answered "ready" is there, and the database
// passes SQLite's integrity check.

#include "listserver/contract_fixture.h"

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>
#include <mutex>
#include <set>
#include <thread>

using namespace reef::listserver::testing;

namespace {

// The answer of PRAGMA integrity_check, its rows joined.
std::string integrityCheck(const std::string& db) {
    sqlite3* handle = nullptr;
    if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(handle);
        return "cannot open";
    }
    std::string result;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(handle, "PRAGMA integrity_check", -1, &statement, nullptr) ==
        SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            result += reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        }
    } else {
        result = sqlite3_errmsg(handle);
    }
    sqlite3_finalize(statement);
    sqlite3_close(handle);
    return result;
}

struct Burst {
    std::vector<std::string> ready[2]; // per list: the names answered "ready"
};

class CrashTest : public ListServerTest {
  protected:
    // Clients on their own loopback addresses send new entries, alternating between the two
    // lists, until the server stops answering. The server is killed once `killAfter` entries
    // have been answered "ready" in all.
    Burst burstAndKill(int round, int clients, int killAfter) {
        Burst burst;
        std::atomic<int> readyCount{0};
        std::atomic<int> running{clients};
        std::mutex mutex;
        std::vector<std::thread> threads;
        const std::uint16_t serverPort = port();
        for (int client = 0; client < clients; ++client) {
            threads.emplace_back([&, client] {
                const std::string source = "127.0.0." + std::to_string(2 + client);
                for (int i = 0;; ++i) {
                    const int list = i % 2;
                    const std::string name = "R" + std::to_string(round) + "C" +
                                             std::to_string(client) + "N" + std::to_string(i);
                    const std::string rest = list == 0 ? alliedEntry(name) : enemyEntry(name);
                    HttpAnswer answer;
                    try {
                        answer = get(serverPort,
                                     target(list == 0 ? "Reef_Frend" : "Reef_Enemy", "New", rest),
                                     source);
                    } catch (const std::exception&) {
                        // refused: the server is gone
                    }
                    if (!answer.received) {
                        --running;
                        return; // the server is gone
                    }
                    if (answer.body == "ready") {
                        std::lock_guard lock(mutex);
                        burst.ready[list].push_back(name);
                        ++readyCount;
                    }
                }
            });
        }
        while (readyCount.load() < killAfter && running.load() > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_EQ(running.load(), clients) << "a client lost the server before the kill";
        server_->signal(SIGKILL);
        EXPECT_EQ(server_->wait(), 128 + SIGKILL);
        for (std::thread& thread : threads) {
            thread.join();
        }
        return burst;
    }
};

TEST_F(CrashTest, EveryReadyEntryOfABurstSurvivesSigkillAndTheDatabaseStaysWhole) {
    // Kill points early, in the middle and late in a burst, over a growing database.
    const int killPoints[] = {5, 80, 300};
    std::set<std::string> everyReady[2];
    for (int round = 0; round < 3; ++round) {
        const Burst burst = burstAndKill(round, 4, killPoints[round]);
        startServer();
        std::size_t answeredReady = 0;
        std::size_t found = 0;
        for (int list = 0; list < 2; ++list) {
            everyReady[list].insert(burst.ready[list].begin(), burst.ready[list].end());
            std::set<std::string> names;
            for (const auto& record : download(list == 0 ? "Reef_Frend" : "Reef_Enemy")) {
                names.insert(record[Name]);
            }
            answeredReady += everyReady[list].size();
            for (const std::string& name : everyReady[list]) {
                found += names.count(name);
                EXPECT_EQ(names.count(name), 1u)
                    << name << " answered ready, lost in round " << round;
            }
        }
        const std::string integrity = integrityCheck(db_);
        std::cout << "round " << round << ": " << answeredReady << " answered ready so far, "
                  << found << " found after the restart, integrity check: " << integrity << "\n";
        EXPECT_EQ(found, answeredReady);
        EXPECT_EQ(integrity, "ok");
    }
}

} // namespace
