#include "calc/fleet_distribution_window.h"
#include "calc/fleet_file.h"

#include "platform/files.h"
#include "support/event_harness.h"
#include "support/message_boxes.h"
#include "support/scoped_temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>

namespace reef::calc {
namespace {

using platform::ControlId;
using platform::ControlKind;
using platform::Rect;
using Row = std::array<std::string, 7>;

class FleetDistributionWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        h.setHandler([this](const platform::Event& event) {
            handleFleetDistributionEvent(h.ui, state, event);
        });
        ASSERT_TRUE(openFleetDistributionWindow(h.ui, state));
    }

    Row texts(const std::array<ControlId, 7>& row) {
        Row out;
        for (std::size_t i = 0; i < row.size(); ++i) {
            out[i] = h.ui.text(row[i]);
        }
        return out;
    }
    Row soll() { return texts(state.soll); }
    Row haben() { return texts(state.haben); }

    void typeSoll(std::initializer_list<const char*> values) {
        std::size_t i = 0;
        for (const char* value : values) {
            h.type(state.soll[i++], value);
        }
    }

    ControlId habenTotal() { return state.haben[6]; }

    reef::testing::EventHarness h;
    FleetDistributionWindow state;
};

// --- layout

TEST_F(FleetDistributionWindowTest, WindowTitleAndSize) {
    EXPECT_EQ(h.user.windowTitle(state.window), "Reef - Tools: Flottenverteilung");
    EXPECT_EQ(h.user.clientRect(state.window), (Rect{0, 0, 650, 95}));
}

TEST_F(FleetDistributionWindowTest, LabelsFormTheHeaderRowAndRowNames) {
    const char* const header[] = {"",           "Manta",     "Teufelsrochen", "Octopus",
                                  "Schwertwal", "Buckelwal", "Killerwal",     "Gesamt"};
    std::vector<ControlId> labels;
    for (const ControlId c : h.ui.controlsOf(state.window)) {
        if (h.ui.controlInfo(c)->kind == ControlKind::Label) {
            labels.push_back(c);
        }
    }
    ASSERT_EQ(labels.size(), 10u);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(h.ui.text(labels[i]), header[i]);
        EXPECT_EQ(h.user.controlRect(labels[i]), (Rect{5 + 80 * i, 5, 80, 18}));
    }
    EXPECT_EQ(h.ui.text(labels[8]), "SOLL");
    EXPECT_EQ(h.user.controlRect(labels[8]), (Rect{5, 23, 80, 18}));
    EXPECT_EQ(h.ui.text(labels[9]), "HABEN");
    EXPECT_EQ(h.user.controlRect(labels[9]), (Rect{5, 41, 80, 18}));
    for (const ControlId label : labels) {
        const auto info = h.ui.controlInfo(label);
        EXPECT_EQ(info->labelStyle.align, platform::TextAlign::Center);
        EXPECT_TRUE(info->labelStyle.sunken);
    }
}

TEST_F(FleetDistributionWindowTest, FieldsStartEmptyAtTheirCells) {
    for (int i = 0; i < 7; ++i) {
        const auto sollInfo = h.ui.controlInfo(state.soll[i]);
        const auto habenInfo = h.ui.controlInfo(state.haben[i]);
        ASSERT_TRUE(sollInfo && habenInfo);
        EXPECT_EQ(sollInfo->kind, ControlKind::Edit);
        EXPECT_EQ(sollInfo->rect, (Rect{85 + 80 * i, 23, 80, 18}));
        EXPECT_EQ(habenInfo->rect, (Rect{85 + 80 * i, 41, 80, 18}));
        EXPECT_TRUE(sollInfo->editStyle.digitsOnly);
        EXPECT_TRUE(habenInfo->editStyle.digitsOnly);
        EXPECT_FALSE(habenInfo->editStyle.readOnly);
        EXPECT_EQ(sollInfo->editStyle.readOnly, i == 6);
        EXPECT_EQ(h.ui.text(state.soll[i]), "");
        EXPECT_EQ(h.ui.text(state.haben[i]), "");
    }
}

