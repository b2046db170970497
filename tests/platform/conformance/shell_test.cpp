// Everything outside the windows: tray icon, popup menu, modal boxes, clipboard, editor,
// clocks.

#include "platform/conformance/conformance_fixture.h"

namespace reef::platform::conformance {
namespace {

class ConformanceShell : public ConformanceTest {};

const std::vector<MenuItem> kTrayMenu = {
    {0, "ETA-Plan erstellen", false}, {1, "Flottenverhältnis", false},
    {2, "Attgrenze", false},          {-1, "", true},
    {5, "Hilfe (?)", false},          {6, "Programm beenden", false},
};

// --- tray icon

TEST_F(ConformanceShell, TrayIconHasItsTooltipUntilRemoved) {
    const WindowId owner = openTestWindow("Reef - Tools");
    EXPECT_FALSE(driver().hasTrayIcon());
    ASSERT_TRUE(platform().addTrayIcon(owner, "Reef - Tools"));
    EXPECT_TRUE(driver().hasTrayIcon());
    EXPECT_EQ(driver().trayTooltip(), "Reef - Tools");
    platform().removeTrayIcon();
    EXPECT_FALSE(driver().hasTrayIcon());
}

TEST_F(ConformanceShell, TrayClicksBecomeEventsOfTheOwnerWindow) {
    const WindowId other = openTestWindow("Reef - Tools: Attgrenze");
    const WindowId owner = openTestWindow("Reef - Tools");
    ASSERT_TRUE(platform().addTrayIcon(owner, "Reef - Tools"));
    drainEvents();

    for (TrayEventType type : {TrayEventType::LeftClick, TrayEventType::RightClick,
                               TrayEventType::LeftDoubleClick, TrayEventType::RightDoubleClick}) {
        driver().clickTray(type);
        const std::optional<Event> event = awaitEvent(
            [type](const Event& e) { return e.kind == EventKind::Tray && e.trayType == type; });
        ASSERT_TRUE(event) << static_cast<int>(type);
        EXPECT_EQ(event->window, owner);
        EXPECT_NE(event->window, other);
    }
}

TEST_F(ConformanceShell, TrayClicksReachAMinimisedOwner) {
    const WindowId owner = openTestWindow("Reef - Tools");
    ASSERT_TRUE(platform().addTrayIcon(owner, "Reef - Tools"));
    platform().minimizeWindow(owner);
    platform().hideWindow(owner);
    drainEvents();
    driver().clickTray(TrayEventType::LeftClick);
    const std::optional<Event> event = awaitEvent(eventOfKind(EventKind::Tray, owner));
    ASSERT_TRUE(event);
    EXPECT_EQ(event->trayType, TrayEventType::LeftClick);
}

TEST_F(ConformanceShell, RemovedTrayIconRaisesNothing) {
    const WindowId owner = openTestWindow("Reef - Tools");
    ASSERT_TRUE(platform().addTrayIcon(owner, "Reef - Tools"));
    platform().removeTrayIcon();
    drainEvents();
    driver().clickTray(TrayEventType::LeftClick);
    EXPECT_EQ(countMatching(drainEvents(), eventOfKind(EventKind::Tray, owner)), 0);
}

TEST_F(ConformanceShell, ClosingTheOwnerRemovesTheTrayIcon) {
    const WindowId owner = openTestWindow("Reef - Tools");
    ASSERT_TRUE(platform().addTrayIcon(owner, "Reef - Tools"));
    platform().closeWindow(owner);
    EXPECT_FALSE(driver().hasTrayIcon()) << "its clicks would name a window that is gone";
    drainEvents();
    driver().clickTray(TrayEventType::LeftClick);
    EXPECT_EQ(countMatching(drainEvents(), eventOfKind(EventKind::Tray, owner)), 0);
}

// --- popup menu

TEST_F(ConformanceShell, ChosenPopupItemArrivesAsMenuCommandOfTheOwner) {
    const WindowId owner = openTestWindow("Reef - Tools");
    const MenuId menu = platform().createPopupMenu(kTrayMenu);
    ASSERT_TRUE(menu);
    EXPECT_FALSE(driver().isPopupMenuShown());

    platform().showPopupMenu(menu, owner);
    ASSERT_TRUE(driver().isPopupMenuShown());
    const std::vector<MenuItem> shown = driver().shownPopupMenuItems();
    ASSERT_EQ(shown.size(), kTrayMenu.size());
    EXPECT_EQ(shown[1].text, "Flottenverhältnis");
    EXPECT_EQ(shown[1].item, 1);
    EXPECT_TRUE(shown[3].separator);
    EXPECT_EQ(shown[5].item, 6);

    driver().choosePopupItem(5);
    const std::optional<Event> event = awaitEvent(eventOfKind(EventKind::MenuCommand, owner));
    ASSERT_TRUE(event);
    EXPECT_EQ(event->menuItem, 5);
    EXPECT_FALSE(driver().isPopupMenuShown());
    platform().destroyPopupMenu(menu);
}

TEST_F(ConformanceShell, PopupMenuCanBeShownAgain) {
    const WindowId owner = openTestWindow("Reef - Tools");
    const MenuId menu = platform().createPopupMenu(kTrayMenu);
    for (int item : {0, 6}) {
        platform().showPopupMenu(menu, owner);
        ASSERT_TRUE(driver().isPopupMenuShown());
        driver().choosePopupItem(item);
        const std::optional<Event> event = awaitEvent(eventOfKind(EventKind::MenuCommand, owner));
        ASSERT_TRUE(event);
        EXPECT_EQ(event->menuItem, item);
    }
    platform().destroyPopupMenu(menu);
}

// --- message boxes and the input requester

TEST_F(ConformanceShell, ErrorBoxIsRecordedAndAnsweredWithOk) {
    EXPECT_EQ(platform().messageBox("Error: Reef - Tools", "Fenster konnte nicht geöffnet werden!",
                                    MessageBoxKind::Error),
              MessageBoxAnswer::Ok);
    const std::vector<ShownMessageBox> shown = driver().shownMessageBoxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "Error: Reef - Tools");
    EXPECT_EQ(shown[0].text, "Fenster konnte nicht geöffnet werden!");
    EXPECT_EQ(shown[0].kind, MessageBoxKind::Error);
}

TEST_F(ConformanceShell, QuestionIsAnsweredAsQueuedThenWithNo) {
    driver().queueMessageBoxAnswer(MessageBoxAnswer::Yes);
    driver().queueMessageBoxAnswer(MessageBoxAnswer::No);
    const auto ask = [this] {
        return platform().messageBox("Reef - Tools", "Programm wirklich beenden?",
                                     MessageBoxKind::Question);
    };
    EXPECT_EQ(ask(), MessageBoxAnswer::Yes);
    EXPECT_EQ(ask(), MessageBoxAnswer::No);
    EXPECT_EQ(ask(), MessageBoxAnswer::No); // nothing queued: No
    const std::vector<ShownMessageBox> shown = driver().shownMessageBoxes();
    ASSERT_EQ(shown.size(), 3u);
    for (const ShownMessageBox& box : shown) {
        EXPECT_EQ(box.caption, "Reef - Tools");
        EXPECT_EQ(box.text, "Programm wirklich beenden?");
        EXPECT_EQ(box.kind, MessageBoxKind::Question);
    }
}

TEST_F(ConformanceShell, InputBoxReturnsTheQueuedTextOrEmptyWhenCancelled) {
    driver().queueInputBoxAnswer("Passwort1");
    driver().queueInputBoxAnswer("wird verworfen", true);
    const auto ask = [this] {
        return platform().inputBox("Reef - Tools", "Bitte Passwort angeben (siehe Forum):", "");
    };
    EXPECT_EQ(ask(), "Passwort1");
    EXPECT_EQ(ask(), "");
    EXPECT_EQ(ask(), ""); // nothing queued: cancelled
    const std::vector<ShownInputBox> shown = driver().shownInputBoxes();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].caption, "Reef - Tools");
    EXPECT_EQ(shown[0].prompt, "Bitte Passwort angeben (siehe Forum):");
    EXPECT_EQ(shown[0].defaultText, "");
}

