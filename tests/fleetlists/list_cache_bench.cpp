// Benchmark, not a test: how long writing both cache files takes when the lists are full
// (2000 entries each, every text at the length the list server allows). At the end of the
// Windows session this is all the program does before the system may end it, and the system
// allows only a few seconds. Prints figures; asserts nothing.
//
// Usage: list_cache_bench [ROUNDS]   (writes into a fresh folder under the temporary folder)

#include "fleetlists/list_cache.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using reef::fleetlists::FleetEntry;
using reef::fleetlists::FleetListKind;
using reef::fleetlists::ListCacheData;

constexpr int kEntries = 2000;
constexpr std::size_t kLongestValue = 100; // the list server refuses longer values

std::string text(const char* stem, int index) {
    std::string value = std::string(stem) + std::to_string(index) + " ";
    value.resize(kLongestValue, 'x');
    return value;
}

ListCacheData fullList(FleetListKind kind) {
    ListCacheData data;
    data.interval = 5;
    data.password = "alliance-password";
    for (int i = 0; i < kEntries; ++i) {
        FleetEntry entry;
        entry.Hilfe = static_cast<std::int8_t>(i % 6);
        entry.Name = text("Spieler ", i);
        entry.Allianz = text("Allianz ", i);
        entry.Basis = text("12:34:", i);
        entry.Punkte = 1234567890123LL + i;
        entry.Schiffe = 100000 + i;
        entry.Modus = i % 3;
        entry.ZielName = text("Ziel ", i);
        entry.ZielAllianz = text("Gegner ", i);
        entry.ZielBasis = text("56:78:", i);
        entry.ZielPunkte = 987654321LL + i;
        entry.ZielZeit = (i * 37) % 86400;
        entry.BasisZeit = (i * 53) % 86400;
        entry.UpdateZeit = 1700000000 + i;
        entry.Von = kind == FleetListKind::Enemy ? text("Eingetragen von ", i) : "";
        data.rows.push_back(entry);
    }
    return data;
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("reef-list-cache-bench-" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::filesystem::create_directories(folder);
    const std::string allied = (folder / "tblFrend.dat").string();
    const std::string enemy = (folder / "tblEnemy.dat").string();
    const ListCacheData alliedData = fullList(FleetListKind::Allied);
    const ListCacheData enemyData = fullList(FleetListKind::Enemy);

    std::vector<double> millis;
    bool allWritten = true;
    for (int round = 0; round < rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        allWritten = reef::fleetlists::saveListCache(FleetListKind::Allied, allied, alliedData) &&
                     allWritten;
        allWritten =
            reef::fleetlists::saveListCache(FleetListKind::Enemy, enemy, enemyData) && allWritten;
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        millis.push_back(took.count());
    }
    const auto alliedBytes = std::filesystem::file_size(allied);
    const auto enemyBytes = std::filesystem::file_size(enemy);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);

    std::sort(millis.begin(), millis.end());
    std::printf("both cache files, %d entries each (%llu + %llu bytes), %d rounds%s\n", kEntries,
                static_cast<unsigned long long>(alliedBytes),
                static_cast<unsigned long long>(enemyBytes), rounds,
                allWritten ? "" : " - SOME WRITES FAILED");
    std::printf("  min %.2f ms, median %.2f ms, max %.2f ms\n", millis.front(),
                millis[millis.size() / 2], millis.back());
    return allWritten ? 0 : 1;
}
