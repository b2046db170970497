// loadProxySettings over real files in a temporary folder.

#include "exchange/proxy_settings.h"

#include "platform/files.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>

namespace {

using reef::exchange::kProxySocks5;
using reef::exchange::loadProxySettings;
using reef::exchange::ProxySettings;

class LoadProxySettings : public ::testing::Test {
  protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        dir_ = std::filesystem::temp_directory_path() /
               ("reef-proxy-settings-" +
                std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                std::to_string(counter++) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    std::string path() const { return (dir_ / "Proxy.dat").string(); }
    void write(const std::string& bytes) const {
        ASSERT_TRUE(reef::platform::replaceFileBytes(path(), bytes));
    }

    static ProxySettings filled() {
        return ProxySettings{"old.example", 1, 1, "olduser", "oldpass"};
    }

    std::filesystem::path dir_;
};

TEST_F(LoadProxySettings, MissingFileFailsAndChangesNothing) {
    ProxySettings settings = filled();
    EXPECT_FALSE(loadProxySettings(settings, path()));
    EXPECT_EQ(settings, filled());
    // Nothing is created by the attempt.
    EXPECT_FALSE(std::filesystem::exists(path()));
}

TEST_F(LoadProxySettings, ReadsAllFiveKeys) {
    write("IP = proxy.example.org\r\nPort = 3128\r\nTyp = 2\r\nUserID = reef\r\n"
          "UserPass = geh eim=1\r\n");
    ProxySettings settings;
    ASSERT_TRUE(loadProxySettings(settings, path()));
    EXPECT_EQ(settings,
              (ProxySettings{"proxy.example.org", 3128, kProxySocks5, "reef", "geh eim=1"}));
}

TEST_F(LoadProxySettings, MissingKeysTakeTheirDefaults) {
    // An "IP" line without a "Port" line gives port 0.
    write("IP = 10.0.0.1\r\n");
    ProxySettings settings = filled();
    ASSERT_TRUE(loadProxySettings(settings, path()));
    EXPECT_EQ(settings, (ProxySettings{"10.0.0.1", 0, 0, "", ""}));
}

TEST_F(LoadProxySettings, HandWrittenFileWithOtherCaseBlanksAndComments) {
    write("; Proxy fuer die Allianz\n  ip=10.0.0.1  \n\tPORT  =  8080abc\n\ntyp = 1\n"
          "[alt]\nUserID = hidden\n");
    ProxySettings settings = filled();
    ASSERT_TRUE(loadProxySettings(settings, path()));
    EXPECT_EQ(settings, (ProxySettings{"10.0.0.1", 8080, 1, "", ""}));
}

TEST_F(LoadProxySettings, EmptyFileGivesNoProxy) {
    write("");
    ProxySettings settings = filled();
    ASSERT_TRUE(loadProxySettings(settings, path()));
    EXPECT_EQ(settings, ProxySettings{});
    EXPECT_TRUE(settings.host.empty());
}

TEST_F(LoadProxySettings, LeavesTheFileAsItWas) {
    const std::string bytes = "ip=1.2.3.4\nport=80\n; note\n";
    write(bytes);
    ProxySettings settings;
    ASSERT_TRUE(loadProxySettings(settings, path()));
    EXPECT_EQ(reef::platform::readFileBytes(path()), bytes);
}

} // namespace
