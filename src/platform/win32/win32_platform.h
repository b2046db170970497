#pragma once
// The real user interface: the wide-character Win32 API and the common controls. Texts cross
// the boundary as CP1252 and are converted with that code page explicitly, so the program
// behaves the same whatever the machine's ANSI code page is.

#include "platform/platform.h"

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace reef::platform::win32 {

struct Win32Options {
    // The text editor started by openInTextEditor, with the file name as its one argument.
    std::wstring editorProgram = L"notepad.exe";
};

// Private window messages. The tray icon reports to its owner window with kTrayMessage, the
// way the shell sends it: wParam the icon id, lParam the mouse message.
constexpr UINT kTrayMessage = WM_APP + 1;
constexpr UINT kTrayIconId = 1;
// Popup-menu items carry this offset as command id, so that they never collide with the
// IDOK/IDCANCEL commands that dialog navigation sends to the same window.
constexpr UINT kMenuCommandBase = 0x9000;
// Child ids inside the input requester.
constexpr int kInputPromptId = 1000;
constexpr int kInputEditId = 1001;
// Property that marks an input requester among the dialog windows of the thread.
constexpr const wchar_t* kInputBoxProperty = L"ReefToolsInputBox";

class Win32Platform final : public Platform {
  public:
    explicit Win32Platform(Win32Options options = {});
    ~Win32Platform() override;
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

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

    Clock& clock() override;
    void postTask(std::function<void()> task) override;
    bool isUiThread() const override;

    // --- the native objects behind the handles, for the test driver (user-interface thread).
    HWND windowHandle(WindowId window) const;
    HWND controlHandle(ControlId control) const;
    WindowId windowOfControl(ControlId control) const;
    std::optional<ControlKind> controlKind(ControlId control) const;
    HWND tooltipHandle(WindowId window) const;
    DWORD uiThreadId() const { return uiThread_; }

    struct TrayState {
        bool present = false;
        HWND owner = nullptr;
        std::string tooltip;
        // The last notification the shell took for the icon.
        std::string notificationTitle;
        std::string notificationText;
    };
    TrayState trayState() const;

    // A popup menu is "shown" from showPopupMenu until the user has chosen or dismissed it.
    struct PopupState {
        bool shown = false;
        HMENU menu = nullptr;
        HWND owner = nullptr;
    };
    PopupState popupState() const;

    // The files handed to the text editor (or to the shell) so far.
    std::vector<std::string> editorLaunches() const;

    // Dispatches every message that is waiting, the way waitEvent does; events that arise
    // stay queued for waitEvent. Returns the number of messages handled.
    int pumpPendingMessages();

    // Window procedures (public for the C callbacks only).
    LRESULT windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT helperProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT controlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  private:
    struct CellColors {
        std::optional<Color> background;
        std::optional<Color> text;
    };
    struct ListCell {
        std::string text; // as the program gave it; converted only when the cell is drawn
        CellColors colors;
    };
    struct WindowRecord {
        HWND hwnd = nullptr;
        HWND tooltip = nullptr;
        HWND savedFocus = nullptr;
    };
    struct ControlRecord {
        HWND hwnd = nullptr;
        WindowId window;
        ControlKind kind = ControlKind::Button;
        EditStyle edit;
        std::optional<Color> labelColor;
        // List views hold no rows of their own (owner data): they ask for the texts of the
        // cells they draw, and the colours come from here too. [row][column]; a row may hold
        // fewer cells than there are columns, the others being empty.
        std::vector<std::vector<ListCell>> rows;
        // Its columns, counted here: a message to the list view for every cell of a long list
        // costs more than the cell itself.
        int listColumns = 0;
        // List views: one user action changes the selected state of several rows in turn
        // (the old row loses it, the new one gains it), so the change is judged once the
        // action is over, against the selection last reported to the program.
        int reportedSelection = -1;
        bool selectionCheckPosted = false;
        // False from a mouse button press on the list until that click has been reported,
        // by its selection change or by NM_CLICK, so that one click is one event.
        bool clickReported = true;
        std::wstring tooltip;
    };

    WindowRecord* findWindow(WindowId window);
    const WindowRecord* findWindow(WindowId window) const;
    ControlRecord* findControl(ControlId control);
    const ControlRecord* findControl(ControlId control) const;
    ControlRecord* controlByHwnd(HWND hwnd);
    WindowId windowByHwnd(HWND hwnd) const;
    ControlId controlIdByHwnd(HWND hwnd) const;

    ControlId addControl(WindowId window, ControlKind kind, DWORD exStyle, const wchar_t* className,
                         const std::wstring& text, DWORD style, Rect rect);
    void pushEvent(const Event& event);
    void raiseUrgentEvent(const Event& event);
    void pushControlEvent(HWND control, ControlEventType type);
    // Notifications and messages of the controls, each kind in a section of its own.
    void controlCommand(const ControlRecord& record, UINT code);
    void buttonCommand(const ControlRecord& button, UINT code);
    LRESULT labelColors(const ControlRecord& label, HWND window, WPARAM wParam, LPARAM lParam);
    void editCommand(const ControlRecord& edit, UINT code);
    bool editRefusesCharacter(const ControlRecord& edit, WPARAM character);
    LRESULT textAreaDialogCode(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void dropDownCommand(const ControlRecord& list, UINT code);
    LRESULT listViewNotify(ControlRecord& list, LPARAM lParam);
    void listViewButtonDown(ControlRecord& list);
    void listSelectionChanged(ControlRecord& list);
    void checkListSelection(HWND list);
    bool dispatchOneMessage();
    void runTasks();
    void trackPendingPopup();
    LRESULT customDrawList(ControlRecord& list, NMLVCUSTOMDRAW* draw);
    // Owner data: the text of a cell the list view draws, and the row a typed prefix finds.
    void listCellText(const ControlRecord& list, NMLVDISPINFOW* info);
    LRESULT findListRow(const ControlRecord& list, const NMLVFINDITEMW* find);
    // Tells the list view how many rows there are; it draws them when it next paints.
    void setListItemCount(const ControlRecord& list, DWORD flags);
    // The cell of an existing row and column, made when the row holds fewer cells; null
    // outside them.
    ListCell* listCellAt(ControlRecord& list, int row, int column);
    bool addTrayIconNow();

    Win32Options options_;
    DWORD uiThread_;
    HWND helper_ = nullptr; // message-only: tasks, deferred popup menus, clipboard owner
    HFONT font_ = nullptr;
    std::uint64_t nextHandle_ = 1;
    std::map<std::uint64_t, WindowRecord> windows_;
    std::map<std::uint64_t, ControlRecord> controls_;
    std::unordered_map<HWND, std::uint64_t> windowByHwnd_;
    std::unordered_map<HWND, std::uint64_t> controlByHwnd_;
    std::map<std::uint64_t, HMENU> menus_;
    std::deque<Event> events_;
    std::function<void(const Event&)> urgentHandler_;
    bool urgentEventHandled_ = false; // since the current waitEvent began
    // Every top-level window is told of the end of the session; the program once.
    bool sessionEndRaised_ = false;
    int suppressChange_ = 0; // > 0 while the program itself sets a text
    int destroying_ = 0;     // > 0 while windows are being destroyed: no focus events

    std::mutex taskMutex_;
    std::deque<std::function<void()>> tasks_;
    std::atomic<bool> taskMessagePosted_{false};
    std::atomic<HWND> taskTarget_{nullptr};

    struct PendingPopup {
        bool pending = false;
        bool tracking = false;
        HMENU menu = nullptr;
        WindowId owner;
        POINT at{};
    } popup_;

    bool trayPresent_ = false;
    WindowId trayOwner_;
    std::wstring trayTooltip_;
    TrayNotification trayNotification_;
    UINT taskbarCreatedMessage_ = 0;

    std::vector<std::string> editorLaunches_;
};

} // namespace reef::platform::win32
