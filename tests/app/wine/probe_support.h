#pragma once
// What every probe of the real program under Wine needs: the result lines, texts in
// Windows-1252, finding the program's windows and controls, and real mouse and keyboard
// input through SendInput. Used from the probes' single thread only.

#include <windows.h>

#include <string>
#include <vector>

namespace reef::probe {

// Prints "ok: what" or "FAIL: what"; failures() counts the second kind.
void check(bool ok, const std::string& what);
void fail(const std::string& what);
int failures();
// Prints one line of the probe's log. The probes' texts are Windows-1252 like the program's;
// the log is UTF-8 like everything else the test command prints.
void note(const std::string& cp1252);

std::wstring widen(const std::string& cp1252);
std::string narrow(const std::wstring& text);

// WM_GETTEXT rather than GetWindowText, which for another process's window returns the
// caption kept by the system instead of an edit control's text.
std::string windowText(HWND hwnd);
// The window's class name, e.g. "Edit", "Button", "ComboBox".
std::string className(HWND hwnd);

// The process id that "start" wrote into DIR\pid.
DWORD readPid(const std::string& dir);
// Starts EXE with the arguments in DIR (its working directory), writes DIR\pid and waits
// for the main window. Returns the process id, 0 on failure.
DWORD startProgram(const std::string& exe, const std::string& arguments, const std::string& dir);

// A visible top-level window of the process with exactly this title, or nullptr.
HWND findWindow(DWORD pid, const std::string& title);
HWND waitForWindow(DWORD pid, const std::string& title, int timeoutMs = 20000);
// Waits until the window is gone or hidden; true when it went within the time.
bool waitUntilGone(HWND window, int timeoutMs = 20000);
// Every visible top-level window of the process.
std::vector<HWND> topLevelWindows(DWORD pid);

struct Child {
    HWND hwnd;
    std::string className;
    std::string text;
    RECT rect; // in the parent's client coordinates
};
std::vector<Child> childrenOf(HWND parent);
HWND childWithText(HWND parent, const std::string& text);
// The child whose top-left corner lies at x, y of the parent's client area.
HWND childAt(HWND parent, int x, int y);

void moveMouseTo(int x, int y);
// A left click at this point of the screen, returning at once.
void pressMouseButton(POINT at);
// Moves the pointer to the middle of the window (without clicking) and returns that point.
POINT pointAt(HWND window);
void clickAt(int x, int y);
void clickControl(HWND control);
void pressKey(WORD vk, bool shift = false);
void typeText(const std::string& cp1252);
// Clears a field the way a user does (click, End, Shift+Home, Delete), then types.
void replaceFieldText(HWND edit, const std::string& cp1252);
// Opens a drop-down list with a click and picks the item at the index with the keyboard;
// true when the list then shows that item.
bool chooseListItem(HWND comboBox, int index);

// Polls the condition every 20 ms; true as soon as it holds.
template <typename Condition> bool waitFor(Condition condition, int timeoutMs) {
    for (int waited = 0;; waited += 20) {
        if (condition()) {
            return true;
        }
        if (waited >= timeoutMs) {
            return false;
        }
        Sleep(20);
    }
}

// Ends the process with "Programm beenden" in its main window (other windows of the
// program moved aside first, as a user drags them), checks exit code 0 and prints how long
// the program took to end after the click.
bool quitProgram(DWORD pid, int timeoutMs = 15000);

} // namespace reef::probe
