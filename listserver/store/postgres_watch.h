#pragma once
// What the other processes on one PostgreSQL database commit, learned from the database's
// notifications on a connection of its own instead of a query per request: the version of
// every list, and the clients whose wrong passwords are counted. While that connection is
// down, the versions are read with one query at most once a second, and every client is
// asked for.

#include "listserver/core/store.h"

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>

namespace reef::listserver {

namespace postgres {
class Connection;
}

class PostgresWatch {
  public:
    // Starts listening at once; a database that cannot be reached is tried again every second.
    explicit PostgresWatch(std::string address);
    ~PostgresWatch();
    PostgresWatch(const PostgresWatch&) = delete;
    PostgresWatch& operator=(const PostgresWatch&) = delete;

    using ListKey = std::pair<AllianceId, std::int64_t>;
    using Versions = std::map<ListKey, std::int64_t>;

    // The version of the list as last heard; nothing when the connection is down and the
    // last reading of every version is more than a second old (then read them and give them
    // to tookVersions).
    std::optional<std::int64_t> listVersion(AllianceId alliance, ListKind kind);
    void tookVersions(Versions versions);

    // False only when the client is known to have no wrong password counted.
    bool mayHaveWrongPasswords(const std::string& client);
    // This process counted one itself.
    void countedWrongPassword(const std::string& client);

    // The alliance of a password hash as found before, while no alliance has changed since;
    // allianceGeneration() is read before the query whose answer rememberAlliance keeps.
    std::optional<Alliance> alliance(const std::string& passwordHash);
    std::uint64_t allianceGeneration();
    void rememberAlliance(const std::string& passwordHash, const Alliance& alliance,
                          std::uint64_t generation);

    // Whether the connection of its own is up (for tests).
    bool listening();

  private:
    void run();
    // Waits up to `seconds` or until stopped; false when stopped.
    bool pause(double seconds);

    std::string address_;
    std::mutex mutex_;
    bool listening_ = false;
    Versions versions_;
    double versionsReadAt_ = -1e300; // monotonic seconds of the last fallback reading
    std::set<std::string> wrongPasswordClients_;
    // Found alliances by password hash (never a hash that found none, which a guesser could
    // make many of); dropped whenever an alliance changes or the connection is lost.
    std::map<std::string, Alliance> alliances_;
    std::uint64_t allianceGeneration_ = 0;
    // Past this many clients the set is dropped and every client asked for, until a reading
    // of the table finds fewer (the store removes counts an hour old).
    static constexpr std::size_t kMaxWrongPasswordClients = 100000;
    bool tooManyClients_ = false;
    void rememberClient(const std::string& client); // under mutex_
    bool tooManyClientsNow();
    // False when the connection failed.
    bool readClientsAgain(postgres::Connection& connection);
    int wakeFd_ = -1;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

} // namespace reef::listserver
