#include "platform/headless/headless_platform.h"

#include <algorithm>

namespace reef::platform::headless {

namespace {

bool validIndex(int index, std::size_t size) {
    return index >= 0 && static_cast<std::size_t>(index) < size;
}

// A text area is a read-only edit field: it takes the focus and refuses the text.
bool isTextField(ControlKind kind) {
    return kind == ControlKind::Edit || kind == ControlKind::TextArea;
}

// Typing into a field at its limit is refused.
bool isFull(const EditStyle& style, const std::string& text) {
    return style.maxLength > 0 && text.size() >= static_cast<std::size_t>(style.maxLength);
}

} // namespace

// --- acting

void HeadlessDriver::typeText(ControlId edit, const std::string& text) {
    p_.requireUiThread("typeText");
    HeadlessPlatform::ControlData* data = p_.findControlData(edit);
    if (!data || !isTextField(data->info.kind) || !p_.acceptsInput(edit)) {
        return;
    }
    p_.moveFocus(edit);
    if (data->info.editStyle.readOnly) {
        return;
    }
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (ch == '\b') {
            if (data->text.empty()) {
                continue; // nothing to delete, nothing changed
            }
            data->text.pop_back();
        } else if (byte < 0x20 || byte == 0x7f) {
            continue; // a single-line field takes no line breaks or other control keys
        } else if (data->info.editStyle.digitsOnly && (ch < '0' || ch > '9')) {
            continue;
        } else if (isFull(data->info.editStyle, data->text)) {
            continue; // the field refuses the key, as a limited edit control does
        } else {
            data->text.push_back(ch);
        }
        p_.queueControlEvent(edit, ControlEventType::Changed);
    }
}

void HeadlessDriver::pasteText(ControlId edit, const std::string& text) {
    p_.requireUiThread("pasteText");
    HeadlessPlatform::ControlData* data = p_.findControlData(edit);
    if (!data || !isTextField(data->info.kind) || !p_.acceptsInput(edit)) {
        return;
    }
    p_.moveFocus(edit);
    if (data->info.editStyle.readOnly) {
        return;
    }
    // A single-line field takes the pasted text up to its first line break, and no more of
    // it than its limit allows.
    std::string pasted = text.substr(0, text.find_first_of("\r\n"));
    if (const int limit = data->info.editStyle.maxLength;
        limit > 0 && pasted.size() > static_cast<std::size_t>(limit)) {
        pasted.resize(static_cast<std::size_t>(limit));
    }
    if (pasted.empty() && data->text.empty()) {
        return;
    }
    data->text = pasted;
    p_.queueControlEvent(edit, ControlEventType::Changed);
}

void HeadlessDriver::click(ControlId control) {
    p_.requireUiThread("click");
    const HeadlessPlatform::ControlData* data = p_.findControlData(control);
    if (!data || !p_.acceptsInput(control) || !HeadlessPlatform::isFocusable(data->info.kind)) {
        return;
    }
    const bool isButton = data->info.kind == ControlKind::Button;
    // The focus moves when the button goes down, the click counts when it comes up.
    p_.moveFocus(control);
    if (isButton) {
        p_.queueControlEvent(control, ControlEventType::Activated);
    }
}

void HeadlessDriver::selectDropDownItem(ControlId list, int index) {
    p_.requireUiThread("selectDropDownItem");
    HeadlessPlatform::ControlData* data = p_.findControlOfKind(list, ControlKind::DropDown);
    if (!data || !p_.acceptsInput(list)) {
        return;
    }
    p_.moveFocus(list);
    if (!validIndex(index, data->items.size())) {
        return;
    }
    data->selection = index;
    p_.queueControlEvent(list, ControlEventType::Activated);
}

void HeadlessDriver::clickListRow(ControlId list, int row) {
    p_.requireUiThread("clickListRow");
    HeadlessPlatform::ControlData* data = p_.findControlOfKind(list, ControlKind::ListView);
    if (!data || !p_.acceptsInput(list)) {
        return;
    }
    p_.moveFocus(list);
    data->selection = validIndex(row, data->rows.size()) ? row : -1;
    if (data->selection >= 0) {
        data->caretRow = data->selection;
    }
    p_.queueControlEvent(list, ControlEventType::Activated);
}

void HeadlessDriver::clickListEmptyArea(ControlId list) {
    clickListRow(list, -1);
}

void HeadlessDriver::pressListKey(ControlId list, ListKey key) {
    p_.requireUiThread("pressListKey");
    HeadlessPlatform::ControlData* data = p_.findControlOfKind(list, ControlKind::ListView);
    if (!data || !p_.acceptsInput(list)) {
        return;
    }
    p_.moveFocus(list);
    // Up from no row finds nothing above it, as in the real list view.
    const int target = key == ListKey::Down ? data->caretRow + 1 : data->caretRow - 1;
    if (!validIndex(target, data->rows.size())) {
        return;
    }
    data->caretRow = target;
    if (data->selection == target) {
        return;
    }
    data->selection = target;
    p_.queueControlEvent(list, ControlEventType::Activated);
}

