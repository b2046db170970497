#pragma once
// Drives the two fleet list windows of the real program as a player does: opens them from
// the main window (answering the password prompt or making sure none comes), presses their
// buttons and reads their rows and status fields back.

#include <windows.h>

#include <string>
#include <vector>

namespace reef::probe {

enum class ListKind { Allied, Enemy };

// "allied" or "enemy"; false for any other word.
bool parseListKind(const std::string& word, ListKind& kind);
const char* listWord(ListKind kind);
std::string listWindowTitle(ListKind kind);
int listColumnCount(ListKind kind);

struct ListWindow {
    HWND window = nullptr;
    HWND listView = nullptr;
    HWND statusBar = nullptr;
    HWND newButton = nullptr;
    HWND changeButton = nullptr;
    HWND refreshButton = nullptr;
};

// The open list window with its controls; window stays nullptr when it is not open.
ListWindow findListWindow(DWORD pid, ListKind kind, int timeoutMs = 20000);

// Clicks the list's button in the main window. With a password the prompt must come and is
// answered; without one no prompt may come. The windows are then moved apart, as a player
// drags them: allied top left, enemy below it, the main window at the right edge.
ListWindow openListWindow(DWORD pid, ListKind kind, const std::string& password);

// The program's own input requester or message box (a dialog window) with this title.
HWND findDialog(DWORD pid, const std::string& title);
// The texts of a dialog's static controls, then its buttons and fields in brackets.
std::string dialogText(HWND dialog);
// Prints the text of every "Error: Reef - Tools" box, presses its OK and returns how many
// there were: a box nobody expects would keep the program waiting.
int dismissErrorBoxes(DWORD pid);

// "Liste Aktualisieren", then waits for "Status: Fertig!" after a new update time.
bool downloadList(DWORD pid, const ListWindow& list, int timeoutMs = 30000);

std::string statusField(const ListWindow& list, int field); // alignment tabs removed

// A cache file of the kind in DIR: interval 0, the password, the default column widths,
// no rows. Its line ends are bare LF, which the program reads like CR LF and never writes,
// so a rewrite by the program shows in the bytes.
bool writePreparedCache(const std::string& dir, ListKind kind, const std::string& password);

} // namespace reef::probe
