#include "platform/win32/win32_ui_driver.h"

#include "platform/win32/wide_text.h"

#include <commctrl.h>
#include <shellapi.h>

#include <map>

namespace reef::platform::win32 {

namespace {

constexpr const wchar_t* kElsewhereClass = L"ReefToolsTestElsewhere";
// How long the watcher waits for an answer from the user-interface thread before it gives
// up on one message; a hung thread must not hang the watcher as well.
constexpr UINT kSendTimeoutMs = 2000;
// A popup menu that nobody chooses from is dismissed after this long, so that a test that
// forgets it still ends.
constexpr auto kMenuPatience = std::chrono::seconds(10);

std::wstring className(HWND hwnd) {
    wchar_t buffer[64] = {};
    const int length = GetClassNameW(hwnd, buffer, 64);
    return std::wstring(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
}

// The text of a window of the user-interface thread, asked for from another thread.
std::wstring textFromOtherThread(HWND hwnd) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &length)) {
        return {};
    }
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, buffer.size(),
                             reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &copied)) {
        return {};
    }
    buffer.resize(static_cast<std::size_t>(copied));
    return buffer;
}

std::wstring windowText(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring buffer(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    const int copied = GetWindowTextW(hwnd, buffer.data(), static_cast<int>(buffer.size()));
    buffer.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return buffer;
}

Color fromColorRef(COLORREF color) {
    return Color{GetRValue(color), GetGValue(color), GetBValue(color)};
}

BOOL CALLBACK collectWindow(HWND hwnd, LPARAM into) {
    reinterpret_cast<std::vector<HWND>*>(into)->push_back(hwnd);
    return TRUE;
}

// Keyboard state with Shift held or released, for keys posted to the thread's own queue.
class ShiftState {
  public:
    explicit ShiftState(bool shift) {
        GetKeyboardState(saved_);
        BYTE keys[256];
        std::copy(std::begin(saved_), std::end(saved_), keys);
        const BYTE state = shift ? 0x80 : 0x00;
        keys[VK_SHIFT] = state;
        keys[VK_LSHIFT] = state;
        SetKeyboardState(keys);
    }
    ~ShiftState() { SetKeyboardState(saved_); }
    ShiftState(const ShiftState&) = delete;
    ShiftState& operator=(const ShiftState&) = delete;

  private:
    BYTE saved_[256] = {};
};

} // namespace

Win32UiDriver::Win32UiDriver(Win32Platform& platform) : platform_(platform) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kElsewhereClass;
    RegisterClassExW(&windowClass); // fails harmlessly when a previous driver registered it
    elsewhere_ =
        CreateWindowExW(WS_EX_TOOLWINDOW, kElsewhereClass, L"elsewhere", WS_POPUP | WS_VISIBLE, 0,
                        0, 8, 8, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    watcher_ = std::thread([this] { watch(); });
}

Win32UiDriver::~Win32UiDriver() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    watcher_.join();
    if (elsewhere_ != nullptr) {
        DestroyWindow(elsewhere_);
    }
}

// --- helpers

HWND Win32UiDriver::acceptingInput(ControlId control) const {
    // A user reaches only enabled controls of enabled, visible windows.
    HWND hwnd = platform_.controlHandle(control);
    if (hwnd == nullptr || !IsWindowEnabled(hwnd) || !IsWindowVisible(hwnd)) {
        return nullptr;
    }
    HWND root = GetAncestor(hwnd, GA_ROOT);
    if (root == nullptr || !IsWindowEnabled(root) || IsIconic(root)) {
        return nullptr;
    }
    return hwnd;
}

void Win32UiDriver::settle() {
    // Everything that was posted is handled, and whatever that handling posted in turn.
    for (int round = 0; round < 100; ++round) {
        if (platform_.pumpPendingMessages() == 0) {
            return;
        }
    }
}

