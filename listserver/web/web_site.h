#pragma once
// listserver/web: the browser page of an alliance's lists, its sessions, texts and compiled-in
// assets, its interface for new and changed entries and its live updates, above HTTP (http/
// carries its requests). Uses listserver/core, and listserver/chat for the alerts' texts.
//
// The browser page of an alliance's lists: the password form, the session cookie, the lists
// as JSON, and new and changed entries. The password goes through the same guard as the
// desktop program's requests; the lists come from the same store, and the entries go through
// the same checks, write budgets and write queue.

#include "listserver/core/list_service.h"
#include "listserver/core/write_budget.h"
#include "listserver/web/web_sessions.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace reef::listserver {

inline constexpr std::string_view kSessionCookie = "reef_sitzung";
// A login form holds one short field; anything longer is not one.
inline constexpr std::size_t kMaxFormBytes = 1024;

struct WebRequest {
    std::string method;
    std::string path; // percent-decoded, without the query
    std::string cookieHeader;
    // The browser reached a proxy in front of this server over TLS ("X-Forwarded-Proto:
    // https"): the cookie is then sent over TLS only.
    bool overTls = false;
    // What the browser says of where the request comes from ("Sec-Fetch-Site"); empty when
    // it says nothing (older browsers, other clients).
    std::string fetchSite;
    // Where older browsers, which say nothing of Sec-Fetch-Site, say a form came from: the
    // Origin header, else the Referer; and the Host the browser asked for.
    std::string origin;
    std::string referer;
    std::string host;
    // The token the page sends with every write ("X-Reef-Csrf"); none when the header is not
    // there at all. A client that sends it, even empty, reads the token of the lists' answer
    // from the same header, so that the body can be the one every session shares.
    std::optional<std::string> csrfHeader;
    std::string body; // the form of a POST, the entry of a write; wiped when the request is gone
    bool bodyTooLarge = false;
    std::string clientAddress;

    WebRequest() = default;
    ~WebRequest();
    WebRequest(const WebRequest&) = delete;
    WebRequest& operator=(const WebRequest&) = delete;
};

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct WebAnswer {
    int status = 200;
    std::string contentType;
    std::string body;
    HeaderList headers; // besides those of webSecurityHeaders()
    std::string note;   // for the log, never a password or a token
    // A body that many answers send (the lists): sent instead of `body`, never copied.
    SharedBody sharedBody;
    // The members of this answer alone (the session's token, for clients that do not read it
    // from the header), sent in place of the opening "{" of sharedBody, before the members
    // every answer shares: "{"csrf":"...",".
    std::string ownMembers;

    const std::string& text() const { return sharedBody ? *sharedBody : body; }
    // The bytes that go out.
    std::string sentText() const;
};

// The answer comes later: ask again at `until` (monotonic seconds), or send `then` then.
struct WebHold {
    double until = 0;
    std::optional<WebAnswer> then;
};
// A write for the writer thread (the same queue as the desktop program's): run() stores it,
// answer() words for the page what it gave.
struct WebWrite {
    std::function<Answer()> run;
    std::function<WebAnswer(const Answer&)> answer;
};
// A live stream of the lists' events (GET /api/events) for a session that may have one: HTTP
// holds it open, bounded per session and in all, while the session lasts.
struct WebStream {
    AllianceId alliance = 0;
    std::string sessionKey; // WebSessions::keyOf the session's token
};
using WebOutcome = std::variant<WebAnswer, WebHold, WebWrite, WebStream>;

// The paths the page answers; every other path is the desktop program's.
bool isWebPath(std::string_view path);
// The most body bytes a request of the path may bring.
std::size_t webBodyLimit(std::string_view path);

// What every answer of the page carries: no script but its own, no framing, no sniffing.
const HeaderList& webSecurityHeaders();

// The lists of one alliance as the page reads them: per list identifier the entries in the
// order of a download, each with its number ("id") and the record's field names; texts in
// UTF-8, the points as decimal strings (JavaScript numbers stop being exact at 2^53), ZielZeit
// null when not given.
std::string listsJson(const ListSnapshot& allied, const ListSnapshot& enemy);

class WebSite {
  public:
    // Logins with the right password one client may make at once, and again per minute.
    static constexpr double kLoginsPerMinute = 10;

    WebSite(ListService& service, std::function<double()> monotonicSeconds,
            std::size_t maxSessions = WebSessions::kMaxSessions);

    // Called again with the same request and ticket after a hold.
    WebOutcome handle(const WebRequest& request, GuardTicket& ticket);

    std::size_t sessionCount() { return sessions_.size(); }
    // Whether the session of that key still lasts: not logged out, not expired, and its
    // alliance still has the password it logged in with. Throws when the store cannot be read.
    bool sessionLasts(const std::string& sessionKey);

  private:
    // A logged-in member: the session, its token and the alliance as the store has it now.
    struct Member {
        WebSession session;
        std::string token;
        Alliance alliance;
    };

    WebOutcome login(const WebRequest& request, GuardTicket& ticket);
    WebAnswer logout(const WebRequest& request);
    WebAnswer lists(const WebRequest& request);
    WebOutcome writeEntry(const WebRequest& request, std::optional<std::int64_t> entryId);
    std::optional<Member> memberOf(const WebRequest& request);
    // The alliance of a session as the store has it now; none, and the session ended, when
    // the alliance has a new password or is gone.
    std::optional<Alliance> allianceOf(const WebSession& session, const std::string& token);

    ListService& service_;
    std::function<double()> monotonicSeconds_;
    WebSessions sessions_;
    // Right-password logins per client: each opens a session, and a flood of them would crowd
    // the table.
    WriteBudget logins_{kLoginsPerMinute};
};

} // namespace reef::listserver
