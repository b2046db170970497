// Buttons, labels, frames, tooltips, drop-down lists, list views and status bars.

#include "platform/conformance/conformance_fixture.h"

namespace reef::platform::conformance {
namespace {

class ConformanceControls : public ConformanceTest {
  protected:
    void SetUp() override {
        ConformanceTest::SetUp();
        window_ = openTestWindow("Reef - Tools: Test", 640, 230);
    }

    ControlId makeDropDown(std::initializer_list<const char*> items) {
        const ControlId drop = platform().createDropDown(window_, Rect{70, 110, 100, 20}, 80);
        EXPECT_TRUE(drop);
        for (const char* item : items) {
            platform().addDropDownItem(drop, item);
        }
        return drop;
    }

    ControlId makeListView(int columns, int rows) {
        const ControlId list = platform().createListView(window_, Rect{0, 0, 640, 153});
        EXPECT_TRUE(list);
        for (int c = 0; c < columns; ++c) {
            platform().addListColumn(list, "Spalte " + std::to_string(c), 50 + c);
        }
        for (int r = 0; r < rows; ++r) {
            EXPECT_EQ(platform().addListRow(list), r);
            for (int c = 0; c < columns; ++c) {
                platform().setListCell(list, r, c, std::to_string(r) + "/" + std::to_string(c));
            }
        }
        return list;
    }

