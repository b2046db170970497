#include "fleetlists/list_cache.h"

#include "platform/files.h"
#include "support/scoped_temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace reef::fleetlists;
using reef::platform::readFileBytes;
using reef::platform::replaceFileBytes;
using reef::testing::ScopedTempDir;

namespace {

std::string littleEndian(std::int64_t value, int size) {
    std::string bytes;
    for (int i = 0; i < size; ++i) {
        bytes.push_back(static_cast<char>((static_cast<std::uint64_t>(value) >> (8 * i)) & 0xFF));
    }
    return bytes;
}

std::string widthBytes(int count) {
    std::string bytes;
    for (int i = 0; i < count; ++i) {
        bytes += littleEndian(kDefaultColumnWidths[static_cast<std::size_t>(i)], 2);
    }
    return bytes;
}

// The bytes of a record, with the given line end after each string.
std::string recordBytes(const FleetEntry& e, const std::string& lineEnd = "\r\n") {
    return littleEndian(e.Hilfe, 1) + e.Name + lineEnd + e.Allianz + lineEnd + e.Basis + lineEnd +
           littleEndian(e.Punkte, 8) + littleEndian(e.Schiffe, 4) + littleEndian(e.Modus, 4) +
           e.ZielName + lineEnd + e.ZielAllianz + lineEnd + e.ZielBasis + lineEnd +
           littleEndian(e.ZielPunkte, 8) + littleEndian(e.ZielZeit, 4) +
           littleEndian(e.BasisZeit, 4) + littleEndian(e.UpdateZeit, 4) + e.Von + lineEnd;
}

FleetEntry sampleEntry() {
    FleetEntry e;
    e.Hilfe = 3;
    e.Name = "Paul";
    e.Allianz = "";
    e.Basis = "1:2:3";
    e.Punkte = 1234567890123;
    e.Schiffe = 4200;
    e.Modus = 2;
    e.ZielName = "Zoë";
    e.ZielAllianz = "[Feind]";
    e.ZielBasis = "4:5:6";
    e.ZielPunkte = 0;
    e.ZielZeit = kNoTime;
    e.BasisZeit = 37200;
    e.UpdateZeit = 1796744887 % 86400;
    e.Von = "Bert";
    return e;
}

FleetEntry secondEntry() {
    FleetEntry e;
    e.Hilfe = 5;
    e.Name = "Anna";
    e.Allianz = "Riff";
    e.Basis = "7:8:9";
    e.Punkte = -1;
    e.Schiffe = -2147483647 - 1;
    e.Modus = 1;
    e.ZielName = "Anna";
    e.ZielBasis = "7:8:9";
    e.ZielPunkte = INT64_MIN;
    e.ZielZeit = 0;
    e.BasisZeit = 85200;
    e.UpdateZeit = -5;
    return e;
}

ListCacheData headerOnly() {
    ListCacheData data;
    data.interval = 5;
    data.password = "pw";
    return data;
}

} // namespace

TEST(ListCacheFormat, AlliedFileWithoutRecordsIs40Bytes) {
    const std::string bytes = encodeListCache(FleetListKind::Allied, headerOnly());
    EXPECT_EQ(bytes.size(), 40u);
    EXPECT_EQ(bytes, littleEndian(5, 4) + "pw\r\n" + widthBytes(16));
}

TEST(ListCacheFormat, EnemyFileWithoutRecordsIs42Bytes) {
    const std::string bytes = encodeListCache(FleetListKind::Enemy, headerOnly());
    EXPECT_EQ(bytes.size(), 42u);
    EXPECT_EQ(bytes, littleEndian(5, 4) + "pw\r\n" + widthBytes(17));
}

TEST(ListCacheFormat, RecordWithEmptyStringsIs51Bytes) {
    ListCacheData data = headerOnly();
    data.rows.push_back(FleetEntry{});
    const std::string bytes = encodeListCache(FleetListKind::Allied, data);
    ASSERT_EQ(bytes.size(), 40u + 51u);
    const std::string crlf = "\r\n";
    const std::string expected = std::string(1, '\0') + crlf + crlf + crlf + std::string(16, '\0') +
                                 crlf + crlf + crlf + std::string(20, '\0') + crlf;
    EXPECT_EQ(bytes.substr(40), expected);
}

