// The program's own files, saved over their older selves and cut short at every byte of the
// save, at the sync and at the rename: each try leaves the old file or the new one whole and
// no temporary file. The bytes are what the program's own save functions write.

#include "calc/fleet_file.h"
#include "etaplan/eta_plan_settings.h"
#include "fleetlists/list_cache.h"
#include "fleetlists/own_fleet_data.h"
#include "platform/files.h"
#include "settings/settings_file.h"
#include "support/interrupted_saves.h"
#include "support/scoped_temp_dir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <iostream>
#include <optional>
#include <string>

namespace {

using reef::platform::readFileBytes;

// What a save function wrote to the file.
std::string savedBy(const std::string& path, const std::function<bool()>& save) {
    EXPECT_TRUE(save()) << path;
    return readFileBytes(path).value_or("");
}

reef::fleetlists::ListCacheData cacheWithRows(int rows, const std::string& password) {
    reef::fleetlists::ListCacheData data;
    data.interval = 15;
    data.password = password;
    for (int i = 0; i < rows; ++i) {
        reef::fleetlists::FleetEntry entry;
        entry.Hilfe = static_cast<std::int8_t>(i % 6);
        entry.Name = "Spieler" + std::to_string(i);
        entry.Basis = "1:2:" + std::to_string(i);
        entry.Punkte = 12000 + i;
        entry.ZielName = "Ziel";
        entry.ZielBasis = "4:5:6";
        entry.ZielZeit = 3600 * i;
        entry.Von = "Carl";
        data.rows.push_back(entry);
    }
    return data;
}

struct SavedFile {
    std::string path;
    std::function<bool()> saveOlder;
    std::function<bool()> saveNewer;
};

std::vector<SavedFile> programFiles() {
    using namespace reef;
    return {
        {"tblFrend.dat",
         [] {
             return fleetlists::saveListCache(fleetlists::FleetListKind::Allied, "tblFrend.dat",
                                              cacheWithRows(2, "alt"));
         },
         [] {
             return fleetlists::saveListCache(fleetlists::FleetListKind::Allied, "tblFrend.dat",
                                              cacheWithRows(3, "neu"));
         }},
        {"tblEnemy.dat",
         [] {
             return fleetlists::saveListCache(fleetlists::FleetListKind::Enemy, "tblEnemy.dat",
                                              cacheWithRows(4, "alt"));
         },
         [] {
             return fleetlists::saveListCache(fleetlists::FleetListKind::Enemy, "tblEnemy.dat",
                                              cacheWithRows(1, "neu"));
         }},
        {"ETA-Plan.dat",
         [] {
             return etaplan::saveEtaPlanSettings({"1:2:3", "Anna", "Bert, Carl", "#reef", "0200"});
         },
         [] {
             return etaplan::saveEtaPlanSettings(
                 {"4:5:6", "Dora", "Emil, Fritz, Gustav", "#angriff", "23:15"});
         }},
        {"FrendPre.dat",
         [] {
             return fleetlists::saveOwnFleetData({"Anna", "Riff", "1:2:3", "12000", "500"});
         },
         [] {
             return fleetlists::saveOwnFleetData({"Anna", "", "7:8:9", "13500", "650"});
         }},
        {"Proxy.dat",
         [] {
             settings::SettingsFile file;
             file.create("Proxy.dat");
             file.writeString("Host", "proxy.example.org");
             file.writeString("Port", "3128");
             return file.close();
         },
         [] {
             settings::SettingsFile file;
             file.create("Proxy.dat");
             file.writeString("Host", "127.0.0.1");
             file.writeString("Port", "1080");
             file.writeString("Typ", "2");
             return file.close();
         }},
        {"Soll.dat",
         [] {
             return platform::replaceFileBytes("Soll.dat",
                                               calc::encodeFleetRow({10, 20, 0, 0, 0, 5, 35}));
         },
         [] {
             return platform::replaceFileBytes("Soll.dat",
                                               calc::encodeFleetRow({1, 2, 3, 4, 5, 6, 21}));
         }},
        {"Haben.dat",
         [] {
             return platform::replaceFileBytes("Haben.dat",
                                               calc::encodeFleetRow({0, 0, 0, 0, 0, 0, 0}));
         },
         [] {
             return platform::replaceFileBytes("Haben.dat",
                                               calc::encodeFleetRow({-1, 7, 9, 0, 2, 3, 20}));
         }},
    };
}

class InterruptedSave : public ::testing::TestWithParam<SavedFile> {};

} // namespace

TEST_P(InterruptedSave, LeavesTheOldFileOrTheNewOneAndNoTemporary) {
    reef::testing::ScopedTempDir dir;
    const SavedFile& file = GetParam();
    const std::string older = savedBy(file.path, file.saveOlder);
    const std::string newer = savedBy(file.path, file.saveNewer);
    ASSERT_NE(older, newer);

    const reef::testing::InterruptedSaves over =
        reef::testing::interruptEverySave(file.path, older, newer);
    const reef::testing::InterruptedSaves first =
        reef::testing::interruptEverySave(file.path, std::nullopt, newer);
    std::cout << file.path << ": " << newer.size() << " bytes, " << over.tried + first.tried
              << " interrupted saves, " << over.whole + first.whole << " left a whole file\n";
    EXPECT_EQ(over.tried, static_cast<int>(newer.size()) + 2);
    EXPECT_EQ(over.whole, over.tried) << over.firstBad;
    EXPECT_EQ(over.reportedFailed, over.tried);
    EXPECT_EQ(first.whole, first.tried) << first.firstBad;
    EXPECT_EQ(first.reportedFailed, first.tried);
}

INSTANTIATE_TEST_SUITE_P(ProgramFiles, InterruptedSave, ::testing::ValuesIn(programFiles()),
                         [](const ::testing::TestParamInfo<SavedFile>& info) {
                             std::string name;
                             for (const char c : info.param.path) {
                                 if (std::isalnum(static_cast<unsigned char>(c))) {
                                     name += c;
                                 }
                             }
                             return name;
                         });