void Win32UiDriver::postClick(HWND target, POINT point) {
    // Controls that are transparent to the mouse (labels, frames) pass the click on to the
    // window below, as the system's hit test does.
    POINT screen = point;
    ClientToScreen(target, &screen);
    const LRESULT hit = SendMessageW(target, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
    if (hit == HTTRANSPARENT) {
        HWND parent = GetParent(target);
        if (parent == nullptr) {
            return;
        }
        MapWindowPoints(target, parent, &point, 1);
        target = parent;
    }
    const LPARAM at = MAKELPARAM(point.x, point.y);
    PostMessageW(target, WM_MOUSEMOVE, 0, at);
    PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(target, WM_LBUTTONUP, 0, at);
    settle();
}

// --- acting

void Win32UiDriver::typeText(ControlId edit, const std::string& text) {
    HWND hwnd = acceptingInput(edit);
    if (hwnd == nullptr) {
        return;
    }
    if (GetFocus() != hwnd) {
        SetFocus(hwnd);
        settle();
    }
    // The caret goes to the end, where the typing appends.
    const auto length = static_cast<WPARAM>(GetWindowTextLengthW(hwnd));
    SendMessageW(hwnd, EM_SETSEL, length, static_cast<LPARAM>(length));
    for (wchar_t character : wide(text)) {
        PostMessageW(hwnd, WM_CHAR, character, 1);
        settle();
    }
}

void Win32UiDriver::pasteText(ControlId edit, const std::string& text) {
    HWND hwnd = acceptingInput(edit);
    if (hwnd == nullptr) {
        return;
    }
    if (GetFocus() != hwnd) {
        SetFocus(hwnd);
        settle();
    }
    // A read-only field refuses the paste; its text can still be selected.
    SendMessageW(hwnd, EM_SETSEL, 0, -1);
    if ((GetWindowLongW(hwnd, GWL_STYLE) & ES_READONLY) != 0) {
        return;
    }
    // What WM_PASTE does with the clipboard's text, without taking over the clipboard.
    const std::wstring converted = wide(text);
    SendMessageW(hwnd, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(converted.c_str()));
    settle();
}

void Win32UiDriver::click(ControlId control) {
    HWND hwnd = acceptingInput(control);
    if (hwnd == nullptr) {
        return;
    }
    if (className(hwnd) == WC_COMBOBOXW) {
        // A click opens the list and a second one closes it again without choosing: the box
        // takes the focus and nothing else happens.
        SetFocus(hwnd);
        SendMessageW(hwnd, CB_SHOWDROPDOWN, TRUE, 0);
        settle();
        SendMessageW(hwnd, CB_SHOWDROPDOWN, FALSE, 0);
        settle();
        return;
    }
    RECT client{};
    GetClientRect(hwnd, &client);
    postClick(hwnd, POINT{client.right / 2, client.bottom / 2});
}

void Win32UiDriver::selectDropDownItem(ControlId list, int index) {
    HWND hwnd = acceptingInput(list);
    if (hwnd == nullptr) {
        return;
    }
    const auto count = static_cast<int>(SendMessageW(hwnd, CB_GETCOUNT, 0, 0));
    if (index < 0 || index >= count) {
        return;
    }
    if (GetFocus() != hwnd) {
        SetFocus(hwnd); // opening the list with the mouse focuses it
        settle();
    }
    // The list opened, the item clicked and the list closed again: the selection changes and
    // the window gets the notifications that the combo box sends for a chosen item.
    SendMessageW(hwnd, CB_SHOWDROPDOWN, TRUE, 0);
    SendMessageW(hwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    const WPARAM id = static_cast<WPARAM>(GetDlgCtrlID(hwnd));
    HWND parent = GetParent(hwnd);
    PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(hwnd));
    settle();
    SendMessageW(hwnd, CB_SHOWDROPDOWN, FALSE, 0);
    settle();
}

void Win32UiDriver::clickListRow(ControlId list, int row) {
    HWND hwnd = acceptingInput(list);
    if (hwnd == nullptr) {
        return;
    }
    const auto rows = static_cast<int>(SendMessageW(hwnd, LVM_GETITEMCOUNT, 0, 0));
    if (row < 0 || row >= rows) {
        return;
    }
    SendMessageW(hwnd, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    RECT item{};
    item.left = LVIR_LABEL;
    if (!SendMessageW(hwnd, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                      reinterpret_cast<LPARAM>(&item))) {
        return;
    }
    RECT client{};
    GetClientRect(hwnd, &client);
    const LONG right = std::min(item.right, client.right);
    postClick(hwnd, POINT{(item.left + right) / 2, (item.top + item.bottom) / 2});
}

void Win32UiDriver::clickListEmptyArea(ControlId list) {
    HWND hwnd = acceptingInput(list);
    if (hwnd == nullptr) {
        return;
    }
    RECT client{};
    GetClientRect(hwnd, &client);
    LONG top = 0;
    if (HWND header = reinterpret_cast<HWND>(SendMessageW(hwnd, LVM_GETHEADER, 0, 0))) {
        RECT headerRect{};
        GetWindowRect(header, &headerRect);
        top = headerRect.bottom - headerRect.top;
    }
    const auto rows = static_cast<int>(SendMessageW(hwnd, LVM_GETITEMCOUNT, 0, 0));
    POINT point{client.right / 2, (top + client.bottom) / 2};
    if (rows > 0) {
        RECT last{};
        last.left = LVIR_BOUNDS;
        SendMessageW(hwnd, LVM_GETITEMRECT, static_cast<WPARAM>(rows - 1),
                     reinterpret_cast<LPARAM>(&last));
        if (last.bottom + 4 < client.bottom) {
            point = POINT{std::min<LONG>(20, client.right / 2), (last.bottom + client.bottom) / 2};
        } else if (last.right + 4 < client.right) {
            point = POINT{(last.right + client.right) / 2, (top + client.bottom) / 2};
        } else {
            return; // the rows fill the whole view: there is no empty area to click
        }
    }
    postClick(hwnd, point);
}

void Win32UiDriver::pressListKey(ControlId list, ListKey key) {
    HWND hwnd = acceptingInput(list);
    if (hwnd == nullptr) {
        return;
    }
    if (GetFocus() != hwnd) {
        SetFocus(hwnd);
        settle();
    }
    // Repeat count 1, the key's scan code and the extended-key bit of the arrow keys.
    const bool down = key == ListKey::Down;
    const WPARAM virtualKey = down ? VK_DOWN : VK_UP;
    const LPARAM scan = down ? 0x01500001 : 0x01480001;
    PostMessageW(hwnd, WM_KEYDOWN, virtualKey, scan);
    settle();
    PostMessageW(hwnd, WM_KEYUP, virtualKey, static_cast<LPARAM>(0xC0000000u | scan));
    settle();
}

void Win32UiDriver::focus(ControlId control) {
    HWND hwnd = acceptingInput(control);
    if (hwnd == nullptr) {
        return;
    }
    SetFocus(hwnd);
    settle();
}

void Win32UiDriver::moveFocusAway() {
    if (elsewhere_ != nullptr) {
        SetForegroundWindow(elsewhere_);
        SetFocus(elsewhere_);
    }
    settle();
}

void Win32UiDriver::pressTab(bool shift) {
    HWND focus = GetFocus();
    if (focus == nullptr || IsIconic(GetAncestor(focus, GA_ROOT))) {
        return;
    }
    ShiftState keys(shift);
    PostMessageW(focus, WM_KEYDOWN, VK_TAB, 0x000F0001);
    settle();
    PostMessageW(GetFocus() ? GetFocus() : focus, WM_KEYUP, VK_TAB,
                 static_cast<LPARAM>(0xC00F0001u));
    settle();
}

void Win32UiDriver::requestClose(WindowId window) {
    HWND hwnd = platform_.windowHandle(window);
    if (hwnd == nullptr || !IsWindowEnabled(hwnd) || !IsWindowVisible(hwnd)) {
        return;
    }
    PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    settle();
}

void Win32UiDriver::minimize(WindowId window) {
    HWND hwnd = platform_.windowHandle(window);
    if (hwnd == nullptr || !IsWindowEnabled(hwnd) || !IsWindowVisible(hwnd)) {
        return;
    }
    PostMessageW(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    settle();
}

void Win32UiDriver::clickTray(TrayEventType type) {
    const Win32Platform::TrayState tray = platform_.trayState();
    if (!tray.present || tray.owner == nullptr) {
        return;
    }
    // The shell reports the button release (or the double click) with the icon's callback
    // message: wParam the icon id, lParam the mouse message.
    UINT mouse = WM_LBUTTONUP;
    switch (type) {
    case TrayEventType::LeftClick:
        mouse = WM_LBUTTONUP;
        break;
    case TrayEventType::RightClick:
        mouse = WM_RBUTTONUP;
        break;
    case TrayEventType::LeftDoubleClick:
        mouse = WM_LBUTTONDBLCLK;
        break;
    case TrayEventType::RightDoubleClick:
        mouse = WM_RBUTTONDBLCLK;
        break;
    case TrayEventType::NotificationClick:
        mouse = NIN_BALLOONUSERCLICK;
        break;
    }
    PostMessageW(tray.owner, kTrayMessage, kTrayIconId, static_cast<LPARAM>(mouse));
    settle();
}

bool Win32UiDriver::endSession() {
    // As the system does it: every top-level window of the program is asked, and once all
    // have agreed every one is told that the session ends (or, after a refusal, that it
    // goes on). Both messages are sent, so each is handled before the call returns.
    std::vector<HWND> windows;
    EnumThreadWindows(platform_.uiThreadId(), collectWindow, reinterpret_cast<LPARAM>(&windows));
    bool consent = true;
    for (HWND hwnd : windows) {
        if (IsWindow(hwnd) && SendMessageW(hwnd, WM_QUERYENDSESSION, 0, 0) == FALSE) {
            consent = false;
        }
    }
    for (HWND hwnd : windows) {
        if (IsWindow(hwnd)) {
            SendMessageW(hwnd, WM_ENDSESSION, consent ? TRUE : FALSE, 0);
        }
    }
    settle();
    return consent;
}

void Win32UiDriver::choosePopupItem(int item) {
    const Win32Platform::PopupState popup = platform_.popupState();
    if (!popup.shown || popup.menu == nullptr) {
        return;
    }
    // The keyboard walks the menu: Down from no selection reaches the first item, every
    // further Down the next item that can be chosen, Return chooses.
    const int count = GetMenuItemCount(popup.menu);
    int downs = 0;
    bool found = false;
    for (int position = 0; position < count && !found; ++position) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE;
        if (!GetMenuItemInfoW(popup.menu, static_cast<UINT>(position), TRUE, &info)) {
            continue;
        }
        if ((info.fType & MFT_SEPARATOR) != 0 || (info.fState & MFS_DISABLED) != 0) {
            continue;
        }
        ++downs;
        found = info.wID == kMenuCommandBase + static_cast<UINT>(item);
    }
    if (!found) {
        return;
    }
    // The menu opens when the queue reaches the platform's request, and its modal loop then
    // reads these keys from the same queue.
    for (int i = 0; i < downs; ++i) {
        PostMessageW(popup.owner, WM_KEYDOWN, VK_DOWN, 0x01500001);
    }
    PostMessageW(popup.owner, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    settle();
}

void Win32UiDriver::queueMessageBoxAnswer(MessageBoxAnswer answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    boxAnswers_.push_back(answer);
}

void Win32UiDriver::queueInputBoxAnswer(const std::string& text, bool cancel) {
    std::lock_guard<std::mutex> lock(mutex_);
    inputAnswers_.emplace_back(text, cancel);
}

void Win32UiDriver::holdDialogs(bool hold) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hold_ = hold;
    }
    wake_.notify_all();
}

int Win32UiDriver::openDialogCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return openDialogs_;
}