TEST(ListCacheFormat, RecordFieldsInOrderLittleEndian) {
    ListCacheData data = headerOnly();
    data.rows = {sampleEntry(), secondEntry()};
    const std::string bytes = encodeListCache(FleetListKind::Enemy, data);
    EXPECT_EQ(bytes.substr(42), recordBytes(sampleEntry()) + recordBytes(secondEntry()));
    // Spot checks independent of the helper: ZielZeit -1 is four 0xFF bytes right after the
    // target's points.
    const std::size_t zielPunkte = 42 + 1 + 6 + 2 + 7 + 8 + 4 + 4 + 5 + 9 + 7;
    EXPECT_EQ(bytes.substr(zielPunkte, 8), std::string(8, '\0'));
    EXPECT_EQ(bytes.substr(zielPunkte + 8, 4), std::string(4, '\xFF'));
    EXPECT_EQ(bytes.substr(zielPunkte + 12, 4), std::string("\x50\x91\x00\x00", 4)); // 37200
}

TEST(ListCacheFormat, AlliedAndEnemyFilesDifferOnlyByTheSeventeenthWidth) {
    ListCacheData data = headerOnly();
    data.widths[16] = 0x1234;
    data.rows = {sampleEntry(), secondEntry()};
    const std::string allied = encodeListCache(FleetListKind::Allied, data);
    const std::string enemy = encodeListCache(FleetListKind::Enemy, data);
    ASSERT_EQ(enemy.size(), allied.size() + 2);
    const std::size_t widthEnd = 4 + 4 + 32;
    EXPECT_EQ(enemy.substr(0, widthEnd), allied.substr(0, widthEnd));
    EXPECT_EQ(enemy.substr(widthEnd, 2), "\x34\x12");
    EXPECT_EQ(enemy.substr(widthEnd + 2), allied.substr(widthEnd))
        << "records, Von included, are the same in both files";
}

TEST(ListCacheRead, HeaderOfBothKinds) {
    ListCacheData state;
    state.widths.fill(1);
    decodeListCache(FleetListKind::Allied, littleEndian(-7, 4) + "pw\r\n" + widthBytes(17), state);
    EXPECT_EQ(state.interval, -7);
    EXPECT_EQ(state.password, "pw");
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(state.widths[static_cast<std::size_t>(i)],
                  kDefaultColumnWidths[static_cast<std::size_t>(i)]);
    }
    EXPECT_EQ(state.widths[16], 1) << "the allied file leaves the enemy column alone";
    ASSERT_EQ(state.rows.size(), 1u) << "the 17th width is read as the start of a record";

    ListCacheData enemy;
    enemy.widths.fill(1);
    decodeListCache(FleetListKind::Enemy, littleEndian(3, 4) + "pw\r\n" + widthBytes(17), enemy);
    EXPECT_EQ(enemy.widths, kDefaultColumnWidths);
    EXPECT_TRUE(enemy.rows.empty());
}

TEST(ListCacheRead, BareLineFeedsReadTheSame) {
    const std::string tail =
        widthBytes(17) + recordBytes(sampleEntry(), "\n") + recordBytes(secondEntry(), "\n");
    ListCacheData state;
    decodeListCache(FleetListKind::Enemy, littleEndian(5, 4) + "pw\n" + tail, state);
    EXPECT_EQ(state.password, "pw");
    EXPECT_EQ(state.interval, 5);
    ASSERT_EQ(state.rows.size(), 2u);
    EXPECT_EQ(state.rows[0], sampleEntry());
    EXPECT_EQ(state.rows[1], secondEntry());
}

TEST(ListCacheRead, LoneCarriageReturnAndNulEndAString) {
    // After a CR that is not followed by LF the next byte starts the next field.
    std::string bytes = littleEndian(1, 4) + "pw\r" + widthBytes(16);
    FleetEntry e;
    e.Name = "a";
    e.Allianz = "b";
    bytes += littleEndian(0, 1) + "a\rb";
    bytes += '\0';
    bytes += "\r\n" + littleEndian(0, 8) + littleEndian(0, 4) + littleEndian(0, 4) +
             "\r\n\r\n\r\n" + std::string(8 + 12, '\0') + "\n";
    ListCacheData state;
    decodeListCache(FleetListKind::Allied, bytes, state);
    EXPECT_EQ(state.password, "pw");
    EXPECT_EQ(state.widths, kDefaultColumnWidths);
    ASSERT_EQ(state.rows.size(), 1u);
    EXPECT_EQ(state.rows[0], e);
}

