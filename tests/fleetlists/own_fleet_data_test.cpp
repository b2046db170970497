#include "fleetlists/own_fleet_data.h"

#include "platform/files.h"
#include "support/scoped_temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace reef::fleetlists;

namespace {

TEST(OwnFleetData, SavingReplacesTheFileWithExactlyTheFiveKeysAndReadsBack) {
    reef::testing::ScopedTempDir dir;
    EXPECT_FALSE(loadOwnFleetData());
    EXPECT_EQ(loadOwnName(), "");
    ASSERT_TRUE(reef::platform::replaceFileBytes(kOwnFleetFileName,
                                                 "; alt\r\nSchiffe = 1\r\nExtra = x\r\n[T]\r\n"));
    const OwnFleetData data{.Name = "Anna Berg", .Schiffe = "300"};
    ASSERT_TRUE(saveOwnFleetData(data));
    EXPECT_EQ(reef::platform::readFileBytes(kOwnFleetFileName),
              "Name = Anna Berg\r\nAllianz = \r\nBasis = \r\nPunkte = \r\nSchiffe = 300\r\n");
    EXPECT_EQ(loadOwnFleetData(), data);
    EXPECT_EQ(loadOwnName(), "Anna Berg");
}

TEST(OwnFleetData, FileThatCannotBeWrittenIsReported) {
    reef::testing::ScopedTempDir dir;
    std::filesystem::create_directory(kOwnFleetFileName);
    EXPECT_FALSE(saveOwnFleetData(OwnFleetData{.Name = "Anna"}));
}

} // namespace
