#pragma once
// The in-memory backend: windows and controls live in maps, events wait in a queue, and a
// test acts on them through HeadlessDriver the way a user would. It follows the real user
// interface wherever the program can tell the difference (see the conformance suite).
//
// Focus: one control of all windows holds the keyboard focus. It moves when the program
// calls setFocus, when the user clicks, types into, selects in or tabs to a control, and it
// leaves (a LostFocus event for the control that had it) when the user moves it away, when
// its window is minimised, hidden, disabled or another window is opened or brought to the
// front, when the control itself is disabled, and when a message box or input requester
// opens. Closing a window drops its focus silently: a closed window has no more events.
//
// Waiting for events (the rule tests can rely on):
//   1. A queued event is returned at once.
//   2. Otherwise posted tasks run one by one in posting order; as soon as a task has
//      queued an event, that event is returned and the remaining tasks wait for the next
//      call.
//   3. With nothing left, waitEvent waits in real time for a posted task, at most
//      realWaitMs() milliseconds in all (0 by default, so it never waits); a task that
//      arrives is run as in 2.
//   4. Then it has timed out: the manual clock advances by timeoutMs and nothing is
//      returned.
// So a test without worker threads is fully deterministic and never sleeps. A test with
// workers waits for a state rather than a time: runTasksUntil() runs posted tasks as they
// come until a condition holds.
//
// Every call except postTask, callOnUiThread and clock() must come from the thread that
// constructed the platform; a call from another thread is a fault of the program and ends
// the process with a message, so that the fault cannot pass unnoticed in a test.

#include "platform/clock.h"
#include "platform/platform.h"
#include "platform/ui_driver.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace reef::platform::headless {

// Everything a control was created with, for layout tests.
struct ControlInfo {
    ControlKind kind = ControlKind::Button;
    WindowId window;
    Rect rect;
    LabelStyle labelStyle; // labels
    EditStyle editStyle;   // edits
    int dropHeight = 0;    // drop-down lists
    int statusWidths[3] = {0, 0, 0};
};

class HeadlessDriver;

class HeadlessPlatform final : public Platform {
  public:
    // The clocks start at the given local date-time (seconds) and tick count (ms).
    explicit HeadlessPlatform(std::int64_t localNow = 0, std::int64_t tickCountMs = 0);
    // Tasks still queued are dropped: join the workers that may wait in callOnUiThread
    // before the platform goes.
    ~HeadlessPlatform() override;
    HeadlessPlatform(const HeadlessPlatform&) = delete;
    HeadlessPlatform& operator=(const HeadlessPlatform&) = delete;

    // --- Platform
    WindowId openWindow(const std::string& title, int clientWidth, int clientHeight) override;
    void closeWindow(WindowId window) override;
    void bringToFront(WindowId window) override;
    void minimizeWindow(WindowId window) override;
    void hideWindow(WindowId window) override;
    void showWindow(WindowId window) override;
    bool isMinimized(WindowId window) override;
    bool isVisible(WindowId window) override;
    void setWindowEnabled(WindowId window, bool enabled) override;
    bool isWindowEnabled(WindowId window) override;

    ControlId createButton(WindowId window, Rect rect, const std::string& text) override;
    ControlId createLabel(WindowId window, Rect rect, const std::string& text,
                          const LabelStyle& style) override;
    ControlId createEdit(WindowId window, Rect rect, const std::string& text,
                         const EditStyle& style) override;
    ControlId createTextArea(WindowId window, Rect rect, const std::string& text) override;
    ControlId createDropDown(WindowId window, Rect rect, int dropHeight) override;
    ControlId createFrame(WindowId window, Rect rect, const std::string& caption) override;
    ControlId createListView(WindowId window, Rect rect) override;
    ControlId createStatusBar(WindowId window, int width0, int width1, int width2) override;

