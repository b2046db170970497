#include "listserver/web/web_site.h"

#include "listserver/web/entry_json.h"
#include "listserver/web/web_assets.h"
#include "listserver/web/web_text.h"
#include "text/cp1252.h"
#include "wire/list_format.h"

#include <sodium.h>

#include <array>

namespace reef::listserver {

namespace {

constexpr std::string_view kRootPath = "/";
constexpr std::string_view kLoginPath = "/login";
constexpr std::string_view kLogoutPath = "/logout";
constexpr std::string_view kListsPath = "/api/lists";
constexpr std::string_view kEntriesPath = "/api/entries";
// A changed entry: "/api/entries/" and the entry's number.
constexpr std::string_view kEntryPrefix = "/api/entries/";
constexpr std::string_view kCsrfHeader = "X-Reef-Csrf";
constexpr std::string_view kEventsPath = "/api/events";

constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr const char* kJson = "application/json; charset=utf-8";

std::string cookieLine(std::string_view value, long maxAge, bool overTls) {
    std::string line = std::string(kSessionCookie) + "=" + std::string(value) +
                       "; Path=/; Max-Age=" + std::to_string(maxAge) +
                       "; HttpOnly; SameSite=Strict";
    if (overTls)
        line += "; Secure";
    return line;
}

WebAnswer page(int status, std::string body, std::string note) {
    return {.status = status,
            .contentType = kHtml,
            .body = std::move(body),
            .headers = {{"Cache-Control", "no-store"}},
            .note = std::move(note),
            .sharedBody = {},
            .ownMembers = {}};
}

WebAnswer backToStart(HeaderList headers, std::string note) {
    headers.emplace_back("Location", "/");
    headers.emplace_back("Cache-Control", "no-store");
    return {.status = 303,
            .contentType = "text/plain; charset=utf-8",
            .body = "",
            .headers = std::move(headers),
            .note = std::move(note),
            .sharedBody = {},
            .ownMembers = {}};
}

WebAnswer jsonAnswer(int status, std::string body, std::string note) {
    return {.status = status,
            .contentType = kJson,
            .body = std::move(body),
            .headers = {{"Cache-Control", "no-store"}},
            .note = std::move(note),
            .sharedBody = {},
            .ownMembers = {}};
}

WebAnswer methodNotAllowed(const char* allowed) {
    return {.status = 405,
            .contentType = "text/plain; charset=utf-8",
            .body = "Methode nicht erlaubt\n",
            .headers = {{"Allow", allowed}},
            .note = "web: method not allowed",
            .sharedBody = {},
            .ownMembers = {}};
}

// Alliance names come from an admin's terminal: UTF-8 as a rule, else taken as Windows-1252.
std::string nameAsUtf8(const std::string& name) {
    std::size_t i = 0;
    while (i < name.size()) {
        const auto byte = static_cast<unsigned char>(name[i]);
        std::size_t length = byte < 0x80           ? 1
                             : (byte >> 5) == 0x6  ? 2
                             : (byte >> 4) == 0xE  ? 3
                             : (byte >> 3) == 0x1E ? 4
                                                   : 0;
        if (length == 0 || i + length > name.size())
            return text::cp1252ToUtf8(name);
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(name[i + k]) >> 6) != 0x2)
                return text::cp1252ToUtf8(name);
        i += length;
    }
    return name;
}

void appendField(std::string& out, wire::WireField field, const std::string& value) {
    out.push_back(',');
    out += jsonString(wire::kFieldNames[wire::fieldIndex(field)]);
    out.push_back(':');
    out += value;
}

std::string entryJson(std::int64_t id, const FleetEntry& e) {
    using wire::WireField;
    auto text = [](const std::string& bytes) { return jsonString(text::cp1252ToUtf8(bytes)); };
    auto digits = [](std::int64_t value) { return jsonString(std::to_string(value)); };
    std::string out = "{\"id\":" + std::to_string(id);
    appendField(out, WireField::Hilfe, std::to_string(e.Hilfe));
    appendField(out, WireField::Name, text(e.Name));
    appendField(out, WireField::Allianz, text(e.Allianz));
    appendField(out, WireField::Basis, text(e.Basis));
    appendField(out, WireField::Punkte, digits(e.Punkte));
    appendField(out, WireField::Schiffe, std::to_string(e.Schiffe));
    appendField(out, WireField::Modus, std::to_string(e.Modus));
    appendField(out, WireField::ZielName, text(e.ZielName));
    appendField(out, WireField::ZielAllianz, text(e.ZielAllianz));
    appendField(out, WireField::ZielBasis, text(e.ZielBasis));
    appendField(out, WireField::ZielPunkte, digits(e.ZielPunkte));
    appendField(out, WireField::Von, text(e.Von));
    appendField(out, WireField::ZielZeit, e.ZielZeit ? std::to_string(*e.ZielZeit) : "null");
    appendField(out, WireField::BasisZeit, std::to_string(e.BasisZeit));
    appendField(out, WireField::UpdateZeit, std::to_string(e.UpdateZeit));
    out.push_back('}');
    return out;
}

