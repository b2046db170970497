// The fleet lists of the real ReefTools.exe under Wine against a real list server, driven
// with mouse and keyboard input. Each command is one step of fleet_lists_under_wine.sh or
// lists_through_proxies_under_wine.sh; between steps the state is the running program, its
// files in DIR and DIR\pid.
//
//   fleet_lists_probe cache DIR KIND PASSWORD     a cache file holding only the password
//   fleet_lists_probe start EXE DIR [ARGUMENT]    start the program in DIR
//   fleet_lists_probe open DIR KIND [PASSWORD]    open the list window; answer the password
//                                                 prompt, or without PASSWORD expect none
//   fleet_lists_probe add DIR KIND                a new entry through the entry dialog;
//                                                 the cells it must show go to DIR\expected-KIND
//   fleet_lists_probe change DIR                  change the ships of the allied row
//   fleet_lists_probe download DIR KIND           "Liste Aktualisieren"
//   fleet_lists_probe rows DIR KIND               the one row shows DIR\expected-KIND
//   fleet_lists_probe scroll DIR KIND             the list view to its right end (for a
//                                                 screenshot of the countdown columns)
//   fleet_lists_probe balloon DIR TEXT            the shell shows a balloon of the tray icon
//                                                 whose text holds TEXT, until it goes
//   fleet_lists_probe quit DIR                    "Programm beenden", exit code 0
//
// KIND is allied or enemy.

#include "list_window_driver.h"
#include "probe_support.h"
#include "remote_controls.h"

#include <commctrl.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace reef::probe;

// Column of the list view -> the text the row must show there.
using ExpectedCells = std::map<int, std::string>;

// What the dialogs are filled with, and the points as the row shows them. Blanks reach the
// server as "_" and come back so; the umlauts and the "&" must survive the trip both ways.
struct TypedEntry {
    const char* name;
    const char* allianz;
    const char* basis;
    const char* punkte;
    const char* punkteShown;
    const char* schiffe;
    int modus; // index in the mission list
    const char* zielName;
    const char* zielAllianz;
    const char* zielBasis;
    const char* zielPunkte;
    const char* zielPunkteShown;
    int hilfe; // index in the help list
};

constexpr TypedEntry kAlliedEntry{.name = "Jörg Müller",
                                  .allianz = "Korallen",
                                  .basis = "1:2:3",
                                  .punkte = "1234567",
                                  .punkteShown = "1.234.567",
                                  .schiffe = "500",
                                  .modus = 1,
                                  .zielName = "Bär & Co",
                                  .zielAllianz = "",
                                  .zielBasis = "4:5:6",
                                  .zielPunkte = "",
                                  .zielPunkteShown = "n/a",
                                  .hilfe = 2};
constexpr TypedEntry kEnemyEntry{.name = "Räuber",
                                 .allianz = "Feinde",
                                 .basis = "7:8:9",
                                 .punkte = "",
                                 .punkteShown = "n/a",
                                 .schiffe = "1200",
                                 .modus = 2,
                                 .zielName = "Jörg Müller",
                                 .zielAllianz = "Korallen",
                                 .zielBasis = "1:2:3",
                                 .zielPunkte = "999",
                                 .zielPunkteShown = "999",
                                 .hilfe = 3};

const char* const kMissions[] = {"n/a", "Verteidigen", "Angreifen"};
const char* const kAlliedHelp[] = {"OK", "Hilfe", "Deff", "Ziel", "Abbruch"};
const char* const kEnemyHelp[] = {"OK", "Hilfe", "kann", "Achtung", "gedefft"};

std::string blanksAsUnderscores(std::string text) {
    for (char& c : text) {
        c = c == ' ' ? '_' : c;
    }
    return text;
}

std::string twoDigits(int value) {
    return std::string(1, static_cast<char>('0' + value / 10)) +
           static_cast<char>('0' + value % 10);
}

// A clock time some hours ahead, typed 7 minutes past a 20-minute mark so that the dialog's
// snapping shows; the row then shows the snapped time.
struct ClockTime {
    std::string typed;
    std::string shown;
};

ClockTime hoursAhead(int hours) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const int hour = (now.wHour + hours) % 24;
    const int minute = now.wMinute / 20 * 20;
    return {twoDigits(hour) + ":" + twoDigits(minute + 7),
            twoDigits(hour) + ":" + twoDigits(minute) + ":00"};
}

std::string expectedFile(const std::string& dir, ListKind kind) {
    return dir + "\\expected-" + listWord(kind) + ".txt";
}

void saveExpected(const std::string& dir, ListKind kind, const ExpectedCells& cells) {
    std::ofstream file(expectedFile(dir, kind), std::ios::binary);
    for (const auto& [column, text] : cells) {
        file << column << '\t' << text << '\n';
    }
}

