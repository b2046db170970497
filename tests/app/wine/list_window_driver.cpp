#include "list_window_driver.h"

#include "probe_support.h"
#include "remote_controls.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>

namespace reef::probe {

namespace {

struct DialogSearch {
    DWORD pid;
    std::wstring title;
    std::vector<HWND> found;
};

BOOL CALLBACK findDialogWindow(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<DialogSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t title[256] = {};
    GetWindowTextW(hwnd, title, 256);
    if (pid == search->pid && IsWindowVisible(hwnd) && className(hwnd) == "#32770" &&
        search->title == title) {
        search->found.push_back(hwnd);
    }
    return TRUE;
}

std::vector<HWND> dialogsWithTitle(DWORD pid, const std::string& title) {
    DialogSearch search{pid, widen(title), {}};
    EnumWindows(findDialogWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string withoutLeadingTabs(const std::string& text) {
    const std::size_t start = text.find_first_not_of('\t');
    return start == std::string::npos ? std::string() : text.substr(start);
}

// The allied list at the top left, the enemy list below it and the main window at the right
// edge, so that nothing covers anything a step clicks or a screenshot shows.
void placeWindows(DWORD pid, HWND listWindow, ListKind kind) {
    const auto moveTo = [](HWND window, int x, int y) {
        SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    };
    RECT list{};
    GetWindowRect(listWindow, &list);
    moveTo(listWindow, 0, kind == ListKind::Allied ? 0 : list.bottom - list.top);
    if (HWND main = findWindow(pid, "Reef - Tools")) {
        RECT r{};
        GetWindowRect(main, &r);
        moveTo(main, GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left), 0);
    }
    Sleep(200);
}

// The input requester shows its prompt in a static control of the dialog.
std::string promptText(HWND dialog) {
    for (const Child& child : childrenOf(dialog)) {
        if (child.className == "Static") {
            return child.text;
        }
    }
    return {};
}

HWND childOfClass(HWND parent, const std::string& cls) {
    for (const Child& child : childrenOf(parent)) {
        if (child.className == cls) {
            return child.hwnd;
        }
    }
    return nullptr;
}

} // namespace

bool parseListKind(const std::string& word, ListKind& kind) {
    if (word == "allied" || word == "enemy") {
        kind = word == "allied" ? ListKind::Allied : ListKind::Enemy;
        return true;
    }
    return false;
}

const char* listWord(ListKind kind) {
    return kind == ListKind::Allied ? "allied" : "enemy";
}

std::string listWindowTitle(ListKind kind) {
    return kind == ListKind::Allied ? "Reef - Tools: Verbündete Flotten"
                                    : "Reef - Tools: Gegnerische Flotten";
}

int listColumnCount(ListKind kind) {
    return kind == ListKind::Allied ? 16 : 17;
}

ListWindow findListWindow(DWORD pid, ListKind kind, int timeoutMs) {
    ListWindow list;
    HWND window = waitForWindow(pid, listWindowTitle(kind), timeoutMs);
    if (!window) {
        return list;
    }
    list.window = window;
    // The window shows before its controls are made, and a busy program answers the
    // questions about their texts late: asked again until all are there.
    waitFor(
        [&] {
            list.listView = childOfClass(window, "SysListView32");
            list.statusBar = childOfClass(window, "msctls_statusbar32");
            list.newButton = childWithText(window, "Neuer Eintrag");
            list.changeButton = childWithText(window, "Eintrag Aktualisieren");
            list.refreshButton = childWithText(window, "Liste Aktualisieren");
            return list.listView && list.statusBar && list.newButton && list.changeButton &&
                   list.refreshButton;
        },
        timeoutMs);
    return list;
}

HWND findDialog(DWORD pid, const std::string& title) {
    const std::vector<HWND> found = dialogsWithTitle(pid, title);
    return found.empty() ? nullptr : found.front();
}

std::string dialogText(HWND dialog) {
    std::string text;
    std::string buttons;
    for (const Child& child : childrenOf(dialog)) {
        if (child.className == "Static" && !child.text.empty()) {
            text += (text.empty() ? "" : " ") + child.text;
        } else if (child.className == "Button") {
            buttons += " [" + child.text + "]";
        } else if (child.className == "Edit") {
            buttons += " [field \"" + child.text + "\"]";
        }
    }
    return "\"" + text + "\"" + buttons;
}

int dismissErrorBoxes(DWORD pid) {
    int count = 0;
    for (HWND box : dialogsWithTitle(pid, "Error: Reef - Tools")) {
        note("message box \"Error: Reef - Tools\": " + dialogText(box));
        ++count;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    return count;
}

ListWindow openListWindow(DWORD pid, ListKind kind, const std::string& password) {
    HWND main = waitForWindow(pid, "Reef - Tools");
    const char* button = kind == ListKind::Allied ? "Verbündete Flotten" : "Gegnerische Flotten";
    if (!main) {
        fail("main window");
        return {};
    }
    HWND prompt = nullptr;
    const auto answered = [&] {
        return (prompt = findDialog(pid, "Reef - Tools")) != nullptr ||
               findWindow(pid, listWindowTitle(kind)) != nullptr;
    };
    clickControl(childWithText(main, button));
    // Under Wine a click can go nowhere while the system tray window of another program shows
    // or hides and takes the activation for a moment; a user then clicks once more. A second
    // click on a list that is already open only brings its window to the front.
    if (!waitFor(answered, 5000)) {
        note(std::string("no answer to the click on \"") + button + "\" yet: clicked again");
        clickControl(childWithText(main, button));
        waitFor(answered, 15000);
    }
    if (password.empty()) {
        check(prompt == nullptr,
              std::string(button) + ": no password prompt" +
                  (prompt ? " (a dialog shows " + dialogText(prompt) + ")" : ""));
        if (prompt) {
            PostMessageW(prompt, WM_COMMAND, IDCANCEL, 0);
        }
    } else if (!prompt) {
        fail(std::string(button) + ": the password prompt comes");
    } else {
        check(promptText(prompt) == "Bitte Passwort angeben (siehe Allianzforum):",
              "prompt \"" + promptText(prompt) + "\"");
        HWND field = childOfClass(prompt, "Edit");
        replaceFieldText(field, password);
        clickControl(childWithText(prompt, "OK"));
        check(waitUntilGone(prompt, 5000), "the prompt closes with OK");
    }
    ListWindow list = findListWindow(pid, kind);
    check(list.window && list.listView && list.statusBar && list.refreshButton,
          "window \"" + listWindowTitle(kind) + "\" with list view, status bar and buttons");
    if (list.window) {
        placeWindows(pid, list.window, kind);
    } else {
        // What stands in the way instead.
        for (HWND shown : topLevelWindows(pid)) {
            note("the program shows " + className(shown) + " \"" + windowText(shown) + "\"" +
                 (className(shown) == "#32770" ? ": " + dialogText(shown) : ""));
        }
    }
    return list;
}

std::string statusField(const ListWindow& list, int field) {
    return withoutLeadingTabs(statusBarText(list.statusBar, field));
}

bool downloadList(DWORD pid, const ListWindow& list, int timeoutMs) {
    if (!list.window) {
        fail("list window for the download");
        return false;
    }
    const std::string before = statusField(list, 0);
    // The update time shows seconds: the next one must differ from the one shown.
    Sleep(1100);
    clickControl(list.refreshButton);
    const bool done = waitFor(
        [&] {
            const std::string time = statusField(list, 0);
            return time.rfind("letzte Aktualisierung: ", 0) == 0 && time != before &&
                   time != "letzte Aktualisierung: aus Datei geladen" &&
                   statusField(list, 2) == "Status: Fertig!" && IsWindowEnabled(list.refreshButton);
        },
        timeoutMs);
    note("status: \"" + statusField(list, 0) + "\" | \"" + statusField(list, 1) + "\" | \"" +
         statusField(list, 2) + "\"");
    dismissErrorBoxes(pid);
    check(done, "\"Liste Aktualisieren\" ends with \"Status: Fertig!\"");
    return done;
}

bool writePreparedCache(const std::string& dir, ListKind kind, const std::string& password) {
    static constexpr std::array<std::int16_t, 17> kWidths = {80, 100, 50, 50, 80,  50,  70, 100, 70,
                                                             60, 80,  74, 74, 104, 104, 90, 95};
    std::string bytes(4, '\0'); // interval 0: no auto-update
    bytes += password + "\n";
    for (int column = 0; column < listColumnCount(kind); ++column) {
        const auto width = static_cast<std::uint16_t>(kWidths[static_cast<std::size_t>(column)]);
        bytes += static_cast<char>(width & 0xFF);
        bytes += static_cast<char>(width >> 8);
    }
    const std::string name = kind == ListKind::Allied ? "tblFrend.dat" : "tblEnemy.dat";
    std::ofstream file(dir + "\\" + name, std::ios::binary);
    file << bytes;
    return static_cast<bool>(file);
}

} // namespace reef::probe
