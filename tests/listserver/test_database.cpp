#include "listserver/test_database.h"

#include "listserver/store/postgres_store.h"
#include "listserver/store/sqlite_store.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <unistd.h>

namespace reef::listserver::testing {

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The cluster's URI with another database in it: the path part is the database's name.
std::string addressOf(const std::string& database) {
    const std::string cluster = environment("REEF_TEST_POSTGRES");
    const std::string::size_type query = cluster.find('?');
    return "postgresql:///" + database + (query == std::string::npos ? "" : cluster.substr(query));
}

PGconn* connect(const std::string& address) {
    PGconn* connection = PQconnectdb(address.c_str());
    if (PQstatus(connection) != CONNECTION_OK) {
        std::string message = PQerrorMessage(connection);
        PQfinish(connection);
        throw std::runtime_error("cannot connect to " + address + ": " + message);
    }
    return connection;
}

std::string execute(PGconn* connection, const std::string& sql) {
    PGresult* result = PQexec(connection, sql.c_str());
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        std::string message = PQresultErrorMessage(result);
        PQclear(result);
        throw std::runtime_error(sql + ": " + message);
    }
    std::string first =
        PQntuples(result) > 0 && PQnfields(result) > 0 ? PQgetvalue(result, 0, 0) : "";
    PQclear(result);
    return first;
}

} // namespace

bool testsUsePostgres() {
    return environment("REEF_TEST_STORE") == "postgresql";
}

std::string runPostgres(const std::string& address, const std::string& sql) {
    PGconn* connection = connect(address);
    try {
        std::string first = execute(connection, sql);
        PQfinish(connection);
        return first;
    } catch (...) {
        PQfinish(connection);
        throw;
    }
}

TestDatabase::TestDatabase(const std::string& folder, const std::string& fileName, Kind kind) {
    if (kind == Kind::AsTheEnvironmentSays && !testsUsePostgres()) {
        address_ = folder + "/" + fileName;
        return;
    }
    if (environment("REEF_TEST_POSTGRES").empty())
        throw std::runtime_error("REEF_TEST_STORE=postgresql needs a cluster in "
                                 "REEF_TEST_POSTGRES (run the tests under "
                                 "scripts/with-postgres.sh)");
    static std::atomic<int> counter{0};
    name_ = "reef_test_" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
    runPostgres(addressOf("postgres"), "CREATE DATABASE " + name_);
    address_ = addressOf(name_);
}

TestDatabase::~TestDatabase() {
    if (name_.empty())
        return;
    try {
        runPostgres(addressOf("postgres"), "DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
    } catch (const std::exception&) {
        // A database left behind goes with the throwaway cluster.
    }
}

std::unique_ptr<ListStore> TestDatabase::open() const {
    if (isPostgres())
        return std::make_unique<PostgresStore>(address_);
    return std::make_unique<SqliteStore>(address_, SqliteStore::Create::IfMissing);
}

struct DatabaseBlocker::Handle {
    sqlite3* file = nullptr;
    PGconn* server = nullptr;
};

DatabaseBlocker::DatabaseBlocker(const TestDatabase& database)
    : handle_(std::make_unique<Handle>()) {
    if (database.isPostgres()) {
        handle_->server = connect(database.address());
        execute(handle_->server, "BEGIN; LOCK TABLE entry, list_state IN ACCESS EXCLUSIVE MODE");
        return;
    }
    if (sqlite3_open(database.address().c_str(), &handle_->file) != SQLITE_OK ||
        sqlite3_exec(handle_->file, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK)
        throw std::runtime_error("cannot lock " + database.address());
}

DatabaseBlocker::~DatabaseBlocker() {
    if (handle_->server) {
        PQclear(PQexec(handle_->server, "ROLLBACK"));
        PQfinish(handle_->server);
    }
    if (handle_->file) {
        sqlite3_exec(handle_->file, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(handle_->file);
    }
}

} // namespace reef::listserver::testing
