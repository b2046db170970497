#pragma once
// The logins of the browser page. A session is known by a random token that only the
// browser's cookie holds; the server keeps a hash of it, so that neither a look into its
// memory nor the time a lookup takes tells a token. Sessions end 12 hours after the login;
// their number is bounded in all, per alliance and per client address, and a login past a
// bound makes room within it: the oldest session of the same address, else of the same
// alliance, and only when the whole table is full and the alliance has none, the oldest of the
// alliance that holds the most. One alliance's logins never log out another's members.

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
    // The client that logged in (an IPv4 address or an IPv6 /64 network).
    std::string client;
    double expires = 0; // monotonic seconds
    // What is left of the session's allowance of asking for the lists, and since when.
    double asksLeft = 0;
    double asksCounted = 0;
    // The token the page sends back with its writes (WebSessions::csrfOf the session's
    // token): made once at the login, as every answer with the lists carries it.
    std::string csrf = {};
};

// A session's ask for the lists: the session, and whether its allowance had an ask left.
struct SessionAsk {
    WebSession session;
    bool allowed = false;
};

class WebSessions {
  public:
    static constexpr double kLifetimeSeconds = 12 * 3600;
    static constexpr std::size_t kMaxSessions = 10000;
    // Well above what the members of one alliance, or the devices behind one address, need.
    static constexpr std::size_t kMaxPerAlliance = 1000;
    static constexpr std::size_t kMaxPerClient = 50;
    // The token: 32 random bytes as 64 lower-case hex digits.
    static constexpr std::size_t kTokenLength = 64;
    // A session may ask for the lists this often at once, and once more every
    // kAskRefillSeconds (the page asks once a minute, and at every reload).
    static constexpr double kAsksAtOnce = 10;
    static constexpr double kAskRefillSeconds = 6;

    explicit WebSessions(std::size_t maxSessions = kMaxSessions,
                         double lifetimeSeconds = kLifetimeSeconds,
                         std::size_t maxPerAlliance = kMaxPerAlliance,
                         std::size_t maxPerClient = kMaxPerClient);
    ~WebSessions();
    WebSessions(const WebSessions&) = delete;
    WebSessions& operator=(const WebSessions&) = delete;

    // A new session that expires lifetimeSeconds after now; its token.
    std::string open(WebSession session, double now);
    // The session of a token while it lasts; an expired one is dropped.
    std::optional<WebSession> find(std::string_view token, double now);
    void close(std::string_view token);
    // The session of a token while it lasts, as find; and one ask for the lists taken from its
    // allowance when one is left (`allowed`). One look at the table for both.
    std::optional<SessionAsk> ask(std::string_view token, double now);
    std::size_t size();

    // The key a session is kept by (a hash of its token): what holds on to a session without
    // its token, such as a live stream, names it so.
    static std::string keyOf(std::string_view token);
    std::optional<WebSession> findByKey(const std::string& key, double now);
    void closeByKey(const std::string& key);

    // What the page must send back in a header with every write: a keyed hash of the session's
    // token under a key of this process, bound to the session and telling nothing of the
    // cookie; 64 hex digits.
    std::string csrfOf(std::string_view token) const;
    // Whether `csrf` is the one of that token, compared in constant time.
    bool csrfMatches(std::string_view token, std::string_view csrf) const;

  private:
    // With mutex_ held: the session of a key while it lives; one that has expired goes.
    WebSession* liveSession(const std::string& key, double now);
    // Drops the expired sessions, then makes room for a session of this alliance and client.
    void makeRoom(const WebSession& coming, double now);

    std::size_t maxSessions_;
    std::size_t maxPerAlliance_;
    std::size_t maxPerClient_;
    double lifetimeSeconds_;
    std::mutex mutex_;
    std::unordered_map<std::string, WebSession> sessions_; // by the hash of the token
    unsigned char csrfKey_[32];
};

} // namespace reef::listserver
