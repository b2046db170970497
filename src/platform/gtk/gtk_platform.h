#pragma once
// The user interface on GTK 3 for the native Linux build. Every window holds its controls at
// the pixel positions the program gives, in a container that places them exactly there (see
// exact_layout.h). Texts cross the boundary as CP1252 and are handed to GTK as UTF-8.

#include "platform/platform.h"

#include <gtk/gtk.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace reef::platform::gtk {

struct GtkOptions {
    // The program openInTextEditor starts with the file name as its one argument; xdg-open
    // hands the file to the desktop's text editor.
    std::string editorProgram = "xdg-open";
    // Whether SIGTERM and SIGHUP (the end of the desktop session, a closed terminal) become
    // the end of the session for the program.
    bool sessionSignals = true;
    // Whether the process ends once the program has handled the end of the session, as the
    // system ends it after the end of a Windows session; also when a modal box is open.
    bool endProcessWithSession = false;
};

// Keys of the data the backend attaches to its dialogs, so that a driver can find them.
inline constexpr const char* kMessageBoxKindKey = "reef-message-box-kind"; // MessageBoxKind + 1
inline constexpr const char* kInputBoxEntryKey = "reef-input-box-entry";   // the GtkEntry
inline constexpr const char* kInputBoxPromptKey = "reef-input-box-prompt"; // the prompt label

class GtkPlatform final : public Platform {
  public:
    // Empty when there is no display to open.
    static std::unique_ptr<GtkPlatform> create(GtkOptions options = {});
    ~GtkPlatform() override;
    GtkPlatform(const GtkPlatform&) = delete;
    GtkPlatform& operator=(const GtkPlatform&) = delete;

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
    GtkWindow* windowWidget(WindowId window) const;
    // The widget that stands at the control's place in its window.
    GtkWidget* controlWidget(ControlId control) const;
    // The widget that takes the input: the entry, the tree view, the text view, the button.
    GtkWidget* inputWidget(ControlId control) const;
    WindowId windowOfControl(ControlId control) const;
    std::optional<ControlKind> controlKind(ControlId control) const;
    std::optional<Color> labelColor(ControlId label) const;
    std::optional<Color> cellColor(ControlId list, int row, int column, bool background) const;
    // The list view's row the arrow keys move from: the one last clicked or moved to.
    int listCaretRow(ControlId list) const;
    bool isWindowActive(WindowId window) const;
    // The tray icon, null when there is none; its clicks become events of the owner.
    GtkStatusIcon* trayIcon() const { return tray_; }
    std::string trayTooltip() const { return trayTooltip_; }
    // Whether a tray on the desktop shows the icon right now.
    bool trayIconShown() const;
    void onTrayEmbeddingChanged();
    // The popup menu shown right now, null when none.
    GtkMenu* shownPopupMenu() const;
    std::vector<MenuItem> popupMenuItems(GtkMenu* menu) const;
    std::vector<std::string> editorLaunches() const { return editorLaunches_; }
    // What SIGTERM or SIGHUP do: the session ends for the program.
    void sessionEnds();
    int sessionEndsRaised() const { return sessionEndsRaised_; }

    // --- signal handlers (public for the C callbacks only)
    void onDeleteRequest(GtkWidget* window);
    void onWindowState(GtkWidget* window, GdkEventWindowState* state);
    void onActiveChanged(GtkWidget* window);
    void onSetFocus(GtkWidget* window, GtkWidget* focus);
    void onButtonClicked(GtkWidget* button);
    void onEditChanged(GtkWidget* edit);
    bool onEditKey(GtkWidget* edit, GdkEventKey* key);
    void onEditInsert(GtkEditable* edit, const char* text, int length, int* position);
    void onDropDownChanged(GtkWidget* combo);
    bool onListButton(GtkWidget* tree, GdkEventButton* button);
    bool onListKey(GtkWidget* tree, GdkEventKey* key);
    void onListSelectionChanged(GtkWidget* tree);
    void onListFocusing(GtkWidget* tree, bool done);
    bool onWindowKey(GtkWidget* window, GdkEventKey* key);
    void onTrayButton(GdkEventButton* button);
    void onMenuItem(GtkWidget* item);
    void onMenuHidden(GtkWidget* menu);
    void onNotificationShown(guint32 id);
    void onNotificationAction(guint32 id, const char* action);
    void listCellData(GtkTreeViewColumn* column, GtkCellRenderer* renderer, GtkTreeModel* model,
                      GtkTreeIter* iter);

    struct CellColors {
        std::optional<Color> background;
        std::optional<Color> text;
    };
    struct ListCell {
        std::string text; // UTF-8, as it is drawn
        CellColors colors;
    };

  private:
    explicit GtkPlatform(GtkOptions options);

