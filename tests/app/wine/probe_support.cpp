#include "probe_support.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace reef::probe {

namespace {

int failureCount = 0;

struct FindTopLevel {
    DWORD pid;
    std::wstring title; // empty: every visible window of the process
    std::vector<HWND> found;
};

BOOL CALLBACK findTopLevel(HWND hwnd, LPARAM param) {
    auto* f = reinterpret_cast<FindTopLevel*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != f->pid || !IsWindowVisible(hwnd)) {
        return TRUE;
    }
    wchar_t title[256] = {};
    GetWindowTextW(hwnd, title, 256);
    if (f->title.empty()) {
        f->found.push_back(hwnd);
    } else if (f->title == title && className(hwnd) != "#32770") {
        // The program's message boxes and input requesters are titled "Reef - Tools" like
        // its main window and lie above it: asked for the main window, the search would
        // otherwise hand out a question box, and the click meant for a button of the main
        // window would go nowhere. Dialogs are found by findDialog.
        f->found.push_back(hwnd);
    }
    return TRUE;
}

struct AsideSearch {
    DWORD pid;
    HWND keep;
};

BOOL CALLBACK moveAside(HWND hwnd, LPARAM param) {
    auto* a = reinterpret_cast<AsideSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == a->pid && hwnd != a->keep && IsWindowVisible(hwnd)) {
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return TRUE;
}

} // namespace

void check(bool ok, const std::string& what) {
    note((ok ? "ok: " : "FAIL: ") + what);
    failureCount += ok ? 0 : 1;
}

void note(const std::string& cp1252) {
    const std::wstring wide = widen(cp1252);
    std::string utf8(wide.size() * 4, '\0');
    utf8.resize(static_cast<std::size_t>(
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(),
                            static_cast<int>(utf8.size()), nullptr, nullptr)));
    std::printf("%s\n", utf8.c_str());
    std::fflush(stdout);
}

void fail(const std::string& what) {
    check(false, what);
}

int failures() {
    return failureCount;
}

std::wstring widen(const std::string& s) {
    std::wstring out(s.size(), L'\0');
    out.resize(static_cast<std::size_t>(MultiByteToWideChar(
        1252, 0, s.data(), static_cast<int>(s.size()), out.data(), static_cast<int>(out.size()))));
    return out;
}

std::string narrow(const std::wstring& s) {
    std::string out(s.size() * 2, '\0');
    out.resize(static_cast<std::size_t>(
        WideCharToMultiByte(1252, 0, s.data(), static_cast<int>(s.size()), out.data(),
                            static_cast<int>(out.size()), nullptr, nullptr)));
    return out;
}

std::string windowText(HWND hwnd) {
    wchar_t buffer[4096] = {};
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_BLOCK, 2000,
                        nullptr);
    return narrow(buffer);
}

std::string className(HWND hwnd) {
    wchar_t cls[128] = {};
    GetClassNameW(hwnd, cls, 128);
    return narrow(cls);
}

DWORD readPid(const std::string& dir) {
    std::ifstream in(dir + "\\pid");
    DWORD pid = 0;
    in >> pid;
    return pid;
}

DWORD startProgram(const std::string& exe, const std::string& arguments, const std::string& dir) {
    CreateDirectoryW(widen(dir).c_str(), nullptr);
    std::wstring command = L"\"" + widen(exe) + L"\"";
    if (!arguments.empty()) {
        command += L" " + widen(arguments);
    }
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        widen(dir).c_str(), &si, &pi)) {
        const DWORD error = GetLastError();
        fail("CreateProcess " + exe + " in \"" + dir + "\": error " + std::to_string(error));
        return 0;
    }
    std::ofstream(dir + "\\pid") << pi.dwProcessId;
    const bool shown = waitForWindow(pi.dwProcessId, "Reef - Tools") != nullptr;
    // Input sent before the program waits for its first event can get lost.
    WaitForInputIdle(pi.hProcess, 10000);
    // So can a click under way while the system activates the new window: the activation moves
    // the keyboard focus, and with it the pressed button's mouse capture. A user clicks a window
    // that is already in front.
    waitFor(
        [&] {
            DWORD owner = 0;
            GetWindowThreadProcessId(GetForegroundWindow(), &owner);
            return owner == pi.dwProcessId;
        },
        10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    check(shown, "main window appears");
    return shown ? pi.dwProcessId : 0;
}

