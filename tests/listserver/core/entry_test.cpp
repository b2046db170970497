#include "listserver/core/entry.h"

#include <gtest/gtest.h>

using namespace reef::listserver;

namespace {

QueryValues enemyKeys() {
    return QueryValues{{"Hilfe", "2"},         {"Name", "Klaus"},   {"Allianz", "Haie"},
                       {"Basis", "1:2:3"},     {"Punkte", "12"},    {"Schiffe", "300"},
                       {"Modus", "1"},         {"ZielName", "Ann"}, {"ZielAllianz", ""},
                       {"ZielBasis", "4:5:6"}, {"ZielPunkte", ""},  {"BasisZeit", "1200"},
                       {"Von", "Bert"},        {"ZielZeit", "0"}};
}

EntryPatch accepted(const QueryValues& keys, ListKind kind = ListKind::Enemy) {
    auto result = readEntryPatch(keys, kind);
    if (auto* rejection = std::get_if<Rejection>(&result))
        ADD_FAILURE() << rejection->reason;
    return std::get<EntryPatch>(result);
}

std::string refused(const QueryValues& keys, ListKind kind = ListKind::Enemy) {
    auto result = readEntryPatch(keys, kind);
    auto* rejection = std::get_if<Rejection>(&result);
    return rejection ? rejection->reason : std::string();
}

} // namespace

TEST(ListKind, OnlyTheTwoIdentifiers) {
    EXPECT_EQ(listKindOf("Reef_Frend"), ListKind::Allied);
    EXPECT_EQ(listKindOf("Reef_Enemy"), ListKind::Enemy);
    EXPECT_FALSE(listKindOf("reef_frend"));
    EXPECT_FALSE(listKindOf(""));
}

TEST(ReadEntryPatch, ReadsEveryKey) {
    FleetEntry entry = accepted(enemyKeys()).appliedTo(FleetEntry{});
    EXPECT_EQ(entry.Hilfe, 2);
    EXPECT_EQ(entry.Name, "Klaus");
    EXPECT_EQ(entry.Punkte, 12);
    EXPECT_EQ(entry.Schiffe, 300);
    EXPECT_EQ(entry.Modus, 1);
    EXPECT_EQ(entry.ZielPunkte, 0) << "digits that were not typed";
    EXPECT_EQ(entry.ZielZeit, 0) << "midnight is a time, not 'none'";
    EXPECT_EQ(entry.BasisZeit, 1200);
    EXPECT_EQ(entry.Von, "Bert");
}

TEST(EntryPatchReplacing, AChangeReplacesTheEntryKeepingOnlyALeftOutHelpCode) {
    QueryValues keys = enemyKeys();
    keys.erase("Hilfe");
    keys.erase("ZielZeit");
    keys.erase("Punkte");
    keys.erase("Allianz");
    FleetEntry old;
    old.Hilfe = 4;
    old.ZielZeit = 3600;
    old.Punkte = 99;
    old.Allianz = "Alt";
    FleetEntry changed = accepted(keys).replacing(old);
    EXPECT_EQ(changed.Hilfe, 4) << "no help code selected: the stored one stays";
    EXPECT_FALSE(changed.ZielZeit) << "no target time sent: none is stored";
    EXPECT_EQ(changed.Punkte, 0);
    EXPECT_EQ(changed.Allianz, "");
    EXPECT_EQ(changed.Name, "Klaus");

    keys["Hilfe"] = "0";
    keys["ZielZeit"] = "600";
    FleetEntry given = accepted(keys).replacing(old);
    EXPECT_EQ(given.Hilfe, 0);
    EXPECT_EQ(given.ZielZeit, 600);
}

TEST(ReadEntryPatch, RequiredValuesDependOnTheList) {
    QueryValues keys = enemyKeys();
    keys.erase("Von");
    EXPECT_NE(refused(keys, ListKind::Enemy), "");
    accepted(keys, ListKind::Allied);
    for (const char* required : {"Name", "Basis", "ZielName", "ZielBasis", "BasisZeit"}) {
        QueryValues missing = enemyKeys();
        missing.erase(required);
        EXPECT_NE(refused(missing, ListKind::Allied), "") << required;
        missing[required] = "";
        EXPECT_NE(refused(missing, ListKind::Allied), "") << required << " empty";
    }
}

