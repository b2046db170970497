// The headless backend. Sections, in the order of the Win32 backend:
//   lookup (the records), windows, controls, drop-down lists, list views, status bars,
//   events and focus, events and tasks, modal dialogs, clipboard, tray, menus and editor,
//   and what only tests use. The user's side of every control lives in headless_driver.cpp.

#include "platform/headless/headless_platform.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace reef::platform::headless {

namespace {

constexpr int kStatusBarHeight = 20;

bool validIndex(int index, std::size_t size) {
    return index >= 0 && static_cast<std::size_t>(index) < size;
}

} // namespace

HeadlessPlatform::HeadlessPlatform(std::int64_t localNow, std::int64_t tickCountMs)
    : clock_(localNow, tickCountMs), uiThread_(std::this_thread::get_id()) {}

HeadlessPlatform::~HeadlessPlatform() = default;

void HeadlessPlatform::requireUiThread(const char* operation) const {
    if (std::this_thread::get_id() != uiThread_) {
        std::fprintf(stderr,
                     "HeadlessPlatform: %s called from a thread other than the "
                     "user-interface thread\n",
                     operation);
        std::abort();
    }
}

bool HeadlessPlatform::isUiThread() const {
    return std::this_thread::get_id() == uiThread_;
}

// --- lookup

HeadlessPlatform::WindowData* HeadlessPlatform::findWindowData(WindowId window) {
    auto it = windows_.find(window.value);
    return it == windows_.end() ? nullptr : &it->second;
}

const HeadlessPlatform::WindowData* HeadlessPlatform::findWindowData(WindowId window) const {
    auto it = windows_.find(window.value);
    return it == windows_.end() ? nullptr : &it->second;
}

HeadlessPlatform::ControlData* HeadlessPlatform::findControlData(ControlId control) {
    auto it = controls_.find(control.value);
    return it == controls_.end() ? nullptr : &it->second;
}

const HeadlessPlatform::ControlData* HeadlessPlatform::findControlData(ControlId control) const {
    auto it = controls_.find(control.value);
    return it == controls_.end() ? nullptr : &it->second;
}

HeadlessPlatform::ControlData* HeadlessPlatform::findControlOfKind(ControlId control,
                                                                   ControlKind kind) {
    ControlData* data = findControlData(control);
    return data && data->info.kind == kind ? data : nullptr;
}

const HeadlessPlatform::ControlData* HeadlessPlatform::findControlOfKind(ControlId control,
                                                                         ControlKind kind) const {
    const ControlData* data = findControlData(control);
    return data && data->info.kind == kind ? data : nullptr;
}

const HeadlessPlatform::Cell* HeadlessPlatform::findCell(ControlId list, int row,
                                                         int column) const {
    const ControlData* data = findControlOfKind(list, ControlKind::ListView);
    if (!data || !validIndex(row, data->rows.size()) ||
        !validIndex(column, data->rows[row].size())) {
        return nullptr;
    }
    return &data->rows[row][column];
}

bool HeadlessPlatform::isFocusable(ControlKind kind) {
    switch (kind) {
    case ControlKind::Button:
    case ControlKind::Edit:
    case ControlKind::TextArea:
    case ControlKind::DropDown:
    case ControlKind::ListView:
        return true;
    case ControlKind::Label:
    case ControlKind::Frame:
    case ControlKind::StatusBar:
        return false;
    }
    return false;
}

bool HeadlessPlatform::acceptsInput(ControlId control) const {
    const ControlData* data = findControlData(control);
    if (!data || !data->enabled) {
        return false;
    }
    const WindowData* window = findWindowData(data->info.window);
    return window && window->enabled && window->visible && !window->minimized;
}

// --- windows

WindowId HeadlessPlatform::openWindow(const std::string& title, int clientWidth, int clientHeight) {
    requireUiThread("openWindow");
    if (windowOpenFailures_ > 0) {
        --windowOpenFailures_;
        return WindowId{};
    }
    const WindowId id{nextHandle()};
    WindowData data;
    data.title = title;
    data.width = clientWidth;
    data.height = clientHeight;
    windows_.emplace(id.value, std::move(data));
    activate(id);
    return id;
}

