#include "listserver/store/sqlite_store.h"

#include <sqlite3.h>

#include <array>
#include <cstring>
#include <unistd.h>
#include <unordered_map>

namespace reef::listserver {

namespace {

constexpr int kBusyTimeoutMs = 5000;

// Each step brings the schema from version i to i + 1. Never edit a step that has shipped;
// append a new one.
constexpr std::array kMigrations = {
    R"sql(
CREATE TABLE alliance (
    id            INTEGER PRIMARY KEY AUTOINCREMENT,
    name          TEXT NOT NULL UNIQUE,
    password_hash BLOB NOT NULL UNIQUE,
    created_at    INTEGER NOT NULL
);
CREATE TABLE entry (
    id           INTEGER PRIMARY KEY AUTOINCREMENT,
    alliance_id  INTEGER NOT NULL REFERENCES alliance(id) ON DELETE CASCADE,
    list         INTEGER NOT NULL,
    hilfe        INTEGER NOT NULL,
    name         BLOB NOT NULL,
    allianz      BLOB NOT NULL,
    basis        BLOB NOT NULL,
    punkte       INTEGER NOT NULL,
    schiffe      INTEGER NOT NULL,
    modus        INTEGER NOT NULL,
    ziel_name    BLOB NOT NULL,
    ziel_allianz BLOB NOT NULL,
    ziel_basis   BLOB NOT NULL,
    ziel_punkte  INTEGER NOT NULL,
    von          BLOB NOT NULL,
    ziel_zeit    INTEGER,
    basis_zeit   INTEGER NOT NULL,
    update_zeit  INTEGER NOT NULL,
    updated_at   INTEGER NOT NULL
);
CREATE INDEX entry_by_list ON entry(alliance_id, list, updated_at);
CREATE INDEX entry_by_age ON entry(updated_at);
CREATE TABLE setting (
    key   TEXT PRIMARY KEY,
    value BLOB NOT NULL
);
)sql",
    // The time of an entry's last change is kept as the local time of day only.
    R"sql(
UPDATE entry SET update_zeit = ((update_zeit % 86400) + 86400) % 86400;
)sql",
    // A version per list that every write counts up, so that a server process notices the
    // writes of another one on the same file.
    R"sql(
CREATE TABLE list_state (
    alliance_id INTEGER NOT NULL REFERENCES alliance(id) ON DELETE CASCADE,
    list        INTEGER NOT NULL,
    version     INTEGER NOT NULL,
    PRIMARY KEY (alliance_id, list)
);
)sql",
    // An alliance's chat webhook; its URL holds the chat's secret token.
    R"sql(
CREATE TABLE IF NOT EXISTS webhook (
    alliance_id INTEGER PRIMARY KEY REFERENCES alliance(id) ON DELETE CASCADE,
    url         TEXT NOT NULL,
    format      TEXT NOT NULL,
    mention     TEXT NOT NULL
);
)sql",
};

bool isUnavailable(int code) {
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_IOERR:
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_CANTOPEN:
    case SQLITE_FULL:
    case SQLITE_READONLY:
    case SQLITE_PROTOCOL:
    case SQLITE_PERM:
    case SQLITE_NOLFS:
    case SQLITE_AUTH:
        return true;
    default:
        return false;
    }
}

[[noreturn]] void fail(sqlite3* db, int code, const std::string& what) {
    std::string text = what + ": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(code));
    if (isUnavailable(code))
        throw StorageUnavailable(text);
    throw std::runtime_error(text);
}

const char kEntryColumns[] = "hilfe, name, allianz, basis, punkte, schiffe, modus, ziel_name, "
                             "ziel_allianz, ziel_basis, ziel_punkte, von, ziel_zeit, basis_zeit, "
                             "update_zeit";

} // namespace

struct SqliteStore::Connection {
    sqlite3* db = nullptr;
    std::unordered_map<std::string, sqlite3_stmt*> statements;

