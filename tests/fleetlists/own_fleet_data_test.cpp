#include "fleetlists/own_fleet_data.h"

#include "platform/files.h"
#include "support/scoped_temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace reef::fleetlists;
using reef::platform::readFileBytes;
using reef::platform::replaceFileBytes;

namespace {

class OwnFleetDataTest : public ::testing::Test {
  protected:
    reef::testing::ScopedTempDir dir;
};

TEST_F(OwnFleetDataTest, MissingFileGivesNothingAndAnEmptyName) {
    EXPECT_FALSE(loadOwnFleetData());
    EXPECT_EQ(loadOwnName(), "");
}

TEST_F(OwnFleetDataTest, SavedFleetReadsBack) {
    const OwnFleetData data{.Name = "Anna Berg",
                            .Allianz = "KOR",
                            .Basis = "1:2:3",
                            .Punkte = "12.500",
                            .Schiffe = "300"};
    ASSERT_TRUE(saveOwnFleetData(data));
    EXPECT_EQ(loadOwnFleetData(), data);
    EXPECT_EQ(loadOwnName(), "Anna Berg");
}

TEST_F(OwnFleetDataTest, SavingWritesExactlyTheFiveKeysInOrder) {
    ASSERT_TRUE(replaceFileBytes(kOwnFleetFileName,
                                 "; alt\r\nSchiffe = 1\r\nExtra = x\r\n[Teil]\r\nName = y\r\n"));
    ASSERT_TRUE(saveOwnFleetData(OwnFleetData{.Name = "Anna", .Schiffe = "300"}));
    EXPECT_EQ(readFileBytes(kOwnFleetFileName),
              "Name = Anna\r\nAllianz = \r\nBasis = \r\nPunkte = \r\nSchiffe = 300\r\n");
}

TEST_F(OwnFleetDataTest, HandWrittenFileGivesEmptyTextsForMissingKeys) {
    ASSERT_TRUE(replaceFileBytes(kOwnFleetFileName, "  name=Cora\nSCHIFFE =  12 \n"));
    const auto data = loadOwnFleetData();
    ASSERT_TRUE(data);
    EXPECT_EQ(*data, (OwnFleetData{.Name = "Cora", .Schiffe = "12"}));
}

TEST_F(OwnFleetDataTest, FileThatCannotBeWrittenIsReported) {
    std::filesystem::create_directory(kOwnFleetFileName);
    EXPECT_FALSE(saveOwnFleetData(OwnFleetData{.Name = "Anna"}));
}

} // namespace