void HeadlessPlatform::closeWindow(WindowId window) {
    requireUiThread("closeWindow");
    WindowData* data = findWindowData(window);
    if (!data) {
        return;
    }
    // A destroyed control's focus loss would belong to a window that no longer exists.
    if (const ControlData* focused = findControlData(focus_);
        focused && focused->info.window == window) {
        focus_ = ControlId{};
    }
    if (activeWindow_ == window) {
        activeWindow_ = WindowId{};
    }
    for (ControlId control : data->controls) {
        controls_.erase(control.value);
    }
    windows_.erase(window.value);
    std::erase_if(events_, [window](const Event& event) { return event.window == window; });
    if (popupShown_ && popupOwner_ == window) {
        popupShown_ = false;
    }
    if (trayIcon_ && trayOwner_ == window) {
        removeTrayIcon(); // its clicks could no longer be delivered
    }
}

void HeadlessPlatform::bringToFront(WindowId window) {
    requireUiThread("bringToFront");
    showWindow(window);
}

void HeadlessPlatform::minimizeWindow(WindowId window) {
    requireUiThread("minimizeWindow");
    if (WindowData* data = findWindowData(window)) {
        data->minimized = true;
        dropFocusIfIn(window);
    }
}

void HeadlessPlatform::hideWindow(WindowId window) {
    requireUiThread("hideWindow");
    if (WindowData* data = findWindowData(window)) {
        // Hiding keeps the minimised state, as the real system does: the program asks
        // isMinimized of a window it hid from the tray.
        data->visible = false;
        dropFocusIfIn(window);
    }
}

void HeadlessPlatform::showWindow(WindowId window) {
    requireUiThread("showWindow");
    if (WindowData* data = findWindowData(window)) {
        data->visible = true;
        data->minimized = false;
        activate(window);
    }
}

bool HeadlessPlatform::isMinimized(WindowId window) {
    requireUiThread("isMinimized");
    const WindowData* data = findWindowData(window);
    return data && data->minimized;
}

bool HeadlessPlatform::isVisible(WindowId window) {
    requireUiThread("isVisible");
    const WindowData* data = findWindowData(window);
    return data && data->visible;
}

void HeadlessPlatform::setWindowEnabled(WindowId window, bool enabled) {
    requireUiThread("setWindowEnabled");
    if (WindowData* data = findWindowData(window)) {
        data->enabled = enabled;
        if (!enabled) {
            dropFocusIfIn(window);
        }
    }
}

bool HeadlessPlatform::isWindowEnabled(WindowId window) {
    requireUiThread("isWindowEnabled");
    const WindowData* data = findWindowData(window);
    return data && data->enabled;
}

// --- controls

ControlId HeadlessPlatform::addControl(WindowId window, ControlData data) {
    WindowData* owner = findWindowData(window);
    if (!owner) {
        return ControlId{};
    }
    const ControlId id{nextHandle()};
    data.info.window = window;
    controls_.emplace(id.value, std::move(data));
    owner->controls.push_back(id);
    return id;
}

ControlId HeadlessPlatform::createButton(WindowId window, Rect rect, const std::string& text) {
    requireUiThread("createButton");
    ControlData data;
    data.info.kind = ControlKind::Button;
    data.info.rect = rect;
    data.text = text;
    return addControl(window, std::move(data));
}

ControlId HeadlessPlatform::createLabel(WindowId window, Rect rect, const std::string& text,
                                        const LabelStyle& style) {
    requireUiThread("createLabel");
    ControlData data;
    data.info.kind = ControlKind::Label;
    data.info.rect = rect;
    data.info.labelStyle = style;
    data.text = text;
    return addControl(window, std::move(data));
}

ControlId HeadlessPlatform::createEdit(WindowId window, Rect rect, const std::string& text,
                                       const EditStyle& style) {
    requireUiThread("createEdit");
    ControlData data;
    data.info.kind = ControlKind::Edit;
    data.info.rect = rect;
    data.info.editStyle = style;
    data.text = text;
    return addControl(window, std::move(data));
}