    WindowId window_;
};

// --- buttons, labels, frames, tooltips

TEST_F(ConformanceControls, ButtonHasItsTextPlaceAndTooltip) {
    const ControlId button = platform().createButton(window_, Rect{169, 178, 25, 25}, "?");
    ASSERT_TRUE(button);
    platform().setTooltip(button, "Erstellte die Datei 'Readme.txt' und öffnet diese.");
    EXPECT_EQ(platform().text(button), "?");
    EXPECT_EQ(driver().controlRect(button), (Rect{169, 178, 25, 25}));
    EXPECT_EQ(driver().tooltip(button), "Erstellte die Datei 'Readme.txt' und öffnet diese.");
    platform().setText(button, "!");
    EXPECT_EQ(platform().text(button), "!");
}

TEST_F(ConformanceControls, ClickOnAButtonRaisesActivated) {
    const ControlId button = makeButton(window_, 10, "Liste Aktualisieren");
    const ControlId other = makeButton(window_, 40, "Neuer Eintrag");
    drainEvents();
    driver().click(button);
    const std::vector<Event> events = drainEvents();
    EXPECT_GE(countMatching(events, controlEvent(button, ControlEventType::Activated)), 1);
    EXPECT_EQ(countMatching(events, anyEventOf(other)), 0);
    const int at = indexOf(events, controlEvent(button, ControlEventType::Activated));
    ASSERT_GE(at, 0);
    EXPECT_EQ(events[at].window, window_);
}

TEST_F(ConformanceControls, DisabledButtonTakesNoClick) {
    const ControlId button = makeButton(window_, 10, "Eintrag Aktualisieren");
    platform().setEnabled(button, false);
    EXPECT_FALSE(platform().isEnabled(button));
    drainEvents();
    driver().click(button);
    EXPECT_TRUE(drainEvents().empty());
    platform().setEnabled(button, true);
    EXPECT_TRUE(platform().isEnabled(button));
    driver().click(button);
    EXPECT_TRUE(awaitEvent(controlEvent(button, ControlEventType::Activated)));
}

TEST_F(ConformanceControls, LabelHasItsTextAndColour) {
    const ControlId plain = platform().createLabel(window_, Rect{5, 8, 60, 20},
                                                   "Ziel:", LabelStyle{.align = TextAlign::Right});
    const ControlId grey = platform().createLabel(
        window_, Rect{0, 156, 640, 17}, "Drücke auf einen Eintrag",
        LabelStyle{.align = TextAlign::Center, .sunken = true, .textColor = rgb(160, 160, 160)});
    ASSERT_TRUE(plain);
    ASSERT_TRUE(grey);
    EXPECT_EQ(platform().text(plain), "Ziel:");
    EXPECT_EQ(driver().labelTextColor(plain), std::nullopt);
    EXPECT_EQ(driver().labelTextColor(grey), rgb(160, 160, 160));
    EXPECT_EQ(driver().controlRect(grey), (Rect{0, 156, 640, 17}));
    platform().setText(grey, "abg.");
    EXPECT_EQ(platform().text(grey), "abg.");
    EXPECT_EQ(driver().labelTextColor(grey), rgb(160, 160, 160));
}

TEST_F(ConformanceControls, FrameHasItsCaption) {
    const ControlId frame =
        platform().createFrame(window_, Rect{5, 5, 200, 140}, "Daten der eigenen Flotte");
    ASSERT_TRUE(frame);
    EXPECT_EQ(platform().text(frame), "Daten der eigenen Flotte");
    EXPECT_EQ(driver().controlRect(frame), (Rect{5, 5, 200, 140}));
}

// --- drop-down lists

TEST_F(ConformanceControls, DropDownStartsWithoutSelection) {
    const ControlId drop = makeDropDown({"n/a", "Verteidigen", "Angreifen"});
    EXPECT_EQ(platform().dropDownSelection(drop), -1);
    EXPECT_EQ(driver().dropDownItems(drop),
              (std::vector<std::string>{"n/a", "Verteidigen", "Angreifen"}));
}

TEST_F(ConformanceControls, ProgramSelectionRaisesNoEvent) {
    const ControlId drop = makeDropDown({"n/a", "Verteidigen", "Angreifen"});
    drainEvents();
    platform().setDropDownSelection(drop, 2);
    EXPECT_EQ(platform().dropDownSelection(drop), 2);
    platform().setDropDownSelection(drop, -1);
    EXPECT_EQ(platform().dropDownSelection(drop), -1);
    EXPECT_EQ(countMatching(drainEvents(), anyEventOf(drop)), 0);
}

TEST_F(ConformanceControls, ProgramSelectionOutsideTheItemsClearsIt) {
    // The entry dialogs select by index; a code without an item must leave no stale choice.
    const ControlId drop = makeDropDown({"OK", "Hilfe", "Deff", "Ziel", "Abbruch"});
    drainEvents();
    for (const int outside : {5, 17, -2}) {
        platform().setDropDownSelection(drop, 3);
        ASSERT_EQ(platform().dropDownSelection(drop), 3);
        platform().setDropDownSelection(drop, outside);
        EXPECT_EQ(platform().dropDownSelection(drop), -1) << "index " << outside;
        EXPECT_EQ(platform().text(drop), "") << "index " << outside;
    }
    EXPECT_EQ(countMatching(drainEvents(), anyEventOf(drop)), 0);
}

TEST_F(ConformanceControls, UserSelectionRaisesActivated) {
    const ControlId drop = makeDropDown({"OK", "Hilfe", "gedefft"});
    platform().setDropDownSelection(drop, 0);
    drainEvents();
    driver().selectDropDownItem(drop, 2);
    const std::optional<Event> event = awaitEvent(controlEvent(drop, ControlEventType::Activated));
    ASSERT_TRUE(event);
    EXPECT_EQ(event->window, window_);
    EXPECT_EQ(platform().dropDownSelection(drop), 2);
}

TEST_F(ConformanceControls, DisabledDropDownTakesNoSelection) {
    const ControlId drop = makeDropDown({"OK", "Hilfe"});
    platform().setEnabled(drop, false);
    drainEvents();
    driver().selectDropDownItem(drop, 1);
    EXPECT_TRUE(drainEvents().empty());
    EXPECT_EQ(platform().dropDownSelection(drop), -1);
}

// --- list views

TEST_F(ConformanceControls, ListViewColumnsHaveHeadersAndWidths) {
    const ControlId list = platform().createListView(window_, Rect{0, 0, 640, 153});
    ASSERT_TRUE(list);
    platform().addListColumn(list, "Hilfe-/ Status", 50);
    platform().addListColumn(list, "Name", 100);
    platform().addListColumn(list, "ETA bis Rückkehr", 104);
    EXPECT_EQ(driver().listColumnCount(list), 3);
    EXPECT_EQ(driver().listColumnHeader(list, 0), "Hilfe-/ Status");
    EXPECT_EQ(driver().listColumnHeader(list, 2), "ETA bis Rückkehr");
    EXPECT_EQ(platform().listColumnWidth(list, 0), 50);
    EXPECT_EQ(platform().listColumnWidth(list, 1), 100);
    platform().setListColumnWidth(list, 0, 80);
    EXPECT_EQ(platform().listColumnWidth(list, 0), 80);
    EXPECT_EQ(platform().listColumnWidth(list, 1), 100);
    EXPECT_EQ(driver().controlRect(list), (Rect{0, 0, 640, 153}));
}

TEST_F(ConformanceControls, ListViewRowsHoldTheirCells) {
    const ControlId list = makeListView(4, 3);
    EXPECT_EQ(platform().listRowCount(list), 3);
    EXPECT_EQ(platform().listCell(list, 0, 0), "0/0");
    EXPECT_EQ(platform().listCell(list, 2, 3), "2/3");
    platform().setListCell(list, 1, 2, "1.234.567");
    EXPECT_EQ(platform().listCell(list, 1, 2), "1.234.567");
    // Outside the rows and columns there is nothing.
    EXPECT_EQ(platform().listCell(list, 3, 0), "");
    EXPECT_EQ(platform().listCell(list, -1, 0), "");
    EXPECT_EQ(platform().listCell(list, 0, 9), "");
    platform().setListCell(list, 5, 0, "x");
    EXPECT_EQ(platform().listRowCount(list), 3);
}

TEST_F(ConformanceControls, NewRowHasEmptyCells) {
    const ControlId list = makeListView(3, 0);
    EXPECT_EQ(platform().addListRow(list), 0);
    EXPECT_EQ(platform().listCell(list, 0, 0), "");
    EXPECT_EQ(platform().listCell(list, 0, 2), "");
}

TEST_F(ConformanceControls, ListViewCellColours) {
    const ControlId list = makeListView(5, 2);
    platform().setListCellColors(list, 0, 0, rgb(0, 255, 0), std::nullopt);
    platform().setListCellColors(list, 1, 2, std::nullopt, rgb(103, 2, 0));
    platform().setListCellColors(list, 1, 4, rgb(255, 204, 0), rgb(1, 2, 3));
    EXPECT_EQ(driver().listCellBackground(list, 0, 0), rgb(0, 255, 0));
    EXPECT_EQ(driver().listCellTextColor(list, 0, 0), std::nullopt);
    EXPECT_EQ(driver().listCellBackground(list, 1, 2), std::nullopt);
    EXPECT_EQ(driver().listCellTextColor(list, 1, 2), rgb(103, 2, 0));
    EXPECT_EQ(driver().listCellBackground(list, 1, 4), rgb(255, 204, 0));
    EXPECT_EQ(driver().listCellTextColor(list, 1, 4), rgb(1, 2, 3));
    EXPECT_EQ(driver().listCellBackground(list, 0, 1), std::nullopt);
    // Back to the system default.
    platform().setListCellColors(list, 0, 0, std::nullopt, std::nullopt);
    EXPECT_EQ(driver().listCellBackground(list, 0, 0), std::nullopt);
}

TEST_F(ConformanceControls, ClearingRowsRemovesCellsColoursAndSelection) {
    const ControlId list = makeListView(3, 3);
    platform().setListCellColors(list, 0, 0, rgb(1, 1, 1), std::nullopt);
    driver().clickListRow(list, 1);
    drainEvents();
    ASSERT_EQ(platform().selectedListRow(list), 1);

    platform().clearListRows(list);

    EXPECT_EQ(platform().listRowCount(list), 0);
    EXPECT_EQ(platform().selectedListRow(list), -1);
    EXPECT_EQ(platform().listCell(list, 0, 0), "");
    EXPECT_EQ(platform().addListRow(list), 0);
    EXPECT_EQ(platform().listCell(list, 0, 0), "");
    EXPECT_EQ(driver().listCellBackground(list, 0, 0), std::nullopt);
    EXPECT_EQ(driver().listColumnCount(list), 3);
}

// A whole list at once, as long as a full list of the list server: it stands in for every
// row before it, selection included, raises nothing, and leaves the columns as they were.
TEST_F(ConformanceControls, WholeListReplacesRowsCellsColoursAndSelection) {
    const ControlId list = makeListView(4, 3);
    platform().setListCellColors(list, 1, 1, rgb(1, 1, 1), std::nullopt);
    platform().setListColumnWidth(list, 2, 77);
    driver().clickListRow(list, 1);
    drainEvents();
    ASSERT_EQ(platform().selectedListRow(list), 1);

    constexpr int kRows = 2500;
    std::vector<ListRowContent> rows(kRows);
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < 4; ++c) {
            rows[r].push_back({std::to_string(r) + ":" + std::to_string(c)});
        }
        rows[r][0].background = rgb(0, static_cast<std::uint8_t>(r % 256), 0);
        if (r % 3 == 0) {
            rows[r][2].textColor = rgb(103, 2, 0);
        }
    }
    rows[7].resize(2);                      // fewer cells: the others are empty
    rows[8].push_back({"x", rgb(9, 9, 9)}); // beyond the columns: dropped
    platform().setListRows(list, std::move(rows));