void HeadlessDriver::focus(ControlId control) {
    p_.requireUiThread("focus");
    const HeadlessPlatform::ControlData* data = p_.findControlData(control);
    if (!data || !p_.acceptsInput(control) || !HeadlessPlatform::isFocusable(data->info.kind)) {
        return;
    }
    p_.moveFocus(control);
}

void HeadlessDriver::moveFocusAway() {
    p_.requireUiThread("moveFocusAway");
    p_.moveFocus(ControlId{});
    p_.activeWindow_ = WindowId{};
}

void HeadlessDriver::pressTab(bool shift) {
    p_.requireUiThread("pressTab");
    WindowId window = p_.activeWindow_;
    if (const HeadlessPlatform::ControlData* focused = p_.findControlData(p_.focus_)) {
        window = focused->info.window;
    }
    const HeadlessPlatform::WindowData* windowData = p_.findWindowData(window);
    if (!windowData || !windowData->enabled || !windowData->visible || windowData->minimized) {
        return;
    }
    std::vector<ControlId> order;
    for (ControlId id : windowData->controls) {
        const HeadlessPlatform::ControlData* data = p_.findControlData(id);
        if (data->enabled && HeadlessPlatform::isFocusable(data->info.kind)) {
            order.push_back(id);
        }
    }
    if (order.empty()) {
        return;
    }
    const auto current = std::find(order.begin(), order.end(), p_.focus_);
    const auto count = static_cast<std::ptrdiff_t>(order.size());
    std::ptrdiff_t next = 0;
    if (current == order.end()) {
        next = shift ? count - 1 : 0;
    } else {
        const std::ptrdiff_t at = current - order.begin();
        next = shift ? (at + count - 1) % count : (at + 1) % count;
    }
    p_.moveFocus(order[static_cast<std::size_t>(next)]);
}

void HeadlessDriver::requestClose(WindowId window) {
    p_.requireUiThread("requestClose");
    const HeadlessPlatform::WindowData* data = p_.findWindowData(window);
    if (!data || !data->enabled || !data->visible) {
        return;
    }
    Event event;
    event.kind = EventKind::CloseRequest;
    event.window = window;
    p_.queueEvent(event);
}

void HeadlessDriver::minimize(WindowId window) {
    p_.requireUiThread("minimize");
    const HeadlessPlatform::WindowData* data = p_.findWindowData(window);
    if (!data || !data->enabled || !data->visible) {
        return;
    }
    p_.minimizeWindow(window);
}

void HeadlessDriver::clickTray(TrayEventType type) {
    p_.requireUiThread("clickTray");
    if (!p_.trayIcon_) {
        return;
    }
    Event event;
    event.kind = EventKind::Tray;
    event.window = p_.trayOwner_;
    event.trayType = type;
    p_.queueEvent(event);
}

bool HeadlessDriver::endSession() {
    p_.requireUiThread("endSession");
    Event event;
    event.kind = EventKind::SessionEnd;
    if (p_.urgentHandler_) {
        // A copy: the handler may replace itself.
        const std::function<void(const Event&)> handler = p_.urgentHandler_;
        handler(event);
    } else {
        p_.events_.push_back(event);
    }
    return true;
}

void HeadlessDriver::choosePopupItem(int item) {
    p_.requireUiThread("choosePopupItem");
    if (!p_.popupShown_) {
        return;
    }
    const bool offered =
        std::any_of(p_.popupItems_.begin(), p_.popupItems_.end(), [item](const MenuItem& entry) {
            return !entry.separator && entry.item == item;
        });
    if (!offered) {
        return;
    }
    p_.popupShown_ = false;
    Event event;
    event.kind = EventKind::MenuCommand;
    event.window = p_.popupOwner_;
    event.menuItem = item;
    p_.queueEvent(event);
}

void HeadlessDriver::queueMessageBoxAnswer(MessageBoxAnswer answer) {
    p_.requireUiThread("queueMessageBoxAnswer");
    p_.messageBoxAnswers_.push_back(answer);
}

void HeadlessDriver::queueInputBoxAnswer(const std::string& text, bool cancel) {
    p_.requireUiThread("queueInputBoxAnswer");
    p_.inputBoxAnswers_.push_back(HeadlessPlatform::InputAnswer{text, cancel});
}

// --- reading

std::vector<ShownMessageBox> HeadlessDriver::shownMessageBoxes() {
    p_.requireUiThread("shownMessageBoxes");
    return p_.messageBoxes_;
}

std::vector<ShownInputBox> HeadlessDriver::shownInputBoxes() {
    p_.requireUiThread("shownInputBoxes");
    return p_.inputBoxes_;
}

std::string HeadlessDriver::clipboardText() {
    p_.requireUiThread("clipboardText");
    return p_.clipboard_;
}

std::vector<std::string> HeadlessDriver::filesOpenedInEditor() {
    p_.requireUiThread("filesOpenedInEditor");
    return p_.editorFiles_;
}