ExpectedCells loadExpected(const std::string& dir, ListKind kind) {
    ExpectedCells cells;
    std::ifstream file(expectedFile(dir, kind), std::ios::binary);
    for (std::string line; std::getline(file, line);) {
        const std::size_t tab = line.find('\t');
        if (tab != std::string::npos) {
            cells[std::stoi(line.substr(0, tab))] = line.substr(tab + 1);
        }
    }
    return cells;
}

std::string dialogTitle(ListKind kind, bool change) {
    return std::string(kind == ListKind::Allied ? "Reef - Tools: Verbündete Flotten - "
                                                : "Reef - Tools: Gegnerrische Flotten - ") +
           (change ? "Eintrag ändern" : "neuer Eintrag");
}

// The dialog's controls at their places in its client area.
struct DialogFields {
    HWND name, allianz, basis, punkte, schiffe, modus;
    HWND zielName, zielAllianz, zielBasis, zielPunkte;
    HWND amZiel, rueckkehr, hilfe, von, password, submit;
};

DialogFields dialogFields(HWND dialog, ListKind kind) {
    const bool enemy = kind == ListKind::Enemy;
    return {childAt(dialog, 70, 25),
            childAt(dialog, 70, 42),
            childAt(dialog, 70, 59),
            childAt(dialog, 70, 76),
            childAt(dialog, 70, 93),
            childAt(dialog, 70, 110),
            childAt(dialog, 305, 25),
            childAt(dialog, 305, 42),
            childAt(dialog, 305, 59),
            childAt(dialog, 305, 76),
            childAt(dialog, 315, 130),
            childAt(dialog, 315, 147),
            childAt(dialog, 310, enemy ? 191 : 184),
            enemy ? childAt(dialog, 20, 181) : nullptr,
            enemy ? childAt(dialog, 290, 215) : childAt(dialog, 55, 183),
            childWithText(dialog, "Übernehmen")};
}

bool allFound(const DialogFields& f, ListKind kind) {
    const HWND all[] = {f.name,   f.allianz,   f.basis,       f.punkte,    f.schiffe,
                        f.modus,  f.zielName,  f.zielAllianz, f.zielBasis, f.zielPunkte,
                        f.amZiel, f.rueckkehr, f.hilfe,       f.password,  f.submit};
    for (HWND hwnd : all) {
        if (!hwnd) {
            return false;
        }
    }
    return kind == ListKind::Allied || f.von != nullptr;
}

// "Übernehmen", then the dialog must close (the server took the entry) with "Status: Fertig!".
bool submitDialog(DWORD pid, HWND dialog, const DialogFields& fields, const ListWindow& list) {
    check(IsWindowEnabled(fields.submit), "\"Übernehmen\" is enabled once the fields are filled");
    clickControl(fields.submit);
    const bool closed = waitUntilGone(dialog, 20000);
    dismissErrorBoxes(pid);
    check(closed, "the dialog closes: the server took the entry");
    check(statusField(list, 2) == "Status: Fertig!",
          "status \"" + statusField(list, 2) + "\" after the submission");
    return closed;
}

