#include "fleetlists/entry_dialog.h"

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
using reef::testing::clockTime;

namespace {

constexpr FleetListKind kAllied = FleetListKind::Allied;
constexpr FleetListKind kEnemy = FleetListKind::Enemy;
constexpr const char* kOwnFleet =
    "Name = Anna\r\nAllianz = KOR\r\nBasis = 1:2:3\r\nPunkte = 12.500\r\nSchiffe = 300\r\n";

FleetEntry row(const std::string& name) {
    FleetEntry e;
    e.Hilfe = 1;
    e.Name = name;
    e.Basis = "1:2:3";
    e.Punkte = 1234567;
    e.Schiffe = 42;
    e.Modus = 1;
    e.ZielName = "Ziel" + name;
    e.ZielAllianz = "FEIND";
    e.ZielBasis = "4:5:6";
    e.ZielZeit = kNoTime;
    e.BasisZeit = clockTime(10, 20);
    e.Von = "Bert";
    return e;
}

// A control found by its slot, or by its text (slot -1) together with its place.
struct Where {
    int slot;
    const char* text;
    Rect rect;
};

class EntryDialog : public ::testing::Test, public reef::testing::FleetListsHarness {
  protected:
    void SetUp() override { fleet.password = "geheim"; }

    void openList(FleetListKind kind, const std::vector<FleetEntry>& rows = {}) {
        list(kind).rows = rows;
        ASSERT_TRUE(open(kind));
    }
    std::string text(FleetListKind kind, EntrySlot which) { return ui.text(slot(kind, which)); }
    int selection(FleetListKind kind, EntrySlot which) {
        return ui.dropDownSelection(slot(kind, which));
    }
    bool submitEnabled(FleetListKind kind) { return ui.isEnabled(list(kind).dialogSubmitButton); }
    void submit(FleetListKind kind) { click(list(kind).dialogSubmitButton); }

    // The required fields filled the program's way: no event, so no check.
    void fillRequiredQuietly(FleetListKind kind) {
        for (const EntrySlot which :
             {EntrySlot::Name, EntrySlot::Basis, EntrySlot::Schiffe, EntrySlot::ZielName,
              EntrySlot::ZielBasis, EntrySlot::BasisZeit, EntrySlot::Von}) {
            ui.setText(slot(kind, which), "x");
        }
    }

    void expectLayout(FleetListKind kind, const std::vector<Where>& expected) {
        const std::vector<ControlId> controls = ui.controlsOf(list(kind).dialog);
        for (const Where& want : expected) {
            const bool found =
                want.slot >= 0
                    ? user.controlRect(
                          list(kind).dialogFields[static_cast<std::size_t>(want.slot)]) == want.rect
                    : std::any_of(controls.begin(), controls.end(), [&](ControlId c) {
                          return ui.text(c) == want.text && user.controlRect(c) == want.rect;
                      });
            EXPECT_TRUE(found) << "slot " << want.slot << " " << want.text << " at " << want.rect.x
                               << "," << want.rect.y;
        }
    }

