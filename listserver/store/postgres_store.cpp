#include "listserver/store/postgres_store.h"

#include "listserver/store/postgres_connection.h"

#include <libpq-fe.h>

#include <array>
#include <cstring>

namespace reef::listserver {

using postgres::Connection;
using postgres::Params;
using postgres::Result;
using postgres::Savepoint;
using postgres::Transaction;

namespace {

// Each step brings the schema from version i to i + 1. Never edit a step that has shipped;
// append a new one. Byte values are bytea: the wire's Windows-1252 bytes are stored as they
// came, whatever the database's encoding.
constexpr std::array kMigrations = {
    R"sql(
CREATE TABLE alliance (
    id            bigserial PRIMARY KEY,
    name          bytea NOT NULL UNIQUE,
    password_hash bytea NOT NULL UNIQUE,
    created_at    bigint NOT NULL
);
CREATE TABLE entry (
    id           bigserial PRIMARY KEY,
    alliance_id  bigint NOT NULL REFERENCES alliance(id) ON DELETE CASCADE,
    list         bigint NOT NULL,
    hilfe        bigint NOT NULL,
    name         bytea NOT NULL,
    allianz      bytea NOT NULL,
    basis        bytea NOT NULL,
    punkte       bigint NOT NULL,
    schiffe      bigint NOT NULL,
    modus        bigint NOT NULL,
    ziel_name    bytea NOT NULL,
    ziel_allianz bytea NOT NULL,
    ziel_basis   bytea NOT NULL,
    ziel_punkte  bigint NOT NULL,
    von          bytea NOT NULL,
    ziel_zeit    bigint,
    basis_zeit   bigint NOT NULL,
    update_zeit  bigint NOT NULL,
    updated_at   bigint NOT NULL
);
CREATE INDEX entry_by_list ON entry(alliance_id, list, updated_at);
CREATE INDEX entry_by_age ON entry(updated_at);
CREATE TABLE list_state (
    alliance_id bigint NOT NULL REFERENCES alliance(id) ON DELETE CASCADE,
    list        bigint NOT NULL,
    version     bigint NOT NULL,
    PRIMARY KEY (alliance_id, list)
);
CREATE TABLE setting (
    key   text PRIMARY KEY,
    value bytea NOT NULL
);
)sql",
    // Wrong passwords per client, so that every process holds a guesser back alike. Times
    // are the database's clock in seconds, the one clock all processes share.
    R"sql(
CREATE TABLE wrong_password (
    client  text PRIMARY KEY,
    tries   double precision NOT NULL,
    updated double precision NOT NULL
);
)sql",
    // An alliance's chat webhook; its URL holds the chat's secret token.
    R"sql(
CREATE TABLE webhook (
    alliance_id bigint PRIMARY KEY REFERENCES alliance(id) ON DELETE CASCADE,
    url         bytea NOT NULL,
    format      bytea NOT NULL,
    mention     bytea NOT NULL
);
)sql",
    // Every process hears of a new list version and of a client's first wrong password on
    // its own listening connection, instead of asking per request.
    R"sql(
CREATE FUNCTION reef_list_version_notify() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    PERFORM pg_notify('reef_list_version',
                      NEW.alliance_id || ' ' || NEW.list || ' ' || NEW.version);
    RETURN NULL;
END $$;
CREATE TRIGGER list_state_notify AFTER INSERT OR UPDATE ON list_state
    FOR EACH ROW EXECUTE FUNCTION reef_list_version_notify();
CREATE FUNCTION reef_wrong_password_notify() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    PERFORM pg_notify('reef_wrong_password', NEW.client);
    RETURN NULL;
END $$;
CREATE TRIGGER wrong_password_notify AFTER INSERT ON wrong_password
    FOR EACH ROW EXECUTE FUNCTION reef_wrong_password_notify();
CREATE FUNCTION reef_alliance_notify() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    PERFORM pg_notify('reef_alliance', '');
    RETURN NULL;
END $$;
CREATE TRIGGER alliance_notify AFTER UPDATE OR DELETE ON alliance
    FOR EACH STATEMENT EXECUTE FUNCTION reef_alliance_notify();
)sql",
};

// Advisory lock keys of this program (arbitrary, fixed for good).
constexpr const char* kMigrationLock = "SELECT pg_advisory_xact_lock(7305526846281000001)";
constexpr const char* kBatchLock = "SELECT pg_advisory_xact_lock(7305526846281000003)";