// --- the watcher thread

void Win32UiDriver::watch() {
    std::set<HWND> answered;
    std::map<HWND, std::chrono::steady_clock::time_point> menusSince;
    for (;;) {
        bool hold = false;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait_for(lock, std::chrono::milliseconds(10), [this] { return stop_; });
            if (stop_) {
                return;
            }
            hold = hold_;
        }
        std::vector<HWND> windows;
        EnumThreadWindows(platform_.uiThreadId(), collectWindow,
                          reinterpret_cast<LPARAM>(&windows));
        int open = 0;
        std::map<HWND, std::chrono::steady_clock::time_point> menusNow;
        const auto now = std::chrono::steady_clock::now();
        for (HWND hwnd : windows) {
            if (!IsWindowVisible(hwnd)) {
                continue;
            }
            const std::wstring kind = className(hwnd);
            if (kind == L"#32768") {
                // A popup menu: dismissed with Escape when it has been open for too long.
                auto seen = menusSince.find(hwnd);
                const auto since = seen == menusSince.end() ? now : seen->second;
                menusNow[hwnd] = since;
                if (now - since > kMenuPatience) {
                    PostMessageW(hwnd, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
                    PostMessageW(hwnd, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
                }
                continue;
            }
            if (kind != L"#32770" || answered.count(hwnd) != 0) {
                continue;
            }
            ++open;
            if (hold) {
                continue;
            }
            if (GetPropW(hwnd, kInputBoxProperty) != nullptr) {
                answerInputBox(hwnd);
            } else {
                answerMessageBox(hwnd);
            }
            answered.insert(hwnd);
            --open;
        }
        menusSince = std::move(menusNow);
        for (auto it = answered.begin(); it != answered.end();) {
            it = IsWindow(*it) ? std::next(it) : answered.erase(it);
        }
        std::lock_guard<std::mutex> lock(mutex_);
        openDialogs_ = open;
    }
}

void Win32UiDriver::answerMessageBox(HWND box) {
    ShownMessageBox shown;
    shown.caption = narrow(textFromOtherThread(box));
    std::vector<HWND> children;
    EnumChildWindows(box, collectWindow, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
        if (className(child) != L"Static") {
            continue;
        }
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        if ((style & SS_TYPEMASK) == SS_ICON) {
            continue;
        }
        const std::wstring text = textFromOtherThread(child);
        if (!text.empty()) {
            shown.text = narrow(text);
            break;
        }
    }
    const bool question = GetDlgItem(box, IDYES) != nullptr;
    shown.kind = question ? MessageBoxKind::Question : MessageBoxKind::Error;

    MessageBoxAnswer answer = question ? MessageBoxAnswer::No : MessageBoxAnswer::Ok;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!boxAnswers_.empty()) {
            answer = boxAnswers_.front();
            boxAnswers_.pop_front();
        }
        boxes_.push_back(shown);
    }
    int button = IDOK;
    if (question) {
        button = answer == MessageBoxAnswer::Yes ? IDYES : IDNO;
    }
    if (HWND target = GetDlgItem(box, button)) {
        PostMessageW(target, BM_CLICK, 0, 0);
    } else {
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    }
}

