#include "listserver/core/list_service.h"

#include "listserver/core/local_time.h"
#include "listserver/core/query.h"

#include <algorithm>
#include <limits>
#include <mutex>

namespace reef::listserver {

namespace {

Answer word(std::string_view body, std::string note) {
    return answerOf(200, body, std::move(note));
}

// A write that fails answers as any request does: "Error2" when the database cannot be used,
// "Error10" for anything else.
Answer answerFailures(const std::function<Answer()>& run) {
    try {
        return run();
    } catch (const StorageUnavailable& error) {
        return word("Error2", std::string("database unavailable: ") + error.what());
    } catch (const std::exception& error) {
        return word("Error10", std::string("failure: ") + error.what());
    }
}

const char* listName(ListKind kind) {
    return kind == ListKind::Allied ? "Reef_Frend" : "Reef_Enemy";
}

} // namespace

const std::string& Answer::text() const {
    static const std::string kNone;
    return body ? *body : kNone;
}

Answer answerOf(int status, std::string_view body, std::string note) {
    return Answer{status, std::make_shared<const std::string>(body), std::move(note)};
}

ListService::ListService(ListStore& store, const ServerKey& key, ServiceClock clock,
                         ServiceOptions options)
    : store_(store), key_(key), clock_(std::move(clock)), options_(options),
      clientWrites_(options.writesPerMinutePerAddress),
      allianceWrites_(options.writesPerMinutePerAlliance), bodies_(options.maxListBytes) {}

Outcome ListService::handle(std::string_view target, const std::string& clientAddress,
                            GuardTicket& ticket) {
    auto parts = splitTarget(target);
    if (!parts || parts->path != kScriptPath)
        return answerOf(404, "Not Found", "no such script");
    QueryValues query = parseQuery(parts->query);

    auto info1 = query.find("Info1");
    auto info2 = query.find("Info2");
    auto info3 = query.find("Info3");
    if (info1 == query.end() || info2 == query.end() || info3 == query.end())
        return word("Error3", "Info1, Info2 or Info3 missing");
    auto kind = listKindOf(info2->second);
    if (!kind)
        return word("Error3", "unknown list");
    const std::string& operation = info3->second;
    if (operation != "Update" && operation != "New" && operation != "Change")
        return word("Error3", "unknown operation");

    try {
        PasswordCheck check = checkPassword(info1->second, clientAddress, ticket);
        switch (check.result) {
        case PasswordCheck::Result::Hold:
            return Hold{check.until, std::nullopt};
        case PasswordCheck::Result::Refused:
            return word("Error10", "held back after wrong passwords from this address; no try "
                                   "came free in time, password not checked");
        case PasswordCheck::Result::WrongLate:
            return Hold{check.until, word("Error1", "wrong password, answered late: too many "
                                                    "wrong passwords on the whole server")};
        case PasswordCheck::Result::Wrong:
            return word("Error1", "wrong password");
        case PasswordCheck::Result::Right:
            break;
        }
        const std::optional<Alliance>& alliance = check.alliance;
        std::string prefix =
            "alliance " + alliance->name + " " + listName(*kind) + " " + operation + ": ";
        if (operation == "Update") {
            Answer answer = update(*alliance, *kind);
            answer.note = prefix + answer.note;
            return answer;
        }
        Outcome outcome = operation == "New" ? add(*alliance, *kind, query, clientAddress)
                                             : change(*alliance, *kind, query, clientAddress);
        if (Answer* answer = std::get_if<Answer>(&outcome)) {
            answer->note = prefix + answer->note;
            return outcome;
        }
        Write& write = std::get<Write>(outcome);
        write.run = [run = std::move(write.run), prefix = std::move(prefix)] {
            Answer answer = answerFailures(run);
            answer.note = prefix + answer.note;
            return answer;
        };
        return outcome;
    } catch (const StorageUnavailable& error) {
        return word("Error2", std::string("database unavailable: ") + error.what());
    } catch (const std::exception& error) {
        return word("Error10", std::string("failure: ") + error.what());
    }
}

PasswordCheck ListService::checkPassword(std::string_view password,
                                         const std::string& clientAddress, GuardTicket& ticket) {
    using Result = PasswordCheck::Result;
    PasswordCheck check;
    const double now = clock_.monotonicSeconds();
    // Once per request: a held one asked again has the shared count in its buckets already.
    if (ticket.arrived < 0)
        shareWrongPasswords(clientAddress, now, false);
    PasswordGuard::Decision decision = guard_.admit(clientAddress, now, ticket);
    if (decision.verdict != PasswordGuard::Verdict::Check) {
        check.result =
            decision.verdict == PasswordGuard::Verdict::Hold ? Result::Hold : Result::Refused;
        check.until = decision.until;
        return check;
    }
    std::string hash = key_.passwordHash(password);
    try {
        check.alliance = store_.findAlliance(hash);
    } catch (...) {
        guard_.abandon(clientAddress, ticket);
        throw;
    }
    const double answerAt = guard_.settle(clientAddress, now, ticket, check.alliance.has_value());
    if (!check.alliance)
        shareWrongPasswords(clientAddress, now, true);
    if (check.alliance) {
        check.result = Result::Right;
        check.passwordHash = std::move(hash);
    } else if (answerAt > now) {
        check.result = Result::WrongLate;
        check.until = answerAt;
    } else {
        check.result = Result::Wrong;
    }
    return check;
}

std::optional<Alliance> ListService::allianceWithHash(const std::string& passwordHash) {
    return store_.findAlliance(passwordHash);
}

std::vector<FleetEntry> ListService::currentEntries(AllianceId alliance, ListKind kind) {
    return store_.entries(alliance, kind, notBefore(clock_.utcSeconds())).entries;
}

void ListService::shareWrongPasswords(const std::string& clientAddress, double now,
                                      bool wrongOneNow) {
    for (const std::string& key : PasswordGuard::keysOf(clientAddress)) {
        if (wrongOneNow) {
            store_.recordWrongPassword(key, PasswordGuard::kFreeFailures,
                                       PasswordGuard::kRefillSeconds);
            continue;
        }
        auto left = store_.sharedTriesLeft(key, PasswordGuard::kFreeFailures,
                                           PasswordGuard::kRefillSeconds);
        if (left && *left < PasswordGuard::kFreeFailures)
            guard_.adopt(key, *left, now);
    }
}

std::vector<Answer> ListService::writeTogether(const std::vector<std::function<Answer()>>& writes) {
    std::vector<Answer> answers;
    std::vector<std::pair<AllianceId, ListKind>> ending;
    std::vector<StoredEntry> stored;
    writesEndingAtCommit_ = &ending;
    storedAtCommit_ = &stored;
    try {
        store_.inOneCommit([&] {
            for (const auto& write : writes)
                answers.push_back(write());
        });
    } catch (const std::exception& error) {
        stored.clear(); // none of them is stored
        const bool unavailable = dynamic_cast<const StorageUnavailable*>(&error) != nullptr;
        const std::string note = std::string(unavailable ? "database unavailable: " : "failure: ") +
                                 error.what() + " (the commit of " + std::to_string(writes.size()) +
                                 " writes failed)";
        answers.assign(writes.size(), word(unavailable ? "Error2" : "Error10", note));
    }
    writesEndingAtCommit_ = nullptr;
    storedAtCommit_ = nullptr;
    for (const auto& [alliance, kind] : ending)
        listWriteEnds(alliance, kind);
    for (StoredEntry& each : stored)
        tellStored(std::move(each));
    return answers;
}

void ListService::tellStored(StoredEntry stored) {
    if (!entryStored_)
        return;
    if (storedAtCommit_) {
        storedAtCommit_->push_back(std::move(stored));
        return;
    }
    entryStored_(stored);
}

std::optional<Answer> ListService::spendWrite(AllianceId alliance,
                                              const std::string& clientAddress) {
    const double now = clock_.monotonicSeconds();
    const std::string client = PasswordGuard::clientOf(clientAddress);
    const std::string allianceKey = std::to_string(alliance);
    if (!clientWrites_.has(client, now)) {
        refusedByAddress_.fetch_add(1, std::memory_order_relaxed);
        return word("Error10", "write budget of this address used up");
    }
    if (!allianceWrites_.has(allianceKey, now)) {
        refusedByAlliance_.fetch_add(1, std::memory_order_relaxed);
        return word("Error10", "write budget of this alliance used up");
    }
    clientWrites_.take(client, now);
    allianceWrites_.take(allianceKey, now);
    return std::nullopt;
}

void ListService::abandon(const std::string& clientAddress, GuardTicket& ticket) {
    guard_.abandon(clientAddress, ticket);
}

Answer ListService::update(const Alliance& alliance, ListKind kind) {
    std::int64_t now = clock_.utcSeconds();
    auto slotKey = std::make_pair(alliance.id, static_cast<int>(kind));
    std::uint64_t generation = 0;
    // Read before the entries: a write of another process that commits in between makes the
    // body newer than this version, never older, so it is rebuilt rather than kept stale.
    const std::optional<std::int64_t> storeVersion = store_.listVersion(alliance.id, kind);
    {
        std::shared_lock lock(cacheMutex_);
        auto it = cache_.find(slotKey);
        if (it != cache_.end()) {
            const CachedList& cached = it->second;
            if (cached.body && now < cached.validUntilUtc && cached.storeVersion == storeVersion)
                return Answer{200, cached.body,
                              std::to_string(cached.count) + " entries (kept in memory)"};
            generation = cached.generation;
        }
    }
    ListSnapshot snapshot = store_.entries(alliance.id, kind, notBefore(now));
    SharedBody body = bodies_.hold(listBody(snapshot.entries));
    if (!body)
        return word("Error10", "list bodies in memory over " +
                                   std::to_string(options_.maxListBytes >> 20) +
                                   " MiB (slow readers), list not sent");
    {
        std::unique_lock lock(cacheMutex_);
        CachedList& cached = cache_[slotKey];
        // A write that committed after the generation was read may be missing from this
        // snapshot; then the snapshot must not be kept. Nor while a write runs.
        if (cached.generation == generation && cached.writing == 0) {
            cached.body = body;
            cached.storeVersion = storeVersion;
            cached.count = snapshot.entries.size();
            cached.validUntilUtc = snapshot.oldestChangeUtc
                                       ? *snapshot.oldestChangeUtc + options_.expirySeconds + 1
                                       : std::numeric_limits<std::int64_t>::max();
        }
    }
    return Answer{200, body, std::to_string(snapshot.entries.size()) + " entries"};
}

std::optional<std::uint64_t> ListService::generationOf(AllianceId alliance, ListKind kind) const {
    auto it = cache_.find(std::make_pair(alliance, static_cast<int>(kind)));
    if (it == cache_.end())
        return 0;
    if (it->second.writing > 0)
        return std::nullopt;
    return it->second.generation;
}

Answer ListService::bothLists(AllianceId alliance, const ListsRenderer& render) {
    constexpr ListKind kKinds[2] = {ListKind::Allied, ListKind::Enemy};
    const std::int64_t now = clock_.utcSeconds();
    // Read before the entries, as for a download.
    const std::optional<std::int64_t> versions[2] = {store_.listVersion(alliance, kKinds[0]),
                                                     store_.listVersion(alliance, kKinds[1])};
    std::optional<std::uint64_t> generations[2];
    // The kept body when it is still that of the current versions. Caller holds cacheMutex_.
    auto kept = [&](const CachedBoth& cached) -> std::optional<Answer> {
        generations[0] = generationOf(alliance, kKinds[0]);
        generations[1] = generationOf(alliance, kKinds[1]);
        if (cached.body && now < cached.validUntilUtc && generations[0] && generations[1] &&
            *generations[0] == cached.generations[0] && *generations[1] == cached.generations[1] &&
            versions[0] == cached.storeVersions[0] && versions[1] == cached.storeVersions[1])
            return Answer{200, cached.body,
                          std::to_string(cached.count) + " entries (kept in memory)"};
        return std::nullopt;
    };
    {
        std::shared_lock lock(cacheMutex_);
        if (auto it = bothCache_.find(alliance); it != bothCache_.end())
            if (auto answer = kept(it->second))
                return *answer;
    }
    bool building = false;
    {
        std::unique_lock lock(cacheMutex_);
        for (;;) {
            CachedBoth& cached = bothCache_[alliance];
            if (auto answer = kept(cached))
                return *answer;
            // Building a body of two full lists takes a while and much memory: the requests
            // that come meanwhile wait for it rather than build it once more each.
            if (!cached.building)
                break;
            bothBuilt_.wait(lock);
        }
        // While a list is written nothing is kept, and no build stands in anybody's way.
        building = generations[0] && generations[1];
        if (building)
            bothCache_[alliance].building = true;
    }
    struct BuildEnds {
        ListService& service;
        AllianceId alliance;
        bool building;
        ~BuildEnds() {
            if (!building)
                return;
            {
                std::unique_lock lock(service.cacheMutex_);
                service.bothCache_[alliance].building = false;
            }
            service.bothBuilt_.notify_all();
        }
    } ends{*this, alliance, building};

    const ListSnapshot allied = store_.entries(alliance, kKinds[0], notBefore(now));
    const ListSnapshot enemy = store_.entries(alliance, kKinds[1], notBefore(now));
    const std::size_t count = allied.entries.size() + enemy.entries.size();
    SharedBody body = bodies_.hold(render(allied, enemy));
    if (!body)
        return answerOf(503, "",
                        "list bodies in memory over " +
                            std::to_string(options_.maxListBytes >> 20) +
                            " MiB (slow readers), lists not sent");
    if (building) {
        std::unique_lock lock(cacheMutex_);
        // Kept only when no write began or ended since the generations were read.
        if (generationOf(alliance, kKinds[0]) == generations[0] &&
            generationOf(alliance, kKinds[1]) == generations[1]) {
            CachedBoth& cached = bothCache_[alliance];
            cached.body = body;
            cached.count = count;
            cached.generations[0] = *generations[0];
            cached.generations[1] = *generations[1];
            cached.storeVersions[0] = versions[0];
            cached.storeVersions[1] = versions[1];
            cached.validUntilUtc = std::numeric_limits<std::int64_t>::max();
            for (const ListSnapshot* snapshot : {&allied, &enemy})
                if (snapshot->oldestChangeUtc)
                    cached.validUntilUtc =
                        std::min(cached.validUntilUtc,
                                 *snapshot->oldestChangeUtc + options_.expirySeconds + 1);
        }
    }
    return Answer{200, body, std::to_string(count) + " entries"};
}

void ListService::listWriteStarts(AllianceId alliance, ListKind kind) {
    std::unique_lock lock(cacheMutex_);
    CachedList& cached = cache_[std::make_pair(alliance, static_cast<int>(kind))];
    ++cached.generation;
    ++cached.writing;
    cached.body.reset();
    // The page's body of both lists is stale too: let go of it now rather than at the next
    // look (slow readers may still hold it).
    if (auto both = bothCache_.find(alliance); both != bothCache_.end())
        both->second.body.reset();
}

void ListService::listWriteEnds(AllianceId alliance, ListKind kind) {
    std::unique_lock lock(cacheMutex_);
    CachedList& cached = cache_[std::make_pair(alliance, static_cast<int>(kind))];
    ++cached.generation;
    --cached.writing;
    cached.body.reset();
}

class ListService::ListWrite {
  public:
    ListWrite(ListService& service, AllianceId alliance, ListKind kind)
        : service_(service), alliance_(alliance), kind_(kind) {
        service_.listWriteStarts(alliance_, kind_);
    }
    ~ListWrite() {
        // Inside a shared commit the write is visible only once that commit is done.
        if (service_.writesEndingAtCommit_)
            service_.writesEndingAtCommit_->emplace_back(alliance_, kind_);
        else
            service_.listWriteEnds(alliance_, kind_);
    }
    ListWrite(const ListWrite&) = delete;
    ListWrite& operator=(const ListWrite&) = delete;

