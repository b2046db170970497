#pragma once
// Acts on the Win32 backend the way Windows delivers a user's actions: characters as WM_CHAR
// to the focused field, clicks as mouse button messages at the control's position, focus
// changes with SetFocus, Tab as a key press that the window's dialog navigation handles,
// the title bar's boxes as system commands, and tray clicks as the shell's callback message.
//
// Message boxes and the input requester block the user-interface thread in their own modal
// loops, so they are answered from a watcher thread: it finds the dialog among the windows
// of the user-interface thread, records what it shows and presses the button of the queued
// answer. The watcher never waits for the user-interface thread without a time-out.

#include "platform/ui_driver.h"
#include "platform/win32/win32_platform.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

namespace reef::platform::win32 {

class Win32UiDriver final : public UiDriver {
  public:
    // Created on the user-interface thread of the platform.
    explicit Win32UiDriver(Win32Platform& platform);
    ~Win32UiDriver() override;
    Win32UiDriver(const Win32UiDriver&) = delete;
    Win32UiDriver& operator=(const Win32UiDriver&) = delete;

    void typeText(ControlId edit, const std::string& text) override;
    void pasteText(ControlId edit, const std::string& text) override;
    void click(ControlId control) override;
    void selectDropDownItem(ControlId list, int index) override;
    void clickListRow(ControlId list, int row) override;
    void clickListEmptyArea(ControlId list) override;
    void pressListKey(ControlId list, ListKey key) override;
    void focus(ControlId control) override;
    void moveFocusAway() override;
    void pressTab(bool shift = false) override;
    void requestClose(WindowId window) override;
    void minimize(WindowId window) override;
    void clickTray(TrayEventType type) override;
    bool endSession() override;
    void choosePopupItem(int item) override;
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

    // --- beyond the common driver
    // While held, dialogs stay open unanswered (the watcher still records them once they are
    // answered). Lets a test act while a modal box is open.
    void holdDialogs(bool hold);
    // The dialogs that are open right now and not yet answered.
    int openDialogCount();

  private:
    HWND acceptingInput(ControlId control) const;
    void settle();
    void postClick(HWND target, POINT clientPoint);
    std::optional<COLORREF> cellColor(ControlId list, int row, int column, bool background);
    void watch();
    void answerMessageBox(HWND box);
    void answerInputBox(HWND box);

    Win32Platform& platform_;
    HWND elsewhere_ = nullptr; // a window of no interest that can take the focus

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    bool hold_ = false;
    std::deque<MessageBoxAnswer> boxAnswers_;
    std::deque<std::pair<std::string, bool>> inputAnswers_;
    std::vector<ShownMessageBox> boxes_;
    std::vector<ShownInputBox> inputs_;
    int openDialogs_ = 0;
    std::thread watcher_;
};

} // namespace reef::platform::win32