void Win32UiDriver::answerInputBox(HWND box) {
    ShownInputBox shown;
    shown.caption = narrow(textFromOtherThread(box));
    HWND edit = GetDlgItem(box, kInputEditId);
    if (HWND prompt = GetDlgItem(box, kInputPromptId)) {
        shown.prompt = narrow(textFromOtherThread(prompt));
    }
    if (edit != nullptr) {
        shown.defaultText = narrow(textFromOtherThread(edit));
    }
    std::pair<std::string, bool> answer{std::string(), true};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!inputAnswers_.empty()) {
            answer = inputAnswers_.front();
            inputAnswers_.pop_front();
        }
        inputs_.push_back(shown);
    }
    if (!answer.second && edit != nullptr) {
        const std::wstring text = wide(answer.first);
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                            SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
    }
    const int button = answer.second ? IDCANCEL : IDOK;
    if (HWND target = GetDlgItem(box, button)) {
        PostMessageW(target, BM_CLICK, 0, 0);
    } else {
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    }
}

// --- reading

std::vector<ShownMessageBox> Win32UiDriver::shownMessageBoxes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
}

std::vector<ShownInputBox> Win32UiDriver::shownInputBoxes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return inputs_;
}

std::string Win32UiDriver::clipboardText() {
    bool opened = false;
    for (int attempt = 0; attempt < 20 && !opened; ++attempt) {
        opened = OpenClipboard(elsewhere_) != FALSE;
        if (!opened) {
            Sleep(10);
        }
    }
    if (!opened) {
        return {};
    }
    std::string result;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
            result = narrow(std::wstring(text));
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return result;
}