int add(const std::string& dir, ListKind kind) {
    const DWORD pid = readPid(dir);
    const ListWindow list = findListWindow(pid, kind);
    if (!list.window) {
        fail("list window open");
        return 1;
    }
    clickControl(list.newButton);
    HWND dialog = waitForWindow(pid, dialogTitle(kind, false));
    if (!dialog) {
        fail("dialog \"" + dialogTitle(kind, false) + "\" opens");
        return 1;
    }
    const DialogFields f = dialogFields(dialog, kind);
    if (!allFound(f, kind)) {
        fail("every field of the dialog at its place");
        return 1;
    }
    const TypedEntry& e = kind == ListKind::Allied ? kAlliedEntry : kEnemyEntry;
    const ClockTime amZiel = hoursAhead(3);
    const ClockTime rueckkehr = hoursAhead(5);
    if (kind == ListKind::Allied) {
        check(!IsWindowEnabled(f.submit), "\"Übernehmen\" starts disabled in a new allied entry");
    } else {
        // The allied entry before this one saved the player's own name, which the enemy
        // dialog takes as the one who enters; nothing else is checked before the first event.
        check(windowText(f.von) == kAlliedEntry.name,
              "\"Eintragung getätigt von\" holds the saved own name (is \"" + windowText(f.von) +
                  "\")");
        check(IsWindowEnabled(f.submit), "\"Übernehmen\" starts enabled with that name");
    }
    replaceFieldText(f.name, e.name);
    replaceFieldText(f.allianz, e.allianz);
    replaceFieldText(f.basis, e.basis);
    replaceFieldText(f.punkte, e.punkte);
    replaceFieldText(f.schiffe, e.schiffe);
    check(chooseListItem(f.modus, e.modus), std::string("mission \"") + kMissions[e.modus] + "\"");
    replaceFieldText(f.zielName, e.zielName);
    replaceFieldText(f.zielAllianz, e.zielAllianz);
    replaceFieldText(f.zielBasis, e.zielBasis);
    replaceFieldText(f.zielPunkte, e.zielPunkte);
    const char* helpName = (kind == ListKind::Allied ? kAlliedHelp : kEnemyHelp)[e.hilfe];
    check(chooseListItem(f.hilfe, e.hilfe), std::string("help \"") + helpName + "\"");
    replaceFieldText(f.amZiel, amZiel.typed);
    replaceFieldText(f.rueckkehr, rueckkehr.typed);
    pressKey(VK_TAB); // leaving "Rückkehr" snaps it to its tick and checks the fields
    check(windowText(f.rueckkehr) == rueckkehr.shown.substr(0, 5),
          "\"Rückkehr\" " + rueckkehr.typed + " snapped to " + windowText(f.rueckkehr));
    if (!submitDialog(pid, dialog, f, list)) {
        return failures();
    }

    const auto orNa = [](const char* text) { return *text ? blanksAsUnderscores(text) : "n/a"; };
    ExpectedCells cells{{0, helpName},
                        {1, blanksAsUnderscores(e.name)},
                        {2, orNa(e.allianz)},
                        {3, e.basis},
                        {4, e.punkteShown},
                        {5, e.schiffe},
                        {6, kMissions[e.modus]},
                        {7, blanksAsUnderscores(e.zielName)},
                        {8, orNa(e.zielAllianz)},
                        {9, e.zielBasis},
                        {10, e.zielPunkteShown},
                        {12, amZiel.shown},
                        {14, rueckkehr.shown}};
    if (kind == ListKind::Enemy) {
        cells[16] = blanksAsUnderscores(kAlliedEntry.name);
    }
    saveExpected(dir, kind, cells);
    return failures();
}

int change(const std::string& dir) {
    const DWORD pid = readPid(dir);
    const ListWindow list = findListWindow(pid, ListKind::Allied);
    if (!list.window || listViewRowCount(list.listView) < 1) {
        fail("allied list window with a row");
        return 1;
    }
    const RECT row = listViewRowRect(list.listView, 0);
    clickAt(row.left + 30, (row.top + row.bottom) / 2);
    check(listViewSelectedRow(list.listView) == 0, "a click selects the row");
    check(IsWindowEnabled(list.changeButton), "\"Eintrag Aktualisieren\" is enabled");
    const std::string description = windowText(childAt(list.window, 0, 156));
    // The sentence of "Deff", the help status the entry was added with.
    check(description == blanksAsUnderscores(kAlliedEntry.name) +
                             " hat genug Schiffe für das Ziel und sucht Deffer bei Rückkehr. "
                             "Kontaktieren!",
          "the description line explains the row's help status: " + description);
    clickControl(list.changeButton);
    HWND dialog = waitForWindow(pid, dialogTitle(ListKind::Allied, true));
    if (!dialog) {
        fail("dialog \"" + dialogTitle(ListKind::Allied, true) + "\" opens");
        return 1;
    }
    const DialogFields f = dialogFields(dialog, ListKind::Allied);
    if (!allFound(f, ListKind::Allied)) {
        fail("every field of the dialog at its place");
        return 1;
    }
    ExpectedCells cells = loadExpected(dir, ListKind::Allied);
    check(windowText(f.name) == cells[1], "the name comes from the row");
    check(windowText(f.schiffe) == cells[5], "the ships come from the row");
    check(windowText(f.hilfe) == cells[0], "the help status comes from the row");
    replaceFieldText(f.schiffe, "750");
    check(chooseListItem(f.hilfe, 3), "help \"Ziel\"");
    pressKey(VK_TAB);
    if (!submitDialog(pid, dialog, f, list)) {
        return failures();
    }
    cells[0] = kAlliedHelp[3];
    cells[5] = "750";
    saveExpected(dir, ListKind::Allied, cells);
    return failures();
}

bool isClockTime(const std::string& text) {
    return text.size() == 8 && text[2] == ':' && text[5] == ':' &&
           text.find_first_not_of("0123456789:") == std::string::npos;
}

bool isTickCount(const std::string& text) {
    return !text.empty() && text.size() <= 2 &&
           text.find_first_not_of("0123456789") == std::string::npos;
}

