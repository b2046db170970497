#pragma once
// One libpq connection of the PostgreSQL store and what its statements need: prepared
// statements with parameters in binary form where they are bytes, results read in binary form,
// transactions and savepoints that roll back when left by an exception. Failures are thrown as
// StorageUnavailable when the database cannot be used now, else as std::runtime_error.

#include "listserver/core/store.h"

#include <libpq-fe.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace reef::listserver::postgres {

// A result of one statement, cleared when the scope ends.
class Result {
  public:
    explicit Result(PGresult* result) : result_(result) {}
    ~Result() { PQclear(result_); }
    Result(Result&& other) noexcept : result_(other.result_) { other.result_ = nullptr; }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;

    int rows() const { return PQntuples(result_); }
    std::int64_t changes() const {
        const char* count = PQcmdTuples(result_);
        return count && *count ? std::stoll(count) : 0;
    }
    bool isNull(int row, int column) const { return PQgetisnull(result_, row, column) != 0; }
    std::string bytes(int row, int column) const {
        return std::string(PQgetvalue(result_, row, column),
                           static_cast<std::size_t>(PQgetlength(result_, row, column)));
    }
    // Results come in binary form: integers in network byte order.
    std::int64_t integer(int row, int column) const;
    double real(int row, int column) const;

  private:
    PGresult* result_;
};

// The values of a statement's parameters: integers as text, bytes as they are (binary).
class Params {
  public:
    Params& add(std::int64_t value) {
        values_.push_back(std::to_string(value));
        formats_.push_back(0);
        nulls_.push_back(false);
        return *this;
    }
    Params& add(double value) {
        values_.push_back(std::to_string(value));
        formats_.push_back(0);
        nulls_.push_back(false);
        return *this;
    }
    Params& addText(const std::string& text) {
        values_.push_back(text);
        formats_.push_back(0);
        nulls_.push_back(false);
        return *this;
    }
    Params& add(const std::string& bytes) {
        values_.push_back(bytes);
        formats_.push_back(1);
        nulls_.push_back(false);
        return *this;
    }
    Params& null() {
        values_.emplace_back();
        formats_.push_back(0);
        nulls_.push_back(true);
        return *this;
    }
    int count() const { return static_cast<int>(values_.size()); }
    std::vector<const char*> pointers() const {
        std::vector<const char*> result;
        for (std::size_t i = 0; i < values_.size(); ++i)
            result.push_back(nulls_[i] ? nullptr : values_[i].data());
        return result;
    }
    std::vector<int> lengths() const {
        std::vector<int> result;
        for (const std::string& value : values_)
            result.push_back(static_cast<int>(value.size()));
        return result;
    }
    const std::vector<int>& formats() const { return formats_; }

  private:
    std::vector<std::string> values_;
    std::vector<int> formats_;
    std::vector<bool> nulls_;
};

class Connection {
  public:
    // Connects with the session settings the store relies on; throws StorageUnavailable.
    static std::unique_ptr<Connection> open(const std::string& address);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Statements without parameters (transaction control, schema steps).
    void exec(const char* sql);
    // A prepared statement; false in `*duplicate` (when given) instead of an exception for a
    // broken unique constraint.
    Result run(const std::string& sql, const Params& params = {}, bool* duplicate = nullptr);
    // Usable and outside a transaction: fit to go back into a pool.
    bool idle() const;
    // Nothing arrived while it was idle: a notice or the end of the stream means that the
    // database closed it meanwhile (a restart, an administrator).
    bool stillOpen() const;
    PGconn* raw() const { return db_; }

  private:
    Connection() = default;
    [[noreturn]] void fail(PGresult* result, const std::string& what);

    PGconn* db_ = nullptr;
    std::unordered_map<std::string, std::string> prepared_; // statement text -> name
};

// BEGIN ... COMMIT, rolled back when left by an exception.
class Transaction {
  public:
    explicit Transaction(Connection& connection) : connection_(connection) {
        connection_.exec("BEGIN");
    }
    ~Transaction() {
        if (!done_)
            PQclear(PQexec(connection_.raw(), "ROLLBACK"));
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit() {
        done_ = true;
        connection_.exec("COMMIT");
    }

  private:
    Connection& connection_;
    bool done_ = false;
};

// One write inside a commit shared with others: undone alone when left by an exception.
class Savepoint {
  public:
    explicit Savepoint(Connection& connection) : connection_(connection) {
        connection_.exec("SAVEPOINT one_write");
    }
    ~Savepoint() {
        if (!done_) {
            PQclear(PQexec(connection_.raw(), "ROLLBACK TO SAVEPOINT one_write"));
            PQclear(PQexec(connection_.raw(), "RELEASE SAVEPOINT one_write"));
        }
    }
    Savepoint(const Savepoint&) = delete;
    Savepoint& operator=(const Savepoint&) = delete;
    void release() {
        connection_.exec("RELEASE SAVEPOINT one_write");
        done_ = true;
    }

  private:
    Connection& connection_;
    bool done_ = false;
};

} // namespace reef::listserver::postgres
