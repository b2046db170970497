#include "listserver/web/web_assets.h"

#include "listserver/web/web_page_files.h"
#include "listserver/web/web_text.h"

namespace reef::listserver {

namespace {

constexpr std::string_view kHead = R"(<!DOCTYPE html>
<html lang="de">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta name="referrer" content="no-referrer">
<title>Reef - Tools: Flottenlisten</title>
<link rel="stylesheet" href="/app.css">
)";

constexpr std::string_view kLoginBody = R"(</head>
<body class="anmeldung">
<main>
<h1>Reef - Tools</h1>
<p>Die Flottenlisten deiner Allianz</p>
<form method="post" action="/login">
<label for="passwort">Passwort</label>
<input id="passwort" name="passwort" type="password" autocomplete="current-password" required autofocus>
<button type="submit">Anmelden</button>
</form>
)";

constexpr std::string_view kListsBody = R"(<script src="/app.js" defer></script>
</head>
<body>
<header>
<h1>Reef - Tools</h1>
<p class="allianz">Allianz: <span id="allianz">@ALLIANCE@</span></p>
<p class="melden"><button type="button" id="benachrichtigungen" hidden>Benachrichtigungen erlauben</button> <span id="benachrichtigungen-hinweis"></span></p>
<form method="post" action="/logout"><button type="submit">Abmelden</button></form>
</header>
<p class="status"><span id="aktualisiert">letzte Aktualisierung: -</span> <span id="status">Status: Liste aktualisieren</span></p>
<section>
<h2>Verbündete Flotten</h2>
<div class="knoepfe"><button type="button" id="neu-Reef_Frend">Neuer Eintrag</button> <button type="button" id="aendern-Reef_Frend" disabled>Eintrag Aktualisieren</button> <button type="button" id="laden-Reef_Frend">Liste Aktualisieren</button></div>
<div class="liste" id="liste-Reef_Frend"></div>
<p class="hinweis" id="hinweis-Reef_Frend">Drücke auf einen Eintrag, um mehr über die Bedeutung der Spalte ''Hilfe'' zu erfahren.</p>
</section>
<section>
<h2>Gegnerische Flotten</h2>
<div class="knoepfe"><button type="button" id="neu-Reef_Enemy">Neuer Eintrag</button> <button type="button" id="aendern-Reef_Enemy" disabled>Eintrag Aktualisieren</button> <button type="button" id="laden-Reef_Enemy">Liste Aktualisieren</button></div>
<div class="liste" id="liste-Reef_Enemy"></div>
<p class="hinweis" id="hinweis-Reef_Enemy">Drücke auf einen Eintrag, um mehr über die Bedeutung der Spalte ''Hilfe'' zu erfahren.</p>
</section>
<noscript><p>Die Listen brauchen JavaScript.</p></noscript>
</body>
</html>
)";

} // namespace

std::string loginPage(std::string_view message) {
    std::string page(kHead);
    page += kLoginBody;
    if (!message.empty())
        page += "<p class=\"fehler\" id=\"meldung\">" + htmlEscape(message) + "</p>\n";
    page += "</main>\n</body>\n</html>\n";
    return page;
}

std::string listsPage(std::string_view allianceName) {
    std::string body(kListsBody);
    constexpr std::string_view kPlace = "@ALLIANCE@";
    body.replace(body.find(kPlace), kPlace.size(), htmlEscape(allianceName));
    return std::string(kHead) + body;
}

std::string_view webScript() {
    return page_files::kScript;
}

std::string_view webStyle() {
    return page_files::kStyle;
}

} // namespace reef::listserver
