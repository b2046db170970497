#pragma once
// listserver/core, the list server's core: fleet entries and the checks of what a submission
// brings, the request target, the list service that answers a request apart from HTTP, the
// store interface it speaks to, and its rules (password guard, write budgets, server key,
// wall clock, log texts, an alliance's webhook). Uses only src/wire, libsodium and libcurl's
// URL parser; every other folder of listserver/ builds on it.
//
// What the list server answers to one request, apart from HTTP itself.

#include "listserver/core/entry.h"
#include "listserver/core/password_guard.h"
#include "listserver/core/server_key.h"
#include "listserver/core/shared_body.h"
#include "listserver/core/store.h"
#include "listserver/core/write_budget.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace reef::listserver {

inline constexpr std::string_view kScriptPath = "/Reef-Update.php";

struct Answer {
    int status = 200;
    // Immutable and shared: every connection that sends one version of a list sends the same
    // bytes, held until the last of them is done.
    std::shared_ptr<const std::string> body;
    std::string note; // for the log: what happened, never the password

    const std::string& text() const;
};

Answer answerOf(int status, std::string_view body, std::string note);

// The client is held back after wrong passwords: ask again with the same ticket at `until`
// (monotonic seconds), or, when `then` is given, send that answer then.
struct Hold {
    double until = 0;
    std::optional<Answer> then;
};
// A checked "New" or "Change" that may be written: run() stores it and gives the answer. It
// takes as long as a synced commit, so it belongs on a thread of its own.
struct Write {
    std::function<Answer()> run;
};
using Outcome = std::variant<Answer, Hold, Write>;

// What the password guard and the store say of a password.
struct PasswordCheck {
    enum class Result {
        Right,     // alliance and passwordHash are set
        Wrong,     // answer now
        WrongLate, // answer no sooner than `until`
        Hold,      // ask again with the same ticket at `until`
        Refused,   // too many requests of the client held; the password was not looked at
    };
    Result result = Result::Wrong;
    std::optional<Alliance> alliance;
    std::string passwordHash;
    double until = 0;
};

// The clocks the service reads; tests set them.
struct ServiceClock {
    std::function<std::int64_t()> utcSeconds;   // real time, seconds since 1970 UTC
    std::function<std::int64_t()> localSeconds; // wall-clock time of the server's zone
    std::function<double()> monotonicSeconds;
};

struct ServiceOptions {
    std::int64_t expirySeconds = 24 * 3600;
    std::size_t maxEntriesPerList = 2000;
    // Writes one client (an IPv4 address, an IPv6 /64 network) and one alliance may make in
    // a burst and per minute; past them "Error10".
    double writesPerMinutePerAddress = 20;
    double writesPerMinutePerAlliance = 120;
    // Bytes of list bodies kept in memory at once, those in the cache and older versions that
    // slow readers still receive. Past it a download that needs a new body gets "Error10".
    std::size_t maxListBytes = 256u << 20;
};

// A write that is durable, for whoever watches the lists (the chat alerts).
struct StoredEntry {
    AllianceId alliance = 0;
    std::string allianceName;
    ListKind list = ListKind::Allied;
    std::optional<FleetEntry> previous; // nothing for a new entry
    FleetEntry entry;                   // as stored
    std::int32_t timeOfDay = 0;         // the server's local time of day of the write
};
using EntryStoredHook = std::function<void(const StoredEntry&)>;

// Renders both lists of an alliance, each in the order of a download, into one body.
using ListsRenderer =
    std::function<std::string(const ListSnapshot& allied, const ListSnapshot& enemy)>;

// A write of the browser page (or of another client of its interface) refused before it was
// looked at further: the client's or the alliance's write budget is used up.
struct WriteBudgetUsedUp {
    std::string note;
};
// What becomes of such a write: refused for a value (the field and why), refused for the
// budget, or to be stored. Its Write::run answers "ready <number of the entry>", "full" when
// the list holds its most entries, "gone" when no current entry has the number of a change,
// and "Error2" or "Error10" when the store fails, as for the desktop program.
using EntryWrite = std::variant<Rejection, WriteBudgetUsedUp, Write>;

class ListService {
  public:
    ListService(ListStore& store, const ServerKey& key, ServiceClock clock, ServiceOptions options);

    // target: the request target as it arrived (absolute or origin form). A held request is
    // asked again with its ticket; one that ends unanswered is given back with abandon().
    Outcome handle(std::string_view target, const std::string& clientAddress, GuardTicket& ticket);
    void abandon(const std::string& clientAddress, GuardTicket& ticket);

    // Runs the writes of several requests (their Write::run) in one synced commit, so that a
    // burst of writes shares its disk syncs. Their answers in order; when the commit fails,
    // every one is the failure, since none of them is stored. Only from one thread at a time.
    std::vector<Answer> writeTogether(const std::vector<std::function<Answer()>>& writes);

    // A password through the same guard as the desktop program's requests. Throws when the
    // store cannot be read (the ticket is given back then).
    PasswordCheck checkPassword(std::string_view password, const std::string& clientAddress,
                                GuardTicket& ticket);
    // The alliance whose password has that hash now, if any.
    std::optional<Alliance> allianceWithHash(const std::string& passwordHash);
    // The entries of a list that have not expired, in the order of a download.
    std::vector<FleetEntry> currentEntries(AllianceId alliance, ListKind kind);
    // Both lists of an alliance as `render` makes them (the browser page's JSON): built once
    // per version of the two lists, shared by every answer that sends that version, and
    // counted against the same limit as the downloads' bodies. Status 200 with the body, or
    // 503 without one past that limit. A service renders with one renderer only. Throws
    // when the store cannot be read.
    Answer bothLists(AllianceId alliance, const ListsRenderer& render);