    EXPECT_EQ(countMatching(drainEvents(), anyEventOf(list)), 0);
    EXPECT_EQ(platform().selectedListRow(list), -1);
    EXPECT_EQ(platform().listRowCount(list), kRows);
    EXPECT_EQ(driver().listColumnCount(list), 4);
    EXPECT_EQ(platform().listColumnWidth(list, 2), 77);
    const struct {
        int row;
        int column;
        const char* text;
        std::optional<Color> background;
        std::optional<Color> textColor;
    } cells[] = {
        {0, 0, "0:0", rgb(0, 0, 0), std::nullopt},
        {1, 1, "1:1", std::nullopt, std::nullopt}, // the colour of the old row is gone
        {1249, 2, "1249:2", std::nullopt, std::nullopt},
        {1251, 2, "1251:2", std::nullopt, rgb(103, 2, 0)},
        {1251, 0, "1251:0", rgb(0, 1251 % 256, 0), std::nullopt},
        {kRows - 1, 3, "2499:3", std::nullopt, std::nullopt},
        {7, 1, "7:1", std::nullopt, std::nullopt},
        {7, 2, "", std::nullopt, std::nullopt},
        {8, 3, "8:3", std::nullopt, std::nullopt},
        {8, 4, "", std::nullopt, std::nullopt},
        {kRows, 0, "", std::nullopt, std::nullopt},
    };
    for (const auto& cell : cells) {
        SCOPED_TRACE(std::to_string(cell.row) + "/" + std::to_string(cell.column));
        EXPECT_EQ(platform().listCell(list, cell.row, cell.column), cell.text);
        EXPECT_EQ(driver().listCellBackground(list, cell.row, cell.column), cell.background);
        EXPECT_EQ(driver().listCellTextColor(list, cell.row, cell.column), cell.textColor);
    }