TEST(ReadEntryPatch, RangesOfCodesAndTimes) {
    auto with = [](const char* key, const char* value) {
        QueryValues keys = enemyKeys();
        keys[key] = value;
        return keys;
    };
    accepted(with("Hilfe", "0"));
    accepted(with("Hilfe", "5"));
    EXPECT_NE(refused(with("Hilfe", "6")), "");
    EXPECT_NE(refused(with("Hilfe", "")), "");
    EXPECT_NE(refused(with("Hilfe", " 1")), "");
    accepted(with("Modus", "2"));
    EXPECT_NE(refused(with("Modus", "3")), "");
    accepted(with("BasisZeit", "86399"));
    EXPECT_NE(refused(with("BasisZeit", "86400")), "");
    EXPECT_NE(refused(with("ZielZeit", "-1")), "");
    EXPECT_NE(refused(with("Schiffe", "2147483648")), "") << "beyond 32 bits";
    accepted(with("Punkte", "9223372036854775807"));
    EXPECT_NE(refused(with("Punkte", "9223372036854775808")), "");
    EXPECT_NE(refused(with("Punkte", "1k")), "");
    EXPECT_NE(refused(with("Punkte", "-5")), "") << "the desktop program sends no sign";
    EXPECT_NE(refused(with("Schiffe", "+5")), "");
    EXPECT_NE(refused(with("BasisZeit", "-0")), "");
}

TEST(ReadEntryPatch, ValuesThatWouldBreakTheListAreRefused) {
    auto withName = [](std::string value) {
        QueryValues keys = enemyKeys();
        keys["Name"] = std::move(value);
        return keys;
    };
    accepted(withName(std::string(100, 'n')));
    EXPECT_NE(refused(withName(std::string(101, 'n'))), "");
    for (std::string bad :
         std::vector<std::string>{"a|>", "<|a", "a\rb", "a\nb", std::string("a\0b", 3), "<>end|<>",
                                  "a\tb", "\x1b[2J", "Anna\x7f"})
        EXPECT_NE(refused(withName(bad)), "") << bad;
    accepted(withName("a|b<c>d"));
    QueryValues unknownKey = enemyKeys();
    unknownKey["Whatever"] = "x|>y";
    accepted(unknownKey);
}

TEST(ReadChangeKey, NeedsBothKeys) {
    auto key = readChangeKey(QueryValues{{"IDW", "5"}, {"BasisZeitW", "49200"}});
    ASSERT_TRUE(std::holds_alternative<ChangeKey>(key));
    EXPECT_EQ(std::get<ChangeKey>(key).nameLength, 5);
    EXPECT_EQ(std::get<ChangeKey>(key).basisZeit, 49200);
    EXPECT_TRUE(std::holds_alternative<Rejection>(readChangeKey(QueryValues{{"IDW", "5"}})));
    EXPECT_TRUE(std::holds_alternative<Rejection>(
        readChangeKey(QueryValues{{"IDW", "-1"}, {"BasisZeitW", "0"}})));
    EXPECT_TRUE(std::holds_alternative<Rejection>(
        readChangeKey(QueryValues{{"IDW", "1"}, {"BasisZeitW", "86400"}})));
}

TEST(PickEntryToChange, OnlyAClearChoice) {
    auto named = [](std::initializer_list<const char*> names) {
        std::vector<FleetEntry> entries;
        for (const char* name : names) {
            FleetEntry entry;
            entry.Name = name;
            entries.push_back(entry);
        }
        return entries;
    };
    EXPECT_EQ(pickEntryToChange(named({"Anna"}), "Otto"), 0u) << "one match: whatever the name";
    EXPECT_EQ(pickEntryToChange(named({"Anna", "Bert"}), "Bert"), 1u);
    EXPECT_FALSE(pickEntryToChange(named({"Anna", "Bert"}), "Carl"));
    EXPECT_FALSE(pickEntryToChange(named({"Bert", "Anna", "Bert"}), "Bert"));
    EXPECT_FALSE(pickEntryToChange(named({}), "Bert"));
}

TEST(ListBody, FifteenFieldsInWireOrderAndTheEndMarkerLast) {
    FleetEntry entry;
    entry.Hilfe = 3;
    entry.Name = "N";
    entry.Allianz = "A";
    entry.Basis = "B";
    entry.Punkte = 5000000000;
    entry.Schiffe = -7;
    entry.Modus = 2;
    entry.ZielName = "ZN";
    entry.ZielAllianz = "ZA";
    entry.ZielBasis = "ZB";
    entry.ZielPunkte = 9;
    entry.Von = "V";
    entry.BasisZeit = 1200;
    entry.UpdateZeit = 1700000000;
    EXPECT_EQ(listBody({entry}),
              "|>Update<|<|3|><|N|><|A|><|B|><|5000000000|><|-7|><|2|><|ZN|><|ZA|><|ZB|><|9|>"
              "<|V|><||><|1200|><|1700000000|><>end|<>");
    entry.ZielZeit = 0;
    std::string body = listBody({entry, entry});
    EXPECT_NE(body.find("<|V|><|0|><|1200|>"), std::string::npos);
    EXPECT_EQ(body.substr(body.size() - 8), "<>end|<>");
    EXPECT_EQ(listBody({}), "|>Update<|<>end|<>");
}