  private:
    ListService& service_;
    AllianceId alliance_;
    ListKind kind_;
};

Outcome ListService::add(const Alliance& alliance, ListKind kind, const QueryValues& query,
                         const std::string& clientAddress) {
    auto patch = readEntryPatch(query, kind);
    if (auto* rejection = std::get_if<Rejection>(&patch))
        return word("false", rejection->reason);
    if (auto refused = spendWrite(alliance.id, clientAddress))
        return *refused;
    return storeNew(alliance, kind, std::get<EntryPatch>(patch).appliedTo(FleetEntry{}),
                    Words::Program);
}

Outcome ListService::change(const Alliance& alliance, ListKind kind, const QueryValues& query,
                            const std::string& clientAddress) {
    auto patch = readEntryPatch(query, kind);
    if (auto* rejection = std::get_if<Rejection>(&patch))
        return word("false", rejection->reason);
    auto key = readChangeKey(query);
    if (auto* rejection = std::get_if<Rejection>(&key))
        return word("false", rejection->reason);
    if (auto refused = spendWrite(alliance.id, clientAddress))
        return *refused;
    return storeChange(alliance, kind, std::get<ChangeKey>(key), std::get<EntryPatch>(patch),
                       Words::Program);
}

EntryWrite ListService::writeEntry(const Alliance& alliance, ListKind kind,
                                   const QueryValues& values, std::optional<std::int64_t> entryId,
                                   const std::string& clientAddress) {
    auto patch = readEntryPatch(values, kind);
    if (auto* rejection = std::get_if<Rejection>(&patch))
        return std::move(*rejection);
    if (auto refused = spendWrite(alliance.id, clientAddress))
        return WriteBudgetUsedUp{refused->note};
    Write write = entryId
                      ? storeChange(alliance, kind, ChangeKey{0, 0, entryId},
                                    std::get<EntryPatch>(patch), Words::Page)
                      : storeNew(alliance, kind,
                                 std::get<EntryPatch>(patch).appliedTo(FleetEntry{}), Words::Page);
    write.run = [run = std::move(write.run), prefix = "alliance " + alliance.name + " " +
                                                      listName(kind) + " page " +
                                                      (entryId ? "change" : "new") + ": "] {
        Answer answer = answerFailures(run);
        answer.note = prefix + answer.note;
        return answer;
    };
    return write;
}

Write ListService::storeNew(const Alliance& alliance, ListKind kind, FleetEntry entry,
                            Words words) {
    return Write{[this, id = alliance.id, name = alliance.name, kind, entry, words] {
        // The time of the write itself, which may come a moment after the request.
        ListWrite writing(*this, id, kind);
        ChangeTime when{secondsOfDay(clock_.localSeconds()), clock_.utcSeconds()};
        Added added = store_.addEntry(id, kind, entry, when, notBefore(when.utcSeconds),
                                      options_.maxEntriesPerList);
        if (added.result == AddResult::ListFull)
            return word(words == Words::Page ? "full" : "false", "list full");
        FleetEntry stored = entry;
        stored.UpdateZeit = when.localTimeOfDay;
        tellStored(StoredEntry{id, name, kind, std::nullopt, stored, when.localTimeOfDay});
        const std::string number = std::to_string(added.id);
        return word(words == Words::Page ? "ready " + number : "ready",
                    "stored as entry " + number);
    }};
}

Write ListService::storeChange(const Alliance& alliance, ListKind kind, ChangeKey key,
                               EntryPatch patch, Words words) {
    return Write{[this, id = alliance.id, name = alliance.name, kind, changeKey = std::move(key),
                  entryPatch = std::move(patch), words] {
        ListWrite writing(*this, id, kind);
        ChangeTime when{secondsOfDay(clock_.localSeconds()), clock_.utcSeconds()};
        Changed changed =
            store_.changeEntry(id, kind, changeKey, entryPatch, when, notBefore(when.utcSeconds));
        const bool page = words == Words::Page;
        switch (changed.result) {
        case ChangeResult::Replaced: {
            tellStored(
                StoredEntry{id, name, kind, changed.previous, changed.stored, when.localTimeOfDay});
            const std::string number = std::to_string(changed.id);
            return word(page ? "ready " + number : "ready", "replaced entry " + number);
        }
        case ChangeResult::NotFound:
            return word(page ? "gone" : "false", "no entry matches");
        case ChangeResult::Ambiguous:
            break;
        }
        return word(page ? "gone" : "false", "several entries match, none clearly");
    }};
}

ListService::ListVersions ListService::listVersions(AllianceId alliance) {
    return {store_.listVersion(alliance, ListKind::Allied),
            store_.listVersion(alliance, ListKind::Enemy)};
}

ListService::ListsNow ListService::listsNow(AllianceId alliance) {
    ListsNow now;
    now.versions = listVersions(alliance);
    const std::int64_t utc = clock_.utcSeconds();
    for (ListKind kind : {ListKind::Allied, ListKind::Enemy}) {
        ListSnapshot& list = now.lists[static_cast<int>(kind)];
        list = store_.entries(alliance, kind, notBefore(utc));
        // An entry changed at t counts up to t + expiry and is gone a second later.
        if (list.oldestChangeUtc) {
            const std::int64_t gone = *list.oldestChangeUtc + options_.expirySeconds + 1;
            now.nextExpiryUtc = std::min(now.nextExpiryUtc.value_or(gone), gone);
        }
    }
    return now;
}

std::int64_t ListService::removeExpired() {
    // Lists in memory need no notice: their bodies are kept only until their oldest entry
    // expires.
    return store_.removeExpired(notBefore(clock_.utcSeconds()));
}

} // namespace reef::listserver
