#include "settings/settings_file.h"

#include "support/scoped_temp_dir.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace reef::settings {
namespace {

namespace fs = std::filesystem;

using testing::fileBytes;
using testing::putFile;

void makeReadOnly(const std::string& name) {
    fs::permissions(name, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                    fs::perm_options::replace);
}

class SettingsFileTest : public ::testing::Test {
  protected:
    // Opens a file holding exactly these bytes.
    void openWith(const std::string& bytes) {
        putFile("test.dat", bytes);
        ASSERT_TRUE(settings.open("test.dat"));
    }

    testing::ScopedTempDir dir;
    SettingsFile settings;
};

// --- reading

TEST_F(SettingsFileTest, BlanksAroundKeyAndValueAreIgnoredAndKeysIgnoreCase) {
    openWith("  Port=8080  \r\nHost = example.org\r\n");
    EXPECT_EQ(settings.readInteger("Port", 1), 8080);
    EXPECT_EQ(settings.readInteger("port", 1), 8080);
    EXPECT_EQ(settings.readInteger("PORT", 1), 8080);
    EXPECT_EQ(settings.readString("port"), "8080");
    EXPECT_EQ(settings.readString("HOST"), "example.org");
}

TEST_F(SettingsFileTest, TabsCountAsBlanksEverywhere) {
    openWith("\t \tUser\t=\t\tjoe\t \r\n");
    EXPECT_EQ(settings.readString("User"), "joe");
}

TEST_F(SettingsFileTest, KeyKeepsInnerBlanks) {
    openWith("My Key = x\r\n");
    EXPECT_EQ(settings.readString("My Key", "d"), "x");
    EXPECT_EQ(settings.readString("MyKey", "d"), "d");
}

TEST_F(SettingsFileTest, ValueRunsFromTheFirstEqualsSignToTheLineEnd) {
    openWith("IP = a=b c\r\nEmpty==\r\n");
    EXPECT_EQ(settings.readString("IP"), "a=b c");
    EXPECT_EQ(settings.readString("Empty"), "=");
}

TEST_F(SettingsFileTest, PresentEmptyValueIsNotTheDefault) {
    openWith("Ziel =    \r\nFlag\r\n");
    EXPECT_EQ(settings.readString("Ziel", "Vorgabe"), "");
    EXPECT_EQ(settings.readString("Flag", "Vorgabe"), "");
    EXPECT_EQ(settings.readString("Anderes", "Vorgabe"), "Vorgabe");
    EXPECT_EQ(settings.readString("Anderes"), "");
}

TEST_F(SettingsFileTest, IntegersAreReadLikeAtoi) {
    openWith("A = 12abc\r\nB = abc\r\nC = -5\r\nD = +7\r\nE =\r\nF = - 3\r\n");
    EXPECT_EQ(settings.readInteger("A", 99), 12);
    EXPECT_EQ(settings.readInteger("B", 99), 0);
    EXPECT_EQ(settings.readInteger("C", 99), -5);
    EXPECT_EQ(settings.readInteger("D", 99), 7);
    EXPECT_EQ(settings.readInteger("E", 99), 0);
    EXPECT_EQ(settings.readInteger("F", 99), 0);
    EXPECT_EQ(settings.readInteger("G", 99), 99);
    EXPECT_EQ(settings.readInteger("G", -1), -1);
}

TEST_F(SettingsFileTest, FirstOfTwoEqualKeysWins) {
    openWith("Port = 1\r\nPORT = 2\r\nport = 3\r\n");
    EXPECT_EQ(settings.readInteger("port"), 1);
}

TEST_F(SettingsFileTest, EntriesAfterTheFirstSectionHeaderAreHidden) {
    openWith("A = 1\r\n[S]\r\nB = 2\r\n");
    EXPECT_EQ(settings.readInteger("A", 0), 1);
    EXPECT_EQ(settings.readInteger("B", 42), 42);
}

TEST_F(SettingsFileTest, HeaderWithoutClosingBracketStillStartsASection) {
    openWith("A = 1\r\n  [Section without end\r\nB = 2\r\n");
    EXPECT_EQ(settings.readString("A"), "1");
    EXPECT_EQ(settings.readString("B", "d"), "d");
}

TEST_F(SettingsFileTest, CommentsAreNeverMatched) {
    openWith("; Port = 1\r\n;Port=2\r\n  ; Port = 3\r\nPort = 4\r\n");
    EXPECT_EQ(settings.readInteger("Port"), 4);
    EXPECT_EQ(settings.readString("; Port", "d"), "d");
}

TEST_F(SettingsFileTest, EveryKindOfLineEndSeparatesLines) {
    openWith("A = 1\rB = 2\nC = 3\r\n\r\n\n\rD = 4\n\r\n\nE = 5");
    EXPECT_EQ(settings.readString("A"), "1");
    EXPECT_EQ(settings.readString("B"), "2");
    EXPECT_EQ(settings.readString("C"), "3");
    EXPECT_EQ(settings.readString("D"), "4");
    EXPECT_EQ(settings.readString("E"), "5");
}

// A zero byte ends a line as CR and LF do: nothing behind it is lost, neither when reading
// nor when the file is rewritten, and a written one cannot start an entry of its own.
TEST_F(SettingsFileTest, NulBytesEndLinesAndHideNothing) {
    using namespace std::string_literals;
    openWith("A = 1\0x\r\n\0B = 2\r\nC = 3\r\n"s);
    EXPECT_EQ(settings.readString("A"), "1");
    EXPECT_EQ(settings.readString("x", "d"), "");
    EXPECT_EQ(settings.readString("B"), "2");
    EXPECT_EQ(settings.readInteger("C"), 3);
    settings.writeString("D", "4\0C = 9"s);
    ASSERT_TRUE(settings.close());
    EXPECT_EQ(fileBytes("test.dat"), "A = 1\r\nx = \r\nB = 2\r\nC = 3\r\nD = 4 C = 9\r\n");
}

TEST_F(SettingsFileTest, BlankOnlyLinesAreSkipped) {
    openWith("   \r\n\t\r\nA = 1\r\n \t \r\n");
    EXPECT_EQ(settings.readString("A"), "1");
    EXPECT_EQ(settings.readString("", "d"), "d");
}

TEST_F(SettingsFileTest, MissingFileGivesDefaults) {
    EXPECT_FALSE(settings.open("missing.dat"));
    EXPECT_EQ(settings.readString("A", "d"), "d");
    EXPECT_EQ(settings.readInteger("A", 5), 5);
    EXPECT_TRUE(settings.close());
    EXPECT_FALSE(fs::exists("missing.dat"));
}

TEST_F(SettingsFileTest, ReadOnlyFileCanBeRead) {
    putFile("ro.dat", "A = 1\r\n");
    makeReadOnly("ro.dat");
    ASSERT_TRUE(settings.open("ro.dat"));
    EXPECT_EQ(settings.readString("A"), "1");
}

TEST_F(SettingsFileTest, ReadsWithoutAnyFileGiveDefaults) {
    EXPECT_EQ(settings.readString("A", "d"), "d");
    EXPECT_EQ(settings.readInteger("A", 3), 3);
}

// --- UTF-8 files

TEST_F(SettingsFileTest, Utf8FileValuesAreConvertedToTheProgramsCodePage) {
    openWith("\xEF\xBB\xBFName = M\xC3\xBCller\r\nStra\xC3\x9F"
             "e = 1\r\n");
    EXPECT_EQ(settings.readString("Name"), "Müller");
    EXPECT_EQ(settings.readString("Name"), "M\xFCller");
    EXPECT_EQ(settings.readInteger("Straße"), 1);
}

TEST_F(SettingsFileTest, ByteOrderMarkIsKeptOnRewriteWithLineEndAfterIt) {
    openWith("\xEF\xBB\xBFName = M\xC3\xBCller\r\nOrt = Stadt\r\n");
    settings.writeString("Name", "Jörg");
    settings.writeString("Straße", "Weg");
    ASSERT_TRUE(settings.close());
    EXPECT_EQ(fileBytes("test.dat"), "\xEF\xBB\xBF\r\n"
                                     "Name = J\xC3\xB6rg\r\n"
                                     "Ort = Stadt\r\n"
                                     "Stra\xC3\x9F"
                                     "e = Weg\r\n");
    ASSERT_TRUE(settings.open("test.dat"));
    EXPECT_EQ(settings.readString("Name"), "Jörg");
    EXPECT_EQ(settings.readString("Straße"), "Weg");
}

TEST_F(SettingsFileTest, ByteOrderMarkAloneMakesAUtf8File) {
    openWith("\xEF\xBB\xBF");
    settings.writeString("A", "ä");
    ASSERT_TRUE(settings.close());
    EXPECT_EQ(fileBytes("test.dat"), "\xEF\xBB\xBF\r\nA = \xC3\xA4\r\n");
}

TEST_F(SettingsFileTest, TwoBytesOfAByteOrderMarkAreText) {
    openWith("\xEF\xBB");
    settings.writeString("A", "ä");
    ASSERT_TRUE(settings.close());
    EXPECT_EQ(fileBytes("test.dat"), "\xEF\xBB = \r\nA = \xE4\r\n");
}

TEST_F(SettingsFileTest, CreatedFilesAreEightBit) {
    putFile("test.dat", "\xEF\xBB\xBFName = x\r\n");
    ASSERT_TRUE(settings.create("test.dat"));
    settings.writeString("Name", "Jörg");
    ASSERT_TRUE(settings.close());
    EXPECT_EQ(fileBytes("test.dat"), "Name = J\xF6rg\r\n");
}

// --- writing

TEST_F(SettingsFileTest, CreatedFileHoldsTheWrittenKeysInOrder) {
    ASSERT_TRUE(settings.create("new.dat"));
    settings.writeString("Ziel", "Feind");
    settings.writeString("Zeit", "12:40");
    settings.writeString("Leer", "");
    settings.writeString("Formel", "a = b");
    ASSERT_TRUE(settings.close());
    EXPECT_EQ(fileBytes("new.dat"),
              "Ziel = Feind\r\nZeit = 12:40\r\nLeer = \r\nFormel = a = b\r\n");
}

TEST_F(SettingsFileTest, WrittenValuesReadBackUnchanged) {
    ASSERT_TRUE(settings.create("new.dat"));
    settings.writeString("IP", "a=b  c");
    settings.writeString("Zahl", "-17");
    ASSERT_TRUE(settings.close());
    ASSERT_TRUE(settings.open("new.dat"));
    EXPECT_EQ(settings.readString("IP"), "a=b  c");
    EXPECT_EQ(settings.readInteger("Zahl"), -17);
}

TEST_F(SettingsFileTest, CreateTruncatesAtOnceAndEmptyCloseLeavesAnEmptyFile) {
    putFile("old.dat", "A = 1\r\nB = 2\r\n");
    ASSERT_TRUE(settings.create("old.dat"));
    EXPECT_EQ(fileBytes("old.dat"), "");
    EXPECT_EQ(settings.readString("A", "d"), "d");
    ASSERT_TRUE(settings.close());
    ASSERT_TRUE(fs::exists("old.dat"));
    EXPECT_EQ(fileBytes("old.dat"), "");
}

TEST_F(SettingsFileTest, WritingTheSameKeyTwiceKeepsOneLineInTheLastCase) {
    ASSERT_TRUE(settings.create("new.dat"));
    settings.writeString("port", "1");
    settings.writeString("Host", "h");
    settings.writeString("PORT", "2");
    ASSERT_TRUE(settings.close());
    EXPECT_EQ(fileBytes("new.dat"), "PORT = 2\r\nHost = h\r\n");
}

TEST_F(SettingsFileTest, ReplacedEntryKeepsItsPlaceAndTakesTheCallersCase) {
    openWith("port = 1\nhost = x\n");
    settings.writeString("Port", "2");
    ASSERT_TRUE(settings.close());
    EXPECT_EQ(fileBytes("test.dat"), "Port = 2\r\nhost = x\r\n");
}

TEST_F(SettingsFileTest, NewEntryGoesBeforeTheFirstSectionHeader) {
    openWith("A = 1\r\n[S]\r\nB = 2\r\n");
    settings.writeString("C", "3");
    settings.writeString("B", "4"); // the B of the section is not visible: a new one is added
    ASSERT_TRUE(settings.close());
    EXPECT_EQ(fileBytes("test.dat"), "A = 1\r\nC = 3\r\nB = 4\r\n[S]\r\nB = 2\r\n");
    ASSERT_TRUE(settings.open("test.dat"));
    EXPECT_EQ(settings.readString("B"), "4");
}

TEST_F(SettingsFileTest, NewEntryGoesFirstWhenTheFileStartsWithASection) {
    openWith("[S]\r\nA = 1\r\n");
    settings.writeString("A", "2");
    ASSERT_TRUE(settings.close());
    EXPECT_EQ(fileBytes("test.dat"), "A = 2\r\n[S]\r\nA = 1\r\n");
}

TEST_F(SettingsFileTest, CommentsAndSectionsAreWrittenBackInTheirOwnForm) {
    openWith("  ;first\r\n;  second\r\n\r\nKey\r\n[Sec] trailing text\r\n[Open\r\n; \r\n");
    settings.writeString("New", "1");
    ASSERT_TRUE(settings.close());
    EXPECT_EQ(fileBytes("test.dat"),
              "; first\r\n;  second\r\nKey = \r\nNew = 1\r\n[Sec]\r\n[Open]\r\n; \r\n");
}

TEST_F(SettingsFileTest, UnmodifiedFileIsNotRewritten) {
    const std::string original = "  a=1\n;c\n\n[x\r";
    openWith(original);
    EXPECT_EQ(settings.readString("a"), "1");
    ASSERT_TRUE(settings.close());
    EXPECT_EQ(fileBytes("test.dat"), original);
}

TEST_F(SettingsFileTest, WritesAfterAFailedOpenCreateTheFileAtClose) {
    EXPECT_FALSE(settings.open("FrendPre.dat"));
    settings.writeString("Name", "Jörg");
    EXPECT_FALSE(fs::exists("FrendPre.dat"));
    settings.writeString("Punkte", "1000");
    ASSERT_TRUE(settings.close());
    EXPECT_EQ(fileBytes("FrendPre.dat"), "Name = J\xF6rg\r\nPunkte = 1000\r\n");
}

TEST_F(SettingsFileTest, WritesWithoutACurrentFileAreIgnored) {
    settings.writeString("A", "1");
    EXPECT_TRUE(settings.close());
    ASSERT_TRUE(settings.create("a.dat"));
    settings.writeString("A", "1");
    ASSERT_TRUE(settings.close());
    settings.writeString("B", "2");
    EXPECT_TRUE(settings.close());
    EXPECT_EQ(fileBytes("a.dat"), "A = 1\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 1);
}

TEST_F(SettingsFileTest, OpeningAnotherFileWritesTheCurrentOneFirst) {
    putFile("b.dat", "B = 2\r\n");
    ASSERT_TRUE(settings.create("a.dat"));
    settings.writeString("A", "1");
    ASSERT_TRUE(settings.open("b.dat"));
    EXPECT_EQ(fileBytes("a.dat"), "A = 1\r\n");
    EXPECT_EQ(settings.readString("A", "d"), "d");
    EXPECT_EQ(settings.readString("B"), "2");
}

TEST_F(SettingsFileTest, CreatingAnotherFileWritesTheCurrentOneFirst) {
    ASSERT_TRUE(settings.create("a.dat"));
    settings.writeString("A", "1");
    ASSERT_TRUE(settings.create("b.dat"));
    EXPECT_EQ(fileBytes("a.dat"), "A = 1\r\n");
    settings.writeString("B", "2");
    ASSERT_TRUE(settings.close());
    EXPECT_EQ(fileBytes("b.dat"), "B = 2\r\n");
    EXPECT_EQ(fileBytes("a.dat"), "A = 1\r\n");
}

TEST_F(SettingsFileTest, DestructionWritesAModifiedFile) {
    {
        SettingsFile local;
        ASSERT_TRUE(local.create("a.dat"));
        local.writeString("A", "1");
    }
    EXPECT_EQ(fileBytes("a.dat"), "A = 1\r\n");
}

TEST_F(SettingsFileTest, ReadOnlyFileCannotBeCreatedAndLaterWritesAreIgnored) {
    putFile("ro.dat", "A = 1\r\n");
    makeReadOnly("ro.dat");
    EXPECT_FALSE(settings.create("ro.dat"));
    settings.writeString("A", "2");
    EXPECT_TRUE(settings.close());
    EXPECT_EQ(fileBytes("ro.dat"), "A = 1\r\n");
}

TEST_F(SettingsFileTest, FailedRewriteOfAReadOnlyFileIsReportedAndLeavesIt) {
    putFile("ro.dat", "A = 1\r\n");
    makeReadOnly("ro.dat");
    ASSERT_TRUE(settings.open("ro.dat"));
    settings.writeString("A", "2");
    EXPECT_FALSE(settings.close());
    EXPECT_EQ(fileBytes("ro.dat"), "A = 1\r\n");
}

TEST_F(SettingsFileTest, LineEndsInsideWrittenTextCannotAddEntries) {
    ASSERT_TRUE(settings.create("a.dat"));
    settings.writeString("Name", "x\r\nPort = 1");
    ASSERT_TRUE(settings.close());
    ASSERT_TRUE(settings.open("a.dat"));
    EXPECT_EQ(settings.readString("Port", "d"), "d");
    EXPECT_EQ(settings.readString("Name"), "x  Port = 1");
}

// Found by fuzzing: a plain file whose first kept line begins with the bytes of the UTF-8
// byte-order mark would have been saved with those bytes at its very start, and read as UTF-8
// from then on.
TEST_F(SettingsFileTest, APlainFileStaysPlainWhenItsFirstLineBeginsWithTheUtf8Mark) {
    for (const std::string& start : {std::string("\r\n"), std::string(2, '\0'), std::string(" ")}) {
        const std::string plain = start + "\xEF\xBB\xBFNa\r\nHost = K\xE4se\r\n";
        openWith(plain);
        const std::string before = settings.readString("Host");
        settings.writeString("Port", "80");
        ASSERT_TRUE(settings.close());
        ASSERT_TRUE(settings.open("test.dat"));
        EXPECT_EQ(settings.readString("Host"), before) << ::testing::PrintToString(plain);
        EXPECT_EQ(settings.readString("\xEF\xBB\xBFNa", "none"), "")
            << ::testing::PrintToString(plain);
        settings.close();
    }
}

} // namespace
} // namespace reef::settings