    static std::optional<std::string> ownFleetFile() {
        return reef::platform::readFileBytes(kOwnFleetFileName);
    }
};

TEST_F(EntryDialog, AlliedDialogLayout) {
    openList(kAllied);
    const WindowId dialog = openNewEntry(kAllied);
    EXPECT_EQ(user.windowTitle(dialog), "Reef - Tools: Verbündete Flotten - neuer Eintrag");
    EXPECT_EQ(user.clientRect(dialog), (Rect{0, 0, 445, 242}));
    // clang-format off
    expectLayout(kAllied, {
        {-1, "Daten der eigenen Flotte", {5, 5, 200, 140}}, {-1, "Auftrag:", {20, 114, 50, 17}},
        {-1, "Name*:", {20, 26, 50, 17}},  {-1, "Allianz:", {20, 43, 50, 17}},
        {-1, "Basis*:", {20, 60, 50, 17}}, {-1, "Punkte:", {20, 77, 50, 17}},
        {-1, "Schiffe*:", {20, 94, 50, 17}}, {2, "", {70, 25, 100, 17}}, {3, "", {70, 42, 100, 17}},
        {4, "", {70, 59, 100, 17}}, {5, "", {70, 76, 100, 17}}, {7, "", {70, 93, 100, 17}},
        {-1, "Daten des Ziels", {240, 5, 200, 100}}, {-1, "Name*:", {255, 26, 50, 17}},
        {-1, "Allianz:", {255, 43, 50, 17}}, {-1, "Basis*:", {255, 60, 50, 17}},
        {-1, "Punkte:", {255, 77, 50, 17}}, {8, "", {305, 25, 100, 17}},
        {9, "", {305, 42, 100, 17}}, {10, "", {305, 59, 100, 17}}, {11, "", {305, 76, 100, 17}},
        {-1, "Ankunft der Flotte (Uhrzeit)", {240, 110, 200, 70}},
        {-1, "am Ziel:", {255, 131, 60, 17}}, {13, "", {315, 130, 90, 17}},
        {15, "", {410, 131, 20, 17}}, {-1, "Rückkehr*:", {255, 148, 60, 17}},
        {14, "", {315, 147, 90, 17}}, {16, "", {410, 148, 20, 17}},
        {-1, "Hilfe-/ Status:", {240, 188, 70, 20}}, {1, "", {410, 184, 20, 20}},
        {-1, "Felder mit einem Stern müssen ausgefüllt werden!", {0, 149, 222, 34}},
        {-1, "Passwort:", {5, 184, 50, 17}},    {18, "", {55, 183, 150, 17}},
        {-1, "Übernehmen", {15, 212, 200, 25}}, {-1, "Abbrechen", {225, 212, 200, 25}}});
    // clang-format on
    const auto modus = ui.controlInfo(slot(kAllied, EntrySlot::Modus));
    const auto help = ui.controlInfo(slot(kAllied, EntrySlot::Hilfe));
    EXPECT_EQ((std::tuple{modus->rect.x, modus->rect.y, modus->rect.width, modus->dropHeight}),
              (std::tuple{70, 110, 100, 80}));
    EXPECT_EQ((std::tuple{help->rect.x, help->rect.y, help->rect.width, help->dropHeight}),
              (std::tuple{310, 184, 95, 120}));
    EXPECT_FALSE(slot(kAllied, EntrySlot::Von));
}

TEST_F(EntryDialog, EnemyDialogLayoutDiffers) {
    openList(kEnemy);
    const WindowId dialog = openNewEntry(kEnemy);
    EXPECT_EQ(user.windowTitle(dialog), "Reef - Tools: Gegnerrische Flotten - neuer Eintrag");
    EXPECT_EQ(user.clientRect(dialog), (Rect{0, 0, 445, 272}));
    // clang-format off
    expectLayout(kEnemy, {
        {-1, "Daten der feindlichen Flotte", {5, 5, 200, 140}},
        {-1, "Ankunft der Flotte (Uhrzeit)", {240, 110, 200, 60}},
        {-1, "Sonstige Daten", {5, 150, 200, 60}},
        {-1, "Eintragung getätigt von*:", {20, 165, 160, 17}}, {12, "", {20, 181, 160, 17}},
        {-1, "Hilfe-/ Status:", {240, 195, 70, 20}}, {1, "", {410, 191, 20, 20}},
        {-1, "Passwort:", {240, 216, 50, 17}}, {18, "", {290, 215, 140, 17}},
        {-1, "Felder mit einem Stern müssen ausgefüllt werden!", {0, 217, 445, 17}},
        {-1, "Übernehmen", {15, 239, 200, 25}}, {-1, "Abbrechen", {225, 239, 200, 25}}});
    // clang-format on
    EXPECT_EQ(ui.controlInfo(slot(kEnemy, EntrySlot::Hilfe))->rect.y, 191);
}

TEST_F(EntryDialog, ColoursTooltipsItemsAndFieldStyles) {
    for (const FleetListKind kind : {kAllied, kEnemy}) {
        openList(kind);
        const WindowId dialog = openNewEntry(kind);
        for (const EntrySlot ticks : {EntrySlot::ZielTicks, EntrySlot::BasisTicks}) {
            EXPECT_EQ(user.labelTextColor(slot(kind, ticks)), rgb(167, 167, 167));
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
        EXPECT_EQ(user.dropDownItems(slot(kind, EntrySlot::Hilfe))[4],
                  kind == kAllied ? "Abbruch" : "gedefft");
        EXPECT_TRUE(ui.controlInfo(slot(kind, EntrySlot::Password))->editStyle.masked);
        EXPECT_EQ(text(kind, EntrySlot::Password), "geheim");
    }
    typeAtOnce(slot(kEnemy, EntrySlot::ZielName), std::string(120, 'z'));
    EXPECT_EQ(text(kEnemy, EntrySlot::ZielName), std::string(100, 'z'));
}

TEST_F(EntryDialog, NewAlliedEntryStartsFromTheSavedOwnFleet) {
    ASSERT_TRUE(reef::platform::replaceFileBytes(kOwnFleetFileName, kOwnFleet));
    openList(kAllied);
    openNewEntry(kAllied);
    const std::pair<EntrySlot, const char*> expected[] = {
        {EntrySlot::Name, "Anna"},     {EntrySlot::Allianz, "KOR"}, {EntrySlot::Basis, "1:2:3"},
        {EntrySlot::Punkte, "12.500"}, {EntrySlot::Schiffe, "300"}, {EntrySlot::ZielName, ""},
        {EntrySlot::BasisZeit, ""},    {EntrySlot::ZielTicks, ""}};
    for (const auto& [which, shown] : expected) {
        EXPECT_EQ(text(kAllied, which), shown) << static_cast<int>(which);
    }
    EXPECT_EQ(selection(kAllied, EntrySlot::Modus), 2);
    EXPECT_EQ(selection(kAllied, EntrySlot::Hilfe), 0);
    EXPECT_FALSE(submitEnabled(kAllied));
}

TEST_F(EntryDialog, ChangeStartsFromTheRowsCellsWithNotGivenValuesEmpty) {
    FleetEntry changed = row("Paul");
    changed.ZielZeit = clockTime(9, 40);
    openList(kAllied, {row("Anna"), changed});
    const WindowId dialog = openChangeEntry(kAllied, 1);
    EXPECT_EQ(user.windowTitle(dialog), "Reef - Tools: Verbündete Flotten - Eintrag ändern");
    const std::pair<EntrySlot, const char*> expected[] = {
        {EntrySlot::Name, "Paul"},         {EntrySlot::Allianz, ""},
        {EntrySlot::Punkte, "1.234.567"},  {EntrySlot::Schiffe, "42"},
        {EntrySlot::ZielAllianz, "FEIND"}, {EntrySlot::ZielPunkte, ""},
        {EntrySlot::ZielZeit, "09:40:00"}, {EntrySlot::BasisZeit, "10:20:00"}};
    for (const auto& [which, shown] : expected) {
        EXPECT_EQ(text(kAllied, which), shown) << static_cast<int>(which);
    }
    EXPECT_EQ(selection(kAllied, EntrySlot::Modus), 1);
    EXPECT_EQ(selection(kAllied, EntrySlot::Hilfe), 1);
    EXPECT_TRUE(submitEnabled(kAllied));
    // The row's times snap once left.
    visit(slot(kAllied, EntrySlot::BasisZeit));
    EXPECT_EQ(text(kAllied, EntrySlot::BasisZeit), "10:20");
    EXPECT_EQ(text(kAllied, EntrySlot::BasisTicks), "1");
}

TEST_F(EntryDialog, SettledRowOpensWithNoHelpSelection) {
    FleetEntry settled = row("Paul");
    settled.Hilfe = 5;
    openList(kEnemy, {settled});
    openChangeEntry(kEnemy, 0);
    EXPECT_EQ(selection(kEnemy, EntrySlot::Hilfe), -1);
}

TEST_F(EntryDialog, EnemyDialogTakesItsEntrantFromTheSavedNameAndStartsEnabledByIt) {
    openList(kEnemy, {row("Paul")});
    openNewEntry(kEnemy);
    EXPECT_FALSE(submitEnabled(kEnemy)); // no saved name
    click(list(kEnemy).dialogCancelButton);

    ASSERT_TRUE(reef::platform::replaceFileBytes(kOwnFleetFileName, kOwnFleet));
    openChangeEntry(kEnemy, 0);
    EXPECT_EQ(text(kEnemy, EntrySlot::Von), "Anna"); // not the row's "Bert"
    click(list(kEnemy).dialogCancelButton);
    openNewEntry(kEnemy);
    EXPECT_EQ(text(kEnemy, EntrySlot::Von), "Anna");
    EXPECT_EQ(text(kEnemy, EntrySlot::Name), ""); // the own fleet is the allied dialog's
    EXPECT_TRUE(submitEnabled(kEnemy));
    typeAtOnce(slot(kEnemy, EntrySlot::Allianz), "K"); // the first check
    EXPECT_FALSE(submitEnabled(kEnemy));
}

struct SnapCase {
    const char* typed;
    const char* shown;
    const char* ticks; // at 10:05
};

TEST_F(EntryDialog, LeavingRueckkehrSnapsItToTheTickAndShowsItsTicks) {
    const SnapCase cases[] = {{"10:25", "10:20", "1"},   {"14:47", "14:40", "14"},
                              {"9.05", "09:00", "abg."}, {"25:00", "00:00", "abg."},
                              {"", "00:00", "abg."},     {"20:19", "20:00", "30"}};
    openList(kAllied);
    openNewEntry(kAllied);
    const ControlId field = slot(kAllied, EntrySlot::BasisZeit);
    for (const SnapCase& c : cases) {
        ui.setText(field, "");
        typeAtOnce(field, c.typed);
        EXPECT_EQ(ui.text(field), c.typed);
        visit(field);
        EXPECT_EQ(ui.text(field), c.shown) << c.typed;
        EXPECT_EQ(text(kAllied, EntrySlot::BasisTicks), c.ticks) << c.typed;
    }
}

TEST_F(EntryDialog, AmZielLeftEmptyStaysEmptyAndClearsItsLabel) {
    openList(kAllied);
    openNewEntry(kAllied);
    const ControlId field = slot(kAllied, EntrySlot::ZielZeit);
    typeAtOnce(field, "14:47");
    EXPECT_EQ(text(kAllied, EntrySlot::ZielTicks), "14"); // while typing
    typeAtOnce(field, "\b\b\b\b\b");
    EXPECT_EQ(text(kAllied, EntrySlot::ZielTicks), "");
    visit(field);
    EXPECT_EQ(ui.text(field), "");
    EXPECT_EQ(text(kAllied, EntrySlot::ZielTicks), "");
}

TEST_F(EntryDialog, EmptyRueckkehrBecomesMidnightAndCountsAsFilled) {
    ASSERT_TRUE(reef::platform::replaceFileBytes(kOwnFleetFileName, kOwnFleet));
    openList(kAllied);
    openNewEntry(kAllied);
    typeAtOnce(slot(kAllied, EntrySlot::ZielName), "Bert");
    typeAtOnce(slot(kAllied, EntrySlot::ZielBasis), "7:8:9");
    EXPECT_FALSE(submitEnabled(kAllied));
    visit(slot(kAllied, EntrySlot::BasisZeit));
    EXPECT_EQ(text(kAllied, EntrySlot::BasisZeit), "00:00");
    EXPECT_TRUE(submitEnabled(kAllied));
}

TEST_F(EntryDialog, AlliedSubmitWaitsForACheckByAnotherControlThanAmZiel) {
    openList(kAllied);
    openNewEntry(kAllied);
    fillRequiredQuietly(kAllied);
    typeAtOnce(slot(kAllied, EntrySlot::ZielZeit), "12:00");
    visit(slot(kAllied, EntrySlot::ZielZeit));
    EXPECT_FALSE(submitEnabled(kAllied));
    select(slot(kAllied, EntrySlot::Hilfe), 3); // the allied lists run the check
    EXPECT_TRUE(submitEnabled(kAllied));
}

TEST_F(EntryDialog, EnemyListsRunNoCheck) {
    openList(kEnemy);
    openNewEntry(kEnemy);
    fillRequiredQuietly(kEnemy);
    select(slot(kEnemy, EntrySlot::Modus), 0);
    select(slot(kEnemy, EntrySlot::Hilfe), 1);
    EXPECT_FALSE(submitEnabled(kEnemy));
    visit(slot(kEnemy, EntrySlot::ZielAllianz));
    EXPECT_TRUE(submitEnabled(kEnemy));
}

TEST_F(EntryDialog, EnemyGedefftAndVerteidigenGoTogetherBothWays) {
    openList(kEnemy);
    openNewEntry(kEnemy);
    // {list chosen in, item, mission then, help then}
    const std::tuple<EntrySlot, int, int, int> steps[] = {
        {EntrySlot::Hilfe, 4, 1, 4}, {EntrySlot::Hilfe, 2, 2, 2}, {EntrySlot::Modus, 1, 1, 4},
        {EntrySlot::Modus, 0, 0, 0}, {EntrySlot::Hilfe, 3, 0, 3}, {EntrySlot::Modus, 2, 2, 3}};
    for (const auto& [in, item, mission, help] : steps) {
        select(slot(kEnemy, in), item);
        EXPECT_EQ(selection(kEnemy, EntrySlot::Modus), mission) << item;
        EXPECT_EQ(selection(kEnemy, EntrySlot::Hilfe), help) << item;
    }
    openList(kAllied);
    openNewEntry(kAllied);
    select(slot(kAllied, EntrySlot::Hilfe), 4);
    EXPECT_EQ(selection(kAllied, EntrySlot::Modus), 2);
}

TEST_F(EntryDialog, CancelAndCloseBoxGiveTheListItsButtonsBack) {
    for (const bool closeBox : {false, true}) {
        openList(kAllied, {row("Anna")});
        const WindowId dialog = openChangeEntry(kAllied, 0);
        const ListWindowState& l = list(kAllied);
        EXPECT_FALSE(ui.isEnabled(l.newButton));
        if (closeBox) {
            user.requestClose(dialog);
            handleEvents();
        } else {
            click(l.dialogCancelButton);
        }
        EXPECT_FALSE(user.isWindowOpen(dialog));
        EXPECT_FALSE(l.dialog);
        EXPECT_TRUE(ui.isEnabled(l.newButton));
        EXPECT_TRUE(ui.isEnabled(l.changeButton)); // the row is still selected
        EXPECT_TRUE(ui.isEnabled(l.refreshButton));
        EXPECT_EQ(ui.statusText(l.statusBar, 2), "\t\tStatus: Abgebrochen");
        closeListWindow(ui, fleet, kAllied);
    }
    EXPECT_TRUE(submissions.empty());
}

TEST_F(EntryDialog, LateEventsOfAClosedDialogTouchNothing) {
    openList(kAllied, {row("Paul")});
    openChangeEntry(kAllied, 0);
    const std::uint64_t generation = list(kAllied).dialogGeneration;
    reef::platform::Event late;
    late.kind = reef::platform::EventKind::Control;
    late.window = list(kAllied).dialog;
    late.control = list(kAllied).dialogSubmitButton;
    click(list(kAllied).dialogCancelButton);

    openNewEntry(kAllied);
    EXPECT_EQ(list(kAllied).dialogGeneration, generation + 1);
    EXPECT_FALSE(handleEntryDialogEvent(ui, fleet, kAllied, late));
    late.kind = reef::platform::EventKind::CloseRequest;
    EXPECT_FALSE(handleEntryDialogEvent(ui, fleet, kAllied, late));
    EXPECT_TRUE(list(kAllied).dialog);
    EXPECT_EQ(ui.statusText(list(kAllied).statusBar, 2), "\t\tStatus: warte auf Eingabe");
}

TEST_F(EntryDialog, HelpButtonWritesAndOpensTheHelpOfItsList) {
    for (const FleetListKind kind : {kAllied, kEnemy}) {
        openList(kind);
        openNewEntry(kind);
        click(slot(kind, EntrySlot::HelpButton));
    }
    EXPECT_EQ(user.filesOpenedInEditor(),
              (std::vector<std::string>{"HilfeFrend.txt", "HilfeEnemy.txt"}));
    EXPECT_TRUE(reef::platform::fileExists("HilfeEnemy.txt"));
}

TEST_F(EntryDialog, NewAlliedSubmitHandsOverTheDialogAndRewritesTheOwnFleet) {
    ASSERT_TRUE(reef::platform::replaceFileBytes(kOwnFleetFileName, "; alt\r\nExtra = 1\r\n"));
    openList(kAllied);
    openNewEntry(kAllied);
    const std::pair<EntrySlot, const char*> typed[] = {
        {EntrySlot::Name, "Anna"},      {EntrySlot::Basis, "1:2:3"},
        {EntrySlot::Punkte, "12.500"},  {EntrySlot::Schiffe, "300"},
        {EntrySlot::ZielName, "Bert"},  {EntrySlot::ZielBasis, "4:5:6"},
        {EntrySlot::ZielZeit, "11:05"}, {EntrySlot::BasisZeit, "12:25"}};
    for (const auto& [which, value] : typed) {
        typeAtOnce(slot(kAllied, which), value);
    }
    paste(slot(kAllied, EntrySlot::Password), "neu");
    select(slot(kAllied, EntrySlot::Hilfe), 3);
    submit(kAllied);

    ASSERT_EQ(submissions.size(), 1u);
    const EntrySubmission& s = submissions[0];
    EXPECT_EQ(std::tuple(s.kind, s.mode, s.helpSelection, s.missionSelection),
              std::tuple(kAllied, DialogMode::New, 3, 2));
    EXPECT_EQ(std::tuple(s.Name, s.Allianz, s.Punkte, s.ZielBasis, s.ZielZeit, s.BasisZeit),
              std::tuple("Anna", "", "12.500", "4:5:6", "11:00", "12:20"));
    EXPECT_EQ(s.password, "neu");
    EXPECT_EQ(fleet.password, "neu");
    EXPECT_TRUE(user.isWindowOpen(list(kAllied).dialog));
    EXPECT_EQ(ownFleetFile(),
              "Name = Anna\r\nAllianz = \r\nBasis = 1:2:3\r\nPunkte = 12.500\r\nSchiffe = 300\r\n");
}

TEST_F(EntryDialog, ChangesAndEnemyEntriesLeaveTheOwnFleetAlone) {
    openList(kAllied, {row("Paul")});
    openList(kEnemy, {row("Paul")});
    openChangeEntry(kAllied, 0);
    submit(kAllied);
    openChangeEntry(kEnemy, 0);
    fillRequiredQuietly(kEnemy);
    typeAtOnce(slot(kEnemy, EntrySlot::Von), "Cora");
    submit(kEnemy);
    ASSERT_EQ(submissions.size(), 2u);
    EXPECT_EQ(submissions[0].editCopy, row("Paul"));
    EXPECT_EQ(std::tuple(submissions[1].mode, submissions[1].Von, submissions[1].Punkte),
              std::tuple(DialogMode::Change, "xCora", "1.234.567"));
    EXPECT_FALSE(ownFleetFile());
}

TEST_F(EntryDialog, StaleClicksSendNothing) {
    submissionWorkerTakesDialog = true;
    openList(kAllied, {row("Paul")});
    openChangeEntry(kAllied, 0);
    // A click queued behind the typing that disables "Übernehmen".
    user.pasteText(slot(kAllied, EntrySlot::Name), "");
    user.click(list(kAllied).dialogSubmitButton);
    handleEvents();
    EXPECT_TRUE(submissions.empty());
    // Clicks queued behind the one that starts the submission.
    typeAtOnce(slot(kAllied, EntrySlot::Name), "P");
    user.click(list(kAllied).dialogSubmitButton);
    user.click(list(kAllied).dialogSubmitButton);
    user.requestClose(list(kAllied).dialog);
    handleEvents();
    EXPECT_EQ(submissions.size(), 1u);
    EXPECT_FALSE(ui.isWindowEnabled(list(kAllied).dialog));
    EXPECT_FALSE(ui.isEnabled(list(kAllied).newButton));
}

TEST_F(EntryDialog, DialogThatCannotOpenEndsTheProgramAfterTheMessage) {
    openList(kAllied);
    ui.failNextWindowOpens(1);
    click(list(kAllied).newButton);
    EXPECT_TRUE(failureExit);
    ASSERT_EQ(user.shownMessageBoxes().size(), 1u);
    EXPECT_EQ(user.shownMessageBoxes()[0].text, "Fenster konnte nicht geöffnet werden!");
}

} // namespace