    ~Connection() {
        for (auto& [sql, statement] : statements)
            sqlite3_finalize(statement);
        sqlite3_close_v2(db);
    }

    void exec(const char* sql) {
        char* message = nullptr;
        int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
        if (rc != SQLITE_OK) {
            std::string text = message ? message : sqlite3_errstr(rc);
            sqlite3_free(message);
            if (isUnavailable(rc))
                throw StorageUnavailable(text);
            throw std::runtime_error(text);
        }
    }
};

namespace {

// A prepared statement of a connection, reset and unbound when the scope ends.
class Statement {
  public:
    Statement(SqliteStore::Connection& connection, const std::string& sql) : db_(connection.db) {
        auto it = connection.statements.find(sql);
        if (it == connection.statements.end()) {
            sqlite3_stmt* prepared = nullptr;
            int rc = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()),
                                        SQLITE_PREPARE_PERSISTENT, &prepared, nullptr);
            if (rc != SQLITE_OK)
                fail(db_, rc, "prepare");
            it = connection.statements.emplace(sql, prepared).first;
        }
        statement_ = it->second;
    }
    ~Statement() {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, std::int64_t value) {
        check(sqlite3_bind_int64(statement_, index, value));
        return *this;
    }
    Statement& bind(int index, const std::string& bytes) {
        // Bytes as they came: a blob, so that no text encoding is assumed or checked.
        check(sqlite3_bind_blob(statement_, index, bytes.empty() ? "" : bytes.data(),
                                static_cast<int>(bytes.size()), SQLITE_TRANSIENT));
        return *this;
    }
    Statement& bindText(int index, const std::string& text) {
        check(sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                                SQLITE_TRANSIENT));
        return *this;
    }
    Statement& bindNull(int index) {
        check(sqlite3_bind_null(statement_, index));
        return *this;
    }

    // True while a row is there.
    bool step() {
        int rc = sqlite3_step(statement_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        fail(db_, rc, "query");
    }
    // For statements that may break a UNIQUE constraint: false when they did.
    bool stepUnlessDuplicate() {
        int rc = sqlite3_step(statement_);
        if (rc == SQLITE_DONE || rc == SQLITE_ROW)
            return true;
        if ((rc & 0xff) == SQLITE_CONSTRAINT)
            return false;
        fail(db_, rc, "query");
    }

    std::int64_t integer(int column) { return sqlite3_column_int64(statement_, column); }
    bool isNull(int column) { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
    std::string bytes(int column) {
        const void* data = sqlite3_column_blob(statement_, column);
        int size = sqlite3_column_bytes(statement_, column);
        return data ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(size))
                    : std::string{};
    }
    int changes() { return sqlite3_changes(db_); }

  private:
    void check(int rc) {
        if (rc != SQLITE_OK)
            fail(db_, rc, "bind");
    }
    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
};

FleetEntry readEntry(Statement& row, int first) {
    FleetEntry entry;
    entry.Hilfe = static_cast<int>(row.integer(first + 0));
    entry.Name = row.bytes(first + 1);
    entry.Allianz = row.bytes(first + 2);
    entry.Basis = row.bytes(first + 3);
    entry.Punkte = row.integer(first + 4);
    entry.Schiffe = static_cast<std::int32_t>(row.integer(first + 5));
    entry.Modus = static_cast<int>(row.integer(first + 6));
    entry.ZielName = row.bytes(first + 7);
    entry.ZielAllianz = row.bytes(first + 8);
    entry.ZielBasis = row.bytes(first + 9);
    entry.ZielPunkte = row.integer(first + 10);
    entry.Von = row.bytes(first + 11);
    if (!row.isNull(first + 12))
        entry.ZielZeit = static_cast<std::int32_t>(row.integer(first + 12));
    entry.BasisZeit = static_cast<std::int32_t>(row.integer(first + 13));
    entry.UpdateZeit = row.integer(first + 14);
    return entry;
}