TEST(ListCacheRead, KnownPasswordIsKept) {
    ListCacheData state;
    state.password = "known";
    decodeListCache(FleetListKind::Allied,
                    littleEndian(9, 4) + "stored\r\n" + widthBytes(16) + recordBytes(sampleEntry()),
                    state);
    EXPECT_EQ(state.password, "known");
    EXPECT_EQ(state.interval, 9);
    ASSERT_EQ(state.rows.size(), 1u) << "the stored password is skipped, not read as data";
    EXPECT_EQ(state.rows[0], sampleEntry());
}

TEST(ListCacheRead, RecordsOnlyIntoAnEmptyList) {
    ListCacheData state;
    state.rows = {secondEntry()};
    decodeListCache(FleetListKind::Allied,
                    littleEndian(4, 4) + "pw\r\n" + widthBytes(16) + recordBytes(sampleEntry()),
                    state);
    EXPECT_EQ(state.interval, 4) << "the interval is taken on every opening";
    ASSERT_EQ(state.rows.size(), 1u);
    EXPECT_EQ(state.rows[0], secondEntry());
}

TEST(ListCacheRead, CutOffRecordStaysWithZeroAndEmptyFields) {
    const std::string full = recordBytes(sampleEntry());
    // Cut inside Punkte: the rest of the record is zero or empty.
    const std::size_t cut = 1 + 6 + 2 + 7 + 3;
    ListCacheData state;
    decodeListCache(FleetListKind::Allied,
                    littleEndian(4, 4) + "pw\r\n" + widthBytes(16) + full + full.substr(0, cut),
                    state);
    ASSERT_EQ(state.rows.size(), 2u);
    EXPECT_EQ(state.rows[0], sampleEntry());
    FleetEntry partial;
    partial.Hilfe = 3;
    partial.Name = "Paul";
    partial.Basis = "1:2:3";
    EXPECT_EQ(state.rows[1], partial);
}

TEST(ListCacheRead, RecordCutInsideAStringKeepsItsStart) {
    ListCacheData state;
    decodeListCache(FleetListKind::Allied,
                    littleEndian(4, 4) + "pw\r\n" + widthBytes(16) + std::string(1, '\x02') + "Pa",
                    state);
    ASSERT_EQ(state.rows.size(), 1u);
    FleetEntry partial;
    partial.Hilfe = 2;
    partial.Name = "Pa";
    EXPECT_EQ(state.rows[0], partial);
}

TEST(ListCacheRead, HeaderCutShortKeepsDefaultWidths) {
    // Zero widths would hide the columns; the widths the file lacks take their defaults.
    ListCacheData state;
    state.widths.fill(1);
    decodeListCache(FleetListKind::Enemy,
                    littleEndian(4, 4) + "pw\r\n" + littleEndian(33, 2) + littleEndian(44, 1),
                    state);
    EXPECT_EQ(state.interval, 4);
    EXPECT_EQ(state.widths[0], 33);
    for (std::size_t i = 1; i < state.widths.size(); ++i) {
        EXPECT_EQ(state.widths[i], kDefaultColumnWidths[i]) << i;
    }
    EXPECT_TRUE(state.rows.empty());
}

TEST(ListCacheRead, EmptyFile) {
    ListCacheData state;
    state.interval = 7;
    state.password = "known";
    state.widths.fill(1);
    decodeListCache(FleetListKind::Allied, "", state);
    EXPECT_EQ(state.interval, 0) << "an integer at the end of the file reads as 0";
    EXPECT_EQ(state.password, "known");
    EXPECT_EQ(state.widths[0], kDefaultColumnWidths[0]);
    EXPECT_EQ(state.widths[15], kDefaultColumnWidths[15]);
    EXPECT_TRUE(state.rows.empty());
}

TEST(ListCacheRead, WidthsAreSigned16BitAndANegativeOneTakesTheDefault) {
    // No list view has a negative width; the backends would size such a column by its
    // content or refuse it.
    ListCacheData state;
    decodeListCache(FleetListKind::Enemy,
                    littleEndian(0, 4) + "\r\n" + littleEndian(-2, 2) + littleEndian(-1, 2) +
                        littleEndian(-32768, 2) + littleEndian(32767, 2) + littleEndian(0, 2) +
                        widthBytes(11) + littleEndian(-5, 2),
                    state);
    EXPECT_EQ(state.widths[0], kDefaultColumnWidths[0]);
    EXPECT_EQ(state.widths[1], kDefaultColumnWidths[1]);
    EXPECT_EQ(state.widths[2], kDefaultColumnWidths[2]);
    EXPECT_EQ(state.widths[3], 32767);
    EXPECT_EQ(state.widths[4], 0) << "a column the player made zero wide stays so";
    EXPECT_EQ(state.widths[16], kDefaultColumnWidths[16]);
}

