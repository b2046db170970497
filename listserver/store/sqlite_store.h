#pragma once
// listserver/store: the two stores behind core's ListStore, a SQLite file (this header) and a
// PostgreSQL database that several processes share. Uses listserver/core only.
//
// The lists in one SQLite file: WAL journal with full sync, so that every answer "ready" is
// on disk before it is sent; a schema version with migrations.

#include "listserver/core/store.h"
#include "listserver/store/wal_stamp.h"

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

struct sqlite3;

namespace reef::listserver {

class SqliteStore final : public ListStore {
  public:
    enum class Create { IfMissing, Never };

    // Opens (and creates or migrates) the database; throws StorageUnavailable with a text
    // for the admin when that fails.
    SqliteStore(const std::string& path, Create create);
    ~SqliteStore() override;
    SqliteStore(const SqliteStore&) = delete;
    SqliteStore& operator=(const SqliteStore&) = delete;

    static int schemaVersion();

    // Opens connections until `count` wait in the pool, so that requests never need a file
    // descriptor for the database while clients hold many.
    void openConnections(std::size_t count);

    std::optional<Alliance> findAlliance(const std::string& passwordHash) override;
    std::vector<Alliance> alliances() override;
    bool addAlliance(const std::string& name, const std::string& passwordHash) override;
    bool setAlliancePassword(const std::string& name, const std::string& passwordHash) override;
    bool removeAlliance(const std::string& name) override;

    ListSnapshot entries(AllianceId alliance, ListKind kind, std::int64_t notBeforeUtc) override;
    Added addEntry(AllianceId alliance, ListKind kind, const FleetEntry& entry,
                   const ChangeTime& when, std::int64_t notBeforeUtc,
                   std::size_t maxEntries) override;
    Changed changeEntry(AllianceId alliance, ListKind kind, const ChangeKey& key,
                        const EntryPatch& patch, const ChangeTime& when,
                        std::int64_t notBeforeUtc) override;
    std::int64_t removeExpired(std::int64_t beforeUtc) override;
    void inOneCommit(const std::function<void()>& writes) override;
    // Other processes may write the same file. Both this and findAlliance answer from memory
    // while nobody committed since they last read the database.
    std::optional<std::int64_t> listVersion(AllianceId alliance, ListKind kind) override;

    std::optional<Webhook> webhook(AllianceId alliance) override;
    bool setWebhook(const std::string& allianceName,
                    const std::optional<Webhook>& webhook) override;

    std::optional<std::string> keyCheck() override;
    void setKeyCheck(const std::string& check) override;

    struct Connection;

  private:
    class Lease;
    std::unique_ptr<Connection> openConnection(bool create);
    // A write alone in its own transaction, or inside the commit that inOneCommit runs on
    // this thread.
    template <typename Write> auto inWriteTransaction(Write write);
    Added addEntryOn(Connection& connection, AllianceId alliance, ListKind kind,
                     const FleetEntry& entry, const ChangeTime& when, std::int64_t notBeforeUtc,
                     std::size_t maxEntries);
    Changed changeEntryOn(Connection& connection, AllianceId alliance, ListKind kind,
                          const ChangeKey& key, const EntryPatch& patch, const ChangeTime& when,
                          std::int64_t notBeforeUtc);

    std::string path_;
    std::mutex poolMutex_;
    std::vector<std::unique_ptr<Connection>> idle_;
    // One writer at a time inside this process, so that threads queue here instead of in
    // SQLite's sleeping busy handler; other processes (admin commands) meet the busy time-out.
    std::mutex writeMutex_;
    // The commit inOneCommit runs, and its thread (the only one that may use it).
    std::atomic<std::thread::id> batchThread_{};
    Connection* batch_ = nullptr;

    // What findAlliance and listVersion found while the database showed one stamp (only
    // alliances that exist: wrong passwords are looked up every time).
    struct Known {
        std::optional<WalStamp> stamp;
        std::unordered_map<std::string, Alliance> alliances;
        std::map<std::pair<AllianceId, int>, std::int64_t> versions;
    };
    std::optional<WalStamp> stampNow() const;
    template <typename Remember> void remember(const WalStamp& stamp, Remember remember);
    std::shared_mutex knownMutex_;
    Known known_;
    // A connection of its own that keeps the shared WAL index mapped for the stamp reader;
    // nothing when the index cannot be read (then every call asks the database).
    std::unique_ptr<Connection> watch_;
    std::unique_ptr<WalStampReader> stamps_;
};

} // namespace reef::listserver
