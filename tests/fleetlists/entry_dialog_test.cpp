#include "fleetlists/entry_dialog.h"

#include "fleetlists/entry_dialog_layout.h"
#include "fleetlists/own_fleet_data.h"
#include "platform/files.h"
#include "support/fleet_lists_harness.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace reef::fleetlists;
using reef::platform::ControlId;
using reef::platform::Rect;
using reef::platform::rgb;
using reef::platform::WindowId;
using reef::platform::headless::ControlKind;
using reef::testing::clockTime;
using reef::testing::FleetListsHarness;

namespace {

constexpr FleetListKind kAllied = FleetListKind::Allied;
constexpr FleetListKind kEnemy = FleetListKind::Enemy;

constexpr const char* kOwnFleetFile = "Name = Anna\r\nAllianz = KOR\r\nBasis = 1:2:3\r\n"
                                      "Punkte = 12.500\r\nSchiffe = 300\r\n";

FleetEntry row(const std::string& name) {
    FleetEntry e;
    e.Hilfe = 1;
    e.Name = name;
    e.Allianz = "";
    e.Basis = "1:2:3";
    e.Punkte = 1234567;
    e.Schiffe = 42;
    e.Modus = 1;
    e.ZielName = "Ziel" + name;
    e.ZielAllianz = "FEIND";
    e.ZielBasis = "4:5:6";
    e.ZielPunkte = 0;
    e.ZielZeit = kNoTime;
    e.BasisZeit = clockTime(10, 20);
    e.UpdateZeit = clockTime(9, 8, 7);
    e.Von = "Bert";
    return e;
}

class EntryDialog : public ::testing::Test, public FleetListsHarness {
  protected:
    void SetUp() override { fleet.password = "geheim"; }

    // Opens the list window of the kind with these rows.
    void openList(FleetListKind kind, const std::vector<FleetEntry>& rows = {}) {
        list(kind).rows = rows;
        ASSERT_TRUE(open(kind));
    }

    ControlId field(FleetListKind kind, EntrySlot which) { return slot(kind, which); }
    std::string text(FleetListKind kind, EntrySlot which) { return ui.text(slot(kind, which)); }
    int selection(FleetListKind kind, EntrySlot which) {
        return ui.dropDownSelection(slot(kind, which));
    }
    bool submitEnabled(FleetListKind kind) { return ui.isEnabled(list(kind).dialogSubmitButton); }

    // Fills the required fields the program's way, raising no event and so no check.
    void setRequiredQuietly(FleetListKind kind) {
        for (const EntrySlot which :
             {EntrySlot::Name, EntrySlot::Basis, EntrySlot::Schiffe, EntrySlot::ZielName,
              EntrySlot::ZielBasis, EntrySlot::BasisZeit}) {
            ui.setText(field(kind, which), "x");
        }
        if (kind == kEnemy) {
            ui.setText(field(kind, EntrySlot::Von), "Anna");
        }
    }