class ListCacheFile : public ::testing::Test {
  protected:
    ScopedTempDir dir;
};

TEST_F(ListCacheFile, RoundTripKeepsEmptyAllianzAndUnknownTargetTime) {
    for (const auto kind : {FleetListKind::Allied, FleetListKind::Enemy}) {
        const std::string path = dir.file(listCacheFileName(kind));
        ListCacheData saved;
        saved.interval = 15;
        saved.password = "geheim";
        saved.widths[3] = 123;
        saved.rows = {sampleEntry(), secondEntry()};
        ASSERT_TRUE(saveListCache(kind, path, saved));

        ListCacheData loaded;
        loaded.widths.fill(1);
        ASSERT_TRUE(loadListCache(kind, path, loaded));
        EXPECT_EQ(loaded.interval, 15);
        EXPECT_EQ(loaded.password, "geheim");
        EXPECT_EQ(loaded.widths[3], 123);
        ASSERT_EQ(loaded.rows.size(), 2u);
        EXPECT_EQ(loaded.rows[0].Allianz, "");
        EXPECT_EQ(loaded.rows[0].ZielZeit, -1);
        EXPECT_EQ(loaded.rows, saved.rows);
    }
}

TEST_F(ListCacheFile, FileNamesOfTheKinds) {
    EXPECT_EQ(listCacheFileName(FleetListKind::Allied), "tblFrend.dat");
    EXPECT_EQ(listCacheFileName(FleetListKind::Enemy), "tblEnemy.dat");
}

TEST_F(ListCacheFile, MissingFileSetsDefaultWidthsAndKeepsTheRest) {
    ListCacheData state;
    state.interval = 3;
    state.password = "known";
    state.widths.fill(1);
    state.rows = {sampleEntry()};
    EXPECT_FALSE(loadListCache(FleetListKind::Allied, dir.file("tblFrend.dat"), state));
    EXPECT_EQ(state.interval, 3);
    EXPECT_EQ(state.password, "known");
    EXPECT_EQ(state.widths, kDefaultColumnWidths) << "all 17, the enemy column too";
    EXPECT_EQ(state.rows.size(), 1u);
}

TEST_F(ListCacheFile, LineBreaksAndNulInsideStringsAreSavedAsBlanks) {
    const std::string path = dir.file("tblEnemy.dat");
    ListCacheData saved;
    saved.password = "p\rw";
    FleetEntry entry = sampleEntry();
    entry.Name = "Pa\nul";
    entry.Allianz = std::string("A\0B", 3);
    entry.Von = "Be\r\nrt";
    saved.rows = {entry, secondEntry()};
    ASSERT_TRUE(saveListCache(FleetListKind::Enemy, path, saved));

    ListCacheData loaded;
    ASSERT_TRUE(loadListCache(FleetListKind::Enemy, path, loaded));
    EXPECT_EQ(loaded.password, "p w");
    FleetEntry expected = entry;
    expected.Name = "Pa ul";
    expected.Allianz = "A B";
    expected.Von = "Be  rt";
    ASSERT_EQ(loaded.rows.size(), 2u) << "no field may shift into the next";
    EXPECT_EQ(loaded.rows[0], expected);
    EXPECT_EQ(loaded.rows[1], secondEntry());
}

TEST_F(ListCacheFile, SavingReplacesTheWholeFile) {
    const std::string path = dir.file("tblFrend.dat");
    ListCacheData data = headerOnly();
    data.rows = {sampleEntry(), secondEntry()};
    ASSERT_TRUE(saveListCache(FleetListKind::Allied, path, data));
    data.rows.clear();
    ASSERT_TRUE(saveListCache(FleetListKind::Allied, path, data));
    EXPECT_EQ(readFileBytes(path)->size(), 40u) << "no rows of the longer file remain";
}

TEST_F(ListCacheFile, ReadOnlyFileIsLeftAlone) {
    const std::string path = dir.file("tblFrend.dat");
    ASSERT_TRUE(replaceFileBytes(path, "old"));
    std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    EXPECT_FALSE(saveListCache(FleetListKind::Allied, path, headerOnly()));
    EXPECT_EQ(readFileBytes(path), "old");
}