const char kEntryColumns[] = "hilfe, name, allianz, basis, punkte, schiffe, modus, ziel_name, "
                             "ziel_allianz, ziel_basis, ziel_punkte, von, ziel_zeit, basis_zeit, "
                             "update_zeit";

} // namespace

bool isPostgresAddress(const std::string& db) {
    return db.rfind("postgresql://", 0) == 0 || db.rfind("postgres://", 0) == 0;
}

std::string describePostgresAddress(const std::string& address) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(address.c_str(), &error);
    if (!options) {
        PQfreemem(error);
        return "PostgreSQL (address not readable)";
    }
    std::string database, host, port;
    for (PQconninfoOption* option = options; option->keyword; ++option) {
        if (!option->val)
            continue;
        if (std::strcmp(option->keyword, "dbname") == 0)
            database = option->val;
        else if (std::strcmp(option->keyword, "host") == 0)
            host = option->val;
        else if (std::strcmp(option->keyword, "port") == 0)
            port = option->val;
    }
    PQconninfoFree(options);
    return "PostgreSQL database " + (database.empty() ? std::string("(the user's)") : database) +
           " on " + (host.empty() ? std::string("the default socket") : host) +
           (port.empty() ? "" : " port " + port);
}

namespace {

FleetEntry readEntry(const Result& rows, int row, int first) {
    FleetEntry entry;
    entry.Hilfe = static_cast<int>(rows.integer(row, first + 0));
    entry.Name = rows.bytes(row, first + 1);
    entry.Allianz = rows.bytes(row, first + 2);
    entry.Basis = rows.bytes(row, first + 3);
    entry.Punkte = rows.integer(row, first + 4);
    entry.Schiffe = static_cast<std::int32_t>(rows.integer(row, first + 5));
    entry.Modus = static_cast<int>(rows.integer(row, first + 6));
    entry.ZielName = rows.bytes(row, first + 7);
    entry.ZielAllianz = rows.bytes(row, first + 8);
    entry.ZielBasis = rows.bytes(row, first + 9);
    entry.ZielPunkte = rows.integer(row, first + 10);
    entry.Von = rows.bytes(row, first + 11);
    if (!rows.isNull(row, first + 12))
        entry.ZielZeit = static_cast<std::int32_t>(rows.integer(row, first + 12));
    entry.BasisZeit = static_cast<std::int32_t>(rows.integer(row, first + 13));
    entry.UpdateZeit = rows.integer(row, first + 14);
    return entry;
}

void addEntryValues(Params& params, const FleetEntry& entry) {
    params.add(std::int64_t{entry.Hilfe})
        .add(entry.Name)
        .add(entry.Allianz)
        .add(entry.Basis)
        .add(entry.Punkte)
        .add(std::int64_t{entry.Schiffe})
        .add(std::int64_t{entry.Modus})
        .add(entry.ZielName)
        .add(entry.ZielAllianz)
        .add(entry.ZielBasis)
        .add(entry.ZielPunkte)
        .add(entry.Von);
    if (entry.ZielZeit)
        params.add(std::int64_t{*entry.ZielZeit});
    else
        params.null();
    params.add(std::int64_t{entry.BasisZeit}).add(entry.UpdateZeit);
}

// Counts the list's version up, which waits for any other process's open write of the same
// list and keeps the next one waiting until this commit: the count of a full list and the pick
// of a change see every earlier write.
void claimList(Connection& connection, AllianceId alliance, ListKind kind) {
    connection.run("INSERT INTO list_state (alliance_id, list, version) VALUES ($1, $2, 1) "
                   "ON CONFLICT (alliance_id, list) DO UPDATE SET version = list_state.version + 1",
                   Params().add(alliance).add(static_cast<std::int64_t>(kind)));
}

Added addEntryOn(Connection& connection, AllianceId alliance, ListKind kind,
                 const FleetEntry& entry, const ChangeTime& when, std::int64_t notBeforeUtc,
                 std::size_t maxEntries) {
    claimList(connection, alliance, kind);
    const std::int64_t list = static_cast<std::int64_t>(kind);
    connection.run("DELETE FROM entry WHERE alliance_id = $1 AND list = $2 AND updated_at < $3",
                   Params().add(alliance).add(list).add(notBeforeUtc));
    Result count = connection.run("SELECT count(*) FROM entry WHERE alliance_id = $1 AND list = $2",
                                  Params().add(alliance).add(list));
    if (count.integer(0, 0) >= static_cast<std::int64_t>(maxEntries))
        return Added{AddResult::ListFull, 0};
    FleetEntry stored = entry;
    stored.UpdateZeit = when.localTimeOfDay;
    Params params;
    params.add(alliance).add(list);
    addEntryValues(params, stored);
    params.add(when.utcSeconds);
    Result inserted =
        connection.run(std::string("INSERT INTO entry (alliance_id, list, ") + kEntryColumns +
                           ", updated_at) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, "
                           "$9, $10, $11, $12, $13, $14, $15, $16, $17, $18) "
                           "RETURNING id",
                       params);
    return Added{AddResult::Stored, inserted.integer(0, 0)};
}

Changed changeEntryOn(Connection& connection, AllianceId alliance, ListKind kind,
                      const ChangeKey& key, const EntryPatch& patch, const ChangeTime& when,
                      std::int64_t notBeforeUtc) {
    claimList(connection, alliance, kind);
    const std::int64_t list = static_cast<std::int64_t>(kind);
    Result rows =
        key.entryId
            ? connection.run(std::string("SELECT id, ") + kEntryColumns +
                                 " FROM entry WHERE alliance_id = $1 AND list = $2 AND "
                                 "updated_at >= $3 AND id = $4",
                             Params().add(alliance).add(list).add(notBeforeUtc).add(*key.entryId))
            : connection.run(std::string("SELECT id, ") + kEntryColumns +
                                 " FROM entry WHERE alliance_id = $1 AND list = $2 AND "
                                 "updated_at >= $3 AND basis_zeit = $4 AND length(name) = $5 "
                                 "ORDER BY id",
                             Params()
                                 .add(alliance)
                                 .add(list)
                                 .add(notBeforeUtc)
                                 .add(std::int64_t{key.basisZeit})
                                 .add(static_cast<std::int64_t>(key.nameLength)));
    std::vector<std::int64_t> ids;
    std::vector<FleetEntry> candidates;
    for (int row = 0; row < rows.rows(); ++row) {
        ids.push_back(rows.integer(row, 0));
        candidates.push_back(readEntry(rows, row, 1));
    }
    if (candidates.empty())
        return Changed{ChangeResult::NotFound, 0, {}, {}};
    auto picked = pickEntryToChange(candidates, patch.Name.value_or(std::string{}));
    if (!picked)
        return Changed{ChangeResult::Ambiguous, 0, {}, {}};
    FleetEntry changed = patch.replacing(candidates[*picked]);
    changed.UpdateZeit = when.localTimeOfDay;
    Params params;
    addEntryValues(params, changed);
    params.add(when.utcSeconds).add(ids[*picked]);
    connection.run("UPDATE entry SET hilfe = $1, name = $2, allianz = $3, basis = $4, "
                   "punkte = $5, schiffe = $6, modus = $7, ziel_name = $8, ziel_allianz = $9, "
                   "ziel_basis = $10, ziel_punkte = $11, von = $12, ziel_zeit = $13, "
                   "basis_zeit = $14, update_zeit = $15, updated_at = $16 WHERE id = $17",
                   params);
    return Changed{ChangeResult::Replaced, ids[*picked], candidates[*picked], changed};
}

} // namespace

