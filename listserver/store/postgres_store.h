#pragma once
// The lists in a PostgreSQL database that several server processes share, on one machine or
// on several. Every answer "ready" follows a commit that PostgreSQL has flushed
// (synchronous_commit is forced on for the server's sessions). The schema carries a version
// with migrations that the first process to start applies under an advisory lock.
//
// What the processes share through the database: the lists, the alliances, the key of the
// password hashes, and one version number per list that tells each process when the list it
// keeps in memory was written by another. Writes of one list are serialised by that version
// row; a commit of several writes holds one advisory lock, so that two of them never wait for
// each other's rows. A serving process hears of the versions through notifications that
// triggers send (see PostgresWatch), without a query per download. Expiry runs in one process at a
// time (a second advisory lock). Wrong passwords are counted per client in the database too, so
// that the throttle holds a guesser back whichever process the requests reach.

#include "listserver/core/store.h"
#include "listserver/store/postgres_watch.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace reef::listserver {

namespace postgres {
class Connection;
}

// The advisory lock that the process removing expired entries holds.
inline constexpr std::int64_t kPostgresExpiryLock = 7305526846281000002;

// Whether a --db value names a PostgreSQL database rather than a file.
bool isPostgresAddress(const std::string& db);
// The database and host of an address for the log, without the password it may hold.
std::string describePostgresAddress(const std::string& address);

class PostgresStore final : public ListStore {
  public:
    // Connects, and creates or migrates the schema; throws StorageUnavailable with a text for
    // the admin (never the password of the connection string) when that fails.
    explicit PostgresStore(const std::string& address);
    ~PostgresStore() override;
    PostgresStore(const PostgresStore&) = delete;
    PostgresStore& operator=(const PostgresStore&) = delete;

    static int schemaVersion();

    // Opens connections until `count` wait in the pool.
    void openConnections(std::size_t count);
    // From now on list versions and the clients with wrong passwords are learned from the
    // database's notifications on a connection of its own, not asked for per request.
    void listenForChanges();
    // Whether that connection is up (for tests).
    bool listening();

    std::optional<Alliance> findAlliance(const std::string& passwordHash) override;
    std::vector<Alliance> alliances() override;
    bool addAlliance(const std::string& name, const std::string& passwordHash) override;
    bool setAlliancePassword(const std::string& name, const std::string& passwordHash) override;
    bool removeAlliance(const std::string& name) override;
    std::optional<Webhook> webhook(AllianceId alliance) override;
    bool setWebhook(const std::string& allianceName,
                    const std::optional<Webhook>& webhook) override;

    ListSnapshot entries(AllianceId alliance, ListKind kind, std::int64_t notBeforeUtc) override;
    Added addEntry(AllianceId alliance, ListKind kind, const FleetEntry& entry,
                   const ChangeTime& when, std::int64_t notBeforeUtc,
                   std::size_t maxEntries) override;
    Changed changeEntry(AllianceId alliance, ListKind kind, const ChangeKey& key,
                        const EntryPatch& patch, const ChangeTime& when,
                        std::int64_t notBeforeUtc) override;
    // Removes nothing and returns 0 while another process is at it.
    std::int64_t removeExpired(std::int64_t beforeUtc) override;
    void inOneCommit(const std::function<void()>& writes) override;
    std::optional<std::int64_t> listVersion(AllianceId alliance, ListKind kind) override;

    std::optional<std::string> keyCheck() override;
    void setKeyCheck(const std::string& check) override;
    std::optional<std::string> keptKey(const std::string& freshKey) override;
    std::optional<double> sharedTriesLeft(const std::string& client, double capacity,
                                          double refillSeconds) override;
    void recordWrongPassword(const std::string& client, double capacity,
                             double refillSeconds) override;

  private:
    class Lease;
    template <typename Write> auto inWriteTransaction(Write write);

    std::string address_;
    std::mutex poolMutex_;
    std::vector<std::unique_ptr<postgres::Connection>> idle_;
    std::atomic<std::thread::id> batchThread_{};
    postgres::Connection* batch_ = nullptr;
    std::unique_ptr<PostgresWatch> watch_;
};

} // namespace reef::listserver