void appendList(std::string& out, ListKind kind, const ListSnapshot& list) {
    out += jsonString(wire::listIdentifier(static_cast<int>(kind)));
    out += ":[";
    for (std::size_t i = 0; i < list.entries.size(); ++i) {
        if (i > 0)
            out.push_back(',');
        out += entryJson(i < list.ids.size() ? list.ids[i] : 0, list.entries[i]);
    }
    out.push_back(']');
}

// The number of "/api/entries/N"; nothing for anything else (a sign, a leading zero, more
// digits than a row number has).
std::optional<std::int64_t> entryNumberOf(std::string_view path) {
    if (!path.starts_with(kEntryPrefix))
        return std::nullopt;
    const std::string_view digits = path.substr(kEntryPrefix.size());
    if (digits.empty() || digits.size() > 18 || digits.front() == '0' ||
        digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    std::int64_t number = 0;
    for (char c : digits)
        number = number * 10 + (c - '0');
    return number;
}

WebAnswer jsonError(int status, std::string_view message, std::string note) {
    return jsonAnswer(status, "{\"error\":" + jsonString(message) + "}", std::move(note));
}

WebAnswer problemAnswer(const EntryProblem& problem, std::string note) {
    std::string body = "{\"error\":" + jsonString(problem.message);
    if (!problem.field.empty())
        body += ",\"field\":" + jsonString(problem.field);
    body += "}";
    return jsonAnswer(problem.status, std::move(body), std::move(note));
}

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

// "scheme://host[:port]" of a URL, in lower case and without the port its scheme implies;
// empty for anything else ("null" included).
std::string originOf(std::string_view url) {
    const std::size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string_view::npos || schemeEnd == 0)
        return "";
    const std::string scheme = lowerCase(url.substr(0, schemeEnd));
    const std::string_view rest = url.substr(schemeEnd + 3);
    std::string authority = lowerCase(rest.substr(0, rest.find_first_of("/?#")));
    if (authority.empty())
        return "";
    const std::string_view implied = scheme == "http" ? ":80" : scheme == "https" ? ":443" : "";
    if (!implied.empty() && authority.ends_with(implied))
        authority.resize(authority.size() - implied.size());
    return scheme + "://" + authority;
}

// Whether a form was sent by this page. Browsers that send Sec-Fetch-Site say so themselves;
// of older ones the Origin (else the Referer) must be the page's own when they send one. A
// request that names neither is taken: this page sends no Referer, and older browsers no
// Origin with a form.
bool fromThisSite(const WebRequest& request) {
    if (!request.fetchSite.empty())
        return request.fetchSite == "same-origin" || request.fetchSite == "none";
    const std::string& named = !request.origin.empty() ? request.origin : request.referer;
    if (named.empty())
        return true;
    const std::string own = originOf((request.overTls ? "https://" : "http://") + request.host);
    return !own.empty() && originOf(named) == own;
}

} // namespace

std::string WebAnswer::sentText() const {
    if (!sharedBody || ownMembers.empty())
        return text();
    std::string sent;
    sent.reserve(ownMembers.size() + sharedBody->size() - 1);
    sent += ownMembers;
    sent.append(*sharedBody, 1);
    return sent;
}

WebRequest::~WebRequest() {
    sodium_memzero(body.data(), body.size());
}

bool isWebPath(std::string_view path) {
    return path == kRootPath || path == kLoginPath || path == kLogoutPath || path == kListsPath ||
           path == kWebScriptPath || path == kWebStylePath || path == kEntriesPath ||
           path.starts_with(kEntryPrefix) || path == kEventsPath;
}