void bindEntry(Statement& statement, int first, const FleetEntry& entry) {
    statement.bind(first + 0, entry.Hilfe)
        .bind(first + 1, entry.Name)
        .bind(first + 2, entry.Allianz)
        .bind(first + 3, entry.Basis)
        .bind(first + 4, entry.Punkte)
        .bind(first + 5, entry.Schiffe)
        .bind(first + 6, entry.Modus)
        .bind(first + 7, entry.ZielName)
        .bind(first + 8, entry.ZielAllianz)
        .bind(first + 9, entry.ZielBasis)
        .bind(first + 10, entry.ZielPunkte)
        .bind(first + 11, entry.Von);
    if (entry.ZielZeit)
        statement.bind(first + 12, *entry.ZielZeit);
    else
        statement.bindNull(first + 12);
    statement.bind(first + 13, entry.BasisZeit).bind(first + 14, entry.UpdateZeit);
}

// BEGIN IMMEDIATE ... COMMIT, rolled back when left by an exception.
class WriteTransaction {
  public:
    explicit WriteTransaction(SqliteStore::Connection& connection) : connection_(connection) {
        connection_.exec("BEGIN IMMEDIATE");
    }
    ~WriteTransaction() {
        if (!done_)
            sqlite3_exec(connection_.db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    void commit() {
        connection_.exec("COMMIT");
        done_ = true;
    }

  private:
    SqliteStore::Connection& connection_;
    bool done_ = false;
};

// One write inside a commit shared with others: undone alone when left by an exception.
class Savepoint {
  public:
    explicit Savepoint(SqliteStore::Connection& connection) : connection_(connection) {
        connection_.exec("SAVEPOINT one_write");
    }
    ~Savepoint() {
        if (!done_) {
            sqlite3_exec(connection_.db, "ROLLBACK TO one_write", nullptr, nullptr, nullptr);
            sqlite3_exec(connection_.db, "RELEASE one_write", nullptr, nullptr, nullptr);
        }
    }
    void release() {
        connection_.exec("RELEASE one_write");
        done_ = true;
    }

  private:
    SqliteStore::Connection& connection_;
    bool done_ = false;
};

} // namespace

class SqliteStore::Lease {
  public:
    explicit Lease(SqliteStore& store) : store_(store) {
        {
            std::lock_guard lock(store_.poolMutex_);
            if (!store_.idle_.empty()) {
                connection_ = std::move(store_.idle_.back());
                store_.idle_.pop_back();
            }
        }
        if (!connection_)
            connection_ = store_.openConnection(false);
    }
    ~Lease() {
        // A connection left inside a transaction by a failure is not given out again.
        if (connection_ && sqlite3_get_autocommit(connection_->db)) {
            std::lock_guard lock(store_.poolMutex_);
            store_.idle_.push_back(std::move(connection_));
        }
    }
    Connection& operator*() { return *connection_; }
    Connection* operator->() { return connection_.get(); }

  private:
    SqliteStore& store_;
    std::unique_ptr<Connection> connection_;
};

int SqliteStore::schemaVersion() {
    return static_cast<int>(kMigrations.size());
}

std::unique_ptr<SqliteStore::Connection> SqliteStore::openConnection(bool create) {
    auto connection = std::make_unique<Connection>();
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path_.c_str(), &connection->db, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string text = connection->db ? sqlite3_errmsg(connection->db) : sqlite3_errstr(rc);
        if (connection->db && sqlite3_system_errno(connection->db) != 0)
            text += std::string(" (") + std::strerror(sqlite3_system_errno(connection->db)) + ")";
        throw StorageUnavailable(text);
    }
    sqlite3_extended_result_codes(connection->db, 1);
    sqlite3_busy_timeout(connection->db, kBusyTimeoutMs);
    connection->exec("PRAGMA foreign_keys = ON");
    connection->exec("PRAGMA synchronous = FULL");
    return connection;
}

