#pragma once
// The one interface through which the program reaches windows, controls, the tray, the
// clipboard, message boxes, the text editor, clocks and the user-interface thread. Backends:
// win32/ (the real user interface) and headless/ (in memory, driven by tests).
//
// Texts are CP1252 bytes. Every call except postTask/callOnUiThread/clock() must be made on
// the user-interface thread: the thread that created the Platform and calls waitEvent.

#include "platform/clock.h"
#include "platform/events.h"
#include "platform/handles.h"

#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace reef::platform {

enum class TextAlign { Left, Center, Right };

struct LabelStyle {
    TextAlign align = TextAlign::Left;
    bool sunken = false;
    std::optional<Color> textColor = std::nullopt; // system default when empty
};

struct EditStyle {
    bool digitsOnly = false; // typed characters other than 0-9 are refused
    bool readOnly = false;
    bool masked = false; // password field
    // The most characters the user can type or paste; 0: no limit of our own. Texts the
    // program sets are not cut.
    int maxLength = 0;
};

enum class MessageBoxKind {
    Error,    // error icon, OK
    Question, // question icon, Yes and No
};

enum class MessageBoxAnswer { Ok, Yes, No };

// A cell of a list view with its colours; an empty colour is the list view's default.
struct ListCellContent {
    std::string text;
    std::optional<Color> background = std::nullopt;
    std::optional<Color> textColor = std::nullopt;
};
using ListRowContent = std::vector<ListCellContent>;

// A new text for a cell of a row the list view holds; its colours are replaced only when
// setColors is true, otherwise they stay as they are.
struct ListCellChange {
    int row = 0;
    int column = 0;
    std::string text;
    bool setColors = false;
    std::optional<Color> background = std::nullopt;
    std::optional<Color> textColor = std::nullopt;
};

// An entry of a popup menu: item number and text, or a separator.
struct MenuItem {
    int item = -1;
    std::string text;
    bool separator = false;
};

// A short message beside the tray icon, with the program's icon.
struct TrayNotification {
    std::string title;
    std::string text;
    bool sound = true; // the system's short notification sound with it
};

class Platform {
  public:
    virtual ~Platform() = default;

    // --- top-level windows: centred, title bar, system menu, minimise box, fixed size,
    // carrying the program's icon. Empty handle when the window cannot be created.
    virtual WindowId openWindow(const std::string& title, int clientWidth, int clientHeight) = 0;
    // Destroys the window and its controls; their handles become invalid. Unknown handles
    // are ignored.
    virtual void closeWindow(WindowId window) = 0;
    // Foreground, restored when minimised, shown when hidden.
    virtual void bringToFront(WindowId window) = 0;
    virtual void minimizeWindow(WindowId window) = 0;
    virtual void hideWindow(WindowId window) = 0;
    // Shows the window in its normal state and puts it into the foreground.
    virtual void showWindow(WindowId window) = 0;
    virtual bool isMinimized(WindowId window) = 0;
    virtual bool isVisible(WindowId window) = 0;
    // Enables or disables the whole window (all its input).
    virtual void setWindowEnabled(WindowId window, bool enabled) = 0;
    virtual bool isWindowEnabled(WindowId window) = 0;

    // --- controls at pixel positions of a window's client area. Empty handle on failure.
    virtual ControlId createButton(WindowId window, Rect rect, const std::string& text) = 0;
    virtual ControlId createLabel(WindowId window, Rect rect, const std::string& text,
                                  const LabelStyle& style) = 0;
    virtual ControlId createEdit(WindowId window, Rect rect, const std::string& text,
                                 const EditStyle& style) = 0;
    // Multi-line, read-only, both scroll bars. Lines are separated by CR LF.
    virtual ControlId createTextArea(WindowId window, Rect rect, const std::string& text) = 0;
    // Drop-down list (no typing); height is the height of the opened list. Selection -1.
    virtual ControlId createDropDown(WindowId window, Rect rect, int dropHeight) = 0;
    // Group frame with a caption.
    virtual ControlId createFrame(WindowId window, Rect rect, const std::string& caption) = 0;
    // Report view: single selection always shown, grid lines, full-row select.
    virtual ControlId createListView(WindowId window, Rect rect) = 0;
    // Status bar along the bottom edge of the window, three fields of the given widths.
    virtual ControlId createStatusBar(WindowId window, int width0, int width1, int width2) = 0;

    virtual void setTooltip(ControlId control, const std::string& text) = 0;

    // Texts the program sets raise no change event.
    virtual void setText(ControlId control, const std::string& text) = 0;
    virtual std::string text(ControlId control) = 0;
    virtual void setEnabled(ControlId control, bool enabled) = 0;
    virtual bool isEnabled(ControlId control) = 0;
    virtual void setFocus(ControlId control) = 0;
    // The control that has the keyboard focus, empty when none of ours.
    virtual ControlId focusedControl() = 0;

