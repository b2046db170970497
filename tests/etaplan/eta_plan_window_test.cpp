#include "etaplan/eta_plan_window.h"

#include "etaplan/eta_plan_text.h"
#include "platform/headless/headless_platform.h"
#include "support/event_harness.h"
#include "support/message_boxes.h"
#include "support/scoped_temp_dir.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <csignal>
#include <filesystem>
#include <string>

namespace reef::etaplan {
namespace {

namespace fs = std::filesystem;
using platform::ControlId;
using platform::ControlKind;
using platform::Rect;

// 24.12.2026 18:05 of the local wall clock.
constexpr std::int64_t kChristmasEvening = 1798135500;

using testing::fileBytes;
using testing::putFile;

class EtaPlanWindowTest : public ::testing::Test, protected testing::EventHarness {
  protected:
    // Events of other windows are dropped, as the program's loop drops them.
    EtaPlanWindowTest() : EventHarness(kChristmasEvening) {
        setHandler([this](const platform::Event& event) {
            if (state.window && event.window == state.window) {
                handleEtaPlanEvent(ui, state, event);
            }
        });
    }

    // Opens the window and handles what opening raised.
    void open() {
        ASSERT_TRUE(openEtaPlanWindow(ui, state));
        handleEvents();
    }

    // What the user does: select the field's text and type over it.
    void retype(ControlId field, const std::string& text) {
        typeAtOnce(field, std::string(ui.text(field).size(), '\b') + text);
    }

    std::string plan(const std::string& attackTime) {
        EtaPlanFields fields;
        fields.target = ui.text(state.targetField);
        fields.coordinators = ui.text(state.coordinatorsField);
        fields.participants = ui.text(state.participantsField);
        fields.channel = ui.text(state.channelField);
        fields.attackTime = attackTime;
        return joinPlanLines(buildEtaPlan(fields, ui.clock().localNow()));
    }