ControlId HeadlessPlatform::createTextArea(WindowId window, Rect rect, const std::string& text) {
    requireUiThread("createTextArea");
    ControlData data;
    data.info.kind = ControlKind::TextArea;
    data.info.rect = rect;
    data.info.editStyle.readOnly = true;
    data.text = text;
    return addControl(window, std::move(data));
}

ControlId HeadlessPlatform::createDropDown(WindowId window, Rect rect, int dropHeight) {
    requireUiThread("createDropDown");
    ControlData data;
    data.info.kind = ControlKind::DropDown;
    data.info.rect = rect;
    data.info.dropHeight = dropHeight;
    return addControl(window, std::move(data));
}

ControlId HeadlessPlatform::createFrame(WindowId window, Rect rect, const std::string& caption) {
    requireUiThread("createFrame");
    ControlData data;
    data.info.kind = ControlKind::Frame;
    data.info.rect = rect;
    data.text = caption;
    return addControl(window, std::move(data));
}

ControlId HeadlessPlatform::createListView(WindowId window, Rect rect) {
    requireUiThread("createListView");
    ControlData data;
    data.info.kind = ControlKind::ListView;
    data.info.rect = rect;
    return addControl(window, std::move(data));
}

ControlId HeadlessPlatform::createStatusBar(WindowId window, int width0, int width1, int width2) {
    requireUiThread("createStatusBar");
    const WindowData* owner = findWindowData(window);
    if (!owner) {
        return ControlId{};
    }
    ControlData data;
    data.info.kind = ControlKind::StatusBar;
    data.info.rect = Rect{0, owner->height - kStatusBarHeight, owner->width, kStatusBarHeight};
    data.info.statusWidths[0] = width0;
    data.info.statusWidths[1] = width1;
    data.info.statusWidths[2] = width2;
    return addControl(window, std::move(data));
}

void HeadlessPlatform::setTooltip(ControlId control, const std::string& text) {
    requireUiThread("setTooltip");
    if (ControlData* data = findControlData(control)) {
        data->tooltip = text;
    }
}

void HeadlessPlatform::setText(ControlId control, const std::string& text) {
    requireUiThread("setText");
    ControlData* data = findControlData(control);
    if (!data) {
        return;
    }
    switch (data->info.kind) {
    case ControlKind::StatusBar:
        data->fields[0] = text;
        break;
    case ControlKind::DropDown:
    case ControlKind::ListView:
        break; // neither has a text of its own
    default:
        data->text = text;
        break;
    }
}

std::string HeadlessPlatform::text(ControlId control) {
    requireUiThread("text");
    const ControlData* data = findControlData(control);
    if (!data) {
        return {};
    }
    switch (data->info.kind) {
    case ControlKind::StatusBar:
        return data->fields[0];
    case ControlKind::DropDown:
        return validIndex(data->selection, data->items.size()) ? data->items[data->selection]
                                                               : std::string();
    case ControlKind::ListView:
        return {};
    default:
        return data->text;
    }
}

void HeadlessPlatform::setEnabled(ControlId control, bool enabled) {
    requireUiThread("setEnabled");
    ControlData* data = findControlData(control);
    if (!data) {
        return;
    }
    data->enabled = enabled;
    if (!enabled && focus_ == control) {
        moveFocus(ControlId{}); // a disabled control cannot keep the focus
    }
}

bool HeadlessPlatform::isEnabled(ControlId control) {
    requireUiThread("isEnabled");
    const ControlData* data = findControlData(control);
    return data && data->enabled;
}

void HeadlessPlatform::setFocus(ControlId control) {
    requireUiThread("setFocus");
    const ControlData* data = findControlData(control);
    if (!data || !data->enabled || !isFocusable(data->info.kind)) {
        return;
    }
    const WindowData* window = findWindowData(data->info.window);
    if (!window || !window->enabled) {
        return;
    }
    moveFocus(control);
}

ControlId HeadlessPlatform::focusedControl() {
    requireUiThread("focusedControl");
    return focus_;
}

