#include "listserver/store/postgres_connection.h"

#include <cstring>
#include <endian.h>
#include <poll.h>
#include <stdexcept>

namespace reef::listserver::postgres {

namespace {

constexpr Oid kBoolOid = 16;
constexpr Oid kInt8Oid = 20;
constexpr Oid kInt2Oid = 21;
constexpr Oid kInt4Oid = 23;
constexpr Oid kFloat8Oid = 701;

// SQLSTATE classes that mean the database cannot be reached or used now, rather than a fault
// of the statement: connection (08), resources (53), operator intervention (57), system (58),
// no such database (3D), authorisation (28), lock time-out (55P03), deadlock and
// serialisation (40).
bool isUnavailable(const char* state) {
    if (!state)
        return true;
    std::string code(state);
    for (const char* prefix : {"08", "53", "57", "58", "3D", "28", "40"})
        if (code.rfind(prefix, 0) == 0)
            return true;
    return code == "55P03";
}

std::string trimmed(const char* message) {
    std::string text = message ? message : "unknown failure";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace

std::int64_t Result::integer(int row, int column) const {
    const char* value = PQgetvalue(result_, row, column);
    switch (PQftype(result_, column)) {
    case kBoolOid:
        return value[0] != 0;
    case kInt2Oid: {
        std::uint16_t raw;
        std::memcpy(&raw, value, sizeof raw);
        return static_cast<std::int16_t>(be16toh(raw));
    }
    case kInt4Oid: {
        std::uint32_t raw;
        std::memcpy(&raw, value, sizeof raw);
        return static_cast<std::int32_t>(be32toh(raw));
    }
    case kInt8Oid: {
        std::uint64_t raw;
        std::memcpy(&raw, value, sizeof raw);
        return static_cast<std::int64_t>(be64toh(raw));
    }
    default:
        throw std::runtime_error("unexpected column type " +
                                 std::to_string(PQftype(result_, column)));
    }
}

double Result::real(int row, int column) const {
    if (PQftype(result_, column) != kFloat8Oid)
        throw std::runtime_error("unexpected column type " +
                                 std::to_string(PQftype(result_, column)));
    std::uint64_t raw;
    std::memcpy(&raw, PQgetvalue(result_, row, column), sizeof raw);
    raw = be64toh(raw);
    double value;
    std::memcpy(&value, &raw, sizeof value);
    return value;
}

std::unique_ptr<Connection> Connection::open(const std::string& address) {
    std::unique_ptr<Connection> connection(new Connection());
    // Defaults first: what the address itself says wins. A database machine that vanishes
    // mid-request fails the request within the desktop program's 10 s rather than holding a
    // request thread for the kernel's minutes.
    const char* keywords[] = {"connect_timeout", "tcp_user_timeout", "application_name", "dbname",
                              nullptr};
    const char* values[] = {"5", "8000", "reef-listserver", address.c_str(), nullptr};
    connection->db_ = PQconnectdbParams(keywords, values, 1);
    if (!connection->db_)
        throw StorageUnavailable("out of memory for a database connection");
    if (PQstatus(connection->db_) != CONNECTION_OK)
        throw StorageUnavailable(trimmed(PQerrorMessage(connection->db_)));
    // "ready" is sent after the commit: it must be flushed by then, whatever the database's
    // default. A lock held elsewhere for long is a database that cannot be used now.
    connection->exec("SET synchronous_commit = on");
    connection->exec("SET lock_timeout = '5s'");
    connection->exec("SET client_min_messages = warning");
    return connection;
}

Connection::~Connection() {
    PQfinish(db_);
}

void Connection::fail(PGresult* result, const std::string& what) {
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    std::string text =
        what + ": " + trimmed(result ? PQresultErrorMessage(result) : PQerrorMessage(db_));
    const bool unavailable = PQstatus(db_) != CONNECTION_OK || isUnavailable(state);
    PQclear(result);
    if (unavailable)
        throw StorageUnavailable(text);
    throw std::runtime_error(text);
}

void Connection::exec(const char* sql) {
    PGresult* result = PQexec(db_, sql);
    ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        fail(result, "statement");
    PQclear(result);
}

Result Connection::run(const std::string& sql, const Params& params, bool* duplicate) {
    auto it = prepared_.find(sql);
    if (it == prepared_.end()) {
        std::string name = "s" + std::to_string(prepared_.size());
        PGresult* made = PQprepare(db_, name.c_str(), sql.c_str(), params.count(), nullptr);
        if (!made || PQresultStatus(made) != PGRES_COMMAND_OK)
            fail(made, "prepare");
        PQclear(made);
        it = prepared_.emplace(sql, name).first;
    }
    const auto values = params.pointers();
    const auto lengths = params.lengths();
    PGresult* result = PQexecPrepared(db_, it->second.c_str(), params.count(), values.data(),
                                      lengths.data(), params.formats().data(), 1);
    ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
        if (duplicate)
            *duplicate = false;
        return Result(result);
    }
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    if (duplicate && state && std::strcmp(state, "23505") == 0) {
        *duplicate = true;
        return Result(result);
    }
    fail(result, "query");
}

bool Connection::idle() const {
    return PQstatus(db_) == CONNECTION_OK && PQtransactionStatus(db_) == PQTRANS_IDLE;
}

bool Connection::stillOpen() const {
    if (PQstatus(db_) != CONNECTION_OK)
        return false;
    pollfd socket{PQsocket(db_), POLLIN, 0};
    return socket.fd >= 0 && ::poll(&socket, 1, 0) == 0;
}

} // namespace reef::listserver::postgres
