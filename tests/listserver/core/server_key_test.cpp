#include "listserver/core/server_key.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

using reef::listserver::ServerKey;

namespace {

class ServerKeyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/reef-key-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder_ = pattern;
        path_ = (folder_ / "lists.sqlite.key").string();
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::filesystem::path folder_;
    std::string path_;
};

} // namespace

TEST_F(ServerKeyTest, CreatedWholeForItsOwnerAloneWithNothingLeftBeside) {
    bool created = false;
    const ServerKey key = ServerKey::loadOrCreate(path_, true, &created);
    EXPECT_TRUE(created);
    struct stat info {};
    ASSERT_EQ(::stat(path_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_GT(info.st_size, 0);
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder_))
        ++files;
    EXPECT_EQ(files, 1) << "no temporary file remains";

    bool createdAgain = true;
    const ServerKey again = ServerKey::loadOrCreate(path_, true, &createdAgain);
    EXPECT_FALSE(createdAgain) << "an existing key is never replaced";
    EXPECT_EQ(again.passwordHash("geheim"), key.passwordHash("geheim"));
}

TEST_F(ServerKeyTest, AnEmptyOrMissingKeyIsRefusedNotRecreated) {
    { std::ofstream(path_, std::ios::binary); }
    ::chmod(path_.c_str(), 0600);
    EXPECT_THROW(ServerKey::loadOrCreate(path_, true, nullptr), std::runtime_error);
    std::filesystem::remove(path_);
    EXPECT_THROW(ServerKey::loadOrCreate(path_, false, nullptr), std::runtime_error);
    EXPECT_FALSE(std::filesystem::exists(path_));
}