// --- drop-down lists

void HeadlessPlatform::addDropDownItem(ControlId list, const std::string& text) {
    requireUiThread("addDropDownItem");
    if (ControlData* data = findControlOfKind(list, ControlKind::DropDown)) {
        data->items.push_back(text);
    }
}

void HeadlessPlatform::setDropDownSelection(ControlId list, int index) {
    requireUiThread("setDropDownSelection");
    if (ControlData* data = findControlOfKind(list, ControlKind::DropDown)) {
        // An index outside the items clears the selection, as the real list does.
        data->selection = validIndex(index, data->items.size()) ? index : -1;
    }
}

int HeadlessPlatform::dropDownSelection(ControlId list) {
    requireUiThread("dropDownSelection");
    const ControlData* data = findControlOfKind(list, ControlKind::DropDown);
    return data ? data->selection : -1;
}

// --- list views

void HeadlessPlatform::addListColumn(ControlId list, const std::string& header, int width) {
    requireUiThread("addListColumn");
    if (ControlData* data = findControlOfKind(list, ControlKind::ListView)) {
        data->columns.push_back(Column{header, std::max(width, 0)});
    }
}

void HeadlessPlatform::setListColumnWidth(ControlId list, int column, int width) {
    requireUiThread("setListColumnWidth");
    ControlData* data = findControlOfKind(list, ControlKind::ListView);
    if (data && validIndex(column, data->columns.size())) {
        data->columns[column].width = std::max(width, 0);
    }
}

int HeadlessPlatform::listColumnWidth(ControlId list, int column) {
    requireUiThread("listColumnWidth");
    const ControlData* data = findControlOfKind(list, ControlKind::ListView);
    return data && validIndex(column, data->columns.size()) ? data->columns[column].width : 0;
}

void HeadlessPlatform::clearListRows(ControlId list) {
    requireUiThread("clearListRows");
    if (ControlData* data = findControlOfKind(list, ControlKind::ListView)) {
        data->rows.clear();
        data->selection = -1;
        data->caretRow = -1;
    }
}

int HeadlessPlatform::addListRow(ControlId list) {
    requireUiThread("addListRow");
    ControlData* data = findControlOfKind(list, ControlKind::ListView);
    if (!data) {
        return -1;
    }
    data->rows.emplace_back();
    return static_cast<int>(data->rows.size()) - 1;
}

int HeadlessPlatform::listRowCount(ControlId list) {
    requireUiThread("listRowCount");
    const ControlData* data = findControlOfKind(list, ControlKind::ListView);
    return data ? static_cast<int>(data->rows.size()) : 0;
}

namespace {

// The cell of an existing row in an existing column (column 0 exists even before the first
// column is added, as in the real list view); nullptr otherwise.
template <typename Rows, typename Columns>
auto* cellAt(Rows& rows, const Columns& columns, int row, int column, bool create) {
    using CellType = std::remove_reference_t<decltype(rows[0][0])>;
    CellType* none = nullptr;
    if (!validIndex(row, rows.size()) ||
        !validIndex(column, std::max<std::size_t>(columns.size(), 1))) {
        return none;
    }
    auto& cells = rows[row];
    if (!validIndex(column, cells.size())) {
        if (!create) {
            return none;
        }
        cells.resize(static_cast<std::size_t>(column) + 1);
    }
    return &cells[column];
}

} // namespace

void HeadlessPlatform::setListCell(ControlId list, int row, int column, const std::string& text) {
    requireUiThread("setListCell");
    if (ControlData* data = findControlOfKind(list, ControlKind::ListView)) {
        if (Cell* cell = cellAt(data->rows, data->columns, row, column, true)) {
            cell->text = text;
        }
    }
}

std::string HeadlessPlatform::listCell(ControlId list, int row, int column) {
    requireUiThread("listCell");
    if (ControlData* data = findControlOfKind(list, ControlKind::ListView)) {
        if (const Cell* cell = cellAt(data->rows, data->columns, row, column, false)) {
            return cell->text;
        }
    }
    return {};
}

