#include "app/command_line.h"

#include <gtest/gtest.h>

using namespace reef::app;

TEST(CommandLine, FirstArgumentAfterTheProgramPath) {
    EXPECT_EQ(firstArgument("ReefTools.exe Proxy"), "Proxy");
    EXPECT_EQ(firstArgument("\"C:\\Program Files\\Reef\\ReefTools.exe\" Proxy more"), "Proxy");
    EXPECT_EQ(firstArgument("ReefTools.exe    \t  Proxy"), "Proxy");
    EXPECT_EQ(firstArgument("ReefTools.exe"), "");
    EXPECT_EQ(firstArgument(""), "");
}

TEST(CommandLine, QuotedArgumentIsTakenWithoutQuotes) {
    EXPECT_EQ(firstArgument("ReefTools.exe \"Proxy\""), "Proxy");
    EXPECT_EQ(firstArgument("ReefTools.exe \"two words\" x"), "two words");
    EXPECT_EQ(firstArgument("ReefTools.exe \"\" Proxy"), "");
}

TEST(CommandLine, ProxySwitchOnlyExactlyAndFirst) {
    EXPECT_TRUE(proxySwitchGiven("ReefTools.exe Proxy"));
    EXPECT_TRUE(proxySwitchGiven("ReefTools.exe \"Proxy\""));
    EXPECT_FALSE(proxySwitchGiven("ReefTools.exe proxy"));
    EXPECT_FALSE(proxySwitchGiven("ReefTools.exe PROXY"));
    EXPECT_FALSE(proxySwitchGiven("ReefTools.exe Proxy2"));
    EXPECT_FALSE(proxySwitchGiven("ReefTools.exe -x Proxy"));
    EXPECT_FALSE(proxySwitchGiven("ReefTools.exe"));
}
