#pragma once
// Acts on the GTK backend the way the X server and the window manager deliver a user's
// actions: key presses to the active window (which hands them to its focused widget),
// mouse button presses and releases to the window under the control's centre, the close box
// as a delete request, minimising as the state change a window manager reports, tray clicks
// as the button events of the status icon, and the end of the session as SIGTERM.
//
// Message boxes and the input requester run nested main loops on the user-interface thread,
// so they are answered from a timer of that same loop: it finds the dialog among the
// toplevel windows, records what it shows and presses the button of the queued answer.

#include "platform/gtk/gtk_platform.h"
#include "platform/ui_driver.h"

#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace reef::platform::gtk {

class GtkUiDriver final : public UiDriver {
  public:
    explicit GtkUiDriver(GtkPlatform& platform);
    ~GtkUiDriver() override;
    GtkUiDriver(const GtkUiDriver&) = delete;
    GtkUiDriver& operator=(const GtkUiDriver&) = delete;

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
    // While held, dialogs stay open unanswered. Lets a test act while a modal box is open.
    void holdDialogs(bool hold) { hold_ = hold; }
    // The dialogs that are open right now and not yet answered.
    int openDialogCount();
    // Lets the X server and the main loop deliver everything the last actions caused.
    void settle();
    // Called by the dialog timer.
    void watchDialogs();

  private:
    bool acceptsInput(ControlId control);
    bool activate(WindowId window);
    void sendKey(GtkWidget* toplevel, guint keyval, GdkModifierType state);
    void sendClick(GtkWidget* widget, int x, int y);
    void layOut(ControlId control);
    std::optional<Color> rendererColor(ControlId list, int row, int column, bool background);
    void answerMessageBox(GtkWidget* box);
    void answerInputBox(GtkWidget* box);

    GtkPlatform& platform_;
    GtkWidget* elsewhere_ = nullptr; // a window of no interest that can take the focus
    guint watcher_ = 0;
    bool hold_ = false;
    std::deque<MessageBoxAnswer> boxAnswers_;
    std::deque<std::pair<std::string, bool>> inputAnswers_;
    std::vector<ShownMessageBox> boxes_;
    std::vector<ShownInputBox> inputs_;
};

} // namespace reef::platform::gtk