std::size_t webBodyLimit(std::string_view path) {
    return path.starts_with(kEntriesPath) ? kMaxEntryBodyBytes : kMaxFormBytes;
}

const HeaderList& webSecurityHeaders() {
    static const HeaderList kHeaders = {
        {"Content-Security-Policy",
         "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; "
         "img-src 'self'; form-action 'self'; frame-ancestors 'none'; base-uri 'none'"},
        {"X-Content-Type-Options", "nosniff"},
        {"X-Frame-Options", "DENY"},
        {"Referrer-Policy", "no-referrer"},
        {"Cross-Origin-Opener-Policy", "same-origin"},
        {"Cross-Origin-Resource-Policy", "same-origin"},
    };
    return kHeaders;
}

std::string listsJson(const ListSnapshot& allied, const ListSnapshot& enemy) {
    std::string out = "{\"lists\":{";
    appendList(out, ListKind::Allied, allied);
    out.push_back(',');
    appendList(out, ListKind::Enemy, enemy);
    out += "}}";
    return out;
}

WebSite::WebSite(ListService& service, std::function<double()> monotonicSeconds,
                 std::size_t maxSessions)
    : service_(service), monotonicSeconds_(std::move(monotonicSeconds)), sessions_(maxSessions) {}

WebOutcome WebSite::handle(const WebRequest& request, GuardTicket& ticket) {
    const std::string& path = request.path;
    const bool get = request.method == "GET";
    const bool post = request.method == "POST";
    const bool put = request.method == "PUT";
    const bool entries = path == kEntriesPath || path.starts_with(kEntryPrefix);
    // A form of another site must neither log a member into a session of its choosing nor
    // log one out (the answer's cookie would replace the member's), nor write in its name.
    if ((post || put) && !fromThisSite(request)) {
        if (entries)
            return jsonError(403, "Einträge gehen nur von dieser Seite aus.",
                             "web: write of another site refused");
        return page(403, loginPage("Die Anmeldung geht nur von dieser Seite aus."),
                    "web: form of another site refused");
    }
    if (path == kEntriesPath)
        return post ? writeEntry(request, std::nullopt) : WebOutcome{methodNotAllowed("POST")};
    if (entries) {
        const std::optional<std::int64_t> number = entryNumberOf(path);
        if (!number)
            return jsonError(404, "Diesen Eintrag gibt es nicht.", "web: no such entry path");
        return put ? writeEntry(request, number) : WebOutcome{methodNotAllowed("PUT")};
    }
    if (path == kLoginPath)
        return post ? login(request, ticket) : WebOutcome{methodNotAllowed("POST")};
    if (path == kLogoutPath)
        return post ? logout(request) : methodNotAllowed("POST");
    if (!get)
        return methodNotAllowed("GET");
    if (path == kWebScriptPath)
        return WebAnswer{.status = 200,
                         .contentType = "text/javascript; charset=utf-8",
                         .body = std::string(webScript()),
                         .headers = {{"Cache-Control", "no-cache"}},
                         .note = "web: script",
                         .sharedBody = {},
                         .ownMembers = {}};
    if (path == kWebStylePath)
        return WebAnswer{.status = 200,
                         .contentType = "text/css; charset=utf-8",
                         .body = std::string(webStyle()),
                         .headers = {{"Cache-Control", "no-cache"}},
                         .note = "web: style",
                         .sharedBody = {},
                         .ownMembers = {}};
    if (path == kListsPath)
        return lists(request);
    if (path == kEventsPath) {
        try {
            if (std::optional<Member> member = memberOf(request))
                return WebStream{member->session.alliance, WebSessions::keyOf(member->token)};
        } catch (const std::exception& error) {
            return jsonError(503, "Die Datenbank ist gerade nicht erreichbar.",
                             std::string("web: events: database unavailable: ") + error.what());
        }
        return jsonError(401, "Nicht angemeldet.", "web: events without session");
    }
    try {
        if (auto member = memberOf(request))
            return page(200, listsPage(member->session.allianceName),
                        "web: page of alliance " + member->session.allianceName);
    } catch (const std::exception& error) {
        return page(503, loginPage("Die Datenbank ist gerade nicht erreichbar."),
                    std::string("web: database unavailable: ") + error.what());
    }
    return page(200, loginPage(""), "web: password form");
}

