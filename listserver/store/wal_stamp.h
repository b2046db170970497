#pragma once
// Whether anybody committed to a SQLite database since a moment seen before, without a query
// and without a system call: every commit in WAL mode ends by writing the header of the WAL
// index, which SQLite keeps in memory shared by all connections of all processes, and this
// reads that header through SQLite's own mapping of it. Downloads thus skip the database
// entirely while nothing changed, also when other processes (admin commands, a second server)
// write the same file.

#include <cstdint>
#include <optional>

struct sqlite3;

namespace reef::listserver {

// What the WAL-index header says of the latest commit; equal stamps mean that no commit came
// in between.
struct WalStamp {
    std::uint32_t change = 0; // counts commits
    std::uint32_t frames = 0; // frames in the log
    std::uint32_t salt1 = 0;  // new with every restart of the log
    std::uint32_t salt2 = 0;
    bool operator==(const WalStamp&) const = default;
};

class WalStampReader {
  public:
    // db: a connection in WAL mode that stays open, and unused by anybody else, for as long
    // as this reader. When its header cannot be found or is not of the layout known here,
    // the reader is not usable and every now() is nothing.
    explicit WalStampReader(sqlite3* db);

    bool usable() const { return header_ != nullptr; }
    // The stamp of the latest commit; nothing while a commit is writing the header (or the
    // reader is not usable): then nothing kept may be trusted.
    std::optional<WalStamp> now() const;

  private:
    const volatile unsigned char* header_ = nullptr;
};

} // namespace reef::listserver