TEST_F(FleetDistributionWindowTest, FourButtonsAlongTheBottom) {
    const std::pair<const char*, int> buttons[] = {{"Soll-Flotte speichern", 5},
                                                   {"Soll-Flotte laden", 165},
                                                   {"Haben-Flotte speichern", 325},
                                                   {"Haben-Flotte laden", 485}};
    for (const auto& [text, x] : buttons) {
        const ControlId button = h.ui.findControl(state.window, text);
        ASSERT_TRUE(button) << text;
        EXPECT_EQ(h.ui.controlInfo(button)->kind, ControlKind::Button);
        EXPECT_EQ(h.user.controlRect(button), (Rect{x, 64, 160, 25})) << text;
    }
}

TEST_F(FleetDistributionWindowTest, DigitsOnlyFieldsRefuseOtherKeys) {
    h.type(state.soll[0], "1a2-3");
    EXPECT_EQ(h.ui.text(state.soll[0]), "123");
    h.type(state.soll[6], "9");
    EXPECT_EQ(h.ui.text(state.soll[6]), "123"); // read-only: the total stays the sum
}

// --- computing as the user types

TEST_F(FleetDistributionWindowTest, SollTotalFollowsEveryKeystroke) {
    h.type(state.soll[0], "1");
    EXPECT_EQ(soll()[6], "1");
    h.type(state.soll[0], "0");
    EXPECT_EQ(soll()[6], "10");
    h.type(state.soll[1], "2");
    EXPECT_EQ(soll()[6], "12");
    h.type(state.soll[1], "\b");
    EXPECT_EQ(soll()[6], "10");
}

TEST_F(FleetDistributionWindowTest, WorkedExample) {
    typeSoll({"10", "20", "0", "0", "0", "5"});
    EXPECT_EQ(soll()[6], "35");
    EXPECT_EQ(haben(), (Row{"", "", "", "", "", "", "0"}));

    h.type(state.haben[0], "4");
    EXPECT_EQ(haben(), (Row{"4", "8", "0", "0", "0", "2", "14"}));

    // The user clears the total and types 70.
    h.type(habenTotal(), "\b\b");
    EXPECT_EQ(haben(), (Row{"0", "0", "0", "0", "0", "0", ""}));
    h.type(habenTotal(), "7");
    EXPECT_EQ(haben(), (Row{"2", "4", "0", "0", "0", "1", "7"}));
    h.type(habenTotal(), "0");
    EXPECT_EQ(haben(), (Row{"20", "40", "0", "0", "0", "10", "70"}));

    h.tab(); // leaves the total
    EXPECT_EQ(haben()[6], "70");
    EXPECT_EQ(soll(), (Row{"10", "20", "0", "0", "0", "5", "35"}));
}

TEST_F(FleetDistributionWindowTest, TotalKeepsTheTypedValueUntilItLosesTheFocus) {
    typeSoll({"1", "1", "1"});
    ASSERT_EQ(haben()[6], "0");
    h.type(habenTotal(), "\b5");
    EXPECT_EQ(haben(), (Row{"2", "2", "2", "0", "0", "0", "5"}));
    // Another keystroke redistributes again and still leaves the typed text.
    h.type(habenTotal(), "0");
    EXPECT_EQ(haben(), (Row{"17", "17", "17", "0", "0", "0", "50"}));
    h.type(habenTotal(), "\b");
    EXPECT_EQ(haben(), (Row{"2", "2", "2", "0", "0", "0", "5"}));

    h.user.moveFocusAway();
    EXPECT_EQ(h.handleEvents(), 1);
    EXPECT_EQ(haben()[6], "6");
}

TEST_F(FleetDistributionWindowTest, SollChangeUpdatesTheTotalsOnly) {
    typeSoll({"10", "20", "0", "0", "0", "5"});
    h.type(state.haben[0], "4");
    ASSERT_EQ(haben(), (Row{"4", "8", "0", "0", "0", "2", "14"}));
    // A class whose SOLL is 0 can be set by hand without rescaling the others.
    h.type(state.haben[2], "\b9");
    ASSERT_EQ(haben(), (Row{"4", "8", "9", "0", "0", "2", "23"}));
    h.type(state.soll[3], "\b7");
    EXPECT_EQ(soll(), (Row{"10", "20", "0", "7", "0", "5", "42"}));
    EXPECT_EQ(haben(), (Row{"4", "8", "9", "0", "0", "2", "23"}));
    // A SOLL change also brings a stale HABEN total up to date.
    h.ui.setText(state.haben[6], "");
    h.type(state.soll[3], "\b");
    EXPECT_EQ(soll()[6], "35");
    EXPECT_EQ(haben(), (Row{"4", "8", "9", "0", "0", "2", "23"}));
}

