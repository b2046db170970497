// Ends the Windows session for the real ReefTools.exe under Wine the way the system does:
// every top-level window of the process is asked with WM_QUERYENDSESSION, then told with
// WM_ENDSESSION (wParam TRUE). The program must consent and end on its own, with exit code 0,
// without asking anything (a question box would keep it alive).
//
//   session_end_probe end DIR     the process whose id wine_probe start wrote to DIR\pid

#include "probe_support.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using reef::probe::check;
using reef::probe::failures;

struct Windows {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK collect(HWND hwnd, LPARAM param) {
    auto* windows = reinterpret_cast<Windows*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == windows->pid) {
        windows->found.push_back(hwnd);
    }
    return TRUE;
}

int endSession(const std::string& dir) {
    DWORD pid = 0;
    std::ifstream(dir + "\\pid") >> pid;
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (process == nullptr) {
        check(false, "the program runs");
        return 1;
    }
    Windows windows{pid, {}};
    EnumWindows(collect, reinterpret_cast<LPARAM>(&windows));
    check(!windows.found.empty(), "the program has top-level windows");

    bool consent = true;
    for (HWND hwnd : windows.found) {
        DWORD_PTR answer = 0;
        if (SendMessageTimeoutW(hwnd, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer) !=
                0 &&
            answer == 0) {
            consent = false;
        }
    }
    check(consent, "every window consents to the end of the session");

    const auto told = std::chrono::steady_clock::now();
    for (HWND hwnd : windows.found) {
        // A window the program closed while handling the first one is gone already.
        if (IsWindow(hwnd)) {
            SendMessageTimeoutW(hwnd, WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
        }
    }
    const DWORD waited = WaitForSingleObject(process, 10000);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - told;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    check(waited == WAIT_OBJECT_0, "the process ends by itself");
    check(code == 0, "exit code 0 (is " + std::to_string(code) + ")");
    std::printf("ended %.0f ms after WM_ENDSESSION was sent\n", took.count());
    return failures();
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "end") {
        return endSession(argv[2]);
    }
    std::printf("usage: session_end_probe end DIR\n");
    return 2;
}