int rows(const std::string& dir, ListKind kind) {
    const ListWindow list = findListWindow(readPid(dir), kind);
    if (!list.window) {
        fail("list window open");
        return 1;
    }
    const auto shown = listViewRows(list.listView, listColumnCount(kind));
    for (const auto& row : shown) {
        std::string line;
        for (const std::string& cell : row) {
            line += "[" + cell + "]";
        }
        note("row: " + line);
    }
    check(shown.size() == 1, "one row (is " + std::to_string(shown.size()) + ")");
    if (shown.empty()) {
        return failures();
    }
    const ExpectedCells expected = loadExpected(dir, kind);
    check(!expected.empty(), "the cells the row must show are known");
    for (const auto& [column, text] : expected) {
        const std::string& cell = shown[0][static_cast<std::size_t>(column)];
        check(cell == text, "column " + std::to_string(column) + " \"" + cell + "\"" +
                                (cell == text ? "" : ", expected \"" + text + "\""));
    }
    check(isTickCount(shown[0][13]), "ticks until the return \"" + shown[0][13] + "\"");
    check(isClockTime(shown[0][15]), "update time \"" + shown[0][15] + "\"");
    return failures();
}

// The shell draws the tray icon's balloon as a tooltip window of its own process; its text
// is the notification's text.
int balloon(const std::string& expected) {
    struct Shown {
        std::string texts;
        HWND match = nullptr;
        const std::string* expected = nullptr;
    } shown;
    shown.expected = &expected;
    const bool found = waitFor(
        [&] {
            shown.texts.clear();
            shown.match = nullptr;
            EnumWindows(
                [](HWND window, LPARAM data) -> BOOL {
                    auto& seen = *reinterpret_cast<Shown*>(data);
                    if (IsWindowVisible(window) && className(window) == "tooltips_class32") {
                        const std::string text = windowText(window);
                        seen.texts += text + "\n";
                        if (text.find(*seen.expected) != std::string::npos) {
                            seen.match = window;
                        }
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&shown));
            return shown.match != nullptr;
        },
        10000);
    note("balloons shown: " + shown.texts);
    check(found, "a balloon begins \"" + expected + "\"");
    if (!found) {
        return failures();
    }
    // The shell gives it some seconds (Wine's shell takes no clicks on it), then it goes and
    // leaves the windows below it to the next steps.
    check(waitFor([&] { return !IsWindow(shown.match) || !IsWindowVisible(shown.match); }, 40000),
          "the balloon goes after its time");
    return failures();
}

int usage() {
    std::printf(
        "usage: fleet_lists_probe cache DIR KIND PASSWORD | start EXE DIR [ARGUMENT] |\n"
        "       open DIR KIND [PASSWORD] | add|download|rows|scroll DIR KIND | change|quit DIR |\n"
        "       balloon DIR TEXT\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() < 2) {
        return usage();
    }
    const std::string& command = args[0];
    if (command == "start" && (args.size() == 3 || args.size() == 4)) {
        return startProgram(args[1], args.size() == 4 ? args[3] : "", args[2]) ? failures() : 1;
    }
    const std::string& dir = args[1];
    if (command == "change" && args.size() == 2) {
        return change(dir);
    }
    if (command == "balloon" && args.size() == 3) {
        return balloon(args[2]);
    }
    if (command == "quit" && args.size() == 2) {
        quitProgram(readPid(dir));
        return failures();
    }
    ListKind kind{};
    if (args.size() < 3 || !parseListKind(args[2], kind)) {
        return usage();
    }
    if (command == "cache" && args.size() == 4) {
        check(writePreparedCache(dir, kind, args[3]), "prepared cache file in \"" + dir + "\"");
        return failures();
    }
    if (command == "open" && args.size() <= 4) {
        openListWindow(readPid(dir), kind, args.size() == 4 ? args[3] : "");
        return failures();
    }
    if (command == "add" && args.size() == 3) {
        return add(dir, kind);
    }
    if (command == "download" && args.size() == 3) {
        const DWORD pid = readPid(dir);
        downloadList(pid, findListWindow(pid, kind));
        return failures();
    }
    if (command == "rows" && args.size() == 3) {
        return rows(dir, kind);
    }
    if (command == "scroll" && args.size() == 3) {
        const ListWindow list = findListWindow(readPid(dir), kind);
        DWORD_PTR scrolled = 0;
        check(list.listView &&
                  SendMessageTimeoutW(list.listView, LVM_SCROLL, 2000, 0, SMTO_BLOCK, 5000,
                                      &scrolled) &&
                  scrolled,
              "list view scrolled to the right");
        return failures();
    }
    return usage();
}