class PostgresStore::Lease {
  public:
    explicit Lease(PostgresStore& store) : store_(store) {
        for (;;) {
            {
                std::lock_guard lock(store_.poolMutex_);
                if (store_.idle_.empty())
                    break;
                connection_ = std::move(store_.idle_.back());
                store_.idle_.pop_back();
            }
            if (connection_->stillOpen())
                break;
            connection_.reset();
        }
        if (!connection_)
            connection_ = Connection::open(store_.address_);
    }
    ~Lease() {
        // A connection that broke, or was left inside a transaction, is not given out again:
        // the next lease opens a fresh one (so a restarted database is used again).
        if (connection_ && connection_->idle()) {
            std::lock_guard lock(store_.poolMutex_);
            store_.idle_.push_back(std::move(connection_));
        }
    }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    Connection& operator*() { return *connection_; }
    Connection* operator->() { return connection_.get(); }

  private:
    PostgresStore& store_;
    std::unique_ptr<Connection> connection_;
};

int PostgresStore::schemaVersion() {
    return static_cast<int>(kMigrations.size());
}

PostgresStore::PostgresStore(const std::string& address) : address_(address) {
    std::unique_ptr<Connection> first;
    try {
        first = Connection::open(address_);
        Transaction transaction(*first);
        // Processes that start together migrate one after the other.
        first->exec(kMigrationLock);
        first->exec("CREATE TABLE IF NOT EXISTS reef_schema (version integer NOT NULL)");
        Result read = first->run("SELECT version FROM reef_schema");
        const int version = read.rows() > 0 ? static_cast<int>(read.integer(0, 0)) : 0;
        if (version > schemaVersion())
            throw StorageUnavailable("the database was written by a newer reef-listserver "
                                     "(schema " +
                                     std::to_string(version) + ", this one knows " +
                                     std::to_string(schemaVersion()) + ")");
        for (int step = version; step < schemaVersion(); ++step)
            first->exec(kMigrations[static_cast<std::size_t>(step)]);
        if (read.rows() == 0)
            first->run("INSERT INTO reef_schema (version) VALUES ($1)",
                       Params().add(std::int64_t{schemaVersion()}));
        else if (version != schemaVersion())
            first->run("UPDATE reef_schema SET version = $1",
                       Params().add(std::int64_t{schemaVersion()}));
        transaction.commit();
    } catch (const std::runtime_error& error) {
        // The address may hold a password: name only where the database is not.
        throw StorageUnavailable(std::string("cannot open the PostgreSQL database: ") +
                                 error.what());
    }
    idle_.push_back(std::move(first));
}