    static void writeOwnFleetFile(const std::string& bytes) {
        ASSERT_TRUE(reef::platform::replaceFileBytes(kOwnFleetFileName, bytes));
    }
    static std::optional<std::string> ownFleetFile() {
        return reef::platform::readFileBytes(kOwnFleetFileName);
    }
};

// --- layout

struct Placed {
    std::string text;
    Rect rect;
};

struct SlotPlace {
    EntrySlot slot;
    Rect rect;
};

// Every expected text is shown by a control at the expected place.
void expectStatics(FleetListsHarness& h, WindowId dialog, const std::vector<Placed>& expected) {
    const std::vector<ControlId> controls = h.ui.controlsOf(dialog);
    for (const Placed& want : expected) {
        const bool found = std::any_of(controls.begin(), controls.end(), [&](ControlId c) {
            return h.ui.text(c) == want.text && h.user.controlRect(c) == want.rect;
        });
        EXPECT_TRUE(found) << want.text << " at " << want.rect.x << "," << want.rect.y << " "
                           << want.rect.width << "x" << want.rect.height;
    }
}

void expectSlots(FleetListsHarness& h, FleetListKind kind, const std::vector<SlotPlace>& expected) {
    for (const SlotPlace& want : expected) {
        EXPECT_EQ(h.user.controlRect(h.slot(kind, want.slot)), want.rect)
            << "slot " << static_cast<int>(want.slot);
    }
}

TEST_F(EntryDialog, AlliedDialogHasEveryControlInItsPlace) {
    openList(kAllied);
    const WindowId dialog = openNewEntry(kAllied);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(user.windowTitle(dialog), "Reef - Tools: Verbündete Flotten - neuer Eintrag");
    EXPECT_EQ(user.clientRect(dialog), (Rect{0, 0, 445, 242}));
    expectStatics(*this, dialog,
                  {
                      {"Daten der eigenen Flotte", {5, 5, 200, 140}},
                      {"Name*:", {20, 26, 50, 17}},
                      {"Allianz:", {20, 43, 50, 17}},
                      {"Basis*:", {20, 60, 50, 17}},
                      {"Punkte:", {20, 77, 50, 17}},
                      {"Schiffe*:", {20, 94, 50, 17}},
                      {"Auftrag:", {20, 114, 50, 17}},
                      {"Daten des Ziels", {240, 5, 200, 100}},
                      {"Name*:", {255, 26, 50, 17}},
                      {"Allianz:", {255, 43, 50, 17}},
                      {"Basis*:", {255, 60, 50, 17}},
                      {"Punkte:", {255, 77, 50, 17}},
                      {"Ankunft der Flotte (Uhrzeit)", {240, 110, 200, 70}},
                      {"am Ziel:", {255, 131, 60, 17}},
                      {"Rückkehr*:", {255, 148, 60, 17}},
                      {"Hilfe-/ Status:", {240, 188, 70, 20}},
                      {"Felder mit einem Stern müssen ausgefüllt werden!", {0, 149, 222, 34}},
                      {"Passwort:", {5, 184, 50, 17}},
                      {"Übernehmen", {15, 212, 200, 25}},
                      {"Abbrechen", {225, 212, 200, 25}},
                  });
    expectSlots(*this, kAllied,
                {
                    {EntrySlot::Name, {70, 25, 100, 17}},
                    {EntrySlot::Allianz, {70, 42, 100, 17}},
                    {EntrySlot::Basis, {70, 59, 100, 17}},
                    {EntrySlot::Punkte, {70, 76, 100, 17}},
                    {EntrySlot::Schiffe, {70, 93, 100, 17}},
                    {EntrySlot::ZielName, {305, 25, 100, 17}},
                    {EntrySlot::ZielAllianz, {305, 42, 100, 17}},
                    {EntrySlot::ZielBasis, {305, 59, 100, 17}},
                    {EntrySlot::ZielPunkte, {305, 76, 100, 17}},
                    {EntrySlot::ZielZeit, {315, 130, 90, 17}},
                    {EntrySlot::ZielTicks, {410, 131, 20, 17}},
                    {EntrySlot::BasisZeit, {315, 147, 90, 17}},
                    {EntrySlot::BasisTicks, {410, 148, 20, 17}},
                    {EntrySlot::HelpButton, {410, 184, 20, 20}},
                    {EntrySlot::Password, {55, 183, 150, 17}},
                });
    const auto modus = ui.controlInfo(slot(kAllied, EntrySlot::Modus));
    ASSERT_TRUE(modus);
    EXPECT_EQ((std::pair{modus->rect.x, modus->rect.y}), (std::pair{70, 110}));
    EXPECT_EQ((std::pair{modus->rect.width, modus->dropHeight}), (std::pair{100, 80}));
    const auto help = ui.controlInfo(slot(kAllied, EntrySlot::Hilfe));
    ASSERT_TRUE(help);
    EXPECT_EQ((std::pair{help->rect.x, help->rect.y}), (std::pair{310, 184}));
    EXPECT_EQ((std::pair{help->rect.width, help->dropHeight}), (std::pair{95, 120}));
    EXPECT_FALSE(slot(kAllied, EntrySlot::Von));
    EXPECT_FALSE(list(kAllied).dialogFields[17]);
}

TEST_F(EntryDialog, EnemyDialogDiffersWhereItsTableSays) {
    openList(kEnemy);
    const WindowId dialog = openNewEntry(kEnemy);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(user.windowTitle(dialog), "Reef - Tools: Gegnerrische Flotten - neuer Eintrag");
    EXPECT_EQ(user.clientRect(dialog), (Rect{0, 0, 445, 272}));
    expectStatics(*this, dialog,
                  {
                      {"Daten der feindlichen Flotte", {5, 5, 200, 140}},
                      {"Schiffe*:", {20, 94, 50, 17}},
                      {"Daten des Ziels", {240, 5, 200, 100}},
                      {"Ankunft der Flotte (Uhrzeit)", {240, 110, 200, 60}},
                      {"Sonstige Daten", {5, 150, 200, 60}},
                      {"Eintragung getätigt von*:", {20, 165, 160, 17}},
                      {"Hilfe-/ Status:", {240, 195, 70, 20}},
                      {"Passwort:", {240, 216, 50, 17}},
                      {"Felder mit einem Stern müssen ausgefüllt werden!", {0, 217, 445, 17}},
                      {"Übernehmen", {15, 239, 200, 25}},
                      {"Abbrechen", {225, 239, 200, 25}},
                  });
    expectSlots(*this, kEnemy,
                {
                    {EntrySlot::Von, {20, 181, 160, 17}},
                    {EntrySlot::ZielZeit, {315, 130, 90, 17}},
                    {EntrySlot::BasisTicks, {410, 148, 20, 17}},
                    {EntrySlot::HelpButton, {410, 191, 20, 20}},
                    {EntrySlot::Password, {290, 215, 140, 17}},
                });
    const auto help = ui.controlInfo(slot(kEnemy, EntrySlot::Hilfe));
    ASSERT_TRUE(help);
    EXPECT_EQ((std::pair{help->rect.x, help->rect.y}), (std::pair{310, 191}));
    EXPECT_EQ(ui.findControl(dialog, "Daten der eigenen Flotte"), ControlId{});
}

TEST_F(EntryDialog, LabelsTooltipsListsAndPasswordFieldLookAsTheyShould) {
    for (const FleetListKind kind : {kAllied, kEnemy}) {
        openList(kind);
        ASSERT_TRUE(openNewEntry(kind));
        const WindowId dialog = list(kind).dialog;
        for (const EntrySlot ticks : {EntrySlot::ZielTicks, EntrySlot::BasisTicks}) {
            EXPECT_EQ(user.labelTextColor(slot(kind, ticks)), rgb(167, 167, 167));
            EXPECT_EQ(ui.text(slot(kind, ticks)), "");
        }
        const ControlId note =
            ui.findControl(dialog, "Felder mit einem Stern müssen ausgefüllt werden!");
        EXPECT_EQ(user.labelTextColor(note), rgb(32, 79, 223));
        EXPECT_EQ(ui.controlInfo(note)->labelStyle.align, reef::platform::TextAlign::Center);
        for (const EntrySlot time : {EntrySlot::ZielZeit, EntrySlot::BasisZeit}) {
            EXPECT_EQ(user.tooltip(slot(kind, time)),
                      "Die graue Zahl hinter dem Eingabefeld zeigt die ETA-Dauer.");
        }
        EXPECT_EQ(user.tooltip(slot(kind, EntrySlot::HelpButton)),
                  kind == kAllied ? "Erstellt die Datei 'HilfeFrend.txt' und öffnet diese."
                                  : "Erstellt die Datei 'HilfeEnemy.txt' und öffnet diese.");
        EXPECT_EQ(user.dropDownItems(slot(kind, EntrySlot::Modus)),
                  (std::vector<std::string>{"n/a", "Verteidigen", "Angreifen"}));
        EXPECT_EQ(user.dropDownItems(slot(kind, EntrySlot::Hilfe)),
                  kind == kAllied
                      ? (std::vector<std::string>{"OK", "Hilfe", "Deff", "Ziel", "Abbruch"})
                      : (std::vector<std::string>{"OK", "Hilfe", "kann", "Achtung", "gedefft"}));
        const auto password = ui.controlInfo(slot(kind, EntrySlot::Password));
        EXPECT_TRUE(password->editStyle.masked);
        EXPECT_EQ(text(kind, EntrySlot::Password), "geheim");
    }
}

TEST_F(EntryDialog, TextFieldsTakeAtMostAHundredCharacters) {
    openList(kEnemy);
    ASSERT_TRUE(openNewEntry(kEnemy));
    int fields = 0;
    for (const ControlId control : ui.controlsOf(list(kEnemy).dialog)) {
        const auto info = ui.controlInfo(control);
        if (info->kind == ControlKind::Edit) {
            EXPECT_EQ(info->editStyle.maxLength, 100);
            ++fields;
        }
    }
    EXPECT_EQ(fields, 13);
    type(field(kEnemy, EntrySlot::ZielName), std::string(120, 'z'));
    EXPECT_EQ(text(kEnemy, EntrySlot::ZielName), std::string(100, 'z'));
}

// --- opening

TEST_F(EntryDialog, NewAlliedEntryStartsFromTheSavedOwnFleet) {
    writeOwnFleetFile(kOwnFleetFile);
    openList(kAllied);
    ASSERT_TRUE(openNewEntry(kAllied));
    EXPECT_EQ(text(kAllied, EntrySlot::Name), "Anna");
    EXPECT_EQ(text(kAllied, EntrySlot::Allianz), "KOR");
    EXPECT_EQ(text(kAllied, EntrySlot::Basis), "1:2:3");
    EXPECT_EQ(text(kAllied, EntrySlot::Punkte), "12.500");
    EXPECT_EQ(text(kAllied, EntrySlot::Schiffe), "300");
    for (const EntrySlot empty :
         {EntrySlot::ZielName, EntrySlot::ZielAllianz, EntrySlot::ZielBasis, EntrySlot::ZielPunkte,
          EntrySlot::ZielZeit, EntrySlot::BasisZeit}) {
        EXPECT_EQ(text(kAllied, empty), "");
    }
    EXPECT_EQ(selection(kAllied, EntrySlot::Modus), 2);
    EXPECT_EQ(selection(kAllied, EntrySlot::Hilfe), 0);
    EXPECT_FALSE(submitEnabled(kAllied));
}

TEST_F(EntryDialog, NewAlliedEntryWithoutSavedOwnFleetIsEmpty) {
    openList(kAllied);
    ASSERT_TRUE(openNewEntry(kAllied));
    EXPECT_EQ(text(kAllied, EntrySlot::Name), "");
    EXPECT_EQ(text(kAllied, EntrySlot::Schiffe), "");
    EXPECT_FALSE(ownFleetFile());
}

TEST_F(EntryDialog, ChangeStartsFromTheRowsCells) {
    FleetEntry changed = row("Paul");
    changed.ZielZeit = clockTime(9, 40);
    changed.Allianz = "KOR";
    openList(kAllied, {row("Anna"), changed});
    ASSERT_TRUE(openChangeEntry(kAllied, 1));
    EXPECT_EQ(user.windowTitle(list(kAllied).dialog),
              "Reef - Tools: Verbündete Flotten - Eintrag ändern");
    EXPECT_EQ(text(kAllied, EntrySlot::Name), "Paul");
    EXPECT_EQ(text(kAllied, EntrySlot::Allianz), "KOR");
    EXPECT_EQ(text(kAllied, EntrySlot::Punkte), "1.234.567"); // the list's grouping stays
    EXPECT_EQ(text(kAllied, EntrySlot::Schiffe), "42");
    EXPECT_EQ(text(kAllied, EntrySlot::ZielName), "ZielPaul");
    EXPECT_EQ(text(kAllied, EntrySlot::ZielAllianz), "FEIND");
    EXPECT_EQ(text(kAllied, EntrySlot::ZielPunkte), ""); // "n/a" in the list
    EXPECT_EQ(text(kAllied, EntrySlot::ZielZeit), "09:40:00");
    EXPECT_EQ(text(kAllied, EntrySlot::BasisZeit), "10:20:00");
    EXPECT_EQ(text(kAllied, EntrySlot::ZielTicks), "");
    EXPECT_EQ(selection(kAllied, EntrySlot::Modus), 1);
    EXPECT_EQ(selection(kAllied, EntrySlot::Hilfe), 1);
    EXPECT_TRUE(submitEnabled(kAllied));
}

TEST_F(EntryDialog, NotGivenCellsOfOptionalFieldsOpenEmpty) {
    FleetEntry sparse = row("Paul");
    sparse.Punkte = 0;
    sparse.ZielAllianz = "";
    openList(kAllied, {sparse});
    ASSERT_TRUE(openChangeEntry(kAllied, 0));
    for (const EntrySlot optional : {EntrySlot::Allianz, EntrySlot::Punkte, EntrySlot::ZielAllianz,
                                     EntrySlot::ZielPunkte, EntrySlot::ZielZeit}) {
        EXPECT_EQ(text(kAllied, optional), "") << static_cast<int>(optional);
    }
}

TEST_F(EntryDialog, SettledRowOpensWithNoHelpSelection) {
    FleetEntry settled = row("Paul");
    settled.Hilfe = 5;
    settled.Modus = 0;
    openList(kEnemy, {settled});
    ASSERT_TRUE(openChangeEntry(kEnemy, 0));
    EXPECT_EQ(selection(kEnemy, EntrySlot::Hilfe), -1);
    EXPECT_EQ(selection(kEnemy, EntrySlot::Modus), 0);
}

TEST_F(EntryDialog, EnemyDialogTakesWhoEntersFromTheSavedNameInBothModes) {
    writeOwnFleetFile(kOwnFleetFile);
    openList(kEnemy, {row("Paul")});
    ASSERT_TRUE(openChangeEntry(kEnemy, 0));
    EXPECT_EQ(text(kEnemy, EntrySlot::Von), "Anna"); // not the row's "Bert"
    // The enemy dialog never prefills the own fleet.
    click(list(kEnemy).dialogCancelButton);
    ASSERT_TRUE(openNewEntry(kEnemy));
    EXPECT_EQ(text(kEnemy, EntrySlot::Von), "Anna");
    EXPECT_EQ(text(kEnemy, EntrySlot::Name), "");
}

TEST_F(EntryDialog, EnemyNewEntryWithASavedNameStartsEnabledUntilTheFirstCheck) {
    writeOwnFleetFile(kOwnFleetFile);
    openList(kEnemy);
    ASSERT_TRUE(openNewEntry(kEnemy));
    EXPECT_TRUE(submitEnabled(kEnemy));
    type(field(kEnemy, EntrySlot::Allianz), "K");
    EXPECT_FALSE(submitEnabled(kEnemy));
}

TEST_F(EntryDialog, EnemyDialogWithoutASavedNameStartsDisabledInBothModes) {
    openList(kEnemy, {row("Paul")});
    ASSERT_TRUE(openNewEntry(kEnemy));
    EXPECT_FALSE(submitEnabled(kEnemy));
    click(list(kEnemy).dialogCancelButton);
    ASSERT_TRUE(openChangeEntry(kEnemy, 0));
    EXPECT_FALSE(submitEnabled(kEnemy));
}

TEST_F(EntryDialog, EveryOpeningHasANewGeneration) {
    openList(kAllied);
    const std::uint64_t before = list(kAllied).dialogGeneration;
    ASSERT_TRUE(openNewEntry(kAllied));
    EXPECT_EQ(list(kAllied).dialogGeneration, before + 1);
    click(list(kAllied).dialogCancelButton);
    ASSERT_TRUE(openNewEntry(kAllied));
    EXPECT_EQ(list(kAllied).dialogGeneration, before + 2);
}

TEST_F(EntryDialog, DialogThatCannotOpenEndsTheProgramAfterTheMessage) {
    openList(kAllied);
    ui.failNextWindowOpens(1);
    click(list(kAllied).newButton);
    EXPECT_TRUE(failureExit);
    EXPECT_FALSE(list(kAllied).dialog);
    ASSERT_EQ(user.shownMessageBoxes().size(), 1u);
    EXPECT_EQ(user.shownMessageBoxes()[0].text, "Fenster konnte nicht geöffnet werden!");
}

// --- time fields

struct SnapCase {
    const char* typed;
    const char* shown;
    const char* ticks; // at 10:05
};

TEST_F(EntryDialog, LeavingRueckkehrSnapsItToTheTickAndShowsItsTicks) {
    const SnapCase cases[] = {
        {"10:25", "10:20", "1"},   {"14:47", "14:40", "14"},   {"10:20:00", "10:20", "1"},
        {"9.05", "09:00", "abg."}, {"25:00", "00:00", "abg."}, {"", "00:00", "abg."},
        {"0:3", "00:00", "abg."},  {"20:19", "20:00", "30"},
    };
    openList(kAllied);
    ASSERT_TRUE(openNewEntry(kAllied));
    const ControlId field = slot(kAllied, EntrySlot::BasisZeit);
    for (const SnapCase& c : cases) {
        ui.setText(field, "");
        type(field, c.typed);
        user.moveFocusAway();
        dispatch();
        EXPECT_EQ(ui.text(field), c.shown) << c.typed;
        EXPECT_EQ(text(kAllied, EntrySlot::BasisTicks), c.ticks) << c.typed;
    }
}

TEST_F(EntryDialog, TypingATimeShowsItsTicksBeforeTheFieldIsLeft) {
    openList(kAllied);
    ASSERT_TRUE(openNewEntry(kAllied));
    type(field(kAllied, EntrySlot::ZielZeit), "14:47");
    EXPECT_EQ(text(kAllied, EntrySlot::ZielZeit), "14:47");
    EXPECT_EQ(text(kAllied, EntrySlot::ZielTicks), "14");
    type(field(kAllied, EntrySlot::BasisZeit), "12:0");
    EXPECT_EQ(text(kAllied, EntrySlot::BasisTicks), "6");
}

TEST_F(EntryDialog, AmZielLeftEmptyStaysEmptyAndClearsItsLabel) {
    openList(kAllied);
    ASSERT_TRUE(openNewEntry(kAllied));
    const ControlId field = slot(kAllied, EntrySlot::ZielZeit);
    type(field, "10:25");
    visit(field);
    EXPECT_EQ(ui.text(field), "10:20");
    EXPECT_EQ(text(kAllied, EntrySlot::ZielTicks), "1");
    type(field, "\b\b\b\b\b");
    EXPECT_EQ(text(kAllied, EntrySlot::ZielTicks), "");
    visit(field);
    EXPECT_EQ(ui.text(field), "");
    EXPECT_EQ(text(kAllied, EntrySlot::ZielTicks), "");
}

TEST_F(EntryDialog, EmptyRueckkehrBecomesMidnightAndCountsAsFilled) {
    writeOwnFleetFile(kOwnFleetFile);
    openList(kAllied);
    ASSERT_TRUE(openNewEntry(kAllied));
    type(field(kAllied, EntrySlot::ZielName), "Bert");
    type(field(kAllied, EntrySlot::ZielBasis), "7:8:9");
    EXPECT_FALSE(submitEnabled(kAllied));
    visit(field(kAllied, EntrySlot::BasisZeit));
    EXPECT_EQ(text(kAllied, EntrySlot::BasisZeit), "00:00");
    EXPECT_TRUE(submitEnabled(kAllied));
}

TEST_F(EntryDialog, ChangedRowTimesSnapWhenLeft) {
    openList(kAllied, {row("Paul")});
    ASSERT_TRUE(openChangeEntry(kAllied, 0));
    visit(field(kAllied, EntrySlot::BasisZeit));
    EXPECT_EQ(text(kAllied, EntrySlot::BasisZeit), "10:20");
    EXPECT_EQ(text(kAllied, EntrySlot::BasisTicks), "1");
}

// --- completeness

TEST_F(EntryDialog, AlliedSubmitWaitsForACheckByAnotherControlThanAmZiel) {
    openList(kAllied);
    ASSERT_TRUE(openNewEntry(kAllied));
    setRequiredQuietly(kAllied);
    EXPECT_FALSE(submitEnabled(kAllied));
    type(field(kAllied, EntrySlot::ZielZeit), "12:00");
    visit(field(kAllied, EntrySlot::ZielZeit));
    EXPECT_FALSE(submitEnabled(kAllied));
    // In the allied dialog the lists run the check.
    select(field(kAllied, EntrySlot::Hilfe), 3);
    EXPECT_TRUE(submitEnabled(kAllied));
}

TEST_F(EntryDialog, EachRequiredFieldEmptiedDisablesSubmit) {
    const EntrySlot required[] = {EntrySlot::Name,     EntrySlot::Basis,     EntrySlot::Schiffe,
                                  EntrySlot::ZielName, EntrySlot::ZielBasis, EntrySlot::BasisZeit,
                                  EntrySlot::Password, EntrySlot::Von};
    openList(kEnemy);
    ASSERT_TRUE(openNewEntry(kEnemy));
    for (const EntrySlot emptied : required) {
        setRequiredQuietly(kEnemy);
        ui.setText(field(kEnemy, EntrySlot::Password), "geheim");
        type(field(kEnemy, EntrySlot::Punkte), "1");
        ASSERT_TRUE(submitEnabled(kEnemy));
        ui.setText(field(kEnemy, emptied), "");
        type(field(kEnemy, EntrySlot::ZielPunkte), "2");
        EXPECT_FALSE(submitEnabled(kEnemy)) << static_cast<int>(emptied);
    }
}

TEST_F(EntryDialog, EnemyListsRunNoCheck) {
    openList(kEnemy);
    ASSERT_TRUE(openNewEntry(kEnemy));
    setRequiredQuietly(kEnemy);
    select(field(kEnemy, EntrySlot::Modus), 0);
    select(field(kEnemy, EntrySlot::Hilfe), 1);
    EXPECT_FALSE(submitEnabled(kEnemy));
    visit(field(kEnemy, EntrySlot::ZielAllianz));
    EXPECT_TRUE(submitEnabled(kEnemy));
}

// --- coupling of "gedefft" and "Verteidigen"

TEST_F(EntryDialog, EnemyGedefftSwitchesTheMissionToVerteidigenAndBack) {
    openList(kEnemy);
    ASSERT_TRUE(openNewEntry(kEnemy));
    select(field(kEnemy, EntrySlot::Hilfe), 4);
    EXPECT_EQ(selection(kEnemy, EntrySlot::Modus), 1);
    select(field(kEnemy, EntrySlot::Hilfe), 2);
    EXPECT_EQ(selection(kEnemy, EntrySlot::Modus), 2);
    // A mission other than "Verteidigen" stays when the help changes.
    select(field(kEnemy, EntrySlot::Modus), 0);
    select(field(kEnemy, EntrySlot::Hilfe), 3);
    EXPECT_EQ(selection(kEnemy, EntrySlot::Modus), 0);
}

TEST_F(EntryDialog, EnemyVerteidigenSwitchesTheHelpToGedefftAndBack) {
    openList(kEnemy);
    ASSERT_TRUE(openNewEntry(kEnemy));
    select(field(kEnemy, EntrySlot::Modus), 1);
    EXPECT_EQ(selection(kEnemy, EntrySlot::Hilfe), 4);
    select(field(kEnemy, EntrySlot::Modus), 0);
    EXPECT_EQ(selection(kEnemy, EntrySlot::Hilfe), 0);
    // Another help code stays when the mission changes.
    select(field(kEnemy, EntrySlot::Hilfe), 1);
    select(field(kEnemy, EntrySlot::Modus), 2);
    EXPECT_EQ(selection(kEnemy, EntrySlot::Hilfe), 1);
}

TEST_F(EntryDialog, AlliedListsAreNotCoupled) {
    openList(kAllied);
    ASSERT_TRUE(openNewEntry(kAllied));
    select(field(kAllied, EntrySlot::Hilfe), 4);
    EXPECT_EQ(selection(kAllied, EntrySlot::Modus), 2);
    select(field(kAllied, EntrySlot::Modus), 1);
    EXPECT_EQ(selection(kAllied, EntrySlot::Hilfe), 4);
}

// --- leaving the dialog

TEST_F(EntryDialog, CancelAndCloseBoxGiveTheListItsButtonsBack) {
    for (const bool closeBox : {false, true}) {
        openList(kAllied, {row("Anna")});
        ASSERT_TRUE(openChangeEntry(kAllied, 0));
        const ListWindowState& l = list(kAllied);
        EXPECT_FALSE(ui.isEnabled(l.newButton));
        const WindowId dialog = l.dialog;
        if (closeBox) {
            user.requestClose(dialog);
            dispatch();
        } else {
            click(l.dialogCancelButton);
        }
        EXPECT_FALSE(user.isWindowOpen(dialog));
        EXPECT_FALSE(l.dialog);
        EXPECT_FALSE(slot(kAllied, EntrySlot::Name));
        EXPECT_TRUE(ui.isEnabled(l.newButton));
        EXPECT_TRUE(ui.isEnabled(l.changeButton)); // the row is still selected
        EXPECT_TRUE(ui.isEnabled(l.refreshButton));
        EXPECT_EQ(ui.statusText(l.statusBar, 2), "\t\tStatus: Abgebrochen");
        EXPECT_TRUE(submissions.empty());
        closeListWindow(ui, fleet, kAllied);
    }
}

TEST_F(EntryDialog, CancelWithoutASelectedRowLeavesChangeDisabled) {
    openList(kEnemy, {row("Anna")});
    ASSERT_TRUE(openNewEntry(kEnemy));
    click(list(kEnemy).dialogCancelButton);
    EXPECT_TRUE(ui.isEnabled(list(kEnemy).newButton));
    EXPECT_FALSE(ui.isEnabled(list(kEnemy).changeButton));
}

TEST_F(EntryDialog, ClosingTheListWindowClosesItsDialog) {
    openList(kEnemy);
    const WindowId dialog = openNewEntry(kEnemy);
    user.requestClose(list(kEnemy).window);
    dispatch();
    EXPECT_FALSE(user.isWindowOpen(dialog));
    EXPECT_FALSE(list(kEnemy).dialog);
}

TEST_F(EntryDialog, LateEventsOfAClosedDialogTouchNothing) {
    openList(kAllied);
    ASSERT_TRUE(openNewEntry(kAllied));
    setRequiredQuietly(kAllied);
    type(field(kAllied, EntrySlot::Allianz), "K");
    ASSERT_TRUE(submitEnabled(kAllied));
    reef::platform::Event late;
    late.kind = reef::platform::EventKind::Control;
    late.window = list(kAllied).dialog;
    late.control = list(kAllied).dialogSubmitButton;
    click(list(kAllied).dialogCancelButton);

    ASSERT_TRUE(openNewEntry(kAllied));
    EXPECT_FALSE(handleEntryDialogEvent(ui, fleet, kAllied, late));
    late.kind = reef::platform::EventKind::CloseRequest;
    EXPECT_FALSE(handleEntryDialogEvent(ui, fleet, kAllied, late));
    EXPECT_TRUE(list(kAllied).dialog);
    EXPECT_EQ(ui.statusText(list(kAllied).statusBar, 2), "\t\tStatus: warte auf Eingabe");
}

TEST_F(EntryDialog, HelpButtonWritesAndOpensTheHelpOfItsList) {
    for (const FleetListKind kind : {kAllied, kEnemy}) {
        openList(kind);
        ASSERT_TRUE(openNewEntry(kind));
        click(slot(kind, EntrySlot::HelpButton));
    }
    EXPECT_EQ(user.filesOpenedInEditor(),
              (std::vector<std::string>{"HilfeFrend.txt", "HilfeEnemy.txt"}));
    EXPECT_TRUE(reef::platform::fileExists("HilfeFrend.txt"));
    EXPECT_TRUE(reef::platform::fileExists("HilfeEnemy.txt"));
    EXPECT_TRUE(list(kAllied).dialog);
}

// --- "Übernehmen"

TEST_F(EntryDialog, SubmitHandsOverTheDialogAndSavesTheOwnFleet) {
    writeOwnFleetFile("; meine Flotte\r\nAllianz = ALT\r\nExtra = 1\r\n");
    openList(kAllied);
    ASSERT_TRUE(openNewEntry(kAllied));
    type(field(kAllied, EntrySlot::Name), "Anna");
    type(field(kAllied, EntrySlot::Basis), "1:2:3");
    type(field(kAllied, EntrySlot::Punkte), "12.500");
    type(field(kAllied, EntrySlot::Schiffe), "300");
    type(field(kAllied, EntrySlot::ZielName), "Bert");
    type(field(kAllied, EntrySlot::ZielBasis), "4:5:6");
    type(field(kAllied, EntrySlot::ZielZeit), "11:05");
    type(field(kAllied, EntrySlot::BasisZeit), "12:25");
    ui.setText(field(kAllied, EntrySlot::Allianz), "");
    paste(field(kAllied, EntrySlot::Password), "neu");
    select(field(kAllied, EntrySlot::Hilfe), 3);
    ASSERT_TRUE(submitEnabled(kAllied));
    click(list(kAllied).dialogSubmitButton);

    ASSERT_EQ(submissions.size(), 1u);
    const EntrySubmission& s = submissions[0];
    EXPECT_EQ(s.kind, kAllied);
    EXPECT_EQ(s.mode, DialogMode::New);
    EXPECT_EQ(s.helpSelection, 3);
    EXPECT_EQ(s.missionSelection, 2);
    EXPECT_EQ(s.Name, "Anna");
    EXPECT_EQ(s.Allianz, "");
    EXPECT_EQ(s.Punkte, "12.500");
    EXPECT_EQ(s.ZielBasis, "4:5:6");
    EXPECT_EQ(s.ZielZeit, "11:00"); // snapped as the player went on to the next field
    EXPECT_EQ(s.BasisZeit, "12:20");
    EXPECT_EQ(s.password, "neu");
    EXPECT_EQ(fleet.password, "neu");
    EXPECT_TRUE(user.isWindowOpen(list(kAllied).dialog));
    EXPECT_EQ(ownFleetFile(), "Name = Anna\r\nAllianz = \r\nBasis = 1:2:3\r\nPunkte = 12.500\r\n"
                              "Schiffe = 300\r\n");
}

TEST_F(EntryDialog, ChangesAndEnemyEntriesLeaveTheOwnFleetAlone) {
    writeOwnFleetFile(kOwnFleetFile);
    openList(kAllied, {row("Paul")});
    openList(kEnemy, {row("Paul")});
    ASSERT_TRUE(openChangeEntry(kAllied, 0));
    type(field(kAllied, EntrySlot::Name), "X");
    click(list(kAllied).dialogSubmitButton);
    ASSERT_TRUE(openNewEntry(kEnemy));
    setRequiredQuietly(kEnemy);
    type(field(kEnemy, EntrySlot::Name), "X");
    click(list(kEnemy).dialogSubmitButton);
    ASSERT_EQ(submissions.size(), 2u);
    EXPECT_EQ(ownFleetFile(), kOwnFleetFile);
}

TEST_F(EntryDialog, ChangeSubmissionCarriesTheEditCopy) {
    openList(kEnemy, {row("Anna"), row("Paul")});
    ASSERT_TRUE(openChangeEntry(kEnemy, 1));
    type(field(kEnemy, EntrySlot::Von), "Cora");
    click(list(kEnemy).dialogSubmitButton);
    ASSERT_EQ(submissions.size(), 1u);
    EXPECT_EQ(submissions[0].mode, DialogMode::Change);
    EXPECT_EQ(submissions[0].editCopy, row("Paul"));
    EXPECT_EQ(submissions[0].Von, "Cora");
    EXPECT_EQ(submissions[0].Punkte, "1.234.567");
    EXPECT_FALSE(ownFleetFile());
}

TEST_F(EntryDialog, AClickQueuedBeforeSubmitWasDisabledSendsNothing) {
    openList(kAllied, {row("Paul")});
    ASSERT_TRUE(openChangeEntry(kAllied, 0));
    user.pasteText(field(kAllied, EntrySlot::Name), "");
    user.click(list(kAllied).dialogSubmitButton);
    dispatch();
    EXPECT_FALSE(submitEnabled(kAllied));
    EXPECT_TRUE(submissions.empty());
}

TEST_F(EntryDialog, ASecondClickWhileTheSubmissionRunsSendsNothing) {
    submissionWorkerTakesDialog = true;
    openList(kAllied, {row("Paul")});
    ASSERT_TRUE(openChangeEntry(kAllied, 0));
    user.click(list(kAllied).dialogSubmitButton);
    user.click(list(kAllied).dialogSubmitButton);
    user.requestClose(list(kAllied).dialog);
    dispatch();
    EXPECT_EQ(submissions.size(), 1u);
    EXPECT_TRUE(list(kAllied).dialog);
    EXPECT_FALSE(ui.isWindowEnabled(list(kAllied).dialog));
    EXPECT_FALSE(ui.isEnabled(list(kAllied).newButton));
}

} // namespace