void HeadlessPlatform::setListCellColors(ControlId list, int row, int column,
                                         std::optional<Color> background,
                                         std::optional<Color> textColor) {
    requireUiThread("setListCellColors");
    if (ControlData* data = findControlOfKind(list, ControlKind::ListView)) {
        if (Cell* cell = cellAt(data->rows, data->columns, row, column, true)) {
            cell->background = background;
            cell->textColor = textColor;
        }
    }
}

int HeadlessPlatform::selectedListRow(ControlId list) {
    requireUiThread("selectedListRow");
    const ControlData* data = findControlOfKind(list, ControlKind::ListView);
    return data ? data->selection : -1;
}

void HeadlessPlatform::setListRows(ControlId list, std::vector<ListRowContent> rows) {
    requireUiThread("setListRows");
    ControlData* data = findControlOfKind(list, ControlKind::ListView);
    if (!data) {
        return;
    }
    const std::size_t columns = std::max<std::size_t>(data->columns.size(), 1);
    data->rows.clear();
    data->rows.reserve(rows.size());
    for (ListRowContent& row : rows) {
        auto& cells = data->rows.emplace_back();
        cells.reserve(std::min(row.size(), columns));
        for (std::size_t column = 0; column < row.size() && column < columns; ++column) {
            ListCellContent& content = row[column];
            cells.push_back(Cell{std::move(content.text), content.background, content.textColor});
        }
    }
    data->selection = -1;
    data->caretRow = -1;
}

void HeadlessPlatform::changeListCells(ControlId list, const std::vector<ListCellChange>& changes) {
    requireUiThread("changeListCells");
    ControlData* data = findControlOfKind(list, ControlKind::ListView);
    if (!data) {
        return;
    }
    for (const ListCellChange& change : changes) {
        if (Cell* cell = cellAt(data->rows, data->columns, change.row, change.column, true)) {
            cell->text = change.text;
            if (change.setColors) {
                cell->background = change.background;
                cell->textColor = change.textColor;
            }
        }
    }
}

// --- status bars

void HeadlessPlatform::setStatusText(ControlId statusBar, int field, const std::string& text) {
    requireUiThread("setStatusText");
    ControlData* data = findControlOfKind(statusBar, ControlKind::StatusBar);
    if (data && validIndex(field, 3)) {
        data->fields[field] = text;
    }
}

std::string HeadlessPlatform::statusText(ControlId statusBar, int field) {
    requireUiThread("statusText");
    const ControlData* data = findControlOfKind(statusBar, ControlKind::StatusBar);
    return data && validIndex(field, 3) ? data->fields[field] : std::string();
}

// --- events and focus

void HeadlessPlatform::queueEvent(const Event& event) {
    if (findWindowData(event.window)) {
        events_.push_back(event);
    }
}

void HeadlessPlatform::queueControlEvent(ControlId control, ControlEventType type) {
    const ControlData* data = findControlData(control);
    if (!data) {
        return;
    }
    Event event;
    event.kind = EventKind::Control;
    event.window = data->info.window;
    event.control = control;
    event.controlType = type;
    queueEvent(event);
}

void HeadlessPlatform::moveFocus(ControlId to) {
    if (to) {
        if (const ControlData* data = findControlData(to)) {
            activeWindow_ = data->info.window;
        }
    }
    if (to == focus_) {
        return;
    }
    const ControlId old = focus_;
    focus_ = to;
    if (old) {
        queueControlEvent(old, ControlEventType::LostFocus);
    }
}

void HeadlessPlatform::dropFocusIfIn(WindowId window) {
    if (const ControlData* data = findControlData(focus_); data && data->info.window == window) {
        moveFocus(ControlId{});
    }
    if (activeWindow_ == window) {
        activeWindow_ = WindowId{};
    }
}

void HeadlessPlatform::activate(WindowId window) {
    if (const ControlData* data = findControlData(focus_); data && data->info.window != window) {
        moveFocus(ControlId{});
    }
    activeWindow_ = window;
}

// --- events and tasks