TEST_F(ConformanceShell, InputBoxRecordsItsDefaultText) {
    driver().queueInputBoxAnswer("neu");
    EXPECT_EQ(platform().inputBox("Titel", "Frage:", "Vorgabe ä"), "neu");
    ASSERT_EQ(driver().shownInputBoxes().size(), 1u);
    EXPECT_EQ(driver().shownInputBoxes()[0].defaultText, "Vorgabe ä");
}

TEST_F(ConformanceShell, MessageBoxAndInputBoxAnswersAreQueuedSeparately) {
    driver().queueInputBoxAnswer("abc");
    driver().queueMessageBoxAnswer(MessageBoxAnswer::Yes);
    EXPECT_EQ(platform().messageBox("Reef - Tools", "?", MessageBoxKind::Question),
              MessageBoxAnswer::Yes);
    EXPECT_EQ(platform().inputBox("Reef - Tools", "Text:", ""), "abc");
}

// --- clipboard and editor

TEST_F(ConformanceShell, ClipboardHoldsTheLastText) {
    ASSERT_TRUE(platform().setClipboardText("ETA-Plan\r\nZiel: Basis 1"));
    EXPECT_EQ(driver().clipboardText(), "ETA-Plan\r\nZiel: Basis 1");
    ASSERT_TRUE(platform().setClipboardText("Flottenverhältnis"));
    EXPECT_EQ(driver().clipboardText(), "Flottenverhältnis");
}

TEST_F(ConformanceShell, FilesOpenedInTheEditorAreRecorded) {
    platform().openInTextEditor("Readme.txt");
    platform().openInTextEditor("HilfeFrend.txt");
    EXPECT_EQ(driver().filesOpenedInEditor(),
              (std::vector<std::string>{"Readme.txt", "HilfeFrend.txt"}));
}

// --- clocks

TEST_F(ConformanceShell, TickCountNeverRunsBackwards) {
    Clock& clock = platform().clock();
    std::int64_t last = clock.tickCountMs();
    for (int i = 0; i < 5; ++i) {
        platform().waitEvent(10);
        const std::int64_t now = clock.tickCountMs();
        EXPECT_GE(now, last);
        last = now;
    }
}

TEST_F(ConformanceShell, WaitWithoutEventsReturnsNothing) {
    drainEvents();
    EXPECT_FALSE(platform().waitEvent(backend_.pollMs));
}

} // namespace
} // namespace reef::platform::conformance
