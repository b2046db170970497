#pragma once
// What a test does as a user would, and what a user can see, for any backend. The
// conformance suite is written against this and Platform only.

#include "platform/platform.h"

#include <string>
#include <vector>

namespace reef::platform {

struct ShownMessageBox {
    std::string caption;
    std::string text;
    MessageBoxKind kind = MessageBoxKind::Error;
};

// The keys that move the selection of a list view.
enum class ListKey { Up, Down };

struct ShownInputBox {
    std::string caption;
    std::string prompt;
    std::string defaultText;
};

class UiDriver {
  public:
    virtual ~UiDriver() = default;

    // --- acting. Each action produces the events the real user action would, to be fetched
    // with Platform::waitEvent. Actions on disabled controls or windows do nothing.
    // Focuses the field (if needed) and types the text character by character at the end.
    // A backspace character ('\b') deletes the character before the caret.
    virtual void typeText(ControlId edit, const std::string& text) = 0;
    // Focuses the field, selects everything and pastes the text over it.
    virtual void pasteText(ControlId edit, const std::string& text) = 0;
    virtual void click(ControlId control) = 0;
    virtual void selectDropDownItem(ControlId list, int index) = 0;
    virtual void clickListRow(ControlId list, int row) = 0;
    // A click into the list view where no row is: the selection becomes -1.
    virtual void clickListEmptyArea(ControlId list) = 0;
    // Focuses the list view (if needed) and presses the key: the selection moves one row
    // from the row that was last clicked or moved to (Down from none goes to the first row),
    // and stays where it is at either end.
    virtual void pressListKey(ControlId list, ListKey key) = 0;
    virtual void focus(ControlId control) = 0;
    // Takes the focus away from whatever has it (to another window of no interest).
    virtual void moveFocusAway() = 0;
    virtual void pressTab(bool shift = false) = 0;
    virtual void requestClose(WindowId window) = 0; // the title bar's close box
    virtual void minimize(WindowId window) = 0;     // the title bar's minimise box
    virtual void clickTray(TrayEventType type) = 0;
    // The user logs off or shuts Windows down: the system asks the program whether the
    // session may end, then tells it that it ends. True when the program consented.
    virtual bool endSession() = 0;
    // Chooses an item of the popup menu that is currently shown.
    virtual void choosePopupItem(int item) = 0;
    // Answers for the next message boxes and input requesters, in order. Without a queued
    // answer a message box is answered with OK/No and an input requester is cancelled.
    virtual void queueMessageBoxAnswer(MessageBoxAnswer answer) = 0;
    virtual void queueInputBoxAnswer(const std::string& text, bool cancel = false) = 0;

    // --- reading what a user can see
    virtual std::vector<ShownMessageBox> shownMessageBoxes() = 0;
    virtual std::vector<ShownInputBox> shownInputBoxes() = 0;
    virtual std::string clipboardText() = 0;
    virtual std::vector<std::string> filesOpenedInEditor() = 0;
    virtual bool hasTrayIcon() = 0;
    virtual std::string trayTooltip() = 0;
    virtual bool isPopupMenuShown() = 0;
    virtual std::vector<MenuItem> shownPopupMenuItems() = 0;
    virtual std::string windowTitle(WindowId window) = 0;
    // Client-area size of an open window.
    virtual Rect clientRect(WindowId window) = 0;
    virtual Rect controlRect(ControlId control) = 0;
    virtual bool isWindowOpen(WindowId window) = 0;
    virtual bool controlExists(ControlId control) = 0;
    virtual std::string tooltip(ControlId control) = 0;
    virtual std::optional<Color> labelTextColor(ControlId label) = 0;
    virtual std::vector<std::string> dropDownItems(ControlId list) = 0;
    virtual std::string listColumnHeader(ControlId list, int column) = 0;
    virtual int listColumnCount(ControlId list) = 0;
    virtual std::optional<Color> listCellBackground(ControlId list, int row, int column) = 0;
    virtual std::optional<Color> listCellTextColor(ControlId list, int row, int column) = 0;
};

} // namespace reef::platform