void HeadlessPlatform::postTask(std::function<void()> task) {
    if (!task) {
        return;
    }
    {
        std::lock_guard lock(taskMutex_);
        tasks_.push_back(std::move(task));
    }
    taskPosted_.notify_all();
}

std::function<void()> HeadlessPlatform::takeTask() {
    std::lock_guard lock(taskMutex_);
    if (tasks_.empty()) {
        return {};
    }
    std::function<void()> task = std::move(tasks_.front());
    tasks_.pop_front();
    return task;
}

std::optional<Event> HeadlessPlatform::waitEvent(int timeoutMs) {
    requireUiThread("waitEvent");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(realWaitMs_);
    for (;;) {
        if (!events_.empty()) {
            Event event = events_.front();
            events_.pop_front();
            return event;
        }
        if (std::function<void()> task = takeTask()) {
            task();
            continue;
        }
        std::unique_lock lock(taskMutex_);
        if (realWaitMs_ == 0 ||
            !taskPosted_.wait_until(lock, deadline, [this] { return !tasks_.empty(); })) {
            break;
        }
    }
    clock_.advanceMs(std::max(timeoutMs, 0));
    return std::nullopt;
}

void HeadlessPlatform::setUrgentEventHandler(std::function<void(const Event&)> handler) {
    requireUiThread("setUrgentEventHandler");
    urgentHandler_ = std::move(handler);
}

int HeadlessPlatform::runPendingTasks() {
    requireUiThread("runPendingTasks");
    // Only the tasks posted before this call: a task that posts another must not keep this
    // loop going for ever.
    std::size_t count = 0;
    {
        std::lock_guard lock(taskMutex_);
        count = tasks_.size();
    }
    int ran = 0;
    for (; static_cast<std::size_t>(ran) < count; ++ran) {
        std::function<void()> task = takeTask();
        if (!task) {
            break;
        }
        task();
    }
    return ran;
}

bool HeadlessPlatform::runTasksUntil(const std::function<bool()>& condition, int realLimitMs) {
    requireUiThread("runTasksUntil");
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(realLimitMs, 0));
    for (;;) {
        if (condition()) {
            return true;
        }
        if (std::function<void()> task = takeTask()) {
            task();
            continue;
        }
        // The condition may also come true on a worker without a task (a flag it sets when
        // done), so look at it again every few milliseconds.
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return condition();
        }
        std::unique_lock lock(taskMutex_);
        taskPosted_.wait_until(lock, std::min(deadline, now + std::chrono::milliseconds(2)),
                               [this] { return !tasks_.empty(); });
    }
}

std::vector<Event> HeadlessPlatform::pendingEvents() const {
    requireUiThread("pendingEvents");
    return {events_.begin(), events_.end()};
}

// --- modal dialogs

// The box takes the focus and runs posted tasks while it is open; afterwards its window is
// active again without a focused control, as after a real modal box.
void HeadlessPlatform::runModal() {
    const WindowId previous = activeWindow_;
    activate(WindowId{});
    runPendingTasks();
    if (!activeWindow_ && findWindowData(previous)) {
        activeWindow_ = previous;
    }
}

MessageBoxAnswer HeadlessPlatform::messageBox(const std::string& caption, const std::string& text,
                                              MessageBoxKind kind) {
    requireUiThread("messageBox");
    messageBoxes_.push_back(ShownMessageBox{caption, text, kind});
    runModal();
    std::optional<MessageBoxAnswer> queued;
    if (!messageBoxAnswers_.empty()) {
        queued = messageBoxAnswers_.front();
        messageBoxAnswers_.pop_front();
    }
    if (kind == MessageBoxKind::Question) {
        return queued == MessageBoxAnswer::Yes ? MessageBoxAnswer::Yes : MessageBoxAnswer::No;
    }
    return MessageBoxAnswer::Ok;
}