    void setTooltip(ControlId control, const std::string& text) override;
    void setText(ControlId control, const std::string& text) override;
    std::string text(ControlId control) override;
    void setEnabled(ControlId control, bool enabled) override;
    bool isEnabled(ControlId control) override;
    void setFocus(ControlId control) override;
    ControlId focusedControl() override;

    void addDropDownItem(ControlId list, const std::string& text) override;
    void setDropDownSelection(ControlId list, int index) override;
    int dropDownSelection(ControlId list) override;

    void addListColumn(ControlId list, const std::string& header, int width) override;
    void setListColumnWidth(ControlId list, int column, int width) override;
    int listColumnWidth(ControlId list, int column) override;
    void clearListRows(ControlId list) override;
    int addListRow(ControlId list) override;
    int listRowCount(ControlId list) override;
    void setListCell(ControlId list, int row, int column, const std::string& text) override;
    std::string listCell(ControlId list, int row, int column) override;
    void setListCellColors(ControlId list, int row, int column, std::optional<Color> background,
                           std::optional<Color> textColor) override;
    int selectedListRow(ControlId list) override;
    void setListRows(ControlId list, std::vector<ListRowContent> rows) override;
    void changeListCells(ControlId list, const std::vector<ListCellChange>& changes) override;

    void setStatusText(ControlId statusBar, int field, const std::string& text) override;
    std::string statusText(ControlId statusBar, int field) override;

    std::optional<Event> waitEvent(int timeoutMs) override;
    void setUrgentEventHandler(std::function<void(const Event&)> handler) override;

    MessageBoxAnswer messageBox(const std::string& caption, const std::string& text,
                                MessageBoxKind kind) override;
    std::string inputBox(const std::string& caption, const std::string& prompt,
                         const std::string& defaultText) override;

    bool setClipboardText(const std::string& text) override;

    bool addTrayIcon(WindowId owner, const std::string& tooltip) override;
    void removeTrayIcon() override;
    MenuId createPopupMenu(const std::vector<MenuItem>& items) override;
    void destroyPopupMenu(MenuId menu) override;
    void showPopupMenu(MenuId menu, WindowId owner) override;
    void showTrayNotification(const TrayNotification& notification) override;

    void openInTextEditor(const std::string& path) override;

    Clock& clock() override { return clock_; }

    void postTask(std::function<void()> task) override;
    bool isUiThread() const override;

    // --- for tests
    ManualClock& manualClock() { return clock_; }
    // How long waitEvent may wait in real time for a task from a worker (rule 3 above).
    void setRealWaitMs(int ms) { realWaitMs_ = ms < 0 ? 0 : ms; }
    int realWaitMs() const { return realWaitMs_; }
    // Runs the tasks posted so far; returns how many ran.
    int runPendingTasks();
    // Runs posted tasks as they arrive until condition() holds or realLimitMs of real time
    // have passed without it; returns condition(). Touches neither the clock nor the events.
    bool runTasksUntil(const std::function<bool()>& condition, int realLimitMs = 10000);
    // Events queued and not yet fetched, oldest first.
    std::vector<Event> pendingEvents() const;
    // The next `count` calls of openWindow fail (return an empty handle).
    void failNextWindowOpens(int count) { windowOpenFailures_ = count; }
    // While unavailable, setClipboardText fails and leaves the clipboard as it was.
    void setClipboardAvailable(bool available) { clipboardAvailable_ = available; }
    // While unavailable (no notification area), addTrayIcon fails.
    void setTrayAvailable(bool available) { trayAvailable_ = available; }

    // The notifications shown from the tray icon, oldest first.
    const std::vector<TrayNotification>& shownNotifications() const { return notifications_; }

    // Open windows in opening order; the first open window with this title, or empty.
    std::vector<WindowId> openWindows() const;
    WindowId findWindow(const std::string& title) const;
    // The window's controls in creation order; the first of them showing this text (for
    // status bars field 0, for drop-down lists the selected item), or empty.
    std::vector<ControlId> controlsOf(WindowId window) const;
    ControlId findControl(WindowId window, const std::string& text) const;
    std::optional<ControlInfo> controlInfo(ControlId control) const;
    // The window that the user last worked in or that was last brought to the front.
    WindowId activeWindow() const { return activeWindow_; }

