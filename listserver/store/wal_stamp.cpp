#include "listserver/store/wal_stamp.h"

#include <sqlite3.h>

#include <atomic>
#include <cstring>

namespace reef::listserver {

namespace {

// The layout of the WAL-index header (SQLite's documented WAL file formats): two copies of 48
// bytes in the machine's byte order, the second written first, each commit's last step.
constexpr std::size_t kHeaderBytes = 48;
constexpr std::uint32_t kIndexVersion = 3007000;
constexpr std::size_t kVersionAt = 0, kChangeAt = 8, kInitAt = 12, kFramesAt = 16, kSaltAt = 32;
// SQLite maps the index in pieces of this size.
constexpr int kIndexPageBytes = 32768;

std::uint32_t wordAt(const unsigned char* header, std::size_t at) {
    std::uint32_t value;
    std::memcpy(&value, header + at, sizeof value);
    return value;
}

// The memory is written by SQLite in other threads and processes; the two copies tell a torn
// read, as they do to SQLite's own readers. Outside of what ThreadSanitizer can see ordered.
__attribute__((no_sanitize("thread"))) void
copyHeaders(const volatile unsigned char* from, unsigned char* first, unsigned char* second) {
    for (std::size_t i = 0; i < kHeaderBytes; ++i)
        first[i] = from[i];
    std::atomic_thread_fence(std::memory_order_seq_cst);
    for (std::size_t i = 0; i < kHeaderBytes; ++i)
        second[i] = from[kHeaderBytes + i];
}

bool inWalMode(sqlite3* db) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &statement, nullptr) != SQLITE_OK)
        return false;
    const bool wal =
        sqlite3_step(statement) == SQLITE_ROW &&
        sqlite3_stricmp(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)), "wal") ==
            0;
    sqlite3_finalize(statement);
    return wal;
}

} // namespace

WalStampReader::WalStampReader(sqlite3* db) {
    // Without the log there is no shared index (and mapping one would leave it behind).
    if (!inWalMode(db))
        return;
    // A read opens and maps the shared index; then its first piece is SQLite's mapping.
    if (sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) !=
        SQLITE_OK)
        return;
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
        !file->pMethods || file->pMethods->iVersion < 2 || !file->pMethods->xShmMap)
        return;
    void volatile* region = nullptr;
    if (file->pMethods->xShmMap(file, 0, kIndexPageBytes, 0, &region) != SQLITE_OK || !region)
        return;
    const auto* candidate = static_cast<const volatile unsigned char*>(region);
    unsigned char first[kHeaderBytes], second[kHeaderBytes];
    copyHeaders(candidate, first, second);
    if (wordAt(first, kVersionAt) != kIndexVersion || first[kInitAt] != 1)
        return;
    header_ = candidate;
}

std::optional<WalStamp> WalStampReader::now() const {
    if (!header_)
        return std::nullopt;
    unsigned char first[kHeaderBytes], second[kHeaderBytes];
    copyHeaders(header_, first, second);
    if (std::memcmp(first, second, kHeaderBytes) != 0 || first[kInitAt] != 1)
        return std::nullopt;
    return WalStamp{wordAt(first, kChangeAt), wordAt(first, kFramesAt), wordAt(first, kSaltAt),
                    wordAt(first, kSaltAt + 4)};
}

} // namespace reef::listserver