    // The new rows are the user's as any others: a click selects one and is reported.
    driver().clickListRow(list, 2);
    EXPECT_TRUE(awaitEvent(controlEvent(list, ControlEventType::Activated)));
    EXPECT_EQ(platform().selectedListRow(list), 2);

    platform().setListRows(list, {});
    EXPECT_EQ(platform().listRowCount(list), 0);
    EXPECT_EQ(platform().selectedListRow(list), -1);
    EXPECT_EQ(countMatching(drainEvents(), anyEventOf(list)), 0);
}

// Rewritten cells take their colours only when the change brings colours; the others keep
// what they had, and changes outside the rows and columns change nothing.
TEST_F(ConformanceControls, ChangedCellsKeepTheirColoursUnlessGiven) {
    const ControlId list = makeListView(3, 4);
    platform().setListCellColors(list, 0, 1, rgb(255, 204, 0), std::nullopt);
    platform().setListCellColors(list, 1, 1, rgb(255, 204, 0), std::nullopt);
    driver().clickListRow(list, 3);
    drainEvents();

    platform().changeListCells(list, {
                                         {0, 1, "12"},
                                         {1, 1, "abgelaufen", true, rgb(255, 255, 255)},
                                         {2, 2, "n/a", true, std::nullopt, rgb(103, 2, 0)},
                                         {4, 0, "beyond the rows"},
                                         {0, 3, "beyond the columns"},
                                         {-1, 0, "before the first row"},
                                     });

    EXPECT_EQ(platform().listCell(list, 0, 1), "12");
    EXPECT_EQ(driver().listCellBackground(list, 0, 1), rgb(255, 204, 0));
    EXPECT_EQ(platform().listCell(list, 1, 1), "abgelaufen");
    EXPECT_EQ(driver().listCellBackground(list, 1, 1), rgb(255, 255, 255));
    EXPECT_EQ(platform().listCell(list, 2, 2), "n/a");
    EXPECT_EQ(driver().listCellTextColor(list, 2, 2), rgb(103, 2, 0));
    EXPECT_EQ(platform().listCell(list, 2, 1), "2/1");
    EXPECT_EQ(platform().listRowCount(list), 4);
    EXPECT_EQ(platform().listCell(list, 0, 0), "0/0");
    EXPECT_EQ(platform().selectedListRow(list), 3);
    EXPECT_EQ(countMatching(drainEvents(), anyEventOf(list)), 0);
}

