// Drives the real ReefTools.exe under Wine the way a user does (mouse and keyboard input
// through SendInput) and reports what a user would see. Each command is one step of
// shell_under_wine.sh; the state between steps is the running program and a pid file.
//
//   wine_probe start EXE DIR      start EXE in DIR, wait for its main window, write DIR/pid
//   wine_probe layout DIR         main window: title, client size, the eight controls
//   wine_probe tooltip DIR        hover the tray icon and read its tooltip
//   wine_probe eta DIR            type into the ETA plan, press "Plan erstellen", write the
//                                 clipboard's CF_TEXT bytes to DIR/clipboard-cf-text.bin
//   wine_probe quit DIR           click "Programm beenden", expect exit code 0

#include <windows.h>

#include "probe_support.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace reef::probe;

int start(const std::string& exe, const std::string& dir) {
    startProgram(exe, "", dir);
    return failures();
}

int layout(const std::string& dir) {
    HWND main = waitForWindow(readPid(dir), "Reef - Tools");
    if (!main) {
        fail("main window");
        return 1;
    }
    RECT client{};
    GetClientRect(main, &client);
    check(client.right == 200 && client.bottom == 210, "client area 200 x 210 (is " +
                                                           std::to_string(client.right) + " x " +
                                                           std::to_string(client.bottom) + ")");
    const LONG style = GetWindowLongW(main, GWL_STYLE);
    check((style & WS_CAPTION) == WS_CAPTION && (style & WS_SYSMENU) && (style & WS_MINIMIZEBOX),
          "title bar, system menu and minimise box");
    check(!(style & WS_MAXIMIZEBOX) && !(style & WS_THICKFRAME), "no maximise box, fixed size");
    // The icon is checked inside the process by the backend's own tests: Wine answers
    // WM_GETICON from another process with nothing.

    struct Expected {
        const char* text;
        LONG x, y, w, h;
    };
    const Expected expected[] = {
        {"ETA-Plan erstellen", 5, 5, 190, 25},
        {"Flottenverhältnis", 5, 35, 190, 25},
        {"Attgrenze", 5, 65, 190, 25},
        {"Gegnerische Flotten", 5, 95, 190, 25},
        {"Verbündete Flotten", 5, 125, 190, 25},
        {"Programm beenden", 5, 178, 163, 25},
        {"?", 169, 178, 25, 25},
    };
    const std::vector<Child> children = childrenOf(main);
    check(children.size() == 8, "eight controls (is " + std::to_string(children.size()) + ")");
    for (const Expected& e : expected) {
        bool found = false;
        for (const Child& c : children) {
            if (c.text == e.text) {
                found = true;
                check(c.rect.left == e.x && c.rect.top == e.y &&
                          c.rect.right - c.rect.left == e.w && c.rect.bottom - c.rect.top == e.h,
                      std::string("button \"") + e.text + "\" at its place");
            }
        }
        check(found, std::string("button \"") + e.text + "\" exists");
    }
    bool notice = false;
    for (const Child& c : children) {
        if (c.rect.left == 5 && c.rect.top == 157 && c.rect.right == 195 && c.rect.bottom == 175) {
            notice = !c.text.empty();
        }
    }
    check(notice, "notice line at 5, 157, 190 x 18");
    return failures();
}

struct TooltipSearch {
    std::vector<std::string> texts;
};

BOOL CALLBACK collectTooltips(HWND hwnd, LPARAM param) {
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    if (std::wstring(cls) == L"tooltips_class32" && IsWindowVisible(hwnd)) {
        reinterpret_cast<TooltipSearch*>(param)->texts.push_back(windowText(hwnd));
    }
    return TRUE;
}