  private:
    friend class HeadlessDriver;

    struct Cell {
        std::string text;
        std::optional<Color> background;
        std::optional<Color> textColor;
    };
    struct Column {
        std::string header;
        int width = 0;
    };
    struct ControlData {
        ControlInfo info;
        std::string text; // caption, label or field text; status field 0 lives in fields[0]
        bool enabled = true;
        std::string tooltip;
        std::vector<std::string> items; // drop-down lists
        int selection = -1;             // drop-down item or list-view row
        int caretRow = -1;              // list views: where the arrow keys move from
        std::vector<Column> columns;
        std::vector<std::vector<Cell>> rows;
        std::string fields[3]; // status bar
    };
    struct WindowData {
        std::string title;
        int width = 0;
        int height = 0;
        bool minimized = false;
        bool visible = true;
        bool enabled = true;
        std::vector<ControlId> controls;
    };
    struct PopupMenu {
        std::vector<MenuItem> items;
    };

    void requireUiThread(const char* operation) const;
    WindowData* findWindowData(WindowId window);
    const WindowData* findWindowData(WindowId window) const;
    ControlData* findControlData(ControlId control);
    const ControlData* findControlData(ControlId control) const;
    ControlData* findControlOfKind(ControlId control, ControlKind kind);
    const ControlData* findControlOfKind(ControlId control, ControlKind kind) const;
    // The cell of a list view as far as it has been written; nullptr otherwise.
    const Cell* findCell(ControlId list, int row, int column) const;
    ControlId addControl(WindowId window, ControlData data);
    std::uint64_t nextHandle() { return ++lastHandle_; }

    // Input reaches a control only while it and its window are enabled and the window can
    // be seen.
    bool acceptsInput(ControlId control) const;
    static bool isFocusable(ControlKind kind);
    // Moves the focus; raises LostFocus for the control that had it.
    void moveFocus(ControlId to);
    void dropFocusIfIn(WindowId window);
    void activate(WindowId window);
    void runModal();
    void queueEvent(const Event& event);
    void queueControlEvent(ControlId control, ControlEventType type);
    // Takes one posted task, or nothing.
    std::function<void()> takeTask();

    ManualClock clock_;
    const std::thread::id uiThread_;
    int realWaitMs_ = 0;

    mutable std::mutex taskMutex_;
    std::condition_variable taskPosted_;
    std::deque<std::function<void()>> tasks_;

    std::uint64_t lastHandle_ = 0;
    std::map<std::uint64_t, WindowData> windows_;
    std::map<std::uint64_t, ControlData> controls_;
    std::map<std::uint64_t, PopupMenu> menus_;
    std::deque<Event> events_;
    std::function<void(const Event&)> urgentHandler_;
    ControlId focus_;
    WindowId activeWindow_;
    int windowOpenFailures_ = 0;

    // What the user sees outside the windows
    std::string clipboard_;
    bool clipboardAvailable_ = true;
    bool trayAvailable_ = true;
    std::vector<std::string> editorFiles_;
    bool trayIcon_ = false;
    WindowId trayOwner_;
    std::string trayTooltip_;
    std::vector<TrayNotification> notifications_;
    bool popupShown_ = false;
    std::vector<MenuItem> popupItems_;
    WindowId popupOwner_;
    std::vector<ShownMessageBox> messageBoxes_;
    std::vector<ShownInputBox> inputBoxes_;
    std::deque<MessageBoxAnswer> messageBoxAnswers_;
    struct InputAnswer {
        std::string text;
        bool cancel = false;
    };
    std::deque<InputAnswer> inputBoxAnswers_;
};