TEST_F(ConformanceControls, ProgramFilledListRaisesNoEvents) {
    drainEvents();
    const ControlId list = makeListView(4, 4);
    platform().setListCellColors(list, 0, 0, rgb(1, 1, 1), std::nullopt);
    platform().clearListRows(list);
    EXPECT_EQ(countMatching(drainEvents(), anyEventOf(list)), 0);
}

TEST_F(ConformanceControls, ClickOnARowSelectsItAndRaisesActivated) {
    const ControlId list = makeListView(3, 3);
    EXPECT_EQ(platform().selectedListRow(list), -1);
    drainEvents();
    driver().clickListRow(list, 2);
    const std::optional<Event> event = awaitEvent(controlEvent(list, ControlEventType::Activated));
    ASSERT_TRUE(event);
    EXPECT_EQ(event->window, window_);
    EXPECT_EQ(platform().selectedListRow(list), 2);
    drainEvents();

    driver().clickListRow(list, 0);
    EXPECT_TRUE(awaitEvent(controlEvent(list, ControlEventType::Activated)));
    EXPECT_EQ(platform().selectedListRow(list), 0);
}

TEST_F(ConformanceControls, ClickWhereNoRowIsClearsTheSelection) {
    const ControlId list = makeListView(3, 2);
    driver().clickListRow(list, 1);
    drainEvents();
    ASSERT_EQ(platform().selectedListRow(list), 1);

    driver().clickListEmptyArea(list);

    EXPECT_TRUE(awaitEvent(controlEvent(list, ControlEventType::Activated)));
    EXPECT_EQ(platform().selectedListRow(list), -1);
}

TEST_F(ConformanceControls, ClickIntoAnEmptyListRaisesActivated) {
    const ControlId list = makeListView(3, 0);
    drainEvents();
    driver().clickListEmptyArea(list);
    EXPECT_TRUE(awaitEvent(controlEvent(list, ControlEventType::Activated)));
    EXPECT_EQ(platform().selectedListRow(list), -1);
}

TEST_F(ConformanceControls, DisabledListViewTakesNoClick) {
    const ControlId list = makeListView(2, 2);
    platform().setEnabled(list, false);
    drainEvents();
    driver().clickListRow(list, 1);
    EXPECT_TRUE(drainEvents().empty());
    EXPECT_EQ(platform().selectedListRow(list), -1);
}

TEST_F(ConformanceControls, OneClickIsOneActivatedWhetherOrNotTheSelectionChanges) {
    const ControlId list = makeListView(3, 3);
    drainEvents();
    for (const int row : {1, 2, 2}) {
        driver().clickListRow(list, row);
        const std::vector<Event> events = drainEvents();
        EXPECT_EQ(countMatching(events, controlEvent(list, ControlEventType::Activated)), 1)
            << "click on row " << row;
        EXPECT_EQ(platform().selectedListRow(list), row);
    }
}