TEST_F(FleetDistributionWindowTest, HabenChangeWithoutSollChangesOnlyTheTotals) {
    typeSoll({"", "20"});
    h.type(state.haben[2], "5"); // SOLL Octopus empty
    h.type(state.haben[0], "3"); // SOLL Manta empty
    EXPECT_EQ(haben(), (Row{"3", "", "5", "", "", "", "8"}));
    EXPECT_EQ(soll()[6], "20");
}

TEST_F(FleetDistributionWindowTest, PastedSollTextWithZeroFloatValueDoesNotScale) {
    h.paste(state.soll[0], "1e-50"); // integer value 1, floating value 0
    h.type(state.soll[1], "4");
    h.type(state.haben[1], "2");
    h.type(state.haben[0], "\b3");
    EXPECT_EQ(haben(), (Row{"3", "2", "0", "0", "0", "0", "5"}));
}

// --- closing and opening

TEST_F(FleetDistributionWindowTest, CloseRequestClosesTheWindowWithoutSaving) {
    reef::testing::ScopedTempDir dir;
    typeSoll({"3"});
    const platform::WindowId window = state.window;
    h.user.requestClose(window);
    h.handleEvents();
    EXPECT_FALSE(state.window);
    EXPECT_FALSE(h.user.isWindowOpen(window));
    EXPECT_FALSE(platform::fileExists(kSollFile));

    ASSERT_TRUE(openFleetDistributionWindow(h.ui, state));
    EXPECT_EQ(soll(), Row{});
    EXPECT_TRUE(h.user.shownMessageBoxes().empty());
}

TEST(FleetDistributionWindowOpen, FailureIsReportedAndLeavesNoHandle) {
    reef::testing::EventHarness h;
    FleetDistributionWindow state;
    h.ui.failNextWindowOpens(1);
    EXPECT_FALSE(openFleetDistributionWindow(h.ui, state));
    EXPECT_FALSE(state.window);
    EXPECT_TRUE(reef::testing::shownOneError(h.user, "Fenster konnte nicht geöffnet werden!"));
    // The next attempt works.
    EXPECT_TRUE(openFleetDistributionWindow(h.ui, state));
}

// --- the fleet files through the buttons

class FleetFileButtonsTest : public FleetDistributionWindowTest {
  protected:
    void clickButton(const char* text) {
        const ControlId button = h.ui.findControl(state.window, text);
        ASSERT_TRUE(button) << text;
        h.click(button);
    }

    static std::string fileBytes(const char* name) {
        return platform::readFileBytes(name).value_or("<missing>");
    }

    static void makeReadOnly(const char* name) {
        std::filesystem::permissions(name, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::remove);
    }

    reef::testing::ScopedTempDir dir;
};

TEST_F(FleetFileButtonsTest, ClickingAButtonAlsoEndsTheTypedTotal) {
    typeSoll({"1", "1", "1"});
    h.type(habenTotal(), "\b5");
    ASSERT_EQ(haben()[6], "5");
    clickButton("Soll-Flotte laden");
    // The load sets SOLL (all 0 from the new empty file); the HABEN total is the sum.
    EXPECT_EQ(haben()[6], "6");
}

TEST_F(FleetFileButtonsTest, SavesTheSollExample) {
    typeSoll({"10", "20", "0", "0", "0", "5"});
    clickButton("Soll-Flotte speichern");
    EXPECT_EQ(fileBytes("Soll.dat"), encodeFleetRow({10, 20, 0, 0, 0, 5, 35}));
    EXPECT_EQ(fileBytes("Soll.dat"),
              std::string("\x0A\0\0\0\x14\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x05\0\0\0\x23\0\0\0", 28));
    EXPECT_FALSE(platform::fileExists("Haben.dat"));
    EXPECT_TRUE(h.user.shownMessageBoxes().empty());
}

TEST_F(FleetFileButtonsTest, EmptyFieldsAreSavedAsZero) {
    h.type(state.haben[3], "7");
    clickButton("Haben-Flotte speichern");
    EXPECT_EQ(fileBytes("Haben.dat"), encodeFleetRow({0, 0, 0, 7, 0, 0, 7}));
}

