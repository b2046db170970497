// The real ReefTools.exe under Wine while a download waits on a list server that accepts the
// connection and never answers: the main window and the other list window must go on
// answering. Prints the figures it measured; the limit it checks is far above them and far
// below the ten seconds the download waits, so it tells a waiting window from a blocked one.
//
//   responsiveness_probe run EXE DIR     listener, Server.dat and cache files in DIR, start,
//                                        measure, then "Programm beenden" mid-download

// Winsock before everything that brings in windows.h.
#include <winsock2.h>

#include "list_window_driver.h"
#include "loopback_server.h"
#include "probe_support.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace reef::probe;
using Clock = std::chrono::steady_clock;

constexpr double kBlockedMs = 2000; // a window that takes longer waits on the network
constexpr int kRoundTrips = 20;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Figures {
    double median = 0;
    double max = 0;
};

// Messages the window's thread must take out of its queue and answer.
Figures roundTrips(HWND window) {
    std::vector<double> times;
    for (int i = 0; i < kRoundTrips; ++i) {
        const Clock::time_point start = Clock::now();
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 15000, &result)) {
            times.push_back(15000);
        } else {
            times.push_back(msSince(start));
        }
        Sleep(20);
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.back()};
}

// From the button press (the mouse already on the button) until the window it opens shows.
double clickUntilShown(HWND button, DWORD pid, const std::string& title) {
    const POINT middle = pointAt(button);
    const Clock::time_point start = Clock::now();
    pressMouseButton(middle);
    for (;;) {
        if (findWindow(pid, title)) {
            return msSince(start);
        }
        if (msSince(start) > 15000) {
            return 15000;
        }
        Sleep(2);
    }
}

std::string ms(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", value);
    return text;
}

int run(const std::string& exe, const std::string& dir) {
    CreateDirectoryW(widen(dir).c_str(), nullptr);
    // Accepts every connection and keeps it open without a word.
    LoopbackServer server([](SOCKET) { return false; });
    if (server.port() == 0) {
        fail("silent listener on loopback");
        return 1;
    }
    std::ofstream(dir + "\\Server.dat") << "Host = 127.0.0.1\r\nPort = " << server.port() << "\r\n";
    writePreparedCache(dir, ListKind::Allied, "stumm");
    writePreparedCache(dir, ListKind::Enemy, "stumm");
    const DWORD pid = startProgram(exe, "", dir);
    if (!pid) {
        return 1;
    }
    const ListWindow allied = openListWindow(pid, ListKind::Allied, "");
    const ListWindow enemy = openListWindow(pid, ListKind::Enemy, "");
    HWND main = findWindow(pid, "Reef - Tools");
    if (!allied.window || !enemy.window || !main) {
        return failures();
    }

    clickControl(allied.refreshButton);
    const bool waiting = waitFor(
        [&] {
            return server.accepted() > 0 && statusField(allied, 2) == "Status: warte auf Antwort";
        },
        10000);
    check(waiting, "the download waits on the silent server (\"" + statusField(allied, 2) + "\")");
    const Clock::time_point downloadWaits = Clock::now();

    const Figures mainTrips = roundTrips(main);
    const Figures enemyTrips = roundTrips(enemy.window);
    const double attackLimit =
        clickUntilShown(childWithText(main, "Attgrenze"), pid, "Reef - Tools: Attgrenze");
    const double enemyDialog =
        clickUntilShown(enemy.newButton, pid, "Reef - Tools: Gegnerrische Flotten - neuer Eintrag");
    const double measuredFor = msSince(downloadWaits);

    std::printf("main window, %d round trips: median %s, max %s\n", kRoundTrips,
                ms(mainTrips.median).c_str(), ms(mainTrips.max).c_str());
    std::printf("enemy list window, %d round trips: median %s, max %s\n", kRoundTrips,
                ms(enemyTrips.median).c_str(), ms(enemyTrips.max).c_str());
    std::printf("click \"Attgrenze\" in the main window -> its window shows after %s\n",
                ms(attackLimit).c_str());
    std::printf("click \"Neuer Eintrag\" in the enemy list -> its dialog shows after %s\n",
                ms(enemyDialog).c_str());
    check(mainTrips.max < kBlockedMs && enemyTrips.max < kBlockedMs,
          "both windows answer every message while the download waits");
    check(attackLimit < kBlockedMs, "the main window answers a click");
    check(enemyDialog < kBlockedMs, "the enemy list window answers a click");
    check(statusField(allied, 2) == "Status: warte auf Antwort",
          "the download still waits after " + ms(measuredFor) + " of measuring");

    note("\"Programm beenden\" while the download waits:");
    quitProgram(pid);
    return failures();
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "run") {
        return run(argv[2], argv[3]);
    }
    std::printf("usage: responsiveness_probe run EXE DIR\n");
    return 2;
}