    testing::ScopedTempDir dir;
    EtaPlanWindow state;
};

// --- opening

TEST_F(EtaPlanWindowTest, OpensWithItsTitleAndSize) {
    open();
    EXPECT_TRUE(user.isWindowOpen(state.window));
    EXPECT_EQ(user.windowTitle(state.window), "Reef - Tools: ETA-Plan");
    EXPECT_EQ(user.clientRect(state.window), (Rect{0, 0, 300, 400}));
    EXPECT_TRUE(user.shownMessageBoxes().empty());
}

TEST_F(EtaPlanWindowTest, ControlsInCreationOrderAtTheirPlaces) {
    open();
    struct Expected {
        ControlKind kind;
        std::string text;
        Rect rect;
    };
    const std::vector<Expected> expected = {
        {ControlKind::Label, "Ziel:", {5, 8, 60, 20}},
        {ControlKind::Edit, "", {67, 5, 228, 20}},
        {ControlKind::Label, "Koordinator:", {5, 33, 60, 20}},
        {ControlKind::Edit, "", {67, 30, 228, 20}},
        {ControlKind::Label, "Teilnehmer:", {5, 58, 60, 20}},
        {ControlKind::Edit, "", {67, 55, 228, 20}},
        {ControlKind::Label, "Channel:", {5, 83, 60, 20}},
        {ControlKind::Edit, "", {67, 80, 228, 20}},
        {ControlKind::Label, "Angriffszeit:", {5, 108, 60, 20}},
        {ControlKind::Edit, "02:00", {67, 105, 228, 20}},
        {ControlKind::Button, "Plan erstellen", {5, 130, 145, 25}},
        {ControlKind::Button, "Einstellungen speichern", {150, 130, 145, 25}},
        {ControlKind::TextArea, "keine Daten vorhanden", {0, 160, 300, 240}},
    };
    const std::vector<ControlId> controls = ui.controlsOf(state.window);
    ASSERT_EQ(controls.size(), expected.size());
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const std::optional<platform::headless::ControlInfo> info = ui.controlInfo(controls[i]);
        ASSERT_TRUE(info.has_value());
        EXPECT_EQ(info->kind, expected[i].kind) << i;
        EXPECT_EQ(ui.text(controls[i]), expected[i].text) << i;
        EXPECT_EQ(info->rect, expected[i].rect) << expected[i].text;
        if (info->kind == ControlKind::Label) {
            EXPECT_EQ(info->labelStyle.align, platform::TextAlign::Right) << expected[i].text;
        }
        if (info->kind == ControlKind::Edit) {
            EXPECT_FALSE(info->editStyle.readOnly) << i;
            EXPECT_FALSE(info->editStyle.digitsOnly) << i;
            EXPECT_FALSE(info->editStyle.masked) << i;
        }
    }
    EXPECT_EQ(controls[1], state.targetField);
    EXPECT_EQ(controls[3], state.coordinatorsField);
    EXPECT_EQ(controls[5], state.participantsField);
    EXPECT_EQ(controls[7], state.channelField);
    EXPECT_EQ(controls[9], state.attackTimeField);
    EXPECT_EQ(controls[10], state.createPlanButton);
    EXPECT_EQ(controls[11], state.saveSettingsButton);
    EXPECT_EQ(controls[12], state.planArea);
}

TEST_F(EtaPlanWindowTest, CreatePlanButtonExplainsItself) {
    open();
    EXPECT_EQ(user.tooltip(state.createPlanButton),
              "zeigt den ETA-Plan unten an und kopiert diesen direkt in die Zwischenablage");
}

TEST_F(EtaPlanWindowTest, OpeningLoadsTheSavedFields) {
    putFile("ETA-Plan.dat", "Ziel = Atlantis\r\nKoordinator = Nemo\r\nTeilnehmer = [KRAK]\r\n"
                            "Channel = #reef\r\nZeit = 14:35\r\n");
    open();
    EXPECT_EQ(ui.text(state.targetField), "Atlantis");
    EXPECT_EQ(ui.text(state.coordinatorsField), "Nemo");
    EXPECT_EQ(ui.text(state.participantsField), "[KRAK]");
    EXPECT_EQ(ui.text(state.channelField), "#reef");
    // Loading is not typing: the time stays off its tick until the field loses the focus.
    EXPECT_EQ(ui.text(state.attackTimeField), "14:35");
    EXPECT_EQ(ui.text(state.planArea), "keine Daten vorhanden");
}

TEST_F(EtaPlanWindowTest, FileWithoutTimeGivesTheDefaultTime) {
    putFile("ETA-Plan.dat", "Ziel = Atlantis\r\n");
    open();
    EXPECT_EQ(ui.text(state.attackTimeField), "0200");
}

TEST_F(EtaPlanWindowTest, WithoutFileTheInitialTextsStay) {
    open();
    EXPECT_EQ(ui.text(state.targetField), "");
    EXPECT_EQ(ui.text(state.attackTimeField), "02:00");
    EXPECT_FALSE(fs::exists("ETA-Plan.dat"));
}

TEST_F(EtaPlanWindowTest, WindowThatCannotBeCreatedIsReportedAndLeftEmpty) {
    ui.failNextWindowOpens(1);
    EXPECT_FALSE(openEtaPlanWindow(ui, state));
    EXPECT_FALSE(state.window);
    EXPECT_TRUE(ui.openWindows().empty());
    EXPECT_TRUE(reef::testing::shownOneError(user, "Fenster konnte nicht ge\xF6"
                                                   "ffnet werden!"));

    // The next try succeeds.
    open();
    EXPECT_TRUE(user.isWindowOpen(state.window));
    EXPECT_EQ(user.shownMessageBoxes().size(), 1u);
}

TEST_F(EtaPlanWindowTest, OpeningAgainRaisesTheOpenWindow) {
    open();
    const platform::WindowId first = state.window;
    retype(state.targetField, "Atlantis");
    user.minimize(first);
    EXPECT_EQ(openEtaPlanWindow(ui, state), first);
    EXPECT_EQ(ui.openWindows().size(), 1u);
    EXPECT_FALSE(ui.isMinimized(first));
    EXPECT_EQ(ui.text(state.targetField), "Atlantis");
}

// --- the attack time

// Every way of leaving the field normalises it; the rules themselves are the plan text's.
TEST_F(EtaPlanWindowTest, LeavingTheAttackTimeBringsItDownToItsTick) {
    open();
    retype(state.attackTimeField, "14:35");
    // Typing alone changes nothing.
    EXPECT_EQ(ui.text(state.attackTimeField), "14:35");
    user.moveFocusAway();
    handleEvents();
    EXPECT_EQ(ui.text(state.attackTimeField), "14:20");

    retype(state.attackTimeField, "23.59");
    user.pressTab();
    handleEvents();
    EXPECT_EQ(ui.text(state.attackTimeField), "23.40");

    retype(state.attackTimeField, "5");
    user.focus(state.targetField);
    handleEvents();
    EXPECT_EQ(ui.text(state.attackTimeField), "0500");
}

TEST_F(EtaPlanWindowTest, LeavingAnotherFieldChangesNothing) {
    open();
    retype(state.targetField, "14:35");
    user.focus(state.channelField);
    handleEvents();
    EXPECT_EQ(ui.text(state.targetField), "14:35");
    EXPECT_EQ(ui.text(state.attackTimeField), "02:00");
}

// --- the plan

TEST_F(EtaPlanWindowTest, PlanIsShownAndCopied) {
    open();
    retype(state.targetField, "Atlantis");
    retype(state.coordinatorsField, "Nemo");
    retype(state.participantsField, "[KRAK] [TIDE]");
    retype(state.channelField, "#reef");
    click(state.createPlanButton);

    const std::string copied = user.clipboardText();
    EXPECT_TRUE(copied.starts_with("ETA-Plan vom 24.12.2026 18:05\r\n\r\nZiel: Atlantis\r\n"
                                   "Koordinator: Nemo\r\nTeilnehmende Allianzen: [KRAK] [TIDE]\r\n"
                                   "Koordinations-Channel: #reef\r\n\r\n\r\n"
                                   "ETA 15 | 21:00 bis 21:19\r\n"));
    EXPECT_NE(copied.find("\r\nETA 00 | 02:00 -> Eintreffen der Flotten\r\n"), std::string::npos);
    EXPECT_TRUE(copied.ends_with(" bis 20:00 an die Koordinatoren!"));
    EXPECT_EQ(copied, plan("02:00"));
    // The area has one more, empty line.
    EXPECT_EQ(ui.text(state.planArea), copied + "\r\n");
}

TEST_F(EtaPlanWindowTest, TypedTimeIsNormalisedBeforeThePlanIsMade) {
    open();
    retype(state.attackTimeField, "14:35");
    // Clicking the button takes the focus from the field first.
    click(state.createPlanButton);
    EXPECT_EQ(ui.text(state.attackTimeField), "14:20");
    EXPECT_NE(user.clipboardText().find("ETA 00 | 14:20 -> Eintreffen"), std::string::npos);
    EXPECT_EQ(user.clipboardText(), plan("14:20"));
}

TEST_F(EtaPlanWindowTest, LoadedTimeOffItsTickIsUsedAsItStands) {
    putFile("ETA-Plan.dat", "Zeit = 14:35\r\n");
    open();
    click(state.createPlanButton);
    EXPECT_NE(user.clipboardText().find("ETA 15 | 09:35 bis 09:54"), std::string::npos);
    EXPECT_EQ(ui.text(state.attackTimeField), "14:35");
}

TEST_F(EtaPlanWindowTest, SecondPlanReplacesTheFirst) {
    open();
    click(state.createPlanButton);
    ui.manualClock().advanceMs(3 * 60 * 1000);
    retype(state.attackTimeField, "00:00");
    click(state.createPlanButton);
    const std::string area = ui.text(state.planArea);
    EXPECT_TRUE(area.starts_with("ETA-Plan vom 24.12.2026 18:08\r\n"));
    EXPECT_EQ(area, plan("00:00") + "\r\n");
    EXPECT_EQ(area.find("ETA-Plan vom"), area.rfind("ETA-Plan vom"));
    EXPECT_EQ(user.clipboardText(), plan("00:00"));
}

TEST_F(EtaPlanWindowTest, WithoutClipboardThePlanIsStillShown) {
    open();
    ui.setClipboardText("vorher");
    ui.setClipboardAvailable(false);
    click(state.createPlanButton);
    EXPECT_EQ(user.clipboardText(), "vorher");
    EXPECT_EQ(ui.text(state.planArea), plan("02:00") + "\r\n");
    EXPECT_TRUE(user.shownMessageBoxes().empty());
}

// --- saving

TEST_F(EtaPlanWindowTest, SavingWritesTheFieldsAsTheyStand) {
    open();
    retype(state.targetField, "Atlantis 12:34:5");
    retype(state.coordinatorsField, "Nemo");
    retype(state.channelField, "#reef");
    retype(state.attackTimeField, "14:35");
    click(state.saveSettingsButton);
    EXPECT_EQ(fileBytes("ETA-Plan.dat"), "Ziel = Atlantis 12:34:5\r\n"
                                         "Koordinator = Nemo\r\n"
                                         "Teilnehmer = \r\n"
                                         "Channel = #reef\r\n"
                                         "Zeit = 14:20\r\n");
    EXPECT_TRUE(user.shownMessageBoxes().empty());
}

TEST_F(EtaPlanWindowTest, SavingThatFailsIsReportedAndChangesNothing) {
    const std::string before = "Ziel = Alt\r\n";
    putFile("ETA-Plan.dat", before);
    fs::permissions("ETA-Plan.dat", fs::perms::owner_read, fs::perm_options::replace);
    open();
    retype(state.targetField, "Neu");
    click(state.saveSettingsButton);
    EXPECT_TRUE(reef::testing::shownOneError(user, "Konnte Einstellungen nicht speichern!"));
    EXPECT_EQ(fileBytes("ETA-Plan.dat"), before);
    EXPECT_EQ(ui.text(state.targetField), "Neu");
    EXPECT_TRUE(user.isWindowOpen(state.window));
}

#ifndef _WIN32
// Files may not grow beyond a few bytes while it lives: an empty file can still be created,
// a longer one cannot be written. The signal the system sends for it is ignored meanwhile,
// so that the write fails instead of ending the test.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &previous_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

// The file is created, but writing the fields into it fails when it is closed.
TEST_F(EtaPlanWindowTest, SavingThatFailsAtWritingTheFieldsIsReported) {
    open();
    retype(state.targetField, "Atlantis 12:34:5");
    {
        const FileSizeLimit limit(8);
        click(state.saveSettingsButton);
    }
    EXPECT_TRUE(reef::testing::shownOneError(user, "Konnte Einstellungen nicht speichern!"));
    EXPECT_TRUE(fs::exists("ETA-Plan.dat")) << "creating it did not fail";
    EXPECT_EQ(fileBytes("ETA-Plan.dat"), "");
    EXPECT_EQ(ui.text(state.targetField), "Atlantis 12:34:5");
    EXPECT_TRUE(user.isWindowOpen(state.window));
}
#endif

// --- closing

TEST_F(EtaPlanWindowTest, ClosingDestroysTheWindowAndClearsItsHandle) {
    open();
    const platform::WindowId window = state.window;
    const ControlId field = state.targetField;
    user.requestClose(window);
    handleEvents();
    EXPECT_FALSE(state.window);
    EXPECT_FALSE(user.isWindowOpen(window));
    EXPECT_FALSE(user.controlExists(field));
    EXPECT_FALSE(fs::exists("ETA-Plan.dat"));
}

TEST_F(EtaPlanWindowTest, ReopeningShowsWhatWasSavedNotWhatWasTyped) {
    open();
    retype(state.targetField, "Gespeichert");
    click(state.saveSettingsButton);
    retype(state.targetField, "Nur getippt");
    user.requestClose(state.window);
    handleEvents();

    open();
    EXPECT_EQ(ui.text(state.targetField), "Gespeichert");
    EXPECT_EQ(ui.text(state.planArea), "keine Daten vorhanden");
}

TEST_F(EtaPlanWindowTest, EventsOfOtherWindowsAreIgnored) {
    open();
    const platform::WindowId other = ui.openWindow("Andere", 100, 100);
    const ControlId otherField = ui.createEdit(other, Rect{0, 0, 50, 20}, "14:35", {});
    user.focus(otherField);
    user.moveFocusAway();
    user.requestClose(other);
    while (const std::optional<platform::Event> event = ui.waitEvent(0)) {
        handleEtaPlanEvent(ui, state, *event);
    }
    EXPECT_TRUE(user.isWindowOpen(state.window));
    EXPECT_EQ(ui.text(otherField), "14:35");
    EXPECT_TRUE(user.isWindowOpen(other));
}

} // namespace
} // namespace reef::etaplan