PostgresStore::~PostgresStore() = default;

void PostgresStore::openConnections(std::size_t count) {
    std::lock_guard lock(poolMutex_);
    while (idle_.size() < count)
        idle_.push_back(Connection::open(address_));
}

std::optional<Alliance> PostgresStore::findAlliance(const std::string& passwordHash) {
    std::uint64_t generation = 0;
    if (watch_) {
        if (auto known = watch_->alliance(passwordHash))
            return known;
        generation = watch_->allianceGeneration();
    }
    Lease connection(*this);
    Result found = connection->run("SELECT id, name FROM alliance WHERE password_hash = $1",
                                   Params().add(passwordHash));
    if (found.rows() == 0)
        return std::nullopt;
    Alliance alliance{found.integer(0, 0), found.bytes(0, 1)};
    if (watch_)
        watch_->rememberAlliance(passwordHash, alliance, generation);
    return alliance;
}

std::vector<Alliance> PostgresStore::alliances() {
    Lease connection(*this);
    Result all = connection->run("SELECT id, name FROM alliance ORDER BY name");
    std::vector<Alliance> result;
    for (int row = 0; row < all.rows(); ++row)
        result.push_back(Alliance{all.integer(row, 0), all.bytes(row, 1)});
    return result;
}

bool PostgresStore::addAlliance(const std::string& name, const std::string& passwordHash) {
    Lease connection(*this);
    bool duplicate = false;
    connection->run("INSERT INTO alliance (name, password_hash, created_at) "
                    "VALUES ($1, $2, extract(epoch FROM now())::bigint)",
                    Params().add(name).add(passwordHash), &duplicate);
    return !duplicate;
}

bool PostgresStore::setAlliancePassword(const std::string& name, const std::string& passwordHash) {
    Lease connection(*this);
    bool duplicate = false;
    Result updated = connection->run("UPDATE alliance SET password_hash = $1 WHERE name = $2",
                                     Params().add(passwordHash).add(name), &duplicate);
    return !duplicate && updated.changes() == 1;
}

bool PostgresStore::removeAlliance(const std::string& name) {
    Lease connection(*this);
    Result removed = connection->run("DELETE FROM alliance WHERE name = $1", Params().add(name));
    return removed.changes() == 1;
}

