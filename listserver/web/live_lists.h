#pragma once
// What the page's live streams hear of an alliance's lists: "lists" whenever a list changed,
// by a write of the desktop program, of the page, of another server process on the same
// database, or by an entry that expired; and "alert" for every entry that the chat's alert is
// raised for (a new enemy entry, a call for help), told by comparing the entries by their
// numbers, so that writes of every source count alike.

#include "listserver/core/list_service.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace reef::listserver {

// One event of a stream: its name and its data (one line of JSON).
struct LiveEvent {
    std::string name;
    std::string data;
};

// The bytes of an event on a stream.
std::string eventText(const LiveEvent& event);

class LiveLists {
  public:
    explicit LiveLists(ListService& service);

    // Follows the lists of an alliance as they are now (their versions); changes after this
    // are told. As often as follow, unfollow. Throws when the store cannot be read.
    ListService::ListVersions follow(AllianceId alliance);
    void unfollow(AllianceId alliance);

    // The events since the last look, per followed alliance: "lists" first, then the alerts.
    // An alliance whose lists cannot be read now is looked at again next time.
    std::vector<std::pair<AllianceId, LiveEvent>> changes();

    // The data of a "lists" event for these versions.
    static std::string listsData(const ListService::ListVersions& versions);

  private:
    struct Followed {
        int followers = 0;
        ListService::ListVersions versions;
        std::optional<std::int64_t> nextExpiryUtc;
        std::map<std::int64_t, FleetEntry> entries[2]; // by ListKind, by number
    };
    static void take(Followed& followed, ListService::ListsNow now);

    ListService& service_;
    std::mutex mutex_;
    std::map<AllianceId, Followed> followed_;
};

} // namespace reef::listserver
