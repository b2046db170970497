#include "list_service.h"

#include "local_time.h"
#include "query.h"

#include <limits>
#include <mutex>

namespace reef::listserver {

namespace {

Answer word(std::string_view body, std::string note) {
    return answerOf(200, body, std::move(note));
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
    : store_(store), key_(key), clock_(std::move(clock)), options_(options) {}

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
        double now = clock_.monotonicSeconds();
        PasswordGuard::Decision decision = guard_.admit(clientAddress, now, ticket);
        if (decision.verdict == PasswordGuard::Verdict::Hold)
            return Hold{decision.until};
        if (decision.verdict == PasswordGuard::Verdict::Refuse)
            return word("Error10", "held back after wrong passwords from this address; no try "
                                   "came free in time, password not checked");
        std::optional<Alliance> alliance;
        try {
            alliance = store_.findAlliance(key_.passwordHash(info1->second));
        } catch (...) {
            guard_.abandon(clientAddress, ticket);
            throw;
        }
        guard_.settle(clientAddress, now, ticket, alliance.has_value());
        if (!alliance)
            return word("Error1", "wrong password");
        Answer answer;
        if (operation == "Update")
            answer = update(*alliance, *kind);
        else if (operation == "New")
            answer = add(*alliance, *kind, query);
        else
            answer = change(*alliance, *kind, query);
        answer.note = "alliance " + alliance->name + " " + listName(*kind) + " " + operation +
                      ": " + answer.note;
        return answer;
    } catch (const StorageUnavailable& error) {
        return word("Error2", std::string("database unavailable: ") + error.what());
    } catch (const std::exception& error) {
        return word("Error10", std::string("failure: ") + error.what());
    }
}

void ListService::abandon(const std::string& clientAddress, GuardTicket& ticket) {
    guard_.abandon(clientAddress, ticket);
}

Answer ListService::update(const Alliance& alliance, ListKind kind) {
    std::int64_t now = clock_.utcSeconds();
    auto slotKey = std::make_pair(alliance.id, static_cast<int>(kind));
    std::uint64_t generation = 0;
    {
        std::shared_lock lock(cacheMutex_);
        auto it = cache_.find(slotKey);
        if (it != cache_.end()) {
            const CachedList& cached = it->second;
            if (cached.body && now < cached.validUntilUtc)
                return Answer{200, cached.body,
                              std::to_string(cached.count) + " entries (kept in memory)"};
            generation = cached.generation;
        }
    }
    ListSnapshot snapshot = store_.entries(alliance.id, kind, notBefore(now));
    std::string built = listBody(snapshot.entries);
    const std::size_t size = built.size();
    if (listBytes_->fetch_add(size) + size > options_.maxListBytes) {
        listBytes_->fetch_sub(size);
        return word("Error10", "list bodies in memory over " +
                                   std::to_string(options_.maxListBytes >> 20) +
                                   " MiB (slow readers), list not sent");
    }
    std::shared_ptr<const std::string> body(new std::string(std::move(built)),
                                            [counter = listBytes_, size](const std::string* gone) {
                                                counter->fetch_sub(size);
                                                delete gone;
                                            });
    {
        std::unique_lock lock(cacheMutex_);
        CachedList& cached = cache_[slotKey];
        // A write that committed after the generation was read may be missing from this
        // snapshot; then the snapshot must not be kept.
        if (cached.generation == generation) {
            cached.body = body;
            cached.count = snapshot.entries.size();
            cached.validUntilUtc = snapshot.oldestChangeUtc
                                       ? *snapshot.oldestChangeUtc + options_.expirySeconds + 1
                                       : std::numeric_limits<std::int64_t>::max();
        }
    }
    return Answer{200, body, std::to_string(snapshot.entries.size()) + " entries"};
}

void ListService::listChanged(AllianceId alliance, ListKind kind) {
    std::unique_lock lock(cacheMutex_);
    CachedList& cached = cache_[std::make_pair(alliance, static_cast<int>(kind))];
    ++cached.generation;
    cached.body.reset();
}

Answer ListService::add(const Alliance& alliance, ListKind kind, const QueryValues& query) {
    auto patch = readEntryPatch(query, kind);
    if (auto* rejection = std::get_if<Rejection>(&patch))
        return word("false", rejection->reason);
    FleetEntry entry = std::get<EntryPatch>(patch).appliedTo(FleetEntry{});
    ChangeTime when{secondsOfDay(clock_.localSeconds()), clock_.utcSeconds()};
    AddResult result = store_.addEntry(alliance.id, kind, entry, when, notBefore(when.utcSeconds),
                                       options_.maxEntriesPerList);
    if (result == AddResult::ListFull)
        return word("false", "list full");
    listChanged(alliance.id, kind);
    return word("ready", "stored");
}

Answer ListService::change(const Alliance& alliance, ListKind kind, const QueryValues& query) {
    auto patch = readEntryPatch(query, kind);
    if (auto* rejection = std::get_if<Rejection>(&patch))
        return word("false", rejection->reason);
    auto key = readChangeKey(query);
    if (auto* rejection = std::get_if<Rejection>(&key))
        return word("false", rejection->reason);
    ChangeTime when{secondsOfDay(clock_.localSeconds()), clock_.utcSeconds()};
    ChangeResult result =
        store_.changeEntry(alliance.id, kind, std::get<ChangeKey>(key), std::get<EntryPatch>(patch),
                           when, notBefore(when.utcSeconds));
    switch (result) {
    case ChangeResult::Replaced:
        listChanged(alliance.id, kind);
        return word("ready", "replaced");
    case ChangeResult::NotFound:
        return word("false", "no entry matches");
    case ChangeResult::Ambiguous:
        break;
    }
    return word("false", "several entries match, none clearly");
}

std::int64_t ListService::removeExpired() {
    // Lists in memory need no notice: their bodies are kept only until their oldest entry
    // expires.
    return store_.removeExpired(notBefore(clock_.utcSeconds()));
}

} // namespace reef::listserver