std::string HeadlessPlatform::inputBox(const std::string& caption, const std::string& prompt,
                                       const std::string& defaultText) {
    requireUiThread("inputBox");
    inputBoxes_.push_back(ShownInputBox{caption, prompt, defaultText});
    runModal();
    if (inputBoxAnswers_.empty()) {
        return {};
    }
    InputAnswer answer = std::move(inputBoxAnswers_.front());
    inputBoxAnswers_.pop_front();
    return answer.cancel ? std::string() : answer.text;
}

// --- clipboard, tray, menus, editor

bool HeadlessPlatform::setClipboardText(const std::string& text) {
    requireUiThread("setClipboardText");
    if (!clipboardAvailable_) {
        return false;
    }
    clipboard_ = text;
    return true;
}

bool HeadlessPlatform::addTrayIcon(WindowId owner, const std::string& tooltip) {
    requireUiThread("addTrayIcon");
    if (!trayAvailable_ || !findWindowData(owner)) {
        return false;
    }
    trayIcon_ = true;
    trayOwner_ = owner;
    trayTooltip_ = tooltip;
    return true;
}

void HeadlessPlatform::removeTrayIcon() {
    requireUiThread("removeTrayIcon");
    trayIcon_ = false;
    trayOwner_ = WindowId{};
    trayTooltip_.clear();
}

void HeadlessPlatform::showTrayNotification(const TrayNotification& notification) {
    requireUiThread("showTrayNotification");
    if (trayIcon_) {
        notifications_.push_back(notification);
    }
}

MenuId HeadlessPlatform::createPopupMenu(const std::vector<MenuItem>& items) {
    requireUiThread("createPopupMenu");
    const MenuId id{nextHandle()};
    menus_.emplace(id.value, PopupMenu{items});
    return id;
}

void HeadlessPlatform::destroyPopupMenu(MenuId menu) {
    requireUiThread("destroyPopupMenu");
    menus_.erase(menu.value);
}

void HeadlessPlatform::showPopupMenu(MenuId menu, WindowId owner) {
    requireUiThread("showPopupMenu");
    auto it = menus_.find(menu.value);
    if (it == menus_.end() || !findWindowData(owner)) {
        return;
    }
    popupShown_ = true;
    popupItems_ = it->second.items;
    popupOwner_ = owner;
}

void HeadlessPlatform::openInTextEditor(const std::string& path) {
    requireUiThread("openInTextEditor");
    editorFiles_.push_back(path);
}

// --- for tests

std::vector<WindowId> HeadlessPlatform::openWindows() const {
    requireUiThread("openWindows");
    std::vector<WindowId> result;
    for (const auto& entry : windows_) {
        result.push_back(WindowId{entry.first}); // handles grow, so map order is opening order
    }
    return result;
}

WindowId HeadlessPlatform::findWindow(const std::string& title) const {
    requireUiThread("findWindow");
    for (const auto& [id, data] : windows_) {
        if (data.title == title) {
            return WindowId{id};
        }
    }
    return WindowId{};
}

std::vector<ControlId> HeadlessPlatform::controlsOf(WindowId window) const {
    requireUiThread("controlsOf");
    const WindowData* data = findWindowData(window);
    return data ? data->controls : std::vector<ControlId>{};
}

ControlId HeadlessPlatform::findControl(WindowId window, const std::string& text) const {
    requireUiThread("findControl");
    const WindowData* data = findWindowData(window);
    if (!data) {
        return ControlId{};
    }
    for (ControlId id : data->controls) {
        const ControlData* control = findControlData(id);
        std::string shown = control->text;
        if (control->info.kind == ControlKind::StatusBar) {
            shown = control->fields[0];
        } else if (control->info.kind == ControlKind::DropDown) {
            shown = validIndex(control->selection, control->items.size())
                        ? control->items[control->selection]
                        : std::string();
        } else if (control->info.kind == ControlKind::ListView) {
            continue;
        }
        if (shown == text) {
            return id;
        }
    }
    return ControlId{};
}

std::optional<ControlInfo> HeadlessPlatform::controlInfo(ControlId control) const {
    requireUiThread("controlInfo");
    const ControlData* data = findControlData(control);
    if (!data) {
        return std::nullopt;
    }
    return data->info;
}

} // namespace reef::platform::headless
