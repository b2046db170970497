#pragma once
// The database a test runs against. By default a SQLite file in the test's folder; with
// REEF_TEST_STORE=postgresql a fresh database in the cluster that REEF_TEST_POSTGRES names
// (scripts/with-postgres.sh starts one), dropped when the test ends. The same tests thus run
// against both stores.

#include "listserver/core/store.h"

#include <memory>
#include <string>

namespace reef::listserver::testing {

bool testsUsePostgres();

class TestDatabase {
  public:
    enum class Kind { AsTheEnvironmentSays, Postgres };
    // folder: where a SQLite file goes; fileName: its name there.
    explicit TestDatabase(const std::string& folder, const std::string& fileName = "lists.sqlite",
                          Kind kind = Kind::AsTheEnvironmentSays);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    // What --db takes: the file's path or the database's connection URI.
    const std::string& address() const { return address_; }
    bool isPostgres() const { return !name_.empty(); }

    // The store itself, opened as the server opens it.
    std::unique_ptr<ListStore> open() const;

  private:
    std::string address_;
    std::string name_; // of the PostgreSQL database, empty for SQLite
};

// Holds every write of the database off for as long as it lives, as another program with a
// long transaction would.
class DatabaseBlocker {
  public:
    explicit DatabaseBlocker(const TestDatabase& database);
    ~DatabaseBlocker();
    DatabaseBlocker(const DatabaseBlocker&) = delete;
    DatabaseBlocker& operator=(const DatabaseBlocker&) = delete;

  private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
};

// Runs SQL statements on a PostgreSQL database (by its connection URI); throws with the
// server's message when one fails. Returns the first value of the last result, or "".
std::string runPostgres(const std::string& address, const std::string& sql);

} // namespace reef::listserver::testing