std::vector<std::string> Win32UiDriver::filesOpenedInEditor() {
    return platform_.editorLaunches();
}

bool Win32UiDriver::hasTrayIcon() {
    return platform_.trayState().present;
}

std::string Win32UiDriver::trayTooltip() {
    return platform_.trayState().tooltip;
}

bool Win32UiDriver::isPopupMenuShown() {
    return platform_.popupState().shown;
}

std::vector<MenuItem> Win32UiDriver::shownPopupMenuItems() {
    const Win32Platform::PopupState popup = platform_.popupState();
    std::vector<MenuItem> items;
    if (!popup.shown || popup.menu == nullptr) {
        return items;
    }
    const int count = GetMenuItemCount(popup.menu);
    for (int position = 0; position < count; ++position) {
        wchar_t buffer[256] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
        info.dwTypeData = buffer;
        info.cch = 255;
        if (!GetMenuItemInfoW(popup.menu, static_cast<UINT>(position), TRUE, &info)) {
            continue;
        }
        MenuItem item;
        if ((info.fType & MFT_SEPARATOR) != 0) {
            item.separator = true;
        } else {
            item.item = static_cast<int>(info.wID - kMenuCommandBase);
            item.text = narrow(std::wstring(buffer));
        }
        items.push_back(item);
    }
    return items;
}

