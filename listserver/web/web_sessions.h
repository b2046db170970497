#pragma once
// The logins of the browser page. A session is known by a random token that only the
// browser's cookie holds; the server keeps a hash of it, so that neither a look into its
// memory nor the time a lookup takes tells a token. Sessions end 12 hours after the login;
// their number is bounded, and when the table is full the oldest session makes room.

#include "listserver/core/store.h"

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace reef::listserver {

struct WebSession {
    AllianceId alliance = 0;
    std::string allianceName;
    // The keyed hash the store finds the alliance by: a session ends as soon as the alliance
    // has another password (or is gone). Never the password itself.
    std::string passwordHash;
    double expires = 0; // monotonic seconds
    // What is left of the session's allowance of asking for the lists, and since when.
    double asksLeft = 0;
    double asksCounted = 0;
};

class WebSessions {
  public:
    static constexpr double kLifetimeSeconds = 12 * 3600;
    static constexpr std::size_t kMaxSessions = 10000;
    // The token: 32 random bytes as 64 lower-case hex digits.
    static constexpr std::size_t kTokenLength = 64;
    // A session may ask for the lists this often at once, and once more every
    // kAskRefillSeconds (the page asks once a minute, and at every reload).
    static constexpr double kAsksAtOnce = 10;
    static constexpr double kAskRefillSeconds = 6;

    explicit WebSessions(std::size_t maxSessions = kMaxSessions,
                         double lifetimeSeconds = kLifetimeSeconds);

    // A new session that expires lifetimeSeconds after now; its token.
    std::string open(WebSession session, double now);
    // The session of a token while it lasts; an expired one is dropped.
    std::optional<WebSession> find(std::string_view token, double now);
    void close(std::string_view token);
    // Takes one ask for the lists from the session's allowance; false when none is left
    // (or the session is gone).
    bool takeAsk(std::string_view token, double now);
    std::size_t size();

  private:
    // Drops the expired sessions, then, while the table is still full, the oldest.
    void makeRoom(double now);

    std::size_t maxSessions_;
    double lifetimeSeconds_;
    std::mutex mutex_;
    std::unordered_map<std::string, WebSession> sessions_; // by the hash of the token
};

} // namespace reef::listserver