SqliteStore::SqliteStore(const std::string& path, Create create) : path_(path) {
    if (create == Create::Never && ::access(path.c_str(), F_OK) != 0)
        throw StorageUnavailable("there is no database " + path +
                                 " (the first 'serve' or 'alliance add' creates it)");
    std::unique_ptr<Connection> first;
    try {
        first = openConnection(create == Create::IfMissing);
        {
            Statement mode(*first, "PRAGMA journal_mode = WAL");
            if (!mode.step() || mode.bytes(0) != "wal")
                throw StorageUnavailable("the database cannot use a write-ahead log");
        }
        WriteTransaction transaction(*first);
        int version = 0;
        {
            Statement read(*first, "PRAGMA user_version");
            if (read.step())
                version = static_cast<int>(read.integer(0));
        }
        if (version > schemaVersion())
            throw StorageUnavailable("the database was written by a newer reef-listserver "
                                     "(schema " +
                                     std::to_string(version) + ", this one knows " +
                                     std::to_string(schemaVersion()) + ")");
        for (int step = version; step < schemaVersion(); ++step)
            first->exec(kMigrations[static_cast<std::size_t>(step)]);
        if (version != schemaVersion())
            first->exec(("PRAGMA user_version = " + std::to_string(schemaVersion())).c_str());
        transaction.commit();
    } catch (const std::runtime_error& error) {
        throw StorageUnavailable(std::string("cannot open database ") + path + ": " + error.what());
    }
    idle_.push_back(std::move(first));
    watch_ = openConnection(false);
    stamps_ = std::make_unique<WalStampReader>(watch_->db);
    if (!stamps_->usable()) {
        stamps_.reset();
        watch_.reset();
    }
}

SqliteStore::~SqliteStore() = default;

void SqliteStore::openConnections(std::size_t count) {
    std::lock_guard lock(poolMutex_);
    while (idle_.size() < count)
        idle_.push_back(openConnection(false));
}

std::optional<WalStamp> SqliteStore::stampNow() const {
    return stamps_ ? stamps_->now() : std::nullopt;
}

// Read before the database: whatever the query then finds is at least as new as the stamp.
template <typename Remember> void SqliteStore::remember(const WalStamp& stamp, Remember remember) {
    std::unique_lock lock(knownMutex_);
    if (known_.stamp != stamp) {
        known_.alliances.clear();
        known_.versions.clear();
        known_.stamp = stamp;
    }
    remember(known_);
}

std::optional<Alliance> SqliteStore::findAlliance(const std::string& passwordHash) {
    const std::optional<WalStamp> stamp = stampNow();
    if (stamp) {
        std::shared_lock lock(knownMutex_);
        if (known_.stamp == stamp)
            if (auto it = known_.alliances.find(passwordHash); it != known_.alliances.end())
                return it->second;
    }
    Lease connection(*this);
    Statement find(*connection, "SELECT id, name FROM alliance WHERE password_hash = ?");
    find.bind(1, passwordHash);
    if (!find.step())
        return std::nullopt;
    Alliance found{find.integer(0), find.bytes(1)};
    if (stamp)
        remember(*stamp, [&](Known& known) { known.alliances[passwordHash] = found; });
    return found;
}

std::vector<Alliance> SqliteStore::alliances() {
    Lease connection(*this);
    Statement all(*connection, "SELECT id, name FROM alliance ORDER BY name");
    std::vector<Alliance> result;
    while (all.step())
        result.push_back(Alliance{all.integer(0), all.bytes(1)});
    return result;
}

bool SqliteStore::addAlliance(const std::string& name, const std::string& passwordHash) {
    std::lock_guard write(writeMutex_);
    Lease connection(*this);
    WriteTransaction transaction(*connection);
    Statement insert(*connection, "INSERT INTO alliance (name, password_hash, created_at) "
                                  "VALUES (?, ?, strftime('%s', 'now'))");
    insert.bindText(1, name).bind(2, passwordHash);
    if (!insert.stepUnlessDuplicate())
        return false;
    transaction.commit();
    return true;
}