std::string Win32UiDriver::windowTitle(WindowId window) {
    HWND hwnd = platform_.windowHandle(window);
    return hwnd ? narrow(windowText(hwnd)) : std::string();
}

Rect Win32UiDriver::clientRect(WindowId window) {
    HWND hwnd = platform_.windowHandle(window);
    RECT client{};
    if (hwnd == nullptr || !GetClientRect(hwnd, &client)) {
        return {};
    }
    return Rect{0, 0, client.right - client.left, client.bottom - client.top};
}

Rect Win32UiDriver::controlRect(ControlId control) {
    HWND hwnd = platform_.controlHandle(control);
    RECT rect{};
    if (hwnd == nullptr || !GetWindowRect(hwnd, &rect)) {
        return {};
    }
    MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&rect), 2);
    return Rect{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

bool Win32UiDriver::isWindowOpen(WindowId window) {
    HWND hwnd = platform_.windowHandle(window);
    return hwnd != nullptr && IsWindow(hwnd);
}

bool Win32UiDriver::controlExists(ControlId control) {
    HWND hwnd = platform_.controlHandle(control);
    return hwnd != nullptr && IsWindow(hwnd);
}

std::string Win32UiDriver::tooltip(ControlId control) {
    HWND hwnd = platform_.controlHandle(control);
    HWND tip = platform_.tooltipHandle(platform_.windowOfControl(control));
    if (hwnd == nullptr || tip == nullptr) {
        return {};
    }
    wchar_t buffer[1024] = {};
    TOOLINFOW info{};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.hwnd = GetParent(hwnd);
    info.uId = reinterpret_cast<UINT_PTR>(hwnd);
    info.lpszText = buffer;
    SendMessageW(tip, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&info));
    return narrow(std::wstring(buffer));
}

