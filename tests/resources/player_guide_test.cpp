// The player's guide and the example Server.dat of the release zip, checked against the
// program itself: the files it names are the ones the program uses, the texts it quotes are
// the program's own, and its examples are read by the program's own readers as meant.

#include "app/command_line.h"
#include "app/messages.h"
#include "calc/fleet_file.h"
#include "etaplan/eta_plan_settings.h"
#include "exchange/exchange_texts.h"
#include "exchange/proxy_settings.h"
#include "exchange/server_config.h"
#include "fleetlists/alarm_settings.h"
#include "fleetlists/list_cache.h"
#include "fleetlists/own_fleet_data.h"
#include "help/help_documents.h"
#include "support/scoped_temp_dir.h"
#include "text/cp1252.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace reef;

std::string readSource(const std::string& name) {
    std::ifstream in(std::string(REEF_RELEASE_TEXTS) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        result.push_back(line);
    }
    return result;
}

// The example block of the guide that starts with the line beginning with firstLine and ends
// before the next empty line, without the indentation of its lines.
std::string exampleBlock(const std::string& guide, const std::string& firstLine) {
    std::string block;
    bool inside = false;
    for (const std::string& line : lines(guide)) {
        inside = inside ? !line.empty() : line.rfind(firstLine, 0) == 0;
        if (inside) {
            block += line.substr(line.find_first_not_of(' ')) + "\n";
        }
    }
    return block;
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// The guide is kept in UTF-8 and shipped in Windows-1252, the program's code page.
class PlayerGuide : public ::testing::Test {
  protected:
    std::string source = readSource("Anleitung.txt");
    std::string guide = text::utf8ToCp1252(source);

    void SetUp() override {
        ASSERT_FALSE(source.empty()) << "guide not found in " REEF_RELEASE_TEXTS;
    }

    bool mentions(std::string_view text) const { return guide.find(text) != std::string::npos; }
};

TEST_F(PlayerGuide, EveryCharacterHasAWindows1252Form) {
    int number = 0;
    for (const std::string& line : lines(source)) {
        ++number;
        EXPECT_EQ(text::cp1252ToUtf8(text::utf8ToCp1252(line)), line) << "line " << number;
    }
}

TEST_F(PlayerGuide, EveryLineFitsAnEditorWindowOf76Columns) {
    int number = 0;
    for (const std::string& line : lines(guide)) {
        ++number;
        EXPECT_LE(line.size(), 76u) << "line " << number;
    }
}

TEST_F(PlayerGuide, NamesEveryFileTheProgramReadsOrWrites) {
    const std::vector<std::string> files = {
        exchange::kServerConfigFile,
        exchange::kProxySettingsFile,
        etaplan::kEtaPlanSettingsPath,
        calc::kSollFile,
        calc::kHabenFile,
        fleetlists::kOwnFleetFileName,
        fleetlists::kAlarmFileName,
        fleetlists::listCacheFileName(fleetlists::FleetListKind::Allied),
        fleetlists::listCacheFileName(fleetlists::FleetListKind::Enemy),
        std::string(help::helpDocumentFileName(help::HelpDocument::Readme)),
        std::string(help::helpDocumentFileName(help::HelpDocument::AlliedStatuses)),
        std::string(help::helpDocumentFileName(help::HelpDocument::EnemyStatuses)),
    };
    for (const std::string& file : files) {
        EXPECT_TRUE(mentions(file)) << file;
    }
}

TEST_F(PlayerGuide, QuotesTheProgramsOwnTexts) {
    const std::string badHost = exchange::serverConfigProblemText(exchange::kServerHostKey);
    const std::string retry = exchange::downloadOperation(2, 3);
    const std::vector<std::string> texts = {
        app::kProxyLoadFailedMessage,
        app::kQuitQuestion,
        badHost.substr(0, badHost.find('\n')),
        retry.substr(retry.find('(')),
        std::string(exchange::kStatusWaiting),
        std::string(exchange::kStatusDone),
        std::string(exchange::kStatusTimeout),
        std::string(exchange::kStatusBadInput),
        std::string(exchange::kStatusWrongPassword),
        "Status: Verbindungsaufbau",
        "Status: Fehler (Server nicht gefunden)",
        "Bitte Passwort angeben (siehe ",
        "Bitte neues Passwort angeben:",
        "Flottenverhältnis",
        "Attgrenze",
        "Gegnerische Flotten",
        "Verbündete Flotten",
        "Neuer Eintrag",
        "Eintrag Aktualisieren",
        "Liste Aktualisieren",
        "Übernehmen",
    };
    for (const std::string& text : texts) {
        EXPECT_TRUE(mentions(text)) << text;
    }
}

TEST_F(PlayerGuide, ItsServerDatExampleNamesAServerThatIsNotTheBuiltInOne) {
    const std::string example = exampleBlock(guide, std::string("  ") + exchange::kServerHostKey);
    ASSERT_FALSE(example.empty());
    reef::testing::ScopedTempDir dir;
    writeFile(exchange::kServerConfigFile, example);
    const exchange::ServerConfig builtIn = exchange::builtInServerConfig();

    const exchange::ServerConfigLoad load = exchange::loadServerConfig(builtIn);

    EXPECT_EQ(load.badKey, "");
    EXPECT_NE(load.config.listServer, builtIn.listServer);
    EXPECT_NE(load.config.passwordSite, builtIn.passwordSite);
}

TEST_F(PlayerGuide, ItsProxyDatExampleSetsAllFiveKeys) {
    const std::string example = exampleBlock(guide, "  IP = ");
    ASSERT_FALSE(example.empty());
    reef::testing::ScopedTempDir dir;
    writeFile(exchange::kProxySettingsFile, example);
    exchange::ProxySettings proxy{.host = "", .port = 0, .type = -1, .userId = "", .password = ""};

    ASSERT_TRUE(exchange::loadProxySettings(proxy));

    EXPECT_NE(proxy.host, "");
    EXPECT_NE(proxy.port, 0);
    EXPECT_EQ(proxy.type, exchange::kProxyHttpConnect);
    EXPECT_NE(proxy.userId, "");
    EXPECT_NE(proxy.password, "");
}

TEST_F(PlayerGuide, ItsShortcutExampleStartsTheProgramWithTheProxySwitch) {
    std::string shortcut;
    for (const std::string& line : lines(guide)) {
        if (line.find("ReefTools.exe\" ") != std::string::npos) {
            shortcut = line;
        }
    }
    ASSERT_FALSE(shortcut.empty());

    EXPECT_TRUE(app::proxySwitchGiven(shortcut.substr(shortcut.find('"'))));
}

TEST(ExampleServerDat, IsReadWithoutAProblemAndReplacesEveryBuiltInValue) {
    const std::string example = text::utf8ToCp1252(readSource(exchange::kServerConfigFile));
    ASSERT_FALSE(example.empty());
    reef::testing::ScopedTempDir dir;
    writeFile(exchange::kServerConfigFile, example);
    const exchange::ServerConfig builtIn = exchange::builtInServerConfig();

    const exchange::ServerConfigLoad load = exchange::loadServerConfig(builtIn);

    EXPECT_EQ(load.badKey, "");
    EXPECT_NE(load.config.listServer.host, builtIn.listServer.host);
    EXPECT_NE(load.config.passwordSite, builtIn.passwordSite);
}

} // namespace