bool SqliteStore::setAlliancePassword(const std::string& name, const std::string& passwordHash) {
    std::lock_guard write(writeMutex_);
    Lease connection(*this);
    WriteTransaction transaction(*connection);
    Statement update(*connection, "UPDATE alliance SET password_hash = ? WHERE name = ?");
    update.bind(1, passwordHash).bindText(2, name);
    if (!update.stepUnlessDuplicate() || update.changes() != 1)
        return false;
    transaction.commit();
    return true;
}

bool SqliteStore::removeAlliance(const std::string& name) {
    std::lock_guard write(writeMutex_);
    Lease connection(*this);
    WriteTransaction transaction(*connection);
    Statement remove(*connection, "DELETE FROM alliance WHERE name = ?");
    remove.bindText(1, name);
    remove.step();
    if (remove.changes() != 1)
        return false;
    transaction.commit();
    return true;
}

ListSnapshot SqliteStore::entries(AllianceId alliance, ListKind kind, std::int64_t notBeforeUtc) {
    Lease connection(*this);
    Statement select(*connection, std::string("SELECT ") + kEntryColumns +
                                      ", updated_at, id FROM entry WHERE alliance_id = ? AND "
                                      "list = ? AND updated_at >= ? ORDER BY id");
    select.bind(1, alliance).bind(2, static_cast<std::int64_t>(kind)).bind(3, notBeforeUtc);
    ListSnapshot snapshot;
    while (select.step()) {
        snapshot.entries.push_back(readEntry(select, 0));
        snapshot.ids.push_back(select.integer(16));
        std::int64_t changed = select.integer(15);
        if (!snapshot.oldestChangeUtc || changed < *snapshot.oldestChangeUtc)
            snapshot.oldestChangeUtc = changed;
    }
    return snapshot;
}

namespace {

void countListWrite(SqliteStore::Connection& connection, AllianceId alliance, ListKind kind) {
    Statement count(connection, "INSERT INTO list_state (alliance_id, list, version) VALUES (?, ?, "
                                "1) ON CONFLICT (alliance_id, list) DO UPDATE SET version = "
                                "version + 1");
    count.bind(1, alliance).bind(2, static_cast<std::int64_t>(kind));
    count.step();
}

void removeExpiredOfList(SqliteStore::Connection& connection, AllianceId alliance, ListKind kind,
                         std::int64_t notBeforeUtc) {
    Statement remove(connection,
                     "DELETE FROM entry WHERE alliance_id = ? AND list = ? AND updated_at < ?");
    remove.bind(1, alliance).bind(2, static_cast<std::int64_t>(kind)).bind(3, notBeforeUtc);
    remove.step();
}

} // namespace

template <typename Write> auto SqliteStore::inWriteTransaction(Write write) {
    if (batchThread_ == std::this_thread::get_id() && batch_) {
        Savepoint savepoint(*batch_);
        auto result = write(*batch_);
        savepoint.release();
        return result;
    }
    std::lock_guard lock(writeMutex_);
    Lease connection(*this);
    WriteTransaction transaction(*connection);
    auto result = write(*connection);
    transaction.commit();
    return result;
}

Added SqliteStore::addEntry(AllianceId alliance, ListKind kind, const FleetEntry& entry,
                            const ChangeTime& when, std::int64_t notBeforeUtc,
                            std::size_t maxEntries) {
    return inWriteTransaction([&](Connection& connection) {
        return addEntryOn(connection, alliance, kind, entry, when, notBeforeUtc, maxEntries);
    });
}