TEST_F(ConformanceControls, ArrowKeysMoveTheSelectionWithOneActivatedPerMove) {
    const ControlId list = makeListView(3, 3);
    drainEvents();
    struct Step {
        ListKey key;
        int selected;
        int events;
    };
    // Down into a list without selection goes to the first row; at either end nothing moves.
    for (const Step step :
         {Step{ListKey::Down, 0, 1}, Step{ListKey::Down, 1, 1}, Step{ListKey::Down, 2, 1},
          Step{ListKey::Down, 2, 0}, Step{ListKey::Up, 1, 1}, Step{ListKey::Up, 0, 1},
          Step{ListKey::Up, 0, 0}}) {
        driver().pressListKey(list, step.key);
        const std::vector<Event> events = drainEvents();
        EXPECT_EQ(platform().selectedListRow(list), step.selected);
        EXPECT_EQ(countMatching(events, controlEvent(list, ControlEventType::Activated)),
                  step.events)
            << "to row " << step.selected;
    }
}

TEST_F(ConformanceControls, ArrowKeyTakesTheFocusToTheList) {
    const ControlId list = makeListView(3, 2);
    const ControlId edit = makeEdit(window_, 170);
    driver().focus(edit);
    drainEvents();
    driver().pressListKey(list, ListKey::Down);
    const std::vector<Event> events = drainEvents();
    EXPECT_EQ(countMatching(events, controlEvent(edit, ControlEventType::LostFocus)), 1);
    EXPECT_EQ(platform().focusedControl(), list);
}

TEST_F(ConformanceControls, DisabledListViewTakesNoKeys) {
    const ControlId list = makeListView(2, 2);
    driver().clickListRow(list, 0);
    platform().setEnabled(list, false);
    drainEvents();
    driver().pressListKey(list, ListKey::Down);
    EXPECT_TRUE(drainEvents().empty());
    EXPECT_EQ(platform().selectedListRow(list), 0);
}

TEST_F(ConformanceControls, ProgramChangesOfASelectedListRaiseNoEvents) {
    const ControlId list = makeListView(3, 3);
    driver().clickListRow(list, 1);
    drainEvents();
    ASSERT_EQ(platform().selectedListRow(list), 1);

    platform().clearListRows(list);
    EXPECT_EQ(platform().addListRow(list), 0);
    EXPECT_EQ(platform().addListRow(list), 1);
    platform().setListCell(list, 1, 0, "neu");

    EXPECT_EQ(countMatching(drainEvents(), anyEventOf(list)), 0);
    EXPECT_EQ(platform().selectedListRow(list), -1);
    // The user's next moves are reported as usual, also the one back to the row that was
    // selected before the program refilled the list.
    for (const int row : {0, 1}) {
        driver().pressListKey(list, ListKey::Down);
        EXPECT_EQ(countMatching(drainEvents(), controlEvent(list, ControlEventType::Activated)), 1)
            << "to row " << row;
        EXPECT_EQ(platform().selectedListRow(list), row);
    }
}

// --- status bars

TEST_F(ConformanceControls, StatusBarHasThreeFields) {
    const ControlId status = platform().createStatusBar(window_, 200, 200, 300);
    ASSERT_TRUE(status);
    platform().setStatusText(status, 0, "letzte Aktualisierung: aus Datei geladen");
    platform().setStatusText(status, 1, "\tgespeicherte Daten laden");
    platform().setStatusText(status, 2, "\t\tStatus: Fertig!");
    EXPECT_EQ(platform().statusText(status, 0), "letzte Aktualisierung: aus Datei geladen");
    EXPECT_EQ(platform().statusText(status, 1), "\tgespeicherte Daten laden");
    EXPECT_EQ(platform().statusText(status, 2), "\t\tStatus: Fertig!");
    platform().setStatusText(status, 2, "\t\tStatus: Daten empfangen: 120 Byte");
    EXPECT_EQ(platform().statusText(status, 2), "\t\tStatus: Daten empfangen: 120 Byte");
    EXPECT_EQ(platform().statusText(status, 1), "\tgespeicherte Daten laden");
    // There are only three fields.
    platform().setStatusText(status, 3, "x");
    EXPECT_EQ(platform().statusText(status, 3), "");
}

TEST_F(ConformanceControls, StatusBarSitsAtTheBottomEdge) {
    const ControlId status = platform().createStatusBar(window_, 200, 200, 300);
    const Rect rect = driver().controlRect(status);
    const Rect client = driver().clientRect(window_);
    EXPECT_GT(rect.height, 0);
    EXPECT_EQ(rect.y + rect.height, client.height);
}

} // namespace
} // namespace reef::platform::conformance
