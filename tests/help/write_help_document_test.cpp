#include "help/help_documents.h"

#include "platform/headless/headless_platform.h"
#include "support/scoped_temp_dir.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace reef::help {
namespace {

namespace fs = std::filesystem;

using testing::fileBytes;
using testing::putFile;

class WriteHelpDocumentTest : public ::testing::Test {
  protected:
    testing::ScopedTempDir dir;
    platform::headless::HeadlessPlatform platform;
    platform::headless::HeadlessDriver driver{platform};
};

TEST_F(WriteHelpDocumentTest, WritesEachDocumentUnderItsNameAndOpensIt) {
    writeHelpDocument(platform, HelpDocument::Readme);
    writeHelpDocument(platform, HelpDocument::AlliedStatuses);
    writeHelpDocument(platform, HelpDocument::EnemyStatuses);
    EXPECT_EQ(fileBytes("Readme.txt"), helpDocumentText(HelpDocument::Readme));
    EXPECT_EQ(fileBytes("HilfeFrend.txt"), helpDocumentText(HelpDocument::AlliedStatuses));
    EXPECT_EQ(fileBytes("HilfeEnemy.txt"), helpDocumentText(HelpDocument::EnemyStatuses));
    EXPECT_EQ(driver.filesOpenedInEditor(),
              (std::vector<std::string>{"Readme.txt", "HilfeFrend.txt", "HilfeEnemy.txt"}));
}

TEST_F(WriteHelpDocumentTest, EveryRequestRewritesTheFileAndOpensItAgain) {
    writeHelpDocument(platform, HelpDocument::Readme);
    const std::string first = fileBytes("Readme.txt");
    putFile("Readme.txt", "changed by the user, and longer than nothing");
    writeHelpDocument(platform, HelpDocument::Readme);
    EXPECT_EQ(fileBytes("Readme.txt"), first);
    EXPECT_EQ(driver.filesOpenedInEditor(), (std::vector<std::string>{"Readme.txt", "Readme.txt"}));
}

TEST_F(WriteHelpDocumentTest, ReadOnlyFileIsLeftAloneAndNoEditorStarts) {
    putFile("Readme.txt", "mine");
    fs::permissions("Readme.txt",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                    fs::perm_options::replace);
    writeHelpDocument(platform, HelpDocument::Readme);
    EXPECT_EQ(fileBytes("Readme.txt"), "mine");
    EXPECT_TRUE(driver.filesOpenedInEditor().empty());
    // The other documents are not affected.
    writeHelpDocument(platform, HelpDocument::EnemyStatuses);
    EXPECT_EQ(driver.filesOpenedInEditor(), (std::vector<std::string>{"HilfeEnemy.txt"}));
}

TEST_F(WriteHelpDocumentTest, NameTakenByADirectoryIsSkipped) {
    fs::create_directory("HilfeFrend.txt");
    writeHelpDocument(platform, HelpDocument::AlliedStatuses);
    EXPECT_TRUE(fs::is_directory("HilfeFrend.txt"));
    EXPECT_TRUE(driver.filesOpenedInEditor().empty());
}

} // namespace
} // namespace reef::help