Added SqliteStore::addEntryOn(Connection& connection, AllianceId alliance, ListKind kind,
                              const FleetEntry& entry, const ChangeTime& when,
                              std::int64_t notBeforeUtc, std::size_t maxEntries) {
    countListWrite(connection, alliance, kind);
    removeExpiredOfList(connection, alliance, kind, notBeforeUtc);
    {
        Statement count(connection,
                        "SELECT count(*) FROM entry WHERE alliance_id = ? AND list = ?");
        count.bind(1, alliance).bind(2, static_cast<std::int64_t>(kind));
        count.step();
        if (count.integer(0) >= static_cast<std::int64_t>(maxEntries))
            return Added{AddResult::ListFull, 0};
    }
    FleetEntry stored = entry;
    stored.UpdateZeit = when.localTimeOfDay;
    Statement insert(connection, std::string("INSERT INTO entry (alliance_id, list, ") +
                                     kEntryColumns +
                                     ", updated_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                                     "?, ?, ?, ?, ?, ?, ?)");
    insert.bind(1, alliance).bind(2, static_cast<std::int64_t>(kind));
    bindEntry(insert, 3, stored);
    insert.bind(18, when.utcSeconds);
    insert.step();
    return Added{AddResult::Stored, sqlite3_last_insert_rowid(connection.db)};
}

Changed SqliteStore::changeEntry(AllianceId alliance, ListKind kind, const ChangeKey& key,
                                 const EntryPatch& patch, const ChangeTime& when,
                                 std::int64_t notBeforeUtc) {
    return inWriteTransaction([&](Connection& connection) {
        return changeEntryOn(connection, alliance, kind, key, patch, when, notBeforeUtc);
    });
}

Changed SqliteStore::changeEntryOn(Connection& connection, AllianceId alliance, ListKind kind,
                                   const ChangeKey& key, const EntryPatch& patch,
                                   const ChangeTime& when, std::int64_t notBeforeUtc) {
    countListWrite(connection, alliance, kind);
    std::vector<std::int64_t> ids;
    std::vector<FleetEntry> candidates;
    auto collect = [&](Statement& select) {
        while (select.step()) {
            ids.push_back(select.integer(0));
            candidates.push_back(readEntry(select, 1));
        }
    };
    if (key.entryId) {
        Statement select(connection, std::string("SELECT id, ") + kEntryColumns +
                                         " FROM entry WHERE alliance_id = ? AND list = ? AND "
                                         "updated_at >= ? AND id = ?");
        select.bind(1, alliance)
            .bind(2, static_cast<std::int64_t>(kind))
            .bind(3, notBeforeUtc)
            .bind(4, *key.entryId);
        collect(select);
    } else {
        Statement select(connection,
                         std::string("SELECT id, ") + kEntryColumns +
                             " FROM entry WHERE alliance_id = ? AND list = ? AND updated_at >= ? "
                             "AND basis_zeit = ? AND length(name) = ? ORDER BY id");
        select.bind(1, alliance)
            .bind(2, static_cast<std::int64_t>(kind))
            .bind(3, notBeforeUtc)
            .bind(4, key.basisZeit)
            .bind(5, key.nameLength);
        collect(select);
    }
    if (candidates.empty())
        return Changed{ChangeResult::NotFound, 0, {}, {}};
    auto picked = pickEntryToChange(candidates, patch.Name.value_or(std::string{}));
    if (!picked)
        return Changed{ChangeResult::Ambiguous, 0, {}, {}};
    FleetEntry changed = patch.replacing(candidates[*picked]);
    changed.UpdateZeit = when.localTimeOfDay;
    Statement update(connection, "UPDATE entry SET hilfe = ?, name = ?, allianz = ?, basis = ?, "
                                 "punkte = ?, schiffe = ?, modus = ?, ziel_name = ?, "
                                 "ziel_allianz = ?, ziel_basis = ?, ziel_punkte = ?, von = ?, "
                                 "ziel_zeit = ?, basis_zeit = ?, update_zeit = ?, updated_at = ? "
                                 "WHERE id = ?");
    bindEntry(update, 1, changed);
    update.bind(16, when.utcSeconds).bind(17, ids[*picked]);
    update.step();
    return Changed{ChangeResult::Replaced, ids[*picked], candidates[*picked], changed};
}

