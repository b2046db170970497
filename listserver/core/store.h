#pragma once
// Where the alliances and their lists live. The list server speaks only to this interface,
// so that a server for many alliances can keep its lists in another database later.

#include "listserver/core/entry.h"
#include "listserver/core/webhook.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace reef::listserver {

// The database cannot be reached or used (answered "Error2"); every other exception is a
// failure of its own ("Error10").
class StorageUnavailable : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

using AllianceId = std::int64_t;

struct Alliance {
    AllianceId id = 0;
    std::string name;
};

// When a change or a new entry was made: the local time of day the desktop program shows,
// and the real time that expiry counts from.
struct ChangeTime {
    std::int32_t localTimeOfDay = 0;
    std::int64_t utcSeconds = 0;
};

enum class AddResult { Stored, ListFull };
enum class ChangeResult { Replaced, NotFound, Ambiguous };

// What a write did, with the id of the entry it stored or replaced (0 when none), so that
// the log can tell which entry each member wrote.
struct Added {
    AddResult result = AddResult::Stored;
    std::int64_t id = 0;
};
struct Changed {
    ChangeResult result = ChangeResult::NotFound;
    std::int64_t id = 0;
    // When replaced: the entry before and after, so that the chat hears of a new call for
    // help.
    FleetEntry previous;
    FleetEntry stored;
};

struct ListSnapshot {
    std::vector<FleetEntry> entries;
    // Real time of the oldest change among them, for knowing when the list next shrinks.
    std::optional<std::int64_t> oldestChangeUtc;
    // The number of each entry (its row in the store): it stays while the entry is changed.
    std::vector<std::int64_t> ids;
};

class ListStore {
  public:
    virtual ~ListStore() = default;

    // Alliances, found by the keyed hash of their password.
    virtual std::optional<Alliance> findAlliance(const std::string& passwordHash) = 0;
    virtual std::vector<Alliance> alliances() = 0;
    // False when the name or the password hash is already taken.
    virtual bool addAlliance(const std::string& name, const std::string& passwordHash) = 0;
    // False when no alliance has that name, or another one has the password.
    virtual bool setAlliancePassword(const std::string& name, const std::string& passwordHash) = 0;
    // Removes the alliance with both its lists; false when there is none of that name.
    virtual bool removeAlliance(const std::string& name) = 0;

    // Entries changed at or after notBeforeUtc, oldest first. Older ones count as gone.
    virtual ListSnapshot entries(AllianceId alliance, ListKind kind, std::int64_t notBeforeUtc) = 0;
    // Stores a new entry unless the list already holds maxEntries entries that count.
    // Durable when it returns.
    virtual Added addEntry(AllianceId alliance, ListKind kind, const FleetEntry& entry,
                           const ChangeTime& when, std::int64_t notBeforeUtc,
                           std::size_t maxEntries) = 0;
    // Replaces the entry picked by pickEntryToChange among those matching the key (or the entry
    // of that number, when the key names one) with what the patch gives
    // (EntryPatch::replacing), keeping its number. Durable when it returns.
    virtual Changed changeEntry(AllianceId alliance, ListKind kind, const ChangeKey& key,
                                const EntryPatch& patch, const ChangeTime& when,
                                std::int64_t notBeforeUtc) = 0;
    // Runs addEntry and changeEntry calls that `writes` makes on this thread in one commit, each
    // undone alone when it fails; durable when it returns. Throws when the commit fails.
    virtual void inOneCommit(const std::function<void()>& writes) { writes(); }
    // Deletes entries changed before the given real time; returns how many.
    virtual std::int64_t removeExpired(std::int64_t beforeUtc) = 0;

    // The chat webhook of an alliance, when it has one.
    virtual std::optional<Webhook> webhook(AllianceId alliance) = 0;
    // Sets the webhook of the alliance of that name, or removes it when given nothing; false
    // when there is no such alliance.
    virtual bool setWebhook(const std::string& allianceName,
                            const std::optional<Webhook>& webhook) = 0;

    // A check value of the server key, kept so that a key that does not belong to the
    // database is noticed at start.
    virtual std::optional<std::string> keyCheck() = 0;
    virtual void setKeyCheck(const std::string& check) = 0;

    // For a store that several server processes share. listVersion: a number that changes
    // with every commit that writes the list, whichever process made it, so that a list kept
    // in memory is known to be stale; nullopt where only this process writes. keptKey: the key
    // of the password hashes kept in the store, freshKey stored first when there is none, so
    // that every process uses the same one; nullopt where the key lives in a file.
    virtual std::optional<std::int64_t> listVersion(AllianceId, ListKind) { return std::nullopt; }
    virtual std::optional<std::string> keptKey(const std::string& /*freshKey*/) {
        return std::nullopt;
    }
    // The wrong-password tries a client (a key of PasswordGuard) has left in a bucket of
    // `capacity` tries that refills one every `refillSeconds`, as all processes of a shared
    // store counted them; nullopt where the store keeps no such count (then each process
    // counts for itself). recordWrongPassword takes one try.
    virtual std::optional<double> sharedTriesLeft(const std::string& /*client*/,
                                                  double /*capacity*/, double /*refillSeconds*/) {
        return std::nullopt;
    }
    virtual void recordWrongPassword(const std::string& /*client*/, double /*capacity*/,
                                     double /*refillSeconds*/) {}
};

} // namespace reef::listserver