bool HeadlessDriver::hasTrayIcon() {
    p_.requireUiThread("hasTrayIcon");
    return p_.trayIcon_;
}

std::string HeadlessDriver::trayTooltip() {
    p_.requireUiThread("trayTooltip");
    return p_.trayTooltip_;
}

bool HeadlessDriver::isPopupMenuShown() {
    p_.requireUiThread("isPopupMenuShown");
    return p_.popupShown_;
}

std::vector<MenuItem> HeadlessDriver::shownPopupMenuItems() {
    p_.requireUiThread("shownPopupMenuItems");
    return p_.popupShown_ ? p_.popupItems_ : std::vector<MenuItem>{};
}

std::string HeadlessDriver::windowTitle(WindowId window) {
    p_.requireUiThread("windowTitle");
    const HeadlessPlatform::WindowData* data = p_.findWindowData(window);
    return data ? data->title : std::string();
}

Rect HeadlessDriver::clientRect(WindowId window) {
    p_.requireUiThread("clientRect");
    const HeadlessPlatform::WindowData* data = p_.findWindowData(window);
    return data ? Rect{0, 0, data->width, data->height} : Rect{};
}

Rect HeadlessDriver::controlRect(ControlId control) {
    p_.requireUiThread("controlRect");
    const HeadlessPlatform::ControlData* data = p_.findControlData(control);
    return data ? data->info.rect : Rect{};
}

bool HeadlessDriver::isWindowOpen(WindowId window) {
    p_.requireUiThread("isWindowOpen");
    return p_.findWindowData(window) != nullptr;
}

bool HeadlessDriver::controlExists(ControlId control) {
    p_.requireUiThread("controlExists");
    return p_.findControlData(control) != nullptr;
}

std::string HeadlessDriver::tooltip(ControlId control) {
    p_.requireUiThread("tooltip");
    const HeadlessPlatform::ControlData* data = p_.findControlData(control);
    return data ? data->tooltip : std::string();
}

std::optional<Color> HeadlessDriver::labelTextColor(ControlId label) {
    p_.requireUiThread("labelTextColor");
    const HeadlessPlatform::ControlData* data = p_.findControlOfKind(label, ControlKind::Label);
    return data ? data->info.labelStyle.textColor : std::nullopt;
}

std::vector<std::string> HeadlessDriver::dropDownItems(ControlId list) {
    p_.requireUiThread("dropDownItems");
    const HeadlessPlatform::ControlData* data = p_.findControlOfKind(list, ControlKind::DropDown);
    return data ? data->items : std::vector<std::string>{};
}

std::string HeadlessDriver::listColumnHeader(ControlId list, int column) {
    p_.requireUiThread("listColumnHeader");
    const HeadlessPlatform::ControlData* data = p_.findControlOfKind(list, ControlKind::ListView);
    return data && validIndex(column, data->columns.size()) ? data->columns[column].header
                                                            : std::string();
}

int HeadlessDriver::listColumnCount(ControlId list) {
    p_.requireUiThread("listColumnCount");
    const HeadlessPlatform::ControlData* data = p_.findControlOfKind(list, ControlKind::ListView);
    return data ? static_cast<int>(data->columns.size()) : 0;
}

std::optional<Color> HeadlessDriver::listCellBackground(ControlId list, int row, int column) {
    p_.requireUiThread("listCellBackground");
    const auto* cell = p_.findCell(list, row, column);
    return cell ? cell->background : std::nullopt;
}

std::optional<Color> HeadlessDriver::listCellTextColor(ControlId list, int row, int column) {
    p_.requireUiThread("listCellTextColor");
    const auto* cell = p_.findCell(list, row, column);
    return cell ? cell->textColor : std::nullopt;
}

// --- beyond what every backend offers

void HeadlessDriver::dragListColumnWidth(ControlId list, int column, int width) {
    p_.requireUiThread("dragListColumnWidth");
    HeadlessPlatform::ControlData* data = p_.findControlOfKind(list, ControlKind::ListView);
    if (data && p_.acceptsInput(list) && validIndex(column, data->columns.size())) {
        data->columns[column].width = std::max(width, 0);
    }
}

void HeadlessDriver::dismissPopupMenu() {
    p_.requireUiThread("dismissPopupMenu");
    p_.popupShown_ = false;
}

WindowId HeadlessDriver::popupMenuOwner() {
    p_.requireUiThread("popupMenuOwner");
    return p_.popupShown_ ? p_.popupOwner_ : WindowId{};
}

int HeadlessDriver::queuedMessageBoxAnswers() {
    p_.requireUiThread("queuedMessageBoxAnswers");
    return static_cast<int>(p_.messageBoxAnswers_.size());
}

int HeadlessDriver::queuedInputBoxAnswers() {
    p_.requireUiThread("queuedInputBoxAnswers");
    return static_cast<int>(p_.inputBoxAnswers_.size());
}

} // namespace reef::platform::headless
