#include "platform/files.h"

#include "support/scoped_temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using reef::platform::readFileBytes;
using reef::platform::replaceFileBytes;

TEST(ReplaceFileBytes, WritesTheWholeFileAndLeavesNoTemporaryBehind) {
    reef::testing::ScopedTempDir dir;
    ASSERT_TRUE(replaceFileBytes("a.dat", std::string("x\0y\r\n", 5)));
    ASSERT_TRUE(replaceFileBytes("a.dat", "new"));
    EXPECT_EQ(readFileBytes("a.dat"), std::optional<std::string>("new"));
    EXPECT_FALSE(fs::exists("a.dat.tmp"));
}

TEST(ReplaceFileBytes, ReadOnlyTargetIsLeftAlone) {
    reef::testing::ScopedTempDir dir;
    ASSERT_TRUE(replaceFileBytes("a.dat", "old"));
    fs::permissions("a.dat",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_FALSE(replaceFileBytes("a.dat", "new"));
    EXPECT_EQ(readFileBytes("a.dat"), std::optional<std::string>("old"));
}

TEST(ReadFileBytes, MissingFileGivesNothing) {
    reef::testing::ScopedTempDir dir;
    EXPECT_FALSE(readFileBytes("missing.dat").has_value());
}
