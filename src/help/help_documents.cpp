#include "help/help_documents.h"

#include "platform/files.h"
#include "platform/platform.h"

#include <initializer_list>
#include <string>

#ifndef REEF_VERSION
#error "REEF_VERSION must be defined by the build"
#endif

namespace reef::help {

namespace {

constexpr std::string_view kRuleA =
    " -:-:-:-:-:-:-:-:-:-:-:-:-:-:-:-:-:-:-:-:-:-:-:-:-:-:-:-:-:-:-";
constexpr std::string_view kRuleB = " {|}-{|}-{|}-{|}-{|}-{|}-{|}-{|}-{|}-{|}-{|}-{|}-{|}-{|}-{|}";

// Lines joined with CR LF; nothing after the last one, as Notepad shows no empty last line.
std::string joinLines(std::initializer_list<std::string_view> lines) {
    std::string text;
    bool first = true;
    for (std::string_view line : lines) {
        if (!first) {
            text += "\r\n";
        }
        text += line;
        first = false;
    }
    return text;
}

// The header block every document starts with; the documents differ in the subtitle only.
std::string header(std::string_view subtitle) {
    return joinLines({
        kRuleA,
        "",
        "           Korallin:",
        "                        Toolsammlung",
        "",
        kRuleB,
        "",
        "",
        "    Hilfe zu Reef - Tools\t\tVersion: " REEF_VERSION,
        "",
        "",
        kRuleB,
        "",
        subtitle,
        "",
        kRuleA,
        "",
    });
}

std::string readme() {
    return header("      \t\tHilfe/ Erklärung zu allen Funktion") + "\r\n" +
           joinLines({
               "- \"ETA-Plan\"",
               "Mit 'Plan erstellen' wird aus den Angaben in den Eingabefeldern oben ein ETA-Plan "
               "erstellt und im Feld darunter angezeigt. Derselbe Plan wird sofort auch in die "
               "Zwischenablage kopiert, so dass man ihn gleich überall einfügen kann, zum Beispiel "
               "im Forum, im Chat oder in einer Ingame-Nachricht.",
               "Mit 'Einstellungen speichern' werden die Eingabefelder gespeichert. Beim nächsten "
               "Öffnen des ETA-Plan-Fensters werden sie wieder geladen.",
               "",
               "",
               "- \"Flottenverhältnis\"",
               "In der Zeile 'SOLL' gibt man ein Flottenverhältnis ein, also wie viele Schiffe "
               "jeder "
               "Klasse die Flotte haben soll. Sobald man in der Zeile 'HABEN' einen Wert einträgt, "
               "wird das Verhältnis automatisch an diese Menge angepasst und die übrigen Felder "
               "werden ausgefüllt. Am genauesten wird das Ergebnis, wenn man die Anzahl der "
               "Killerwale einträgt.",
               "Die Knöpfe zum Speichern und Laden arbeiten ohne Rückfrage: Beim Speichern werden "
               "die zuletzt gespeicherten Werte, beim Laden die Werte im Fenster ohne Nachfrage "
               "überschrieben.",
               "",
               "",
               "- \"Attgrenze\"",
               "Aus den eingegebenen Punkten wird berechnet, ab welcher Punktzahl ein Gegner zu "
               "stark ist, um ihn noch anzugreifen (Obergrenze), und unter welcher Punktzahl man "
               "selbst zu stark ist, um einen schwächeren Gegner anzugreifen (Untergrenze). Punkte "
               "als optische Trennzeichen (zum Beispiel 1.250.000) dürfen mit eingegeben werden.",
               "",
               "",
               "- \"Gegnerische/ Verbündete Flotte\"",
               "Bei vielen Mitgliedern, verbündeten Allianzen und Gegnern verliert man mit "
               "Ingame-Nachrichten allein schnell den Überblick, wessen Flotten gerade wohin "
               "unterwegs sind. Dafür gibt es die beiden Flottenlisten, die sich alle Mitglieder "
               "der Allianz teilen.",
               "",
               "In die Liste 'Gegnerische Flotten' gehören die Flottenbewegungen der Gegner, in "
               "die "
               "Liste 'Verbündete Flotten' die Flotten der eigenen und der verbündeten Allianzen. "
               "Eingetragen werden nur Flotten, die gleich starten oder schon unterwegs sind. Die "
               "wichtigste Angabe ist die Uhrzeit, zu der die Flotte wieder an ihrer Basis "
               "ankommt: "
               "Mit ihr lässt sich die Verteidigung planen, bevor der Gegner den ersten Zug macht.",
               "",
               "Jeder Eintrag muss geprüft und auf dem neuesten Stand gehalten werden, denn ein "
               "falscher oder veralteter Eintrag schadet mehr als gar keiner. Die Listen ersetzen "
               "nicht das Gespräch: Sprecht euch trotzdem weiterhin untereinander ab.",
               "",
               "Was die Angaben in der Spalte 'Hilfe-/ Status' bedeuten, steht unter der Liste, "
               "sobald man einen Eintrag auswählt. Im Eintragsfenster erklärt außerdem der Knopf "
               "'?' neben der Auswahl des Status alle möglichen Werte.",
               "",
               "Die Spalte 'Hilfe-/ Status' zeigt, wie dringend die Aufgabe der Flotte ist oder "
               "wie "
               "es gerade um sie steht. Ändert sich etwas, muss der Status sofort angepasst "
               "werden, "
               "damit sich alle darauf verlassen können.",
               "",
               kRuleA,
               "",
               "- Proxy",
               "Wer nur über einen Proxy ins Internet kommt, wendet sich bitte per "
               "Ingame-Nachricht "
               "an den Autor. Er schickt zwei Zusatzprogramme, mit denen das Tool über einen Proxy "
               "läuft, und eine Anleitung dazu.",
               "",
               "",
               "- Abschließendes",
               "Weitere Fragen sowie Hinweise auf Fehler oder Tippfehler bitte per "
               "Ingame-Nachricht "
               "an den Autor.",
           });
}

std::string alliedStatuses() {
    return header("      Bedeutung der Hilfestaten bei der Verbündetenliste") + "\r\n" +
           joinLines({
               "- \"OK\"",
               "Alles ist unter Kontrolle, weitere Hilfe wird nicht gebraucht.",
               "",
               "",
               "- \"Hilfe\"",
               "Der Spieler sucht Mitspieler, die ihm beim geplanten Angriff oder bei der "
               "geplanten "
               "Verteidigung helfen, und dazu Verteidiger für seine Basis, wenn seine Flotte "
               "zurückkehrt, denn sie könnte abgefangen werden. Wer helfen kann, meldet sich bitte "
               "bei ihm.",
               "",
               "- \"Deff\"",
               "Der Spieler braucht Verteidiger für seine Basis, wenn seine Flotte zurückkommt, "
               "denn "
               "sie könnte abgefangen werden. Wer helfen kann, meldet sich bitte bei ihm.",
               "",
               "- \"Ziel\"",
               "Der Spieler sucht Mitspieler, die ihm beim geplanten Angriff oder bei der "
               "geplanten "
               "Verteidigung helfen. Wer helfen kann, meldet sich bitte bei ihm.",
               "",
               "- \"Abbruch\"",
               "Die Aufgabe wurde oder wird vor der Ankunft der Flotte abgebrochen. Alle, die "
               "dasselbe Ziel haben, sollten ebenfalls abbrechen, sonst riskieren sie, ihre Flotte "
               "zu verlieren.",
           });
}

std::string enemyStatuses() {
    return header("      Bedeutung der Hilfestaten bei der Gegnerliste") + "\r\n" +
           joinLines({
               "- \"OK\"",
               "Alles ist unter Kontrolle.",
               "",
               "",
               "- \"Hilfe\"",
               "Das Ziel ist dem Angreifer vermutlich hilflos ausgeliefert, wenn ihm niemand zur "
               "Verteidigung zu Hilfe kommt. Wer helfen kann, meldet sich bitte bei ihm.",
               "",
               "- \"kann\"",
               "Das Ziel kann dem Angreifer vermutlich standhalten, ein zweiter Verteidiger würde "
               "aber mehr Punkte bringen. Wer helfen kann, meldet sich bitte bei ihm.",
               "",
               "- \"Achtung\"",
               "Der Eintrag stammt nicht vom Ziel selbst. Das Ziel ist nicht erreichbar und weiß "
               "nichts von dem Angriff; es wird seine Flotte vermutlich verlieren und die Allianz "
               "Punkte kosten. Wer sich selbst als Ziel eines solchen Eintrags wiederfindet, "
               "sollte "
               "dessen Hilfestatus sofort ändern.",
               "",
               "- \"gedefft\"",
               "Nur zu wählen, wenn als Auftrag 'Verteidigen' eingetragen ist: Der Gegner hat zum "
               "Beispiel seine Flotte in Sicherheit gebracht oder ist unterwegs, um jemand anderem "
               "zu helfen.",
           });
}

} // namespace

std::string_view helpDocumentFileName(HelpDocument document) {
    switch (document) {
    case HelpDocument::Readme:
        return "Readme.txt";
    case HelpDocument::AlliedStatuses:
        return "HilfeFrend.txt";
    case HelpDocument::EnemyStatuses:
        return "HilfeEnemy.txt";
    }
    return "Readme.txt";
}

std::string_view helpDocumentText(HelpDocument document) {
    static const std::string readmeText = readme();
    static const std::string alliedText = alliedStatuses();
    static const std::string enemyText = enemyStatuses();
    switch (document) {
    case HelpDocument::Readme:
        return readmeText;
    case HelpDocument::AlliedStatuses:
        return alliedText;
    case HelpDocument::EnemyStatuses:
        return enemyText;
    }
    return readmeText;
}

void writeHelpDocument(platform::Platform& platform, HelpDocument document) {
    const std::string fileName(helpDocumentFileName(document));
    // Rewritten on every request, so the user's changes to the file do not survive; a file
    // that cannot be replaced (read-only, locked) is left as it is and not shown.
    if (!platform::replaceFileBytes(fileName, std::string(helpDocumentText(document)))) {
        return;
    }
    platform.openInTextEditor(fileName);
}

} // namespace reef::help