void SqliteStore::inOneCommit(const std::function<void()>& writes) {
    std::lock_guard write(writeMutex_);
    Lease connection(*this);
    WriteTransaction transaction(*connection);
    batch_ = &*connection;
    batchThread_ = std::this_thread::get_id();
    struct Leave {
        SqliteStore& store;
        ~Leave() {
            store.batchThread_ = std::thread::id{};
            store.batch_ = nullptr;
        }
    } leave{*this};
    writes();
    transaction.commit();
}

std::int64_t SqliteStore::removeExpired(std::int64_t beforeUtc) {
    std::lock_guard write(writeMutex_);
    Lease connection(*this);
    WriteTransaction transaction(*connection);
    Statement remove(*connection, "DELETE FROM entry WHERE updated_at < ?");
    remove.bind(1, beforeUtc);
    remove.step();
    std::int64_t removed = remove.changes();
    transaction.commit();
    return removed;
}

std::optional<Webhook> SqliteStore::webhook(AllianceId alliance) {
    Lease connection(*this);
    Statement read(*connection, "SELECT url, format, mention FROM webhook WHERE alliance_id = ?");
    read.bind(1, alliance);
    if (!read.step())
        return std::nullopt;
    auto format = webhookFormatOf(read.bytes(1));
    if (!format)
        throw std::runtime_error("the webhook of alliance " + std::to_string(alliance) +
                                 " has an unknown format");
    return Webhook{read.bytes(0), *format, read.bytes(2)};
}

bool SqliteStore::setWebhook(const std::string& allianceName,
                             const std::optional<Webhook>& webhook) {
    std::lock_guard write(writeMutex_);
    Lease connection(*this);
    WriteTransaction transaction(*connection);
    std::int64_t alliance = 0;
    {
        Statement find(*connection, "SELECT id FROM alliance WHERE name = ?");
        find.bindText(1, allianceName);
        if (!find.step())
            return false;
        alliance = find.integer(0);
    }
    if (webhook) {
        Statement store(*connection, "INSERT OR REPLACE INTO webhook (alliance_id, url, format, "
                                     "mention) VALUES (?, ?, ?, ?)");
        store.bind(1, alliance)
            .bindText(2, webhook->url)
            .bindText(3, webhookFormatName(webhook->format))
            .bindText(4, webhook->mention);
        store.step();
    } else {
        Statement remove(*connection, "DELETE FROM webhook WHERE alliance_id = ?");
        remove.bind(1, alliance);
        remove.step();
    }
    transaction.commit();
    return true;
}

std::optional<std::int64_t> SqliteStore::listVersion(AllianceId alliance, ListKind kind) {
    const auto slot = std::make_pair(alliance, static_cast<int>(kind));
    const std::optional<WalStamp> stamp = stampNow();
    if (stamp) {
        std::shared_lock lock(knownMutex_);
        if (known_.stamp == stamp)
            if (auto it = known_.versions.find(slot); it != known_.versions.end())
                return it->second;
    }
    Lease connection(*this);
    Statement read(*connection,
                   "SELECT version FROM list_state WHERE alliance_id = ? AND list = ?");
    read.bind(1, alliance).bind(2, static_cast<std::int64_t>(kind));
    const std::int64_t version = read.step() ? read.integer(0) : 0;
    if (stamp)
        remember(*stamp, [&](Known& known) { known.versions[slot] = version; });
    return version;
}

std::optional<std::string> SqliteStore::keyCheck() {
    Lease connection(*this);
    Statement read(*connection, "SELECT value FROM setting WHERE key = 'key_check'");
    if (!read.step())
        return std::nullopt;
    return read.bytes(0);
}

void SqliteStore::setKeyCheck(const std::string& check) {
    std::lock_guard write(writeMutex_);
    Lease connection(*this);
    WriteTransaction transaction(*connection);
    Statement store(*connection,
                    "INSERT OR REPLACE INTO setting (key, value) VALUES ('key_check', ?)");
    store.bind(1, check);
    store.step();
    transaction.commit();
}

} // namespace reef::listserver
