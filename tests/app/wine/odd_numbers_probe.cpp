// The real ReefTools.exe under Wine against a list server that answers with numbers no list
// server of this program sends: return times of 200000, -10000, 2147483647 and -2147483648
// seconds, a help code 99, a mission 7 and a ship count past 32 bits. Every row must be shown,
// the windows must go on answering, "Programm beenden" must end the program with exit code 0,
// and the rows must be in the cache file.
//
//   odd_numbers_probe run EXE DIR    serves the list on a loopback port named in DIR\Server.dat,
//                                    downloads it into the allied list, checks the rows, writes
//                                    DIR\shown and waits (at most 60 s) for DIR\shot, the sign
//                                    that the screenshot has been taken; then ends the program
//                                    and reads DIR\tblFrend.dat back

// Winsock before everything that brings in windows.h.
#include <winsock2.h>

#include "fleetlists/list_cache.h"
#include "list_window_driver.h"
#include "loopback_server.h"
#include "probe_support.h"
#include "remote_controls.h"

#include <commctrl.h>

#include <atomic>
#include <cstdint>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace reef::probe;

struct OddRow {
    const char* name;
    const char* hilfe;
    const char* modus;
    const char* basisZeit;
    std::int32_t basisZeitValue;
};

constexpr OddRow kOddRows[] = {
    {"Tag", "0", "2", "200000", 200000},
    {"Minus", "1", "1", "-10000", -10000},
    {"Max", "99", "7", "2147483647", 2147483647},
    {"Min", "2", "0", "-2147483648", -2147483647 - 1},
};

std::string value(const std::string& text) {
    return "<|" + text + "|>";
}

// Fifteen values in the order of the wire: Hilfe, Name, Allianz, Basis, Punkte, Schiffe,
// Modus, ZielName, ZielAllianz, ZielBasis, ZielPunkte, Von, ZielZeit, BasisZeit, UpdateZeit.
std::string record(const std::string& hilfe, const std::string& name, const std::string& modus,
                   const std::string& zielZeit, const std::string& basisZeit) {
    return value(hilfe) + value(name) + value("") + value("1:2:3") + value("1234567") +
           value("5000000000") + value(modus) + value("Otto") + value("") + value("4:5:6") +
           value("0") + value("") + value(zielZeit) + value(basisZeit) + value("1700000000");
}

std::string oddList() {
    std::string body = "|>Update<|";
    for (const OddRow& row : kOddRows) {
        body += record(row.hilfe, row.name, row.modus, "-5", row.basisZeit);
    }
    // One ordinary row, which sorts before all of them.
    body += record("0", "Normal", "2", "", "0");
    return "HTTP/1.0 200 OK\r\n\r\n" + body + "<>end|<>";
}

// Reads a request up to its empty line, answers it with the list; the connection is done.
bool answerWithOddList(SOCKET client) {
    std::string request;
    char buffer[1024];
    while (request.find("\r\n\r\n") == std::string::npos) {
        const int got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) {
            break;
        }
        request.append(buffer, static_cast<std::size_t>(got));
    }
    const std::string answer = oddList();
    send(client, answer.data(), static_cast<int>(answer.size()), 0);
    shutdown(client, SD_SEND);
    return true;
}

bool answers(HWND window) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &result) != 0;
}

void checkRows(const ListWindow& list) {
    const auto shown = listViewRows(list.listView, listColumnCount(ListKind::Allied));
    std::map<std::string, std::vector<std::string>> byName;
    for (const auto& row : shown) {
        std::string line;
        for (const std::string& cell : row) {
            line += "[" + cell + "]";
        }
        note("row: " + line);
        byName[row[1]] = row;
    }
    check(shown.size() == 5, "five rows (are " + std::to_string(shown.size()) + ")");
    check(!shown.empty() && shown[0][1] == "Normal", "the ordinary row comes first");
    for (const OddRow& odd : kOddRows) {
        const auto found = byName.find(odd.name);
        if (found == byName.end()) {
            fail(std::string("the row ") + odd.name + " is shown");
            continue;
        }
        const std::vector<std::string>& cells = found->second;
        const std::string which = std::string(" of ") + odd.name;
        check(cells[11] == "n/a" && cells[12] == "n/a", "no countdown to the target" + which);
        check(cells[13] == "n/a" && cells[14] == "n/a", "no countdown to the return" + which);
        check(cells[5] == "705032704", "the ships wrapped at 32 bits" + which);
        check(cells[15] == "22:13:20", "the update time" + which);
    }
    if (byName.count("Max") != 0) {
        check(byName["Max"][0] == "99", "help code 99 shown as its number");
        check(byName["Max"][6] == "7", "mission 7 shown as its number");
    }
}