WebOutcome WebSite::login(const WebRequest& request, GuardTicket& ticket) {
    if (request.bodyTooLarge)
        return page(413, loginPage("Die Anmeldung war zu lang."), "web: login form too large");
    bool found = false;
    std::string password = formField(request.body, "passwort", &found);
    struct Wipe {
        std::string& text;
        ~Wipe() { sodium_memzero(text.data(), text.size()); }
    } wipe{password};
    if (!found || password.empty())
        return page(400, loginPage("Bitte das Passwort angeben."), "web: login without password");
    const std::string client = PasswordGuard::clientOf(request.clientAddress);
    if (!logins_.has(client, monotonicSeconds_()))
        return page(429,
                    loginPage("Zu viele Anmeldungen von dieser Adresse. Bitte warte eine Minute "
                              "und versuche es dann noch einmal."),
                    "web: too many logins from this address, password not checked");

    PasswordCheck check;
    try {
        check = service_.checkPassword(password, request.clientAddress, ticket);
    } catch (const std::exception& error) {
        return page(503, loginPage("Die Datenbank ist gerade nicht erreichbar."),
                    std::string("web: login failed: ") + error.what());
    }
    WebAnswer wrong = page(403, loginPage("Falsches Passwort."), "web: wrong password");
    switch (check.result) {
    case PasswordCheck::Result::Hold:
        return WebHold{check.until, std::nullopt};
    case PasswordCheck::Result::WrongLate:
        wrong.note += ", answered late: too many wrong passwords on the whole server";
        return WebHold{check.until, std::move(wrong)};
    case PasswordCheck::Result::Wrong:
        return wrong;
    case PasswordCheck::Result::Refused:
        return page(429,
                    loginPage("Zu viele Fehlversuche von dieser Adresse. Bitte warte einen "
                              "Moment und versuche es dann noch einmal."),
                    "web: held back after wrong passwords, password not checked");
    case PasswordCheck::Result::Right:
        break;
    }
    const double now = monotonicSeconds_();
    logins_.take(client, now);
    WebSession session;
    session.alliance = check.alliance->id;
    session.allianceName = nameAsUtf8(check.alliance->name);
    session.passwordHash = std::move(check.passwordHash);
    session.client = client;
    std::string token = sessions_.open(std::move(session), now);
    HeaderList headers = {
        {"Set-Cookie",
         cookieLine(token, static_cast<long>(WebSessions::kLifetimeSeconds), request.overTls)}};
    sodium_memzero(token.data(), token.size());
    return backToStart(std::move(headers), "web: login of alliance " + check.alliance->name);
}

WebAnswer WebSite::logout(const WebRequest& request) {
    sessions_.close(cookieValue(request.cookieHeader, kSessionCookie));
    return backToStart({{"Set-Cookie", cookieLine("", 0, request.overTls)}}, "web: logout");
}

WebAnswer WebSite::lists(const WebRequest& request) {
    try {
        const std::string token = cookieValue(request.cookieHeader, kSessionCookie);
        std::optional<SessionAsk> asked = sessions_.ask(token, monotonicSeconds_());
        if (asked && !allianceOf(asked->session, token))
            asked.reset();
        if (!asked)
            return jsonAnswer(401, "{\"error\":\"not logged in\"}", "web: lists without session");
        if (!asked->allowed) {
            WebAnswer refused = jsonAnswer(429, "{\"error\":\"too many requests\"}",
                                           "web: lists asked too often by one session");
            refused.headers.emplace_back(
                "Retry-After", std::to_string(static_cast<int>(WebSessions::kAskRefillSeconds)));
            return refused;
        }
        const WebSession& session = asked->session;
        Answer both = service_.bothLists(session.alliance, &listsJson);
        if (both.status != 200)
            return jsonAnswer(503, "{\"error\":\"busy\"}", "web: " + both.note);
        WebAnswer answer = jsonAnswer(
            200, "", "web: lists of alliance " + session.allianceName + ", " + both.note);
        answer.sharedBody = std::move(both.body);
        answer.headers.emplace_back(kCsrfHeader, session.csrf);
        // A client that sends the header takes the token from it: the shared body goes out
        // as it is, in one piece with the header. Others find the token in the body, as ever.
        if (!request.csrfHeader)
            answer.ownMembers = "{\"csrf\":" + jsonString(session.csrf) + ",";
        return answer;
    } catch (const std::exception& error) {
        return jsonAnswer(503, "{\"error\":\"database unavailable\"}",
                          std::string("web: database unavailable: ") + error.what());
    }
}