HWND findWindow(DWORD pid, const std::string& title) {
    FindTopLevel f{pid, widen(title), {}};
    if (f.title.empty()) {
        return nullptr;
    }
    EnumWindows(findTopLevel, reinterpret_cast<LPARAM>(&f));
    return f.found.empty() ? nullptr : f.found.front();
}

HWND waitForWindow(DWORD pid, const std::string& title, int timeoutMs) {
    HWND found = nullptr;
    waitFor([&] { return (found = findWindow(pid, title)) != nullptr; }, timeoutMs);
    return found;
}

bool waitUntilGone(HWND window, int timeoutMs) {
    return waitFor([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

std::vector<HWND> topLevelWindows(DWORD pid) {
    FindTopLevel f{pid, L"", {}};
    EnumWindows(findTopLevel, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

std::vector<Child> childrenOf(HWND parent) {
    std::vector<Child> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
        children.push_back({child, className(child), windowText(child), r});
    }
    return children;
}

HWND childWithText(HWND parent, const std::string& text) {
    for (const Child& c : childrenOf(parent)) {
        if (c.text == text) {
            return c.hwnd;
        }
    }
    return nullptr;
}

HWND childAt(HWND parent, int x, int y) {
    for (const Child& c : childrenOf(parent)) {
        if (c.rect.left == x && c.rect.top == y) {
            return c.hwnd;
        }
    }
    return nullptr;
}

void moveMouseTo(int x, int y) {
    SetCursorPos(x, y);
    Sleep(100);
}

void pressMouseButton(POINT at) {
    // Under Wine the pointer the system keeps is set back to where the X server last showed
    // it whenever a program handles a pointer event that waited in its queue (a window mapped
    // under the X pointer, a busy program catching up): a click sent "where the pointer is"
    // then lands where it was, on the middle of the screen, which is the middle of the main
    // window as well, "Gegnerische Flotten". Both button events carry the point themselves.
    // Absolute input counts in 65536ths of the screen; rounded up, it names the same pixel.
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT inputs[2] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.dx = static_cast<LONG>((at.x * 65536LL + width - 1) / width);
        input.mi.dy = static_cast<LONG>((at.y * 65536LL + height - 1) / height);
        input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    }
    inputs[0].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    SendInput(2, inputs, sizeof(INPUT));
}

POINT pointAt(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    const POINT middle{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    moveMouseTo(middle.x, middle.y);
    return middle;
}

void clickAt(int x, int y) {
    moveMouseTo(x, y);
    pressMouseButton(POINT{x, y});
    Sleep(300);
}

namespace {

bool isGroupBox(HWND window) {
    return className(window) == "Button" &&
           (GetWindowLongW(window, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

} // namespace

void clickControl(HWND control) {
    if (!control) {
        // Its window is gone, or the program was too busy to tell the texts of its controls.
        // A click at the origin of a rectangle never read would land on whatever lies in the
        // corner of the screen (Wine's tray window); the caller sees that nothing happened.
        note("nothing to click: the control was not found");
        return;
    }
    // A click lands on whatever is under the pointer when the system takes it. Right after a
    // window opens or closes (another of the program's windows, the system tray's own window)
    // the activation can still move and take the pressed button's capture along: a user looks
    // that the window is in front and the button visible before clicking, and so does this.
    HWND top = GetAncestor(control, GA_ROOT);
    if (top && GetForegroundWindow() != top) {
        SetForegroundWindow(top);
    }
    waitFor([&] { return !top || GetForegroundWindow() == top; }, 3000);
    const POINT middle = pointAt(control);
    waitFor(
        [&] {
            POINT p{};
            GetCursorPos(&p);
            HWND under = WindowFromPoint(p);
            // The system finds no disabled or hidden window at a point: nothing to wait for.
            // Nor when it names the group box around a field: asked from another process, it
            // does not look through group boxes as a click does.
            return under == control || IsChild(control, under) || !IsWindowEnabled(control) ||
                   !IsWindowVisible(control) ||
                   (GetAncestor(under, GA_ROOT) == top && isGroupBox(under));
        },
        3000);
    POINT pointer{};
    GetCursorPos(&pointer);
    HWND under = WindowFromPoint(pointer);
    if (GetAncestor(under, GA_ROOT) != top && IsWindowEnabled(control) &&
        IsWindowVisible(control)) {
        // The click still goes to the control's middle; but the window in the way (or the
        // pointer moved back by Wine) is the first thing to know when a step goes wrong.
        // The captions the system keeps: a program that is busy does not hold this up.
        const auto caption = [](HWND window) {
            wchar_t text[256] = {};
            GetWindowTextW(window, text, 256);
            return narrow(text);
        };
        note("the pointer is not on \"" + caption(control) + "\" but on " + className(under) +
             " in \"" + caption(GetAncestor(under, GA_ROOT)) + "\"");
    }
    pressMouseButton(middle);
    Sleep(300);
}

void pressKey(WORD vk, bool shift) {
    std::vector<INPUT> inputs;
    auto key = [&](WORD code, bool up) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = code;
        in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(in);
    };
    if (shift) {
        key(VK_SHIFT, false);
    }
    key(vk, false);
    key(vk, true);
    if (shift) {
        key(VK_SHIFT, true);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    Sleep(100);
}

void typeText(const std::string& text) {
    for (wchar_t c : widen(text)) {
        INPUT inputs[2] = {};
        inputs[0].type = INPUT_KEYBOARD;
        inputs[0].ki.wScan = c;
        inputs[0].ki.dwFlags = KEYEVENTF_UNICODE;
        inputs[1] = inputs[0];
        inputs[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        SendInput(2, inputs, sizeof(INPUT));
        Sleep(30);
    }
    Sleep(200);
}

void replaceFieldText(HWND edit, const std::string& text) {
    clickControl(edit);
    pressKey(VK_END);
    pressKey(VK_HOME, true);
    pressKey(VK_DELETE);
    typeText(text);
}

bool chooseListItem(HWND comboBox, int index) {
    clickControl(comboBox); // opens the list
    pressKey(VK_HOME);
    for (int i = 0; i < index; ++i) {
        pressKey(VK_DOWN);
    }
    pressKey(VK_RETURN);
    DWORD_PTR selected = static_cast<DWORD_PTR>(-1);
    SendMessageTimeoutW(comboBox, CB_GETCURSEL, 0, 0, SMTO_BLOCK, 2000, &selected);
    return static_cast<int>(selected) == index;
}

bool quitProgram(DWORD pid, int timeoutMs) {
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
    HWND main = waitForWindow(pid, "Reef - Tools");
    if (!process || !main) {
        fail("running program");
        if (process) {
            CloseHandle(process);
        }
        return false;
    }
    // Other windows of the program may lie over the main window; the user drags them aside.
    AsideSearch aside{pid, main};
    EnumWindows(moveAside, reinterpret_cast<LPARAM>(&aside));
    Sleep(500);
    const POINT button = pointAt(childWithText(main, "Programm beenden"));
    const DWORD clicked = GetTickCount();
    pressMouseButton(button);
    const DWORD waited = WaitForSingleObject(process, static_cast<DWORD>(timeoutMs));
    note("the program ended " + std::to_string(GetTickCount() - clicked) +
         " ms after the click on \"Programm beenden\"");
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    check(waited == WAIT_OBJECT_0, "\"Programm beenden\" ends the process");
    check(code == 0, "exit code 0 (is " + std::to_string(code) + ")");
    return waited == WAIT_OBJECT_0 && code == 0;
}

} // namespace reef::probe
