#include "listserver/web/web_site.h"

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
            .sharedBody = {}};
}

WebAnswer backToStart(HeaderList headers, std::string note) {
    headers.emplace_back("Location", "/");
    headers.emplace_back("Cache-Control", "no-store");
    return {.status = 303,
            .contentType = "text/plain; charset=utf-8",
            .body = "",
            .headers = std::move(headers),
            .note = std::move(note),
            .sharedBody = {}};
}

WebAnswer jsonAnswer(int status, std::string body, std::string note) {
    return {.status = status,
            .contentType = kJson,
            .body = std::move(body),
            .headers = {{"Cache-Control", "no-store"}},
            .note = std::move(note),
            .sharedBody = {}};
}

WebAnswer methodNotAllowed(const char* allowed) {
    return {.status = 405,
            .contentType = "text/plain; charset=utf-8",
            .body = "Methode nicht erlaubt\n",
            .headers = {{"Allow", allowed}},
            .note = "web: method not allowed",
            .sharedBody = {}};
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
    if (out.back() != '{')
        out.push_back(',');
    out += jsonString(wire::kFieldNames[wire::fieldIndex(field)]);
    out.push_back(':');
    out += value;
}

std::string entryJson(const FleetEntry& e) {
    using wire::WireField;
    auto text = [](const std::string& bytes) { return jsonString(text::cp1252ToUtf8(bytes)); };
    auto digits = [](std::int64_t value) { return jsonString(std::to_string(value)); };
    std::string out = "{";
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

void appendList(std::string& out, ListKind kind, const std::vector<FleetEntry>& entries) {
    out += jsonString(wire::listIdentifier(static_cast<int>(kind)));
    out += ":[";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i > 0)
            out.push_back(',');
        out += entryJson(entries[i]);
    }
    out.push_back(']');
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

WebRequest::~WebRequest() {
    sodium_memzero(body.data(), body.size());
}

bool isWebPath(std::string_view path) {
    return path == kRootPath || path == kLoginPath || path == kLogoutPath || path == kListsPath ||
           path == kWebScriptPath || path == kWebStylePath;
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

std::string listsJson(const std::vector<FleetEntry>& allied, const std::vector<FleetEntry>& enemy) {
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
    // A form of another site must neither log a member into a session of its choosing nor
    // log one out (the answer's cookie would replace the member's).
    if (post && !fromThisSite(request))
        return page(403, loginPage("Die Anmeldung geht nur von dieser Seite aus."),
                    "web: form of another site refused");
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
                         .sharedBody = {}};
    if (path == kWebStylePath)
        return WebAnswer{.status = 200,
                         .contentType = "text/css; charset=utf-8",
                         .body = std::string(webStyle()),
                         .headers = {{"Cache-Control", "no-cache"}},
                         .note = "web: style",
                         .sharedBody = {}};
    if (path == kListsPath)
        return lists(request);
    try {
        if (auto session = sessionOf(request))
            return page(200, listsPage(session->allianceName),
                        "web: page of alliance " + session->allianceName);
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
        std::optional<WebSession> session = sessionOf(request);
        if (!session)
            return jsonAnswer(401, "{\"error\":\"not logged in\"}", "web: lists without session");
        if (!sessions_.takeAsk(cookieValue(request.cookieHeader, kSessionCookie),
                               monotonicSeconds_())) {
            WebAnswer refused = jsonAnswer(429, "{\"error\":\"too many requests\"}",
                                           "web: lists asked too often by one session");
            refused.headers.emplace_back(
                "Retry-After", std::to_string(static_cast<int>(WebSessions::kAskRefillSeconds)));
            return refused;
        }
        Answer both = service_.bothLists(session->alliance, &listsJson);
        if (both.status != 200)
            return jsonAnswer(503, "{\"error\":\"busy\"}", "web: " + both.note);
        WebAnswer answer = jsonAnswer(
            200, "", "web: lists of alliance " + session->allianceName + ", " + both.note);
        answer.sharedBody = std::move(both.body);
        return answer;
    } catch (const std::exception& error) {
        return jsonAnswer(503, "{\"error\":\"database unavailable\"}",
                          std::string("web: database unavailable: ") + error.what());
    }
}

std::optional<WebSession> WebSite::sessionOf(const WebRequest& request) {
    const std::string token = cookieValue(request.cookieHeader, kSessionCookie);
    std::optional<WebSession> session = sessions_.find(token, monotonicSeconds_());
    if (!session)
        return std::nullopt;
    // A new password for the alliance, or its removal, ends the sessions it had.
    std::optional<Alliance> alliance = service_.allianceWithHash(session->passwordHash);
    if (!alliance || alliance->id != session->alliance) {
        sessions_.close(token);
        return std::nullopt;
    }
    return session;
}

} // namespace reef::listserver
