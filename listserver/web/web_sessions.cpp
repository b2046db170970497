#include "listserver/web/web_sessions.h"

#include <sodium.h>

#include <algorithm>
#include <map>
#include <stdexcept>

namespace reef::listserver {

namespace {

std::string tokenHash(std::string_view token) {
    unsigned char hash[crypto_generichash_BYTES];
    crypto_generichash(hash, sizeof hash, reinterpret_cast<const unsigned char*>(token.data()),
                       token.size(), nullptr, 0);
    return std::string(reinterpret_cast<const char*>(hash), sizeof hash);
}

bool wellFormed(std::string_view token) {
    return token.size() == WebSessions::kTokenLength &&
           std::all_of(token.begin(), token.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

} // namespace

WebSessions::WebSessions(std::size_t maxSessions, double lifetimeSeconds,
                         std::size_t maxPerAlliance, std::size_t maxPerClient)
    : maxSessions_(std::max<std::size_t>(1, maxSessions)),
      maxPerAlliance_(std::max<std::size_t>(1, maxPerAlliance)),
      maxPerClient_(std::max<std::size_t>(1, maxPerClient)), lifetimeSeconds_(lifetimeSeconds) {
    if (sodium_init() < 0)
        throw std::runtime_error("libsodium cannot be initialised");
    static_assert(sizeof csrfKey_ >= crypto_generichash_KEYBYTES_MIN &&
                  sizeof csrfKey_ <= crypto_generichash_KEYBYTES_MAX);
    randombytes_buf(csrfKey_, sizeof csrfKey_);
}

WebSessions::~WebSessions() {
    sodium_memzero(csrfKey_, sizeof csrfKey_);
}

std::string WebSessions::keyOf(std::string_view token) {
    return wellFormed(token) ? tokenHash(token) : std::string();
}

WebSession* WebSessions::liveSession(const std::string& key, double now) {
    auto it = sessions_.find(key);
    if (it == sessions_.end())
        return nullptr;
    if (it->second.expires <= now) {
        sessions_.erase(it);
        return nullptr;
    }
    return &it->second;
}

std::optional<WebSession> WebSessions::findByKey(const std::string& key, double now) {
    std::lock_guard lock(mutex_);
    if (WebSession* session = liveSession(key, now))
        return *session;
    return std::nullopt;
}

void WebSessions::closeByKey(const std::string& key) {
    std::lock_guard lock(mutex_);
    sessions_.erase(key);
}

std::string WebSessions::csrfOf(std::string_view token) const {
    unsigned char hash[32];
    crypto_generichash(hash, sizeof hash, reinterpret_cast<const unsigned char*>(token.data()),
                       token.size(), csrfKey_, sizeof csrfKey_);
    char hex[2 * sizeof hash + 1];
    sodium_bin2hex(hex, sizeof hex, hash, sizeof hash);
    return std::string(hex, 2 * sizeof hash);
}

bool WebSessions::csrfMatches(std::string_view token, std::string_view csrf) const {
    const std::string expected = csrfOf(token);
    return wellFormed(token) && csrf.size() == expected.size() &&
           sodium_memcmp(expected.data(), csrf.data(), expected.size()) == 0;
}

std::string WebSessions::open(WebSession session, double now) {
    unsigned char random[kTokenLength / 2];
    randombytes_buf(random, sizeof random);
    char hex[kTokenLength + 1];
    sodium_bin2hex(hex, sizeof hex, random, sizeof random);
    std::string token(hex, kTokenLength);
    session.csrf = csrfOf(token);
    session.expires = now + lifetimeSeconds_;
    session.asksLeft = kAsksAtOnce;
    session.asksCounted = now;
    std::lock_guard lock(mutex_);
    makeRoom(session, now);
    sessions_[tokenHash(token)] = std::move(session);
    return token;
}

std::optional<WebSession> WebSessions::find(std::string_view token, double now) {
    if (!wellFormed(token))
        return std::nullopt;
    return findByKey(tokenHash(token), now);
}

void WebSessions::close(std::string_view token) {
    if (!wellFormed(token))
        return;
    std::lock_guard lock(mutex_);
    sessions_.erase(tokenHash(token));
}

namespace {

// Refills the session's allowance for the time since it was last counted, then takes one ask
// when one is left.
bool takeOneAsk(WebSession& session, double now) {
    if (now > session.asksCounted) {
        session.asksLeft = std::min(WebSessions::kAsksAtOnce,
                                    session.asksLeft + (now - session.asksCounted) /
                                                           WebSessions::kAskRefillSeconds);
        session.asksCounted = now;
    }
    if (session.asksLeft < 1)
        return false;
    session.asksLeft -= 1;
    return true;
}

} // namespace

std::optional<SessionAsk> WebSessions::ask(std::string_view token, double now) {
    if (!wellFormed(token))
        return std::nullopt;
    const std::string key = tokenHash(token);
    std::lock_guard lock(mutex_);
    WebSession* session = liveSession(key, now);
    if (!session)
        return std::nullopt;
    const bool allowed = takeOneAsk(*session, now);
    return SessionAsk{*session, allowed};
}

std::size_t WebSessions::size() {
    std::lock_guard lock(mutex_);
    return sessions_.size();
}

void WebSessions::makeRoom(const WebSession& coming, double now) {
    std::erase_if(sessions_, [now](const auto& each) { return each.second.expires <= now; });
    // Logins are few (their rate is bounded per address): a pass over the table each is cheap.
    std::map<AllianceId, std::size_t> perAlliance;
    std::size_t ofClient = 0;
    for (const auto& [hash, session] : sessions_) {
        ++perAlliance[session.alliance];
        ofClient += session.client == coming.client;
    }
    auto dropOldest = [&](auto&& belongs) {
        auto oldest = sessions_.end();
        for (auto it = sessions_.begin(); it != sessions_.end(); ++it)
            if (belongs(it->second) &&
                (oldest == sessions_.end() || it->second.expires < oldest->second.expires))
                oldest = it;
        if (oldest == sessions_.end())
            return false;
        --perAlliance[oldest->second.alliance];
        ofClient -= oldest->second.client == coming.client;
        sessions_.erase(oldest);
        return true;
    };
    while (ofClient >= maxPerClient_ &&
           dropOldest([&](const WebSession& s) { return s.client == coming.client; })) {
    }
    auto sameAlliance = [&](const WebSession& s) { return s.alliance == coming.alliance; };
    while (perAlliance[coming.alliance] >= maxPerAlliance_ && dropOldest(sameAlliance)) {
    }
    while (sessions_.size() >= maxSessions_) {
        if (perAlliance[coming.alliance] > 0) {
            dropOldest(sameAlliance);
            continue;
        }
        std::erase_if(perAlliance, [](const auto& each) { return each.second == 0; });
        const AllianceId largest =
            std::max_element(perAlliance.begin(), perAlliance.end(),
                             [](const auto& a, const auto& b) { return a.second < b.second; })
                ->first;
        dropOldest([&](const WebSession& s) { return s.alliance == largest; });
    }
}

} // namespace reef::listserver