std::optional<Webhook> PostgresStore::webhook(AllianceId alliance) {
    Lease connection(*this);
    Result read = connection->run("SELECT url, format, mention FROM webhook WHERE alliance_id = $1",
                                  Params().add(alliance));
    if (read.rows() == 0)
        return std::nullopt;
    auto format = webhookFormatOf(read.bytes(0, 1));
    if (!format)
        throw std::runtime_error("the webhook of alliance " + std::to_string(alliance) +
                                 " has an unknown format");
    return Webhook{read.bytes(0, 0), *format, read.bytes(0, 2)};
}

bool PostgresStore::setWebhook(const std::string& allianceName,
                               const std::optional<Webhook>& webhook) {
    Lease connection(*this);
    Transaction transaction(*connection);
    Result found = connection->run("SELECT id FROM alliance WHERE name = $1 FOR UPDATE",
                                   Params().add(allianceName));
    if (found.rows() == 0)
        return false;
    const std::int64_t alliance = found.integer(0, 0);
    if (webhook) {
        connection->run("INSERT INTO webhook (alliance_id, url, format, mention) "
                        "VALUES ($1, $2, $3, $4) ON CONFLICT (alliance_id) DO UPDATE SET "
                        "url = EXCLUDED.url, format = EXCLUDED.format, mention = EXCLUDED.mention",
                        Params()
                            .add(alliance)
                            .add(webhook->url)
                            .add(std::string(webhookFormatName(webhook->format)))
                            .add(webhook->mention));
    } else {
        connection->run("DELETE FROM webhook WHERE alliance_id = $1", Params().add(alliance));
    }
    transaction.commit();
    return true;
}

ListSnapshot PostgresStore::entries(AllianceId alliance, ListKind kind, std::int64_t notBeforeUtc) {
    Lease connection(*this);
    Result rows = connection->run(
        std::string("SELECT ") + kEntryColumns +
            ", updated_at, id FROM entry WHERE alliance_id = $1 AND list "
            "= $2 AND updated_at >= $3 ORDER BY id",
        Params().add(alliance).add(static_cast<std::int64_t>(kind)).add(notBeforeUtc));
    ListSnapshot snapshot;
    for (int row = 0; row < rows.rows(); ++row) {
        snapshot.entries.push_back(readEntry(rows, row, 0));
        snapshot.ids.push_back(rows.integer(row, 16));
        const std::int64_t changed = rows.integer(row, 15);
        if (!snapshot.oldestChangeUtc || changed < *snapshot.oldestChangeUtc)
            snapshot.oldestChangeUtc = changed;
    }
    return snapshot;
}

void PostgresStore::listenForChanges() {
    if (!watch_)
        watch_ = std::make_unique<PostgresWatch>(address_);
}

bool PostgresStore::listening() {
    return watch_ && watch_->listening();
}

std::optional<std::int64_t> PostgresStore::listVersion(AllianceId alliance, ListKind kind) {
    if (watch_) {
        if (auto heard = watch_->listVersion(alliance, kind))
            return heard;
        // The listening connection is down: every version at once, at most once a second.
        Lease connection(*this);
        Result all = connection->run("SELECT alliance_id, list, version FROM list_state");
        PostgresWatch::Versions versions;
        for (int row = 0; row < all.rows(); ++row)
            versions[{all.integer(row, 0), all.integer(row, 1)}] = all.integer(row, 2);
        auto it = versions.find({alliance, static_cast<std::int64_t>(kind)});
        const std::int64_t version = it == versions.end() ? 0 : it->second;
        watch_->tookVersions(std::move(versions));
        return version;
    }
    Lease connection(*this);
    Result version =
        connection->run("SELECT version FROM list_state WHERE alliance_id = $1 AND list = $2",
                        Params().add(alliance).add(static_cast<std::int64_t>(kind)));
    return version.rows() == 0 ? 0 : version.integer(0, 0);
}

template <typename Write> auto PostgresStore::inWriteTransaction(Write write) {
    if (batchThread_ == std::this_thread::get_id() && batch_) {
        Savepoint savepoint(*batch_);
        auto result = write(*batch_);
        savepoint.release();
        return result;
    }
    Lease connection(*this);
    Transaction transaction(*connection);
    auto result = write(*connection);
    transaction.commit();
    return result;
}

Added PostgresStore::addEntry(AllianceId alliance, ListKind kind, const FleetEntry& entry,
                              const ChangeTime& when, std::int64_t notBeforeUtc,
                              std::size_t maxEntries) {
    return inWriteTransaction([&](Connection& connection) {
        return addEntryOn(connection, alliance, kind, entry, when, notBeforeUtc, maxEntries);
    });
}

