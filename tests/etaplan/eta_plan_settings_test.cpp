#include "etaplan/eta_plan_settings.h"

#include "support/scoped_temp_dir.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace reef::etaplan {
namespace {

namespace fs = std::filesystem;

using testing::fileBytes;
using testing::putFile;

class EtaPlanSettingsTest : public ::testing::Test {
  protected:
    testing::ScopedTempDir dir;
};

TEST_F(EtaPlanSettingsTest, SavesTheFiveKeysInOrder) {
    EtaPlanFields fields;
    fields.target = "Atlantis 12:34:5";
    fields.coordinators = "Nemo";
    fields.participants = "[KRAK] [TIDE]";
    fields.channel = "#reef";
    fields.attackTime = "14:20";
    ASSERT_TRUE(saveEtaPlanSettings(fields));
    EXPECT_EQ(fileBytes("ETA-Plan.dat"), "Ziel = Atlantis 12:34:5\r\n"
                                         "Koordinator = Nemo\r\n"
                                         "Teilnehmer = [KRAK] [TIDE]\r\n"
                                         "Channel = #reef\r\n"
                                         "Zeit = 14:20\r\n");
}

TEST_F(EtaPlanSettingsTest, EmptyFieldsGiveFiveKeysWithoutValues) {
    ASSERT_TRUE(saveEtaPlanSettings(EtaPlanFields{}));
    EXPECT_EQ(fileBytes("ETA-Plan.dat"),
              "Ziel = \r\nKoordinator = \r\nTeilnehmer = \r\nChannel = \r\nZeit = \r\n");
}

TEST_F(EtaPlanSettingsTest, RoundTrip) {
    EtaPlanFields fields;
    fields.target = "Kr\xE4kenhort = Basis 3";
    fields.coordinators = "Nemo, Ariel";
    fields.participants = "[KRAK]";
    fields.channel = "#reef-angriff";
    fields.attackTime = "14:35";
    ASSERT_TRUE(saveEtaPlanSettings(fields));
    const std::optional<EtaPlanFields> loaded = loadEtaPlanSettings();
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->target, fields.target);
    EXPECT_EQ(loaded->coordinators, fields.coordinators);
    EXPECT_EQ(loaded->participants, fields.participants);
    EXPECT_EQ(loaded->channel, fields.channel);
    // Loading does not bring the time down to its tick.
    EXPECT_EQ(loaded->attackTime, "14:35");
}

TEST_F(EtaPlanSettingsTest, SavingReplacesTheWholeFile) {
    putFile("ETA-Plan.dat", "; von Hand\r\nAlt = 1\r\nZeit = 03:00\r\n[Mehr]\r\nX = 2\r\n");
    EtaPlanFields fields;
    fields.attackTime = "04:00";
    ASSERT_TRUE(saveEtaPlanSettings(fields));
    EXPECT_EQ(fileBytes("ETA-Plan.dat"),
              "Ziel = \r\nKoordinator = \r\nTeilnehmer = \r\nChannel = \r\nZeit = 04:00\r\n");
}

TEST_F(EtaPlanSettingsTest, NoFileGivesNothing) {
    EXPECT_FALSE(loadEtaPlanSettings().has_value());
    EXPECT_FALSE(fs::exists("ETA-Plan.dat"));
}

TEST_F(EtaPlanSettingsTest, MissingKeysGiveTheirDefaults) {
    putFile("ETA-Plan.dat", "Ziel = Atlantis\r\n");
    const std::optional<EtaPlanFields> loaded = loadEtaPlanSettings();
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->target, "Atlantis");
    EXPECT_EQ(loaded->coordinators, "");
    EXPECT_EQ(loaded->participants, "");
    EXPECT_EQ(loaded->channel, "");
    EXPECT_EQ(loaded->attackTime, "0200");
}

TEST_F(EtaPlanSettingsTest, AnEmptyTimeStaysEmpty) {
    putFile("ETA-Plan.dat", "Zeit =   \r\n");
    const std::optional<EtaPlanFields> loaded = loadEtaPlanSettings();
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->attackTime, "");
}

TEST_F(EtaPlanSettingsTest, HandWrittenFileIsRead) {
    putFile("ETA-Plan.dat", "; Angriff am Freitag\n  ZIEL=Atlantis\n\n\tzeit = 1.40  \r\n");
    const std::optional<EtaPlanFields> loaded = loadEtaPlanSettings();
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->target, "Atlantis");
    EXPECT_EQ(loaded->attackTime, "1.40");
}

TEST_F(EtaPlanSettingsTest, ReadingLeavesTheFileAlone) {
    const std::string bytes = "zeit=1.40\n";
    putFile("ETA-Plan.dat", bytes);
    ASSERT_TRUE(loadEtaPlanSettings().has_value());
    EXPECT_EQ(fileBytes("ETA-Plan.dat"), bytes);
}

TEST_F(EtaPlanSettingsTest, SavingIntoAMissingFolderFails) {
    EXPECT_FALSE(saveEtaPlanSettings(EtaPlanFields{}, "fehlt/ETA-Plan.dat"));
}

TEST_F(EtaPlanSettingsTest, ReadOnlyFileIsNotReplaced) {
    const std::string bytes = "Ziel = Alt\r\n";
    putFile("ETA-Plan.dat", bytes);
    fs::permissions("ETA-Plan.dat", fs::perms::owner_read, fs::perm_options::replace);
    EtaPlanFields fields;
    fields.target = "Neu";
    EXPECT_FALSE(saveEtaPlanSettings(fields));
    EXPECT_EQ(fileBytes("ETA-Plan.dat"), bytes);
}

} // namespace
} // namespace reef::etaplan
