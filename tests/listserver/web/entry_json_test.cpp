// The page's JSON entries read into the values of the desktop program's requests.

#include "listserver/web/entry_json.h"

#include <gtest/gtest.h>

using namespace reef::listserver;

namespace {

std::string utf8(const char8_t* text) {
    return reinterpret_cast<const char*>(text);
}

std::string body(const std::string& list, const std::string& entryMembers) {
    return "{\"list\":\"" + list + "\",\"entry\":{\"Schiffe\":1" +
           (entryMembers.empty() ? "" : "," + entryMembers) + "}}";
}

TEST(EntryJson, ValuesTakeTheFormsTheDialogsSend) {
    struct Case {
        const char* what;
        std::string list;
        std::string members;
        const char* key;
        std::optional<std::string> value; // nothing: the key is left out
    };
    const Case cases[] = {
        {"outer blanks trimmed, inner ones as _", "Reef_Enemy", "\"Name\":\"  Klaus Peter \"",
         "Name", "Klaus_Peter"},
        {"UTF-8 becomes Windows-1252", "Reef_Enemy", "\"Allianz\":\"" + utf8(u8"Grüße €") + "\"",
         "Allianz",
         "Gr\xFC\xDF"
         "e_\x80"},
        {"escaped characters", "Reef_Enemy", "\"Basis\":\"\\u00fc\\\"x\\\\\"", "Basis",
         "\xFC\"x\\"},
        {"an empty text stays empty", "Reef_Enemy", "\"ZielAllianz\":\"\"", "ZielAllianz", ""},
        {"a text as null is empty", "Reef_Enemy", "\"ZielAllianz\":null", "ZielAllianz", ""},
        {"grouped points", "Reef_Enemy", "\"Punkte\":\"1.234.567\"", "Punkte", "1234567"},
        {"points as a number", "Reef_Enemy", "\"ZielPunkte\":9007199254740993", "ZielPunkte",
         "9007199254740993"},
        {"points not given", "Reef_Enemy", "\"Punkte\":null", "Punkte", ""},
        {"ships as text", "Reef_Enemy", "\"Schiffe\":\"500\"", "Schiffe", "500"},
        {"a choice", "Reef_Enemy", "\"Modus\":2", "Modus", "2"},
        {"a choice as text", "Reef_Enemy", "\"Hilfe\":\"4\"", "Hilfe", "4"},
        {"a choice left out", "Reef_Enemy", "\"Hilfe\":null", "Hilfe", std::nullopt},
        {"seconds snapped to the tick", "Reef_Enemy", "\"BasisZeit\":49620", "BasisZeit", "49200"},
        {"hh:mm snapped to the tick", "Reef_Enemy", "\"ZielZeit\":\"10:25\"", "ZielZeit", "37200"},
        {"h:mm", "Reef_Enemy", "\"ZielZeit\":\"9:05\"", "ZielZeit", "32400"},
        {"midnight", "Reef_Enemy", "\"BasisZeit\":0", "BasisZeit", "0"},
        {"the last minute", "Reef_Enemy", "\"BasisZeit\":\"23:59\"", "BasisZeit", "85200"},
        {"no impact time", "Reef_Enemy", "\"ZielZeit\":null", "ZielZeit", std::nullopt},
        {"Von in the enemy list", "Reef_Enemy", "\"Von\":\"Bert\"", "Von", "Bert"},
        {"no Von in the allied list", "Reef_Frend", "\"Von\":\"Bert\"", "Von", std::nullopt},
        {"the number and time of a list's entry are no values", "Reef_Frend",
         "\"id\":5,\"UpdateZeit\":3600", "UpdateZeit", std::nullopt},
    };
    for (const Case& each : cases) {
        auto read = readEntryBody(body(each.list, each.members));
        ASSERT_TRUE(std::holds_alternative<EntryBody>(read))
            << each.what << ": " << std::get<EntryProblem>(read).message;
        const EntryBody& entry = std::get<EntryBody>(read);
        EXPECT_EQ(entry.list, each.list == "Reef_Frend" ? ListKind::Allied : ListKind::Enemy);
        const auto found = entry.values.find(each.key);
        if (!each.value) {
            EXPECT_EQ(found, entry.values.end()) << each.what;
            continue;
        }
        ASSERT_NE(found, entry.values.end()) << each.what;
        EXPECT_EQ(found->second, *each.value) << each.what;
    }
}

TEST(EntryJson, WhatCannotBeReadIsNamedByItsField) {
    struct Case {
        std::string body;
        int status;
        const char* field;
    };
    const Case cases[] = {
        {"", 400, ""},
        {"null", 400, ""},
        {"[]", 400, ""},
        {"{\"list\":\"Reef_Enemy\",\"entry\":{\"Name\":\"x\"", 400, ""},
        {"{\"list\":\"Reef_Enemy\",\"entry\":{\"Name\":\"\xFC\"}}", 400, ""},
        {"{\"entry\":{}}", 422, "list"},
        {"{\"list\":7,\"entry\":{}}", 422, "list"},
        {"{\"list\":\"reef_enemy\",\"entry\":{}}", 422, "list"},
        {"{\"list\":\"Reef_Enemy\"}", 422, "entry"},
        {"{\"list\":\"Reef_Enemy\",\"entry\":[]}", 422, "entry"},
        {body("Reef_Enemy", "\"Farbe\":1"), 422, "Farbe"},
        {body("Reef_Enemy", "\"Name\":[\"x\"]"), 422, "Name"},
        {body("Reef_Enemy", "\"Name\":true"), 422, "Name"},
        {body("Reef_Enemy", "\"Name\":\"" + utf8(u8"Octopus 🐙") + "\""), 422, "Name"},
        {body("Reef_Enemy", "\"Name\":\"\\ud83d\\udc19\""), 422, "Name"},
        {body("Reef_Enemy", "\"Punkte\":-1"), 422, "Punkte"},
        {body("Reef_Enemy", "\"Punkte\":1.5"), 422, "Punkte"},
        {body("Reef_Enemy", "\"Punkte\":\"1,5\""), 422, "Punkte"},
        {body("Reef_Enemy", "\"Punkte\":1e30"), 422, "Punkte"},
        {body("Reef_Enemy", "\"Modus\":\"\""), 422, "Modus"},
        {body("Reef_Enemy", "\"Modus\":\"-1\""), 422, "Modus"},
        {body("Reef_Enemy", "\"Hilfe\":{}"), 422, "Hilfe"},
        {body("Reef_Enemy", "\"BasisZeit\":86400"), 422, "BasisZeit"},
        {body("Reef_Enemy", "\"BasisZeit\":-1200"), 422, "BasisZeit"},
        {body("Reef_Enemy", "\"BasisZeit\":\"24:00\""), 422, "BasisZeit"},
        {body("Reef_Enemy", "\"BasisZeit\":\"10:60\""), 422, "BasisZeit"},
        {body("Reef_Enemy", "\"BasisZeit\":\"10:5\""), 422, "BasisZeit"},
        {body("Reef_Enemy", "\"BasisZeit\":\"1025\""), 422, "BasisZeit"},
        {body("Reef_Enemy", "\"ZielZeit\":\"10:25:00\""), 422, "ZielZeit"},
        {"{\"list\":\"Reef_Enemy\",\"entry\":{\"Name\":\"x\"}}", 422, "Schiffe"},
        {body("Reef_Enemy", "\"Schiffe\":\"...\""), 422, "Schiffe"},
    };
    for (const Case& each : cases) {
        auto read = readEntryBody(each.body);
        ASSERT_TRUE(std::holds_alternative<EntryProblem>(read)) << each.body;
        const EntryProblem& problem = std::get<EntryProblem>(read);
        EXPECT_EQ(problem.status, each.status) << each.body;
        EXPECT_EQ(problem.field, each.field) << each.body;
        EXPECT_FALSE(problem.message.empty()) << each.body;
        // The message names the field by its German label.
        if (each.status == 422 && std::string(each.field) != "entry") {
            EXPECT_NE(problem.message.find(std::string(fieldLabel(each.field))), std::string::npos)
                << each.body << ": " << problem.message;
        }
    }
}

TEST(EntryJson, TheServicesRefusalsAreNamedInGerman) {
    using Fault = Rejection::Fault;
    const std::tuple<const char*, Fault, const char8_t*> cases[] = {
        {"Name", Fault::Missing, u8"Bitte „Name“ ausfüllen."},
        {"ZielName", Fault::TooLong, u8"„Ziel Name“ ist länger als 100 Zeichen."},
        {"Von", Fault::Marker, u8"„Eintragung getätigt von“ enthält Zeichen"},
        {"Basis", Fault::Control, u8"„Basis“ enthält Zeichen"},
        {"ZielPunkte", Fault::NotNumber, u8"„Ziel Punkte“ muss eine Zahl sein."},
        {"BasisZeit", Fault::OutOfRange, u8"„Rückkehr“ ist keine Uhrzeit."},
        {"Modus", Fault::OutOfRange, u8"„Auftrag“ ist keine der Auswahlen."},
        {"Hilfe", Fault::OutOfRange, u8"„Hilfe-/ Status“ ist keine der Auswahlen."},
    };
    for (const auto& [field, fault, says] : cases) {
        const EntryProblem problem = problemOf(Rejection{"log text", field, fault});
        EXPECT_EQ(problem.status, 422);
        EXPECT_EQ(problem.field, field);
        EXPECT_EQ(problem.message.rfind(utf8(says), 0), 0u) << problem.message;
    }
}

} // namespace