TEST_F(FleetFileButtonsTest, SavingReplacesALongerFileWhole) {
    ASSERT_TRUE(platform::replaceFileBytes("Soll.dat", std::string(40, '\x55')));
    typeSoll({"1"});
    clickButton("Soll-Flotte speichern");
    EXPECT_EQ(fileBytes("Soll.dat"), encodeFleetRow({1, 0, 0, 0, 0, 0, 1}));
}

TEST_F(FleetFileButtonsTest, SaveThenLoadRestoresTheRow) {
    typeSoll({"10", "20", "0", "0", "0", "5"});
    clickButton("Soll-Flotte speichern");
    h.type(state.soll[0], "\b\b3");
    clickButton("Soll-Flotte laden");
    EXPECT_EQ(soll(), (Row{"10", "20", "0", "0", "0", "5", "35"}));
}

TEST_F(FleetFileButtonsTest, LoadingAMissingFileCreatesItEmptyAndShowsZeros) {
    typeSoll({"4", "2"});
    h.type(state.haben[0], "9");
    const Row sollBefore = soll();
    clickButton("Haben-Flotte laden");
    EXPECT_EQ(haben(), (Row{"0", "0", "0", "0", "0", "0", "0"}));
    EXPECT_EQ(fileBytes("Haben.dat"), "");
    EXPECT_EQ(soll(), sollBefore);
    EXPECT_TRUE(h.user.shownMessageBoxes().empty());
}

TEST_F(FleetFileButtonsTest, LoadingShowsTheStoredTotalAndComputesNothing) {
    ASSERT_TRUE(platform::replaceFileBytes("Soll.dat", encodeFleetRow({10, 20, 0, 0, 0, 5, 99})));
    h.type(state.haben[0], "4");
    const Row habenBefore = haben();
    clickButton("Soll-Flotte laden");
    EXPECT_EQ(soll(), (Row{"10", "20", "0", "0", "0", "5", "99"}));
    EXPECT_EQ(haben(), habenBefore); // no scaling, no new HABEN total
}

TEST_F(FleetFileButtonsTest, ShortFileFillsMissingBytesWithZeros) {
    std::string data = encodeFleetRow({7, 8, 9, 0, 0, 0x12345678, 0x0A0B0C0D});
    data.resize(26);
    ASSERT_TRUE(platform::replaceFileBytes("Haben.dat", data));
    clickButton("Haben-Flotte laden");
    EXPECT_EQ(haben(), (Row{"7", "8", "9", "0", "0", "305419896", "3085"})); // 0x0C0D
    EXPECT_EQ(fileBytes("Haben.dat"), data); // loading does not write the file
}

TEST_F(FleetFileButtonsTest, ReadOnlyFileCannotBeSaved) {
    const std::string old = encodeFleetRow({1, 1, 1, 1, 1, 1, 6});
    ASSERT_TRUE(platform::replaceFileBytes("Soll.dat", old));
    makeReadOnly("Soll.dat");
    typeSoll({"5"});
    clickButton("Soll-Flotte speichern");
    EXPECT_TRUE(reef::testing::shownOneError(h.user, "Konnte Datei ''Soll.dat'' nicht erstellen!"));
    EXPECT_EQ(fileBytes("Soll.dat"), old);
    EXPECT_EQ(soll()[0], "5");
}

TEST_F(FleetFileButtonsTest, ReadOnlyFileCannotBeLoaded) {
    ASSERT_TRUE(platform::replaceFileBytes("Haben.dat", encodeFleetRow({1, 1, 1, 1, 1, 1, 6})));
    makeReadOnly("Haben.dat");
    h.type(state.haben[2], "3");
    const Row before = haben();
    clickButton("Haben-Flotte laden");
    const auto boxes = h.user.shownMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Error: Reef - Tools");
    EXPECT_EQ(boxes[0].text, "Konnte Datei ''Haben.dat'' nicht öffnen!");
    EXPECT_EQ(haben(), before);
}

TEST_F(FleetFileButtonsTest, MissingFileThatCannotBeCreatedIsReported) {
    // A folder of that name stands where the file would be created.
    std::filesystem::create_directory("Soll.dat");
    typeSoll({"2"});
    clickButton("Soll-Flotte laden");
    const auto boxes = h.user.shownMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Konnte Datei ''Soll.dat'' nicht öffnen!");
    EXPECT_EQ(soll()[0], "2");
}

} // namespace
} // namespace reef::calc