WebOutcome WebSite::writeEntry(const WebRequest& request, std::optional<std::int64_t> entryId) {
    const char* what = entryId ? "web: change" : "web: new entry";
    std::optional<Member> member;
    try {
        member = memberOf(request);
    } catch (const std::exception& error) {
        return jsonError(503, "Die Datenbank ist gerade nicht erreichbar.",
                         std::string(what) + ": database unavailable: " + error.what());
    }
    if (!member)
        return jsonError(401, "Nicht angemeldet.", std::string(what) + " without session");
    if (!sessions_.csrfMatches(member->token, request.csrfHeader.value_or("")))
        return jsonError(403, "Die Anfrage kam nicht von dieser Seite. Bitte die Seite neu laden.",
                         std::string(what) + " without the session's " + std::string(kCsrfHeader));
    if (request.bodyTooLarge)
        return jsonError(413, "Der Eintrag ist zu lang.", std::string(what) + ": body too large");
    auto body = readEntryBody(request.body);
    if (auto* problem = std::get_if<EntryProblem>(&body))
        return problemAnswer(*problem, std::string(what) + " refused: " + problem->field);
    EntryBody& entry = std::get<EntryBody>(body);
    EntryWrite write;
    try {
        write = service_.writeEntry(member->alliance, entry.list, entry.values, entryId,
                                    request.clientAddress);
    } catch (const std::exception& error) {
        return jsonError(500, "Der Eintrag wurde nicht gespeichert.",
                         std::string(what) + ": " + error.what());
    }
    if (auto* rejection = std::get_if<Rejection>(&write))
        return problemAnswer(problemOf(*rejection),
                             std::string(what) + " refused: " + rejection->reason);
    if (auto* refused = std::get_if<WriteBudgetUsedUp>(&write)) {
        WebAnswer answer = jsonError(429,
                                     "Zu viele Einträge in kurzer Zeit. Bitte warte einen Moment "
                                     "und versuche es dann noch einmal.",
                                     std::string(what) + ": " + refused->note);
        answer.headers.emplace_back("Retry-After", "10");
        return answer;
    }
    const bool created = !entryId;
    return WebWrite{
        std::move(std::get<Write>(write).run), [created](const Answer& stored) {
            const std::string& word = stored.text();
            if (word.starts_with("ready ")) {
                const std::string number = word.substr(6);
                return jsonAnswer(created ? 201 : 200, "{\"id\":" + number + "}",
                                  "web: " + stored.note);
            }
            if (word == "full")
                return jsonError(409, "Die Liste ist voll.", "web: " + stored.note);
            if (word == "gone")
                return jsonError(404, "Diesen Eintrag gibt es nicht mehr.", "web: " + stored.note);
            if (word == "Error2")
                return jsonError(503, "Die Datenbank ist gerade nicht erreichbar.",
                                 "web: " + stored.note);
            return jsonError(500, "Der Eintrag wurde nicht gespeichert.", "web: " + stored.note);
        }};
}

bool WebSite::sessionLasts(const std::string& sessionKey) {
    std::optional<WebSession> session = sessions_.findByKey(sessionKey, monotonicSeconds_());
    if (!session)
        return false;
    std::optional<Alliance> alliance = service_.allianceWithHash(session->passwordHash);
    if (!alliance || alliance->id != session->alliance) {
        sessions_.closeByKey(sessionKey);
        return false;
    }
    return true;
}

std::optional<WebSite::Member> WebSite::memberOf(const WebRequest& request) {
    std::string token = cookieValue(request.cookieHeader, kSessionCookie);
    std::optional<WebSession> session = sessions_.find(token, monotonicSeconds_());
    if (!session)
        return std::nullopt;
    std::optional<Alliance> alliance = allianceOf(*session, token);
    if (!alliance)
        return std::nullopt;
    return Member{std::move(*session), std::move(token), std::move(*alliance)};
}

std::optional<Alliance> WebSite::allianceOf(const WebSession& session, const std::string& token) {
    // A new password for the alliance, or its removal, ends the sessions it had.
    std::optional<Alliance> alliance = service_.allianceWithHash(session.passwordHash);
    if (!alliance || alliance->id != session.alliance) {
        sessions_.close(token);
        return std::nullopt;
    }
    return alliance;
}

} // namespace reef::listserver