    // A new entry (no number) or the change of the entry of that number, with the values of a
    // "New" or "Change" request (decoded, without IDW and BasisZeitW): the same checks, write
    // budgets and stored bytes as the desktop program's requests.
    EntryWrite writeEntry(const Alliance& alliance, ListKind kind, const QueryValues& values,
                          std::optional<std::int64_t> entryId, const std::string& clientAddress);

    // For following an alliance's lists (the page's live updates): the store's versions of
    // both lists, which change with every write whichever process makes it...
    using ListVersions = std::array<std::optional<std::int64_t>, 2>;
    ListVersions listVersions(AllianceId alliance);
    // ...and both lists as they count now, with their entries' numbers, their versions (read
    // before them) and the real time at which the next of their entries expires.
    struct ListsNow {
        ListSnapshot lists[2]; // by ListKind
        ListVersions versions;
        std::optional<std::int64_t> nextExpiryUtc;
    };
    ListsNow listsNow(AllianceId alliance);
    std::int64_t utcNow() { return clock_.utcSeconds(); }
    std::int64_t localNow() { return clock_.localSeconds(); }

    // Deletes entries that have not been updated within the expiry time.
    std::int64_t removeExpired();

    // Called on the writing thread after every stored new entry and every replaced one, once
    // its commit is done; it must not block. Set before the first request.
    void onEntryStored(EntryStoredHook hook) { entryStored_ = std::move(hook); }

    // Bytes of list bodies in memory now.
    std::size_t listBytes() const { return bodies_.bytes(); }
    // Writes refused since the start because the client's or the alliance's budget was used up.
    struct BudgetRefusals {
        std::uint64_t address = 0;
        std::uint64_t alliance = 0;
    };
    BudgetRefusals budgetRefusals() const {
        return {refusedByAddress_.load(std::memory_order_relaxed),
                refusedByAlliance_.load(std::memory_order_relaxed)};
    }

  private:
    Answer update(const Alliance& alliance, ListKind kind);
    Outcome add(const Alliance& alliance, ListKind kind, const QueryValues& query,
                const std::string& clientAddress);
    Outcome change(const Alliance& alliance, ListKind kind, const QueryValues& query,
                   const std::string& clientAddress);
    // The writes themselves, for the desktop program (its words "ready" and "false") or for the
    // page (the words of EntryWrite).
    enum class Words { Program, Page };
    Write storeNew(const Alliance& alliance, ListKind kind, FleetEntry entry, Words words);
    Write storeChange(const Alliance& alliance, ListKind kind, ChangeKey key, EntryPatch patch,
                      Words words);
    // Where the store keeps wrong passwords for all server processes: takes in what the
    // others counted before a password is looked at, or adds this wrong one to the count.
    void shareWrongPasswords(const std::string& clientAddress, double now, bool wrongOneNow);
    // Takes one write from the client's and the alliance's budget, or says why it cannot.
    std::optional<Answer> spendWrite(AllianceId alliance, const std::string& clientAddress);
    std::int64_t notBefore(std::int64_t nowUtc) const { return nowUtc - options_.expirySeconds; }
    // Around every write of a list: while it runs, downloads read the database and keep
    // nothing, so that no reader gets the list from before a commit after another got it
    // from after.
    void listWriteStarts(AllianceId alliance, ListKind kind);
    void listWriteEnds(AllianceId alliance, ListKind kind);
    class ListWrite;
    // The lists whose writes end with the commit that writeTogether runs, else nothing.
    std::vector<std::pair<AllianceId, ListKind>>* writesEndingAtCommit_ = nullptr;

    // Tells the hook now, or once the commit that writeTogether runs is done.
    void tellStored(StoredEntry stored);
    std::vector<StoredEntry>* storedAtCommit_ = nullptr;
    EntryStoredHook entryStored_;

    ListStore& store_;
    const ServerKey& key_;
    ServiceClock clock_;
    ServiceOptions options_;
    PasswordGuard guard_;
    WriteBudget clientWrites_;
    WriteBudget allianceWrites_;
    std::atomic<std::uint64_t> refusedByAddress_{0};
    std::atomic<std::uint64_t> refusedByAlliance_{0};

    // The download body of a list, kept until the list is written or its oldest entry
    // expires, so that the frequent downloads cost no database work.
    struct CachedList {
        std::uint64_t generation = 0;
        int writing = 0;
        std::shared_ptr<const std::string> body;
        std::int64_t validUntilUtc = 0;
        std::size_t count = 0;
        // The store's version of the list the body was built from, where other processes
        // write the list too.
        std::optional<std::int64_t> storeVersion;
    };
    // Both lists of an alliance as the page shows them, and the versions they were built of.
    struct CachedBoth {
        std::uint64_t generations[2] = {0, 0};
        std::optional<std::int64_t> storeVersions[2];
        SharedBody body;
        std::int64_t validUntilUtc = 0;
        std::size_t count = 0;
        bool building = false; // one build at a time: the others wait for its body
    };
    // The generation of a list, or nothing while it is being written. Caller holds cacheMutex_.
    std::optional<std::uint64_t> generationOf(AllianceId alliance, ListKind kind) const;
    std::shared_mutex cacheMutex_;
    std::map<std::pair<AllianceId, int>, CachedList> cache_;
    std::map<AllianceId, CachedBoth> bothCache_;
    std::condition_variable_any bothBuilt_;
    BodyBudget bodies_;
};

} // namespace reef::listserver