void checkCacheFile(const std::string& dir) {
    reef::fleetlists::ListCacheData data;
    const bool read = reef::fleetlists::loadListCache(reef::fleetlists::FleetListKind::Allied,
                                                      dir + "\\tblFrend.dat", data);
    check(read, "tblFrend.dat is there");
    check(data.rows.size() == 5,
          "five rows in tblFrend.dat (are " + std::to_string(data.rows.size()) + ")");
    for (const OddRow& odd : kOddRows) {
        bool kept = false;
        for (const reef::fleetlists::FleetEntry& entry : data.rows) {
            kept = kept || (entry.Name == odd.name && entry.BasisZeit == odd.basisZeitValue &&
                            entry.ZielZeit == -5 && entry.Schiffe == 705032704);
        }
        check(kept, std::string("tblFrend.dat keeps the row ") + odd.name + " as it came");
    }
}

int run(const std::string& exe, const std::string& dir) {
    CreateDirectoryW(widen(dir).c_str(), nullptr);
    LoopbackServer server(answerWithOddList);
    if (server.port() == 0) {
        fail("list server on loopback");
        return 1;
    }
    std::ofstream(dir + "\\Server.dat") << "Host = 127.0.0.1\r\nPort = " << server.port() << "\r\n";
    writePreparedCache(dir, ListKind::Allied, "ungerade");
    const DWORD pid = startProgram(exe, "", dir);
    if (!pid) {
        return 1;
    }
    HWND main = waitForWindow(pid, "Reef - Tools");
    // On a busy machine the first click can come before the new main window takes input;
    // a player then clicks again. Opening it once more only brings the open window forward.
    const std::string title = listWindowTitle(ListKind::Allied);
    for (int click = 0; main && click < 3 && !findWindow(pid, title); ++click) {
        clickControl(childWithText(main, "Verbündete Flotten"));
        waitFor([&] { return findWindow(pid, title) != nullptr; }, 5000);
    }
    const ListWindow allied = openListWindow(pid, ListKind::Allied, "");
    if (!allied.window || !main) {
        fail("the allied list window opens");
        return failures();
    }
    downloadList(pid, allied);
    check(server.accepted() == 1,
          "one download (served " + std::to_string(server.accepted()) + ")");
    checkRows(allied);
    check(answers(allied.window) && answers(main), "both windows go on answering");

    // A second download of the same list, and a click on an odd row, change nothing of that.
    downloadList(pid, allied);
    const RECT row = listViewRowRect(allied.listView, 1);
    clickAt((row.left + row.right) / 2, (row.top + row.bottom) / 2);
    Sleep(300);
    check(listViewRowCount(allied.listView) == 5, "still five rows after the second download");
    check(answers(allied.window) && answers(main), "both windows still answer");

    // The screenshot shows the countdown columns.
    DWORD_PTR scrolled = 0;
    SendMessageTimeoutW(allied.listView, LVM_SCROLL, 2000, 0, SMTO_BLOCK, 5000, &scrolled);
    std::ofstream(dir + "\\shown") << "shown\n";
    waitFor(
        [&] {
            return GetFileAttributesW(widen(dir + "\\shot").c_str()) != INVALID_FILE_ATTRIBUTES;
        },
        60000);
    quitProgram(pid);
    checkCacheFile(dir);
    return failures();
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "run") {
        return run(argv[2], argv[3]);
    }
    std::printf("usage: odd_numbers_probe run EXE DIR\n");
    return 2;
}
