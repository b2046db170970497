#include "listserver/core/query.h"

#include <gtest/gtest.h>

using namespace reef::listserver;

TEST(PercentDecode, HexPairsBecomeBytesEverythingElseStays) {
    EXPECT_EQ(percentDecode("%41%62%7e"), "Ab~");
    EXPECT_EQ(percentDecode("a_b+c"), "a_b+c");
    EXPECT_EQ(percentDecode("100%"), "100%");
    EXPECT_EQ(percentDecode("%4"), "%4");
    EXPECT_EQ(percentDecode("%G1%%41"), "%G1%A");
    EXPECT_EQ(percentDecode("%00"), std::string(1, '\0'));
    EXPECT_EQ(percentDecode("%E4"), "\xE4");
}

TEST(SplitTarget, AbsoluteFormLosesSchemeAndHost) {
    auto target = splitTarget("http://reef.example:8080/Reef-Update.php?Info1=a");
    ASSERT_TRUE(target);
    EXPECT_EQ(target->path, "/Reef-Update.php");
    EXPECT_EQ(target->query, "Info1=a");
    auto upper = splitTarget("HTTP://host/Reef-Update.php");
    ASSERT_TRUE(upper);
    EXPECT_EQ(upper->path, "/Reef-Update.php");
    EXPECT_EQ(upper->query, "");
    auto bare = splitTarget("http://host");
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->path, "/");
    auto queryOnly = splitTarget("http://host?x=1");
    ASSERT_TRUE(queryOnly);
    EXPECT_EQ(queryOnly->path, "/");
    EXPECT_EQ(queryOnly->query, "x=1");
}

TEST(SplitTarget, OriginFormAndRefusedForms) {
    auto target = splitTarget("/Reef%2DUpdate.php?a=%41");
    ASSERT_TRUE(target);
    EXPECT_EQ(target->path, "/Reef-Update.php");
    EXPECT_EQ(target->query, "a=%41") << "the query is decoded key by key, later";
    EXPECT_FALSE(splitTarget("Reef-Update.php"));
    EXPECT_FALSE(splitTarget("*"));
    EXPECT_FALSE(splitTarget("http:///Reef-Update.php"));
    EXPECT_FALSE(splitTarget("ftp://host/Reef-Update.php"));
}

TEST(ParseQuery, SplitsOnAmpersandDecodesAndKeepsTheFirstOfATwiceGivenKey) {
    auto values = parseQuery("Info1=pw&Name=Klaus_Peter&&Flag&Name=%42&E%41sy=1&Empty=");
    EXPECT_EQ(values.at("Info1"), "pw");
    EXPECT_EQ(values.at("Name"), "Klaus_Peter");
    EXPECT_EQ(values.at("Flag"), "");
    EXPECT_EQ(values.at("EAsy"), "1");
    EXPECT_EQ(values.at("Empty"), "");
    EXPECT_EQ(values.size(), 5u);
}

TEST(ParseQuery, AValueCannotRedirectTheRequestToAnotherListOrOperation) {
    auto values =
        parseQuery("Info1=pw&Info2=Reef_Frend&Info3=New&Name=X&Info2=Reef_Enemy&Info3=Change");
    EXPECT_EQ(values.at("Info2"), "Reef_Frend");
    EXPECT_EQ(values.at("Info3"), "New");
}

TEST(ParseQuery, AnAmpersandInANameSplitsTheValue) {
    // The desktop program sends "&" unescaped; the name ends there and the rest is a key of
    // its own that nobody asks for.
    auto values = parseQuery("Name=Tom&Jerry&Basis=1");
    EXPECT_EQ(values.at("Name"), "Tom");
    EXPECT_TRUE(values.contains("Jerry"));
    EXPECT_EQ(values.at("Basis"), "1");
}
