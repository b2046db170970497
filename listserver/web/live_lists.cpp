#include "listserver/web/live_lists.h"

#include "listserver/chat/webhook_message.h"
#include "listserver/core/local_time.h"
#include "listserver/web/web_text.h"

namespace reef::listserver {

namespace {

constexpr ListKind kKinds[2] = {ListKind::Allied, ListKind::Enemy};

const char* identifierOf(ListKind kind) {
    return kind == ListKind::Allied ? "Reef_Frend" : "Reef_Enemy";
}

std::string versionText(const std::optional<std::int64_t>& version) {
    return version ? std::to_string(*version) : "null";
}

} // namespace

std::string eventText(const LiveEvent& event) {
    // A line break would end the data line early: the data is one line of JSON, and its
    // strings carry line breaks escaped.
    return "event: " + event.name + "\ndata: " + event.data + "\n\n";
}

LiveLists::LiveLists(ListService& service) : service_(service) {}

std::string LiveLists::listsData(const ListService::ListVersions& versions) {
    return "{\"versions\":{\"Reef_Frend\":" + versionText(versions[0]) +
           ",\"Reef_Enemy\":" + versionText(versions[1]) + "}}";
}

void LiveLists::take(Followed& followed, ListService::ListsNow now) {
    followed.versions = now.versions;
    followed.nextExpiryUtc = now.nextExpiryUtc;
    for (int list = 0; list < 2; ++list) {
        std::map<std::int64_t, FleetEntry>& entries = followed.entries[list];
        entries.clear();
        ListSnapshot& snapshot = now.lists[list];
        for (std::size_t i = 0; i < snapshot.entries.size() && i < snapshot.ids.size(); ++i)
            entries.emplace(snapshot.ids[i], std::move(snapshot.entries[i]));
    }
}

ListService::ListVersions LiveLists::follow(AllianceId alliance) {
    std::lock_guard lock(mutex_);
    auto found = followed_.find(alliance);
    if (found != followed_.end()) {
        ++found->second.followers;
        return found->second.versions;
    }
    Followed followed;
    take(followed, service_.listsNow(alliance));
    followed.followers = 1;
    return followed_.emplace(alliance, std::move(followed)).first->second.versions;
}

void LiveLists::unfollow(AllianceId alliance) {
    std::lock_guard lock(mutex_);
    auto found = followed_.find(alliance);
    if (found != followed_.end() && --found->second.followers <= 0)
        followed_.erase(found);
}

std::vector<std::pair<AllianceId, LiveEvent>> LiveLists::changes() {
    std::vector<std::pair<AllianceId, LiveEvent>> events;
    std::lock_guard lock(mutex_);
    const std::int64_t nowUtc = service_.utcNow();
    for (auto& [alliance, followed] : followed_) {
        try {
            const bool expired = followed.nextExpiryUtc && nowUtc >= *followed.nextExpiryUtc;
            if (!expired && service_.listVersions(alliance) == followed.versions)
                continue;
            ListService::ListsNow now = service_.listsNow(alliance);
            events.emplace_back(alliance, LiveEvent{"lists", listsData(now.versions)});
            // The server's time of day, which the alerts' countdowns would count from.
            const std::int32_t timeOfDay = secondsOfDay(service_.localNow());
            for (ListKind kind : kKinds) {
                const int list = static_cast<int>(kind);
                const ListSnapshot& snapshot = now.lists[list];
                for (std::size_t i = 0; i < snapshot.entries.size() && i < snapshot.ids.size();
                     ++i) {
                    const auto before = followed.entries[list].find(snapshot.ids[i]);
                    const std::optional<FleetEntry> previous =
                        before == followed.entries[list].end()
                            ? std::nullopt
                            : std::optional<FleetEntry>(before->second);
                    const auto alertKind = alertFor(kind, previous, snapshot.entries[i]);
                    if (!alertKind)
                        continue;
                    const Alert alert{*alertKind, snapshot.entries[i], timeOfDay};
                    events.emplace_back(
                        alliance,
                        LiveEvent{"alert", "{\"id\":" + std::to_string(snapshot.ids[i]) +
                                               ",\"list\":" + jsonString(identifierOf(kind)) +
                                               ",\"text\":" + jsonString(alertText(alert)) + "}"});
                }
            }
            take(followed, std::move(now));
        } catch (const std::exception&) {
            // Looked at again at the next call; the streams meanwhile keep what they had.
        }
    }
    return events;
}

} // namespace reef::listserver