Changed PostgresStore::changeEntry(AllianceId alliance, ListKind kind, const ChangeKey& key,
                                   const EntryPatch& patch, const ChangeTime& when,
                                   std::int64_t notBeforeUtc) {
    return inWriteTransaction([&](Connection& connection) {
        return changeEntryOn(connection, alliance, kind, key, patch, when, notBeforeUtc);
    });
}

void PostgresStore::inOneCommit(const std::function<void()>& writes) {
    Lease connection(*this);
    Transaction transaction(*connection);
    // The lists of a commit are claimed in the order its requests came; one such commit at a
    // time across all processes, so that two never wait for each other's lists.
    connection->exec(kBatchLock);
    batch_ = &*connection;
    batchThread_ = std::this_thread::get_id();
    struct Leave {
        PostgresStore& store;
        ~Leave() {
            store.batchThread_ = std::thread::id{};
            store.batch_ = nullptr;
        }
    } leave{*this};
    writes();
    transaction.commit();
}

std::int64_t PostgresStore::removeExpired(std::int64_t beforeUtc) {
    Lease connection(*this);
    Transaction transaction(*connection);
    Result locked =
        connection->run("SELECT pg_try_advisory_xact_lock($1)", Params().add(kPostgresExpiryLock));
    if (!locked.integer(0, 0))
        return 0;
    Result removed =
        connection->run("DELETE FROM entry WHERE updated_at < $1", Params().add(beforeUtc));
    // A client's tries are all back within minutes: an hour-old count holds nothing.
    connection->exec("DELETE FROM wrong_password WHERE updated < "
                     "extract(epoch FROM clock_timestamp()) - 3600");
    transaction.commit();
    return removed.changes();
}

std::optional<double> PostgresStore::sharedTriesLeft(const std::string& client, double capacity,
                                                     double refillSeconds) {
    if (watch_ && !watch_->mayHaveWrongPasswords(client))
        return std::nullopt;
    Lease connection(*this);
    Result left = connection->run(
        "SELECT LEAST($2::float8, tries + (extract(epoch FROM clock_timestamp()) - updated) / "
        "$3::float8) FROM wrong_password WHERE client = $1",
        Params().addText(client).add(capacity).add(refillSeconds));
    if (left.rows() == 0)
        return std::nullopt;
    return left.real(0, 0);
}

void PostgresStore::recordWrongPassword(const std::string& client, double capacity,
                                        double refillSeconds) {
    if (watch_)
        watch_->countedWrongPassword(client);
    Lease connection(*this);
    connection->run(
        "INSERT INTO wrong_password (client, tries, updated) VALUES ($1, $2::float8 - 1, "
        "extract(epoch FROM clock_timestamp())) ON CONFLICT (client) DO UPDATE SET "
        "tries = GREATEST(0, LEAST($2::float8, wrong_password.tries + (excluded.updated - "
        "wrong_password.updated) / $3::float8) - 1), updated = excluded.updated",
        Params().addText(client).add(capacity).add(refillSeconds));
}

std::optional<std::string> PostgresStore::keyCheck() {
    Lease connection(*this);
    Result read = connection->run("SELECT value FROM setting WHERE key = 'key_check'");
    if (read.rows() == 0)
        return std::nullopt;
    return read.bytes(0, 0);
}

void PostgresStore::setKeyCheck(const std::string& check) {
    Lease connection(*this);
    connection->run("INSERT INTO setting (key, value) VALUES ('key_check', $1) "
                    "ON CONFLICT (key) DO UPDATE SET value = excluded.value",
                    Params().add(check));
}

std::optional<std::string> PostgresStore::keptKey(const std::string& freshKey) {
    Lease connection(*this);
    // Of processes that start together on a new database, the first insert wins; the others
    // wait for its commit and read its key.
    connection->run("INSERT INTO setting (key, value) VALUES ('password_key', $1) "
                    "ON CONFLICT (key) DO NOTHING",
                    Params().add(freshKey));
    Result read = connection->run("SELECT value FROM setting WHERE key = 'password_key'");
    if (read.rows() == 0)
        throw std::runtime_error("the key of the password hashes cannot be read back");
    return read.bytes(0, 0);
}

} // namespace reef::listserver