std::optional<Color> Win32UiDriver::labelTextColor(ControlId label) {
    HWND hwnd = platform_.controlHandle(label);
    if (hwnd == nullptr) {
        return std::nullopt;
    }
    // The colour the window hands the label for painting.
    HDC dc = CreateCompatibleDC(nullptr);
    const COLORREF sentinel = RGB(1, 2, 3);
    SetTextColor(dc, sentinel);
    SendMessageW(GetParent(hwnd), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(hwnd));
    const COLORREF color = GetTextColor(dc);
    DeleteDC(dc);
    if (color == sentinel || color == GetSysColor(COLOR_WINDOWTEXT)) {
        return std::nullopt; // the system's text colour
    }
    return fromColorRef(color);
}

std::vector<std::string> Win32UiDriver::dropDownItems(ControlId list) {
    HWND hwnd = platform_.controlHandle(list);
    std::vector<std::string> items;
    if (hwnd == nullptr) {
        return items;
    }
    const auto count = static_cast<int>(SendMessageW(hwnd, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const auto length = SendMessageW(hwnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        std::wstring buffer(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
        SendMessageW(hwnd, CB_GETLBTEXT, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(buffer.data()));
        items.push_back(narrow(std::wstring(buffer.c_str())));
    }
    return items;
}

std::string Win32UiDriver::listColumnHeader(ControlId list, int column) {
    HWND hwnd = platform_.controlHandle(list);
    if (hwnd == nullptr || column < 0 || column >= listColumnCount(list)) {
        return {};
    }
    wchar_t buffer[256] = {};
    LVCOLUMNW info{};
    info.mask = LVCF_TEXT;
    info.pszText = buffer;
    info.cchTextMax = 255;
    SendMessageW(hwnd, LVM_GETCOLUMNW, static_cast<WPARAM>(column),
                 reinterpret_cast<LPARAM>(&info));
    return narrow(std::wstring(buffer));
}

int Win32UiDriver::listColumnCount(ControlId list) {
    HWND hwnd = platform_.controlHandle(list);
    if (hwnd == nullptr) {
        return 0;
    }
    HWND header = reinterpret_cast<HWND>(SendMessageW(hwnd, LVM_GETHEADER, 0, 0));
    return header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

std::optional<COLORREF> Win32UiDriver::cellColor(ControlId list, int row, int column,
                                                 bool background) {
    HWND hwnd = platform_.controlHandle(list);
    if (hwnd == nullptr || row < 0 || column < 0 || column >= listColumnCount(list) ||
        row >= static_cast<int>(SendMessageW(hwnd, LVM_GETITEMCOUNT, 0, 0))) {
        return std::nullopt;
    }
    // The colours the window gives the list view when it draws that cell.
    NMLVCUSTOMDRAW draw{};
    draw.nmcd.hdr.hwndFrom = hwnd;
    draw.nmcd.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(hwnd));
    draw.nmcd.hdr.code = NM_CUSTOMDRAW;
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
    draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(row);
    draw.iSubItem = column;
    draw.clrText = CLR_DEFAULT;
    draw.clrTextBk = CLR_DEFAULT;
    SendMessageW(GetParent(hwnd), WM_NOTIFY, draw.nmcd.hdr.idFrom, reinterpret_cast<LPARAM>(&draw));
    const COLORREF color = background ? draw.clrTextBk : draw.clrText;
    if (color == CLR_DEFAULT) {
        return std::nullopt;
    }
    return color;
}

std::optional<Color> Win32UiDriver::listCellBackground(ControlId list, int row, int column) {
    const std::optional<COLORREF> color = cellColor(list, row, column, true);
    return color ? std::optional<Color>(fromColorRef(*color)) : std::nullopt;
}

std::optional<Color> Win32UiDriver::listCellTextColor(ControlId list, int row, int column) {
    const std::optional<COLORREF> color = cellColor(list, row, column, false);
    return color ? std::optional<Color>(fromColorRef(*color)) : std::nullopt;
}

} // namespace reef::platform::win32