    struct WindowRecord {
        GtkWidget* window = nullptr;
        GtkWidget* layout = nullptr; // the exact-placement container
        bool minimized = false;
        bool enabled = true;
        ControlId focus;                 // the control that holds the window's focus
        std::vector<ControlId> controls; // in creation order: the order of Tab
    };
    struct ControlRecord {
        GtkWidget* outer = nullptr; // placed in the window
        GtkWidget* inner = nullptr; // takes input or shows the text
        WindowId window;
        ControlKind kind = ControlKind::Button;
        EditStyle edit;
        std::optional<Color> labelColor;
        // List views
        GtkListStore* store = nullptr;
        std::vector<GtkTreeViewColumn*> columns;
        std::vector<std::vector<ListCell>> rows;
        int reportedSelection = -1;
        int caretRow = -1;
        int selectionBeforeFocus = -1;
        // Status bars: the texts as the program set them, tabs included.
        std::vector<GtkWidget*> fields;
        std::vector<std::string> fieldTexts;
    };
    struct MenuRecord {
        GtkWidget* menu = nullptr;
        std::vector<MenuItem> items;
    };

    WindowRecord* findWindow(WindowId window);
    const WindowRecord* findWindow(WindowId window) const;
    ControlRecord* findControl(ControlId control);
    const ControlRecord* findControl(ControlId control) const;
    ControlRecord* findControlOfKind(ControlId control, ControlKind kind);
    const ControlRecord* findControlOfKind(ControlId control, ControlKind kind) const;
    WindowId windowIdOf(GtkWidget* window) const;
    ControlId controlIdOf(GtkWidget* widget) const; // the widget or its nearest ancestor
    ControlId addControl(WindowId window, ControlKind kind, Rect rect, GtkWidget* outer,
                         GtkWidget* inner);
    void forgetWindow(std::map<std::uint64_t, WindowRecord>::iterator it);
    void pushEvent(const Event& event);
    void pushControlEvent(ControlId control, ControlEventType type);
    void raiseUrgentEvent(const Event& event);
    bool acceptsUserInput(const ControlRecord& record) const;
    void selectListRow(ControlRecord& list, int row);
    int currentListSelection(const ControlRecord& list) const;
    void layoutStatusBar(ControlRecord& bar, int width0, int width1, int width2);
    void runOneTask();
    void scheduleTaskRun();
    void setProgramIcon();
    // The window of ours that is active, or about to be: the one last presented or
    // activated; null when it is gone or hidden.
    GtkWindow* lastActiveWindow() const;
    void watchSessionSignals();
    GDBusConnection* notificationBus();
    void forgetNotificationBus();

    GtkOptions options_;
    std::thread::id uiThread_;
    GtkCssProvider* css_ = nullptr;
    std::uint64_t nextHandle_ = 1;
    std::map<std::uint64_t, WindowRecord> windows_;
    std::map<std::uint64_t, ControlRecord> controls_;
    std::unordered_map<GtkWidget*, std::uint64_t> windowByWidget_;
    std::unordered_map<GtkWidget*, std::uint64_t> controlByWidget_;
    std::map<std::uint64_t, MenuRecord> menus_;
    WindowId lastActive_;
    std::deque<Event> events_;
    std::function<void(const Event&)> urgentHandler_;
    bool urgentEventHandled_ = false; // since the current waitEvent began
    int sessionEndsRaised_ = 0;
    std::vector<guint> signalSources_;
    int suppressEvents_ = 0; // > 0 while the program itself changes a control
    int destroying_ = 0;     // > 0 while windows are being destroyed: no focus events

    // Tasks: posted from any thread, run one per main-loop dispatch, so that a task that
    // opens a modal box lets the later ones run inside it, still in posting order.
    struct TaskQueue {
        std::mutex mutex;
        std::deque<std::function<void()>> tasks;
        bool scheduled = false;
        GtkPlatform* owner = nullptr; // null once the platform is gone
    };
    std::shared_ptr<TaskQueue> taskQueue_;
    friend gboolean runTaskSource(gpointer data);

    GdkPixbuf* icon_ = nullptr;
    GtkStatusIcon* tray_ = nullptr;
    WindowId trayOwner_;
    std::string trayTooltip_;
    GtkWidget* shownMenu_ = nullptr;
    WindowId menuOwner_;

    std::vector<std::string> editorLaunches_;

    // The desktop's notification service, reached over the session bus once there is
    // something to tell; null when there is no bus.
    GDBusConnection* notificationBus_ = nullptr;
    bool notificationBusTried_ = false;
    guint notificationSignals_ = 0;
    GCancellable* notificationCalls_ = nullptr;
    guint32 notificationId_ = 0; // the one shown last; a new one takes its place
};

} // namespace reef::platform::gtk