// Acts on a HeadlessPlatform as a user would. Every action happens at once and queues the
// events the real action raises; they are fetched with waitEvent.
class HeadlessDriver final : public UiDriver {
  public:
    explicit HeadlessDriver(HeadlessPlatform& platform) : p_(platform) {}

    // Typing appends each character at the end of the field. Digits-only fields refuse
    // every character but 0-9, single-line fields refuse line breaks and other control
    // characters, a field with a maximum length refuses characters once it is full; a
    // backspace ('\b') deletes the last character.
    void typeText(ControlId edit, const std::string& text) override;
    // Pasting bypasses the digits-only filter, as on the real system, but is cut at the
    // field's maximum length; one Changed event.
    void pasteText(ControlId edit, const std::string& text) override;
    // Buttons: focus and Activated. Other focusable controls: only the focus moves (use
    // selectDropDownItem, clickListRow, clickListEmptyArea for the lists). Labels, frames
    // and status bars ignore clicks.
    void click(ControlId control) override;
    // An index outside the items does nothing beyond the focus.
    void selectDropDownItem(ControlId list, int index) override;
    // A row outside the rows is a click where no row is.
    void clickListRow(ControlId list, int row) override;
    void clickListEmptyArea(ControlId list) override;
    // Moves from the row last clicked or moved to (a click where no row is keeps it);
    // Activated only when the selection changed.
    void pressListKey(ControlId list, ListKey key) override;
    void focus(ControlId control) override;
    void moveFocusAway() override;
    // Tab order: the focusable controls (buttons, edits, text areas, lists) of the window
    // that holds the focus, or else of the active window, in creation order, skipping
    // disabled ones, wrapping around.
    void pressTab(bool shift = false) override;
    void requestClose(WindowId window) override;
    void minimize(WindowId window) override;
    void clickTray(TrayEventType type) override;
    // Consents always; the session-end event goes to the urgent-event handler before this
    // returns (queued when there is none).
    bool endSession() override;
    void choosePopupItem(int item) override;
    // An answer the box does not offer (Yes or No for an error box, OK for a question)
    // counts as the box's default: OK, respectively No.
    void queueMessageBoxAnswer(MessageBoxAnswer answer) override;
    void queueInputBoxAnswer(const std::string& text, bool cancel = false) override;

    std::vector<ShownMessageBox> shownMessageBoxes() override;
    std::vector<ShownInputBox> shownInputBoxes() override;
    std::string clipboardText() override;
    std::vector<std::string> filesOpenedInEditor() override;
    bool hasTrayIcon() override;
    std::string trayTooltip() override;
    bool isPopupMenuShown() override;
    std::vector<MenuItem> shownPopupMenuItems() override;
    std::string windowTitle(WindowId window) override;
    Rect clientRect(WindowId window) override;
    Rect controlRect(ControlId control) override;
    bool isWindowOpen(WindowId window) override;
    bool controlExists(ControlId control) override;
    std::string tooltip(ControlId control) override;
    std::optional<Color> labelTextColor(ControlId label) override;
    std::vector<std::string> dropDownItems(ControlId list) override;
    std::string listColumnHeader(ControlId list, int column) override;
    int listColumnCount(ControlId list) override;
    std::optional<Color> listCellBackground(ControlId list, int row, int column) override;
    std::optional<Color> listCellTextColor(ControlId list, int row, int column) override;

    // --- beyond what every backend offers
    // The user drags a column border of a list view.
    void dragListColumnWidth(ControlId list, int column, int width);
    // The user closes the popup menu without choosing (Escape or a click elsewhere).
    void dismissPopupMenu();
    // The owner window of the shown popup menu (empty when none is shown).
    WindowId popupMenuOwner();
    // How many answers are still queued.
    int queuedMessageBoxAnswers();
    int queuedInputBoxAnswers();

  private:
    HeadlessPlatform& p_;
};

} // namespace reef::platform::headless