BOOL CALLBACK listTopLevel(HWND hwnd, LPARAM) {
    wchar_t cls[128] = {};
    GetClassNameW(hwnd, cls, 128);
    RECT r{};
    GetWindowRect(hwnd, &r);
    std::printf("top-level: class %s, %ld,%ld-%ld,%ld, visible %d\n", narrow(cls).c_str(), r.left,
                r.top, r.right, r.bottom, IsWindowVisible(hwnd) ? 1 : 0);
    return TRUE;
}

int tooltip(const std::string& dir) {
    (void)dir;
    // Without a system tray on the X side, Wine shows the icons in a small window of its own.
    HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
    if (!tray) {
        EnumWindows(listTopLevel, 0);
        fail("notification area window");
        return 1;
    }
    RECT client{};
    GetClientRect(tray, &client);
    POINT icon{8, client.bottom / 2};
    ClientToScreen(tray, &icon);
    TooltipSearch search;
    for (int attempt = 0; attempt < 5 && search.texts.empty(); ++attempt) {
        moveMouseTo(icon.x + attempt, icon.y);
        Sleep(1500);
        EnumWindows(collectTooltips, reinterpret_cast<LPARAM>(&search));
    }
    bool found = false;
    for (const std::string& t : search.texts) {
        note("tooltip shown: " + t);
        found = found || t == "Reef-Tool 0.2.3.5";
    }
    check(found, "tray icon tooltip \"Reef-Tool 0.2.3.5\"");
    moveMouseTo(600, 900);
    return failures();
}

int eta(const std::string& dir) {
    const DWORD pid = readPid(dir);
    HWND main = waitForWindow(pid, "Reef - Tools");
    if (!main) {
        fail("main window");
        return 1;
    }
    clickControl(childWithText(main, "ETA-Plan erstellen"));
    HWND window = waitForWindow(pid, "Reef - Tools: ETA-Plan");
    if (!window) {
        fail("ETA plan window opens");
        return 1;
    }
    std::vector<HWND> edits;
    for (const Child& c : childrenOf(window)) {
        if (c.className == "Edit" && !(GetWindowLongW(c.hwnd, GWL_STYLE) & ES_MULTILINE)) {
            edits.push_back(c.hwnd);
        }
    }
    if (edits.size() != 5) {
        fail("five fields in the ETA plan window");
        return 1;
    }
    replaceFieldText(edits[0], "Basis Müller");
    replaceFieldText(edits[4], "14:35");
    pressKey(VK_TAB); // leaving the field brings the time down to its tick
    check(windowText(edits[4]) == "14:20",
          "attack time normalised to 14:20 (is " + windowText(edits[4]) + ")");
    clickControl(childWithText(window, "Plan erstellen"));
    Sleep(500);

    std::string text;
    for (int attempt = 0; attempt < 20 && text.empty(); ++attempt) {
        if (OpenClipboard(nullptr)) {
            if (HANDLE data = GetClipboardData(CF_TEXT)) {
                text = static_cast<const char*>(GlobalLock(data));
                GlobalUnlock(data);
            }
            CloseClipboard();
        }
        Sleep(100);
    }
    std::ofstream(dir + "\\clipboard-cf-text.bin", std::ios::binary) << text;
    check(text.find("Ziel: Basis M\xFCller\r\n") != std::string::npos,
          "CF_TEXT holds the target in CP1252");
    check(text.find("ETA 00 | 14:20 -> Eintreffen der Flotten") != std::string::npos,
          "CF_TEXT holds the arrival line");
    return failures();
}

int quit(const std::string& dir) {
    quitProgram(readPid(dir));
    return failures();
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "start" && argc == 4) {
        return start(argv[2], argv[3]);
    }
    if (argc != 3) {
        std::printf("usage: wine_probe start EXE DIR | layout|tooltip|eta|quit DIR\n");
        return 2;
    }
    if (command == "layout") {
        return layout(argv[2]);
    }
    if (command == "tooltip") {
        return tooltip(argv[2]);
    }
    if (command == "eta") {
        return eta(argv[2]);
    }
    if (command == "quit") {
        return quit(argv[2]);
    }
    return 2;
}