    // --- drop-down lists
    virtual void addDropDownItem(ControlId list, const std::string& text) = 0;
    // -1, or any index outside the items, clears the selection.
    virtual void setDropDownSelection(ControlId list, int index) = 0;
    virtual int dropDownSelection(ControlId list) = 0; // -1: none

    // --- list views
    virtual void addListColumn(ControlId list, const std::string& header, int width) = 0;
    virtual void setListColumnWidth(ControlId list, int column, int width) = 0;
    // The current width, as the user may have dragged it.
    virtual int listColumnWidth(ControlId list, int column) = 0;
    virtual void clearListRows(ControlId list) = 0;
    // Appends an empty row; returns its index.
    virtual int addListRow(ControlId list) = 0;
    virtual int listRowCount(ControlId list) = 0;
    virtual void setListCell(ControlId list, int row, int column, const std::string& text) = 0;
    virtual std::string listCell(ControlId list, int row, int column) = 0;
    // Empty colour: the system default of the list view.
    virtual void setListCellColors(ControlId list, int row, int column,
                                   std::optional<Color> background,
                                   std::optional<Color> textColor) = 0;
    virtual int selectedListRow(ControlId list) = 0; // -1: none
    // The whole list at once, however long, drawn once: replaces every row by the given
    // rows, each with its cells from column 0 on (cells beyond the columns are dropped,
    // missing ones are empty with default colours). No row is selected afterwards, and the
    // program's own change raises no event.
    virtual void setListRows(ControlId list, std::vector<ListRowContent> rows) = 0;
    // Many cells of existing rows at once, drawn once; changes outside the rows or the
    // columns are ignored.
    virtual void changeListCells(ControlId list, const std::vector<ListCellChange>& changes) = 0;

    // --- status bars. Texts use the convention: one leading tab centres, two right-align.
    virtual void setStatusText(ControlId statusBar, int field, const std::string& text) = 0;
    virtual std::string statusText(ControlId statusBar, int field) = 0;

    // --- events: one event, or nothing after timeoutMs. Runs tasks posted by workers while it
    // waits.
    virtual std::optional<Event> waitEvent(int timeoutMs) = 0;

    // Events that cannot wait for the next waitEvent: the end of the session, after which the
    // system may end the process as soon as the backend returns to it. Such an event is handed
    // to this handler at once, on the user-interface thread, wherever the backend is (inside
    // waitEvent, a modal dialog or a driver action); a waitEvent during which it happened then
    // returns nothing at once, so that the caller sees what the handler did. Without a handler
    // (an empty function) the event is queued like any other.
    virtual void setUrgentEventHandler(std::function<void(const Event&)> handler) = 0;

    // --- modal dialogs, owned by no window. They keep running posted tasks while open.
    virtual MessageBoxAnswer messageBox(const std::string& caption, const std::string& text,
                                        MessageBoxKind kind) = 0;
    // The entered text; empty when cancelled.
    virtual std::string inputBox(const std::string& caption, const std::string& prompt,
                                 const std::string& defaultText) = 0;

    // --- clipboard: plain text, replacing what was there; false when it cannot be opened.
    virtual bool setClipboardText(const std::string& text) = 0;

    // --- tray icon with the program's icon, owned by a window whose events its clicks become.
    virtual bool addTrayIcon(WindowId owner, const std::string& tooltip) = 0;
    virtual void removeTrayIcon() = 0;
    virtual MenuId createPopupMenu(const std::vector<MenuItem>& items) = 0;
    virtual void destroyPopupMenu(MenuId menu) = 0;
    // At the mouse position; the chosen item arrives later as a MenuCommand of the owner.
    virtual void showPopupMenu(MenuId menu, WindowId owner) = 0;

    // --- notifications from the tray icon: the Windows balloon, the desktop's notification
    // service on Linux. A click on the notification arrives as a Tray event of the icon's owner
    // with TrayEventType::NotificationClick. Nothing happens, and nothing fails, without a tray
    // icon or where no notification service runs.
    virtual void showTrayNotification(const TrayNotification& notification) = 0;

    // --- the system's text editor with a file of the working directory, without waiting.
    virtual void openInTextEditor(const std::string& path) = 0;

    // --- clocks
    virtual Clock& clock() = 0;

    // --- threads. postTask may be called from any thread: the task runs on the
    // user-interface thread, in posting order, inside waitEvent or a modal dialog. An empty
    // function is ignored.
    virtual void postTask(std::function<void()> task) = 0;

    // From a worker: runs the function on the user-interface thread and waits for its result.
    // From the user-interface thread itself: runs it at once.
    template <typename Function> auto callOnUiThread(Function function) {
        using Result = decltype(function());
        if (isUiThread()) {
            return function();
        }
        auto promise = std::make_shared<std::promise<Result>>();
        auto future = promise->get_future();
        postTask([promise, fn = std::move(function)]() mutable {
            if constexpr (std::is_void_v<Result>) {
                fn();
                promise->set_value();
            } else {
                promise->set_value(fn());
            }
        });
        return future.get();
    }

    virtual bool isUiThread() const = 0;
};

} // namespace reef::platform
