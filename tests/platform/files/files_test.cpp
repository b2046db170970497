#include "platform/files.h"

#include "support/interrupted_saves.h"
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

namespace {

using Fault = reef::testing::FailingFileSteps::Fault;

struct FaultCase {
    Fault fault;
    std::size_t atByte;
    const char* what;
};

class ReplaceFileBytesFault : public ::testing::TestWithParam<FaultCase> {};

} // namespace

TEST_P(ReplaceFileBytesFault, KeepsTheOldFileReportsTheFailureAndRemovesTheTemporary) {
    reef::testing::ScopedTempDir dir;
    ASSERT_TRUE(replaceFileBytes("a.dat", "old bytes"));
    reef::testing::FailingFileSteps steps(GetParam().fault, GetParam().atByte);
    EXPECT_FALSE(replaceFileBytes(steps, "a.dat", "the new bytes")) << GetParam().what;
    EXPECT_EQ(readFileBytes("a.dat"), std::optional<std::string>("old bytes")) << GetParam().what;
    EXPECT_FALSE(fs::exists("a.dat.tmp")) << GetParam().what;
}

TEST_P(ReplaceFileBytesFault, LeavesNoFileWhenThereWasNone) {
    reef::testing::ScopedTempDir dir;
    reef::testing::FailingFileSteps steps(GetParam().fault, GetParam().atByte);
    EXPECT_FALSE(replaceFileBytes(steps, "a.dat", "the new bytes")) << GetParam().what;
    EXPECT_FALSE(fs::exists("a.dat")) << GetParam().what;
    EXPECT_FALSE(fs::exists("a.dat.tmp")) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(EveryStep, ReplaceFileBytesFault,
                         ::testing::Values(FaultCase{Fault::WriteStopsAtByte, 0, "FirstByte"},
                                           FaultCase{Fault::WriteStopsAtByte, 5, "MiddleByte"},
                                           FaultCase{Fault::SyncFails, 13, "Sync"},
                                           FaultCase{Fault::MoveFails, 13, "Rename"}),
                         [](const auto& info) { return std::string(info.param.what); });

TEST(ReplaceFileBytes, WithoutAFaultTheStepsReplaceTheFile) {
    reef::testing::ScopedTempDir dir;
    ASSERT_TRUE(replaceFileBytes("a.dat", "old"));
    reef::testing::FailingFileSteps steps(Fault::None);
    EXPECT_TRUE(replaceFileBytes(steps, "a.dat", "new"));
    EXPECT_EQ(readFileBytes("a.dat"), std::optional<std::string>("new"));
}

TEST(ReplaceFileBytes, AStaleTemporaryFromACrashIsOverwritten) {
    reef::testing::ScopedTempDir dir;
    ASSERT_TRUE(replaceFileBytes("a.dat.tmp", "a much longer leftover of an earlier crash"));
    ASSERT_TRUE(replaceFileBytes("a.dat", "new"));
    EXPECT_EQ(readFileBytes("a.dat"), std::optional<std::string>("new"));
    EXPECT_FALSE(fs::exists("a.dat.tmp"));
}

TEST(ReplaceFileBytes, AFolderThatDoesNotExistFailsAndLeavesNothing) {
    reef::testing::ScopedTempDir dir;
    EXPECT_FALSE(replaceFileBytes("missing/a.dat", "new"));
    EXPECT_FALSE(fs::exists("missing"));
}
