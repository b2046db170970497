// The Win32 backend. Sections, in the order of the headless backend:
//   helpers (text conversion, window classes, the input requester's dialog template),
//   records, windows, controls, then one section for each control kind that reports
//   something (buttons, labels, edits, text areas, drop-down lists, list views, status bars),
//   events (the message loop and the window procedures, which hand control notifications to
//   the kind's section), tasks, modal dialogs, clipboard, tray icon and popup menu, text
//   editor.

#include "platform/win32/win32_platform.h"

#include "platform/win32/wide_text.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace reef::platform::win32 {

namespace {

constexpr const wchar_t* kWindowClass = L"ReefToolsWindow";
constexpr const wchar_t* kHelperClass = L"ReefToolsHelper";
constexpr UINT kRunTasksMessage = WM_APP + 2;
constexpr UINT kShowPopupMessage = WM_APP + 3;
constexpr UINT kCheckListSelectionMessage = WM_APP + 4; // lParam: the list view
constexpr UINT_PTR kSubclassId = 0x52454546;            // arbitrary, unique to this backend
constexpr DWORD kTopLevelStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kTopLevelExStyle = WS_EX_CONTROLPARENT;
constexpr int kFirstControlId = 100;

// Typing into the edit field would pass its limit: what stays of the text beside the
// selection, which a typed character replaces, fills it already.
bool isEditFull(HWND edit, int maxLength) {
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const int selected = end > start ? static_cast<int>(end - start) : 0;
    return GetWindowTextLengthW(edit) - selected >= maxLength;
}

std::wstring windowText(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    if (length <= 0) {
        return {};
    }
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(hwnd, buffer.data(), length + 1);
    buffer.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return buffer;
}

COLORREF toColorRef(Color color) {
    return RGB(color.r, color.g, color.b);
}

HICON programIcon(int size) {
    // Icon resource 1 of the executable; the stock application icon when the program was
    // linked without resources (some test programs).
    HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1),
                                               IMAGE_ICON, size, size, LR_SHARED));
    if (icon == nullptr) {
        icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    }
    if (icon == nullptr) {
        icon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512)); // IDI_APPLICATION
    }
    return icon;
}

Win32Platform* platformOf(HWND hwnd) {
    return reinterpret_cast<Win32Platform*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

LRESULT CALLBACK topLevelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    if (Win32Platform* platform = platformOf(hwnd)) {
        return platform->windowProc(hwnd, message, wParam, lParam);
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK helperWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    if (Win32Platform* platform = platformOf(hwnd)) {
        return platform->helperProc(hwnd, message, wParam, lParam);
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK controlSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR, DWORD_PTR data) {
    auto* platform = reinterpret_cast<Win32Platform*>(data);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, controlSubclassProc, kSubclassId);
        return DefSubclassProc(hwnd, message, wParam, lParam);
    }
    return platform->controlProc(hwnd, message, wParam, lParam);
}

void registerClasses() {
    static bool registered = false;
    if (registered) {
        return;
    }
    INITCOMMONCONTROLSEX init{};
    init.dwSize = sizeof init;
    init.dwICC = ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES;
    InitCommonControlsEx(&init);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = topLevelProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hIcon = programIcon(GetSystemMetrics(SM_CXICON));
    windowClass.hIconSm = programIcon(GetSystemMetrics(SM_CXSMICON));
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass);

    WNDCLASSEXW helperClass{};
    helperClass.cbSize = sizeof helperClass;
    helperClass.lpfnWndProc = helperWindowProc;
    helperClass.hInstance = GetModuleHandleW(nullptr);
    helperClass.lpszClassName = kHelperClass;
    RegisterClassExW(&helperClass);
    registered = true;
}

// --- the input requester: a dialog template built in memory

struct InputBoxState {
    std::wstring caption;
    std::wstring prompt;
    std::wstring defaultText;
    std::wstring result;
};

class DialogTemplate {
  public:
    void header(DWORD style, WORD itemCount, short cx, short cy, const wchar_t* font, WORD points) {
        addDword(style);
        addDword(0); // extended style
        addWord(itemCount);
        addWord(0);
        addWord(0);
        addWord(static_cast<WORD>(cx));
        addWord(static_cast<WORD>(cy));
        addWord(0); // no menu
        addWord(0); // standard dialog class
        addWord(0); // caption set at WM_INITDIALOG
        addWord(points);
        addString(font);
    }
    void item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom) {
        while (words_.size() % 2 != 0) {
            addWord(0); // items start on DWORD boundaries
        }
        addDword(style | WS_CHILD | WS_VISIBLE);
        addDword(0);
        addWord(static_cast<WORD>(x));
        addWord(static_cast<WORD>(y));
        addWord(static_cast<WORD>(cx));
        addWord(static_cast<WORD>(cy));
        addWord(id);
        addWord(0xFFFF);
        addWord(atom);
        addWord(0); // text set at WM_INITDIALOG
        addWord(0); // no creation data
    }
    const DLGTEMPLATE* data() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

  private:
    void addWord(WORD value) { words_.push_back(value); }
    void addDword(DWORD value) {
        addWord(LOWORD(value));
        addWord(HIWORD(value));
    }
    void addString(const wchar_t* text) {
        for (; *text != 0; ++text) {
            addWord(static_cast<WORD>(*text));
        }
        addWord(0);
    }
    std::vector<WORD> words_;
};

INT_PTR CALLBACK inputBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        auto* state = reinterpret_cast<InputBoxState*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SetPropW(dialog, kInputBoxProperty, reinterpret_cast<HANDLE>(1));
        SetWindowTextW(dialog, state->caption.c_str());
        SetDlgItemTextW(dialog, kInputPromptId, state->prompt.c_str());
        SetDlgItemTextW(dialog, kInputEditId, state->defaultText.c_str());
        SetDlgItemTextW(dialog, IDOK, L"OK");
        SetDlgItemTextW(dialog, IDCANCEL, L"Abbrechen");
        SendMessageW(dialog, WM_SETICON, ICON_SMALL,
                     reinterpret_cast<LPARAM>(programIcon(GetSystemMetrics(SM_CXSMICON))));
        HWND edit = GetDlgItem(dialog, kInputEditId);
        SetFocus(edit);
        SendMessageW(edit, EM_SETSEL, 0, -1);
        return FALSE; // the focus is set
    }
    case WM_COMMAND: {
        const WORD id = LOWORD(wParam);
        if (id == IDOK) {
            auto* state = reinterpret_cast<InputBoxState*>(GetWindowLongPtrW(dialog, DWLP_USER));
            state->result = windowText(GetDlgItem(dialog, kInputEditId));
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (id == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    }
    case WM_DESTROY:
        RemovePropW(dialog, kInputBoxProperty);
        break;
    default:
        break;
    }
    return FALSE;
}

} // namespace

Win32Platform::Win32Platform(Win32Options options)
    : options_(std::move(options)), uiThread_(GetCurrentThreadId()) {
    registerClasses();
    font_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    taskbarCreatedMessage_ = RegisterWindowMessageW(L"TaskbarCreated");
    helper_ = CreateWindowExW(0, kHelperClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), this);
    taskTarget_.store(helper_);
}

Win32Platform::~Win32Platform() {
    taskTarget_.store(nullptr);
    removeTrayIcon();
    ++destroying_;
    for (auto& [id, window] : windows_) {
        DestroyWindow(window.hwnd);
    }
    windows_.clear();
    controls_.clear();
    windowByHwnd_.clear();
    controlByHwnd_.clear();
    --destroying_;
    for (auto& [id, menu] : menus_) {
        DestroyMenu(menu);
    }
    if (helper_ != nullptr) {
        DestroyWindow(helper_);
    }
}

// --- records

Win32Platform::WindowRecord* Win32Platform::findWindow(WindowId window) {
    auto it = windows_.find(window.value);
    return it == windows_.end() ? nullptr : &it->second;
}

const Win32Platform::WindowRecord* Win32Platform::findWindow(WindowId window) const {
    auto it = windows_.find(window.value);
    return it == windows_.end() ? nullptr : &it->second;
}

Win32Platform::ControlRecord* Win32Platform::findControl(ControlId control) {
    auto it = controls_.find(control.value);
    return it == controls_.end() ? nullptr : &it->second;
}

const Win32Platform::ControlRecord* Win32Platform::findControl(ControlId control) const {
    auto it = controls_.find(control.value);
    return it == controls_.end() ? nullptr : &it->second;
}

Win32Platform::ControlRecord* Win32Platform::controlByHwnd(HWND hwnd) {
    auto it = controlByHwnd_.find(hwnd);
    return it == controlByHwnd_.end() ? nullptr : findControl(ControlId{it->second});
}

WindowId Win32Platform::windowByHwnd(HWND hwnd) const {
    auto it = windowByHwnd_.find(hwnd);
    return it == windowByHwnd_.end() ? WindowId{} : WindowId{it->second};
}

ControlId Win32Platform::controlIdByHwnd(HWND hwnd) const {
    auto it = controlByHwnd_.find(hwnd);
    return it == controlByHwnd_.end() ? ControlId{} : ControlId{it->second};
}

HWND Win32Platform::windowHandle(WindowId window) const {
    const WindowRecord* record = findWindow(window);
    return record ? record->hwnd : nullptr;
}

HWND Win32Platform::controlHandle(ControlId control) const {
    const ControlRecord* record = findControl(control);
    return record ? record->hwnd : nullptr;
}

WindowId Win32Platform::windowOfControl(ControlId control) const {
    const ControlRecord* record = findControl(control);
    return record ? record->window : WindowId{};
}

std::optional<ControlKind> Win32Platform::controlKind(ControlId control) const {
    const ControlRecord* record = findControl(control);
    if (record == nullptr) {
        return std::nullopt;
    }
    return record->kind;
}

HWND Win32Platform::tooltipHandle(WindowId window) const {
    const WindowRecord* record = findWindow(window);
    return record ? record->tooltip : nullptr;
}

Win32Platform::TrayState Win32Platform::trayState() const {
    TrayState state;
    state.present = trayPresent_;
    state.owner = trayPresent_ ? windowHandle(trayOwner_) : nullptr;
    state.tooltip = trayPresent_ ? narrow(trayTooltip_) : std::string();
    state.notificationTitle = trayPresent_ ? trayNotification_.title : std::string();
    state.notificationText = trayPresent_ ? trayNotification_.text : std::string();
    return state;
}

Win32Platform::PopupState Win32Platform::popupState() const {
    PopupState state;
    state.shown = popup_.pending || popup_.tracking;
    state.menu = state.shown ? popup_.menu : nullptr;
    state.owner = state.shown ? windowHandle(popup_.owner) : nullptr;
    return state;
}

std::vector<std::string> Win32Platform::editorLaunches() const {
    return editorLaunches_;
}

// --- windows

WindowId Win32Platform::openWindow(const std::string& title, int clientWidth, int clientHeight) {
    RECT outer{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&outer, kTopLevelStyle, FALSE, kTopLevelExStyle);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + ((work.right - work.left) - width) / 2;
    const int y = work.top + ((work.bottom - work.top) - height) / 2;

    HWND hwnd =
        CreateWindowExW(kTopLevelExStyle, kWindowClass, wide(title).c_str(), kTopLevelStyle, x, y,
                        width, height, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (hwnd == nullptr) {
        return {};
    }
    // Some window managers (and Wine's own frame) differ from AdjustWindowRectEx by a pixel or
    // two; the client size is what the layouts rely on, so correct the outer size once.
    RECT client{};
    GetClientRect(hwnd, &client);
    if (client.right != clientWidth || client.bottom != clientHeight) {
        const int fixedWidth = width + (clientWidth - client.right);
        const int fixedHeight = height + (clientHeight - client.bottom);
        SetWindowPos(hwnd, nullptr, work.left + ((work.right - work.left) - fixedWidth) / 2,
                     work.top + ((work.bottom - work.top) - fixedHeight) / 2, fixedWidth,
                     fixedHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    const WindowId id{nextHandle_++};
    WindowRecord record;
    record.hwnd = hwnd;
    windows_[id.value] = record;
    windowByHwnd_[hwnd] = id.value;
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    SetForegroundWindow(hwnd);
    return id;
}

void Win32Platform::closeWindow(WindowId window) {
    auto it = windows_.find(window.value);
    if (it == windows_.end()) {
        return;
    }
    const HWND hwnd = it->second.hwnd;
    if (trayPresent_ && trayOwner_ == window) {
        removeTrayIcon(); // its clicks could no longer be delivered
    }
    if (popup_.pending && popup_.owner == window) {
        popup_ = PendingPopup{};
    }
    ++destroying_;
    DestroyWindow(hwnd);
    --destroying_;
    for (auto control = controls_.begin(); control != controls_.end();) {
        if (control->second.window == window) {
            controlByHwnd_.erase(control->second.hwnd);
            control = controls_.erase(control);
        } else {
            ++control;
        }
    }
    windowByHwnd_.erase(hwnd);
    windows_.erase(it);
    // Events still queued for the window would name handles that no longer exist.
    events_.erase(std::remove_if(events_.begin(), events_.end(),
                                 [&](const Event& event) { return event.window == window; }),
                  events_.end());
}

void Win32Platform::bringToFront(WindowId window) {
    const WindowRecord* record = findWindow(window);
    if (record == nullptr) {
        return;
    }
    if (IsIconic(record->hwnd)) {
        ShowWindow(record->hwnd, SW_RESTORE);
    } else if (!IsWindowVisible(record->hwnd)) {
        ShowWindow(record->hwnd, SW_SHOW);
    }
    SetForegroundWindow(record->hwnd);
}

void Win32Platform::minimizeWindow(WindowId window) {
    if (const WindowRecord* record = findWindow(window)) {
        ShowWindow(record->hwnd, SW_MINIMIZE);
    }
}

void Win32Platform::hideWindow(WindowId window) {
    if (const WindowRecord* record = findWindow(window)) {
        ShowWindow(record->hwnd, SW_HIDE);
    }
}

void Win32Platform::showWindow(WindowId window) {
    if (const WindowRecord* record = findWindow(window)) {
        ShowWindow(record->hwnd, IsIconic(record->hwnd) ? SW_RESTORE : SW_SHOWNORMAL);
        SetForegroundWindow(record->hwnd);
    }
}

bool Win32Platform::isMinimized(WindowId window) {
    const WindowRecord* record = findWindow(window);
    return record != nullptr && IsIconic(record->hwnd);
}

bool Win32Platform::isVisible(WindowId window) {
    const WindowRecord* record = findWindow(window);
    return record != nullptr && IsWindowVisible(record->hwnd);
}

void Win32Platform::setWindowEnabled(WindowId window, bool enabled) {
    if (const WindowRecord* record = findWindow(window)) {
        EnableWindow(record->hwnd, enabled ? TRUE : FALSE);
    }
}

bool Win32Platform::isWindowEnabled(WindowId window) {
    const WindowRecord* record = findWindow(window);
    return record != nullptr && IsWindowEnabled(record->hwnd);
}

// --- controls

ControlId Win32Platform::addControl(WindowId window, ControlKind kind, DWORD exStyle,
                                    const wchar_t* className, const std::wstring& text, DWORD style,
                                    Rect rect) {
    const WindowRecord* parent = findWindow(window);
    if (parent == nullptr) {
        return {};
    }
    const ControlId id{nextHandle_++};
    const auto childId = static_cast<INT_PTR>(kFirstControlId + (id.value % 30000));
    ++suppressChange_; // the initial text is the program's, not the user's
    HWND hwnd =
        CreateWindowExW(exStyle, className, text.c_str(), style | WS_CHILD | WS_VISIBLE, rect.x,
                        rect.y, rect.width, rect.height, parent->hwnd,
                        reinterpret_cast<HMENU>(childId), GetModuleHandleW(nullptr), nullptr);
    --suppressChange_;
    if (hwnd == nullptr) {
        return {};
    }
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    SetWindowSubclass(hwnd, controlSubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    ControlRecord record;
    record.hwnd = hwnd;
    record.window = window;
    record.kind = kind;
    controls_[id.value] = std::move(record);
    controlByHwnd_[hwnd] = id.value;
    return id;
}

ControlId Win32Platform::createButton(WindowId window, Rect rect, const std::string& text) {
    return addControl(window, ControlKind::Button, 0, L"BUTTON", wide(text),
                      BS_PUSHBUTTON | WS_TABSTOP, rect);
}

ControlId Win32Platform::createLabel(WindowId window, Rect rect, const std::string& text,
                                     const LabelStyle& style) {
    DWORD flags = SS_NOPREFIX;
    switch (style.align) {
    case TextAlign::Left:
        flags |= SS_LEFT;
        break;
    case TextAlign::Center:
        flags |= SS_CENTER;
        break;
    case TextAlign::Right:
        flags |= SS_RIGHT;
        break;
    }
    if (style.sunken) {
        flags |= SS_SUNKEN;
    }
    const ControlId id =
        addControl(window, ControlKind::Label, 0, L"STATIC", wide(text), flags, rect);
    if (ControlRecord* record = findControl(id)) {
        record->labelColor = style.textColor;
    }
    return id;
}

ControlId Win32Platform::createEdit(WindowId window, Rect rect, const std::string& text,
                                    const EditStyle& style) {
    DWORD flags = ES_AUTOHSCROLL | WS_TABSTOP;
    if (style.digitsOnly) {
        flags |= ES_NUMBER;
    }
    if (style.readOnly) {
        flags |= ES_READONLY;
    }
    if (style.masked) {
        flags |= ES_PASSWORD;
    }
    const ControlId id =
        addControl(window, ControlKind::Edit, WS_EX_CLIENTEDGE, L"EDIT", wide(text), flags, rect);
    if (ControlRecord* record = findControl(id)) {
        record->edit = style;
        if (style.maxLength > 0) {
            // Limits what the user types or pastes; WM_SETTEXT is not cut.
            SendMessageW(record->hwnd, EM_LIMITTEXT, static_cast<WPARAM>(style.maxLength), 0);
        }
    }
    return id;
}

ControlId Win32Platform::createTextArea(WindowId window, Rect rect, const std::string& text) {
    const ControlId id = addControl(window, ControlKind::TextArea, WS_EX_CLIENTEDGE, L"EDIT", L"",
                                    ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL |
                                        WS_VSCROLL | WS_HSCROLL | WS_TABSTOP,
                                    rect);
    if (ControlRecord* record = findControl(id)) {
        SendMessageW(record->hwnd, EM_SETLIMITTEXT, 0, 0);
        setText(id, text);
    }
    return id;
}

ControlId Win32Platform::createDropDown(WindowId window, Rect rect, int dropHeight) {
    // A combo box's window height is that of the opened list; the closed box takes the
    // height its font needs.
    Rect full = rect;
    if (dropHeight > 0) {
        full.height = dropHeight;
    }
    return addControl(window, ControlKind::DropDown, 0, WC_COMBOBOXW, L"",
                      CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, full);
}

ControlId Win32Platform::createFrame(WindowId window, Rect rect, const std::string& caption) {
    return addControl(window, ControlKind::Frame, 0, L"BUTTON", wide(caption), BS_GROUPBOX, rect);
}

ControlId Win32Platform::createListView(WindowId window, Rect rect) {
    const ControlId id = addControl(
        window, ControlKind::ListView, WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
        LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP, rect);
    if (ControlRecord* record = findControl(id)) {
        const LPARAM extended = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT;
        SendMessageW(record->hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    }
    return id;
}

ControlId Win32Platform::createStatusBar(WindowId window, int width0, int width1, int width2) {
    const ControlId id =
        addControl(window, ControlKind::StatusBar, 0, STATUSCLASSNAMEW, L"", 0, Rect{});
    if (ControlRecord* record = findControl(id)) {
        int edges[3] = {width0, width0 + width1, width0 + width1 + width2};
        // Fields wider than the window together would cut off the right-aligned text of the
        // last field (the list windows' "Status: " texts); that field then ends at the
        // window's right edge instead.
        RECT client{};
        GetClientRect(findWindow(window)->hwnd, &client);
        if (edges[2] > client.right) {
            edges[2] = -1;
        }
        SendMessageW(record->hwnd, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(edges));
    }
    return id;
}

void Win32Platform::setTooltip(ControlId control, const std::string& text) {
    ControlRecord* record = findControl(control);
    if (record == nullptr) {
        return;
    }
    WindowRecord* window = findWindow(record->window);
    if (window == nullptr) {
        return;
    }
    if (window->tooltip == nullptr) {
        window->tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                          WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window->hwnd,
                                          nullptr, GetModuleHandleW(nullptr), nullptr);
        if (window->tooltip == nullptr) {
            return;
        }
        SendMessageW(window->tooltip, TTM_SETMAXTIPWIDTH, 0, 400);
    }
    const bool known = !record->tooltip.empty();
    record->tooltip = wide(text);
    TOOLINFOW info{};
    // The older structure size is understood by every version of the common controls.
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = window->hwnd;
    info.uId = reinterpret_cast<UINT_PTR>(record->hwnd);
    info.lpszText = record->tooltip.data();
    if (known) {
        SendMessageW(window->tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
    } else {
        SendMessageW(window->tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
}

void Win32Platform::setText(ControlId control, const std::string& text) {
    ControlRecord* record = findControl(control);
    if (record == nullptr) {
        return;
    }
    const std::wstring converted = wide(text);
    if (record->kind == ControlKind::StatusBar) {
        SendMessageW(record->hwnd, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(converted.c_str()));
        return;
    }
    if (record->kind == ControlKind::ListView || record->kind == ControlKind::DropDown) {
        return;
    }
    ++suppressChange_;
    SendMessageW(record->hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(converted.c_str()));
    --suppressChange_;
}

std::string Win32Platform::text(ControlId control) {
    const ControlRecord* record = findControl(control);
    if (record == nullptr) {
        return {};
    }
    if (record->kind == ControlKind::StatusBar) {
        return statusText(control, 0);
    }
    if (record->kind == ControlKind::ListView) {
        return {};
    }
    return narrow(windowText(record->hwnd));
}

void Win32Platform::setEnabled(ControlId control, bool enabled) {
    if (const ControlRecord* record = findControl(control)) {
        EnableWindow(record->hwnd, enabled ? TRUE : FALSE);
    }
}

bool Win32Platform::isEnabled(ControlId control) {
    const ControlRecord* record = findControl(control);
    return record != nullptr && IsWindowEnabled(record->hwnd);
}

void Win32Platform::setFocus(ControlId control) {
    if (const ControlRecord* record = findControl(control)) {
        SetFocus(record->hwnd);
    }
}

ControlId Win32Platform::focusedControl() {
    for (HWND hwnd = GetFocus(); hwnd != nullptr; hwnd = GetParent(hwnd)) {
        const ControlId id = controlIdByHwnd(hwnd);
        if (id) {
            return id;
        }
        if (windowByHwnd_.count(hwnd) != 0) {
            break;
        }
    }
    return {};
}

// The WM_COMMAND notification of a control, handed to the section of its kind.
void Win32Platform::controlCommand(const ControlRecord& record, UINT code) {
    switch (record.kind) {
    case ControlKind::Button:
        buttonCommand(record, code);
        break;
    case ControlKind::Edit:
        editCommand(record, code);
        break;
    case ControlKind::DropDown:
        dropDownCommand(record, code);
        break;
    default:
        break;
    }
}

// --- buttons

void Win32Platform::buttonCommand(const ControlRecord& button, UINT code) {
    if (code == BN_CLICKED) {
        pushControlEvent(button.hwnd, ControlEventType::Activated);
    }
}

// --- labels

// A label with a colour of its own keeps the window's background brush.
LRESULT Win32Platform::labelColors(const ControlRecord& label, HWND window, WPARAM wParam,
                                   LPARAM lParam) {
    const LRESULT brush = DefWindowProcW(window, WM_CTLCOLORSTATIC, wParam, lParam);
    SetTextColor(reinterpret_cast<HDC>(wParam), toColorRef(*label.labelColor));
    return brush;
}

// --- edits

void Win32Platform::editCommand(const ControlRecord& edit, UINT code) {
    if (code == EN_CHANGE && suppressChange_ == 0) {
        pushControlEvent(edit.hwnd, ControlEventType::Changed);
    }
}

// Control characters (backspace, Ctrl+V) always pass.
bool Win32Platform::editRefusesCharacter(const ControlRecord& edit, WPARAM character) {
    if (character < 0x20) {
        return false;
    }
    // Not every edit control refuses other characters for ES_NUMBER (older Wine does not), so
    // the rule is kept here as well.
    if (edit.edit.digitsOnly && (character < L'0' || character > L'9')) {
        return true;
    }
    // A full field refuses the key before the edit control sees it: some versions of the
    // control report a change for a character they have refused.
    return edit.edit.maxLength > 0 && isEditFull(edit.hwnd, edit.edit.maxLength);
}

// --- text areas

// The read-only text area must not swallow Tab: the focus moves on.
LRESULT Win32Platform::textAreaDialogCode(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT code = DefSubclassProc(hwnd, message, wParam, lParam);
    code &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTTAB);
    return code;
}

// --- drop-down lists

void Win32Platform::addDropDownItem(ControlId list, const std::string& text) {
    const ControlRecord* record = findControl(list);
    if (record == nullptr || record->kind != ControlKind::DropDown) {
        return;
    }
    const std::wstring converted = wide(text);
    SendMessageW(record->hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(converted.c_str()));
}

void Win32Platform::setDropDownSelection(ControlId list, int index) {
    const ControlRecord* record = findControl(list);
    if (record == nullptr || record->kind != ControlKind::DropDown) {
        return;
    }
    // An index outside the items clears the selection, as the combo box's own rule says;
    // -1 is sent for it explicitly, since not every version of the control clears it for an
    // index past the end.
    const auto count = static_cast<int>(SendMessageW(record->hwnd, CB_GETCOUNT, 0, 0));
    const int selection = index >= 0 && index < count ? index : -1;
    SendMessageW(record->hwnd, CB_SETCURSEL, static_cast<WPARAM>(selection), 0);
}

int Win32Platform::dropDownSelection(ControlId list) {
    const ControlRecord* record = findControl(list);
    if (record == nullptr || record->kind != ControlKind::DropDown) {
        return -1;
    }
    const auto selection = SendMessageW(record->hwnd, CB_GETCURSEL, 0, 0);
    return selection == CB_ERR ? -1 : static_cast<int>(selection);
}

void Win32Platform::dropDownCommand(const ControlRecord& list, UINT code) {
    if (code == CBN_SELCHANGE) {
        pushControlEvent(list.hwnd, ControlEventType::Activated);
    }
}

// --- list views

namespace {

int columnCount(HWND list) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    return header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

template <typename Rows> int rowCount(const Rows& rows) {
    return static_cast<int>(rows.size());
}

} // namespace

void Win32Platform::addListColumn(ControlId list, const std::string& header, int width) {
    ControlRecord* record = findControl(list);
    if (record == nullptr || record->kind != ControlKind::ListView) {
        return;
    }
    std::wstring converted = wide(header);
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = converted.data();
    const int index = columnCount(record->hwnd);
    column.iSubItem = index;
    if (SendMessageW(record->hwnd, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&column)) >= 0) {
        record->listColumns = index + 1;
    }
}

void Win32Platform::setListColumnWidth(ControlId list, int column, int width) {
    const ControlRecord* record = findControl(list);
    if (record == nullptr || record->kind != ControlKind::ListView || column < 0 ||
        column >= columnCount(record->hwnd)) {
        return;
    }
    SendMessageW(record->hwnd, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column),
                 MAKELPARAM(width, 0));
}

int Win32Platform::listColumnWidth(ControlId list, int column) {
    const ControlRecord* record = findControl(list);
    if (record == nullptr || record->kind != ControlKind::ListView || column < 0 ||
        column >= columnCount(record->hwnd)) {
        return 0;
    }
    return static_cast<int>(
        SendMessageW(record->hwnd, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

void Win32Platform::setListItemCount(const ControlRecord& list, DWORD flags) {
    SendMessageW(list.hwnd, LVM_SETITEMCOUNT, static_cast<WPARAM>(list.rows.size()),
                 static_cast<LPARAM>(flags));
}

void Win32Platform::clearListRows(ControlId list) {
    ControlRecord* record = findControl(list);
    if (record == nullptr || record->kind != ControlKind::ListView) {
        return;
    }
    // Removes the selection as well; the rows are forgotten only after it, so that nothing
    // the list view asks for meanwhile lies outside them.
    SendMessageW(record->hwnd, LVM_DELETEALLITEMS, 0, 0);
    record->rows.clear();
    // The program's own change is not reported (the list view notifies none either); the
    // user's next selection, whichever row it is, is new again.
    record->reportedSelection = -1;
}

int Win32Platform::addListRow(ControlId list) {
    ControlRecord* record = findControl(list);
    if (record == nullptr || record->kind != ControlKind::ListView) {
        return -1;
    }
    record->rows.emplace_back();
    setListItemCount(*record, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    return rowCount(record->rows) - 1;
}

int Win32Platform::listRowCount(ControlId list) {
    const ControlRecord* record = findControl(list);
    if (record == nullptr || record->kind != ControlKind::ListView) {
        return 0;
    }
    return rowCount(record->rows);
}

Win32Platform::ListCell* Win32Platform::listCellAt(ControlRecord& list, int row, int column) {
    if (row < 0 || row >= rowCount(list.rows) || column < 0 || column >= list.listColumns) {
        return nullptr;
    }
    auto& cells = list.rows[static_cast<std::size_t>(row)];
    if (cells.size() <= static_cast<std::size_t>(column)) {
        cells.resize(static_cast<std::size_t>(column) + 1);
    }
    return &cells[static_cast<std::size_t>(column)];
}

void Win32Platform::setListCell(ControlId list, int row, int column, const std::string& text) {
    ControlRecord* record = findControl(list);
    if (record == nullptr || record->kind != ControlKind::ListView) {
        return;
    }
    if (ListCell* cell = listCellAt(*record, row, column)) {
        cell->text = text;
        SendMessageW(record->hwnd, LVM_REDRAWITEMS, static_cast<WPARAM>(row), row);
    }
}

std::string Win32Platform::listCell(ControlId list, int row, int column) {
    const ControlRecord* record = findControl(list);
    if (record == nullptr || record->kind != ControlKind::ListView || row < 0 ||
        row >= rowCount(record->rows) || column < 0 || column >= record->listColumns) {
        return {};
    }
    const auto& cells = record->rows[static_cast<std::size_t>(row)];
    if (static_cast<std::size_t>(column) >= cells.size()) {
        return {};
    }
    return cells[static_cast<std::size_t>(column)].text;
}

void Win32Platform::setListCellColors(ControlId list, int row, int column,
                                      std::optional<Color> background,
                                      std::optional<Color> textColor) {
    ControlRecord* record = findControl(list);
    if (record == nullptr || record->kind != ControlKind::ListView) {
        return;
    }
    if (ListCell* cell = listCellAt(*record, row, column)) {
        cell->colors = CellColors{background, textColor};
        SendMessageW(record->hwnd, LVM_REDRAWITEMS, static_cast<WPARAM>(row), row);
    }
}

int Win32Platform::selectedListRow(ControlId list) {
    const ControlRecord* record = findControl(list);
    if (record == nullptr || record->kind != ControlKind::ListView) {
        return -1;
    }
    return static_cast<int>(
        SendMessageW(record->hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void Win32Platform::setListRows(ControlId list, std::vector<ListRowContent> rows) {
    ControlRecord* record = findControl(list);
    if (record == nullptr || record->kind != ControlKind::ListView) {
        return;
    }
    std::vector<std::vector<ListCell>> converted(rows.size());
    const std::size_t columns = static_cast<std::size_t>(std::max(record->listColumns, 1));
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const ListRowContent& cells = rows[row];
        auto& target = converted[row];
        target.reserve(std::min(cells.size(), columns));
        for (std::size_t column = 0; column < cells.size() && column < columns; ++column) {
            const ListCellContent& cell = cells[column];
            target.push_back(ListCell{cell.text, CellColors{cell.background, cell.textColor}});
        }
    }
    // Without rows first, so that the selection goes with the old rows, as in clearListRows;
    // then the new count, and the list view draws what it shows once.
    clearListRows(list);
    record->rows = std::move(converted);
    setListItemCount(*record, 0);
}

void Win32Platform::changeListCells(ControlId list, const std::vector<ListCellChange>& changes) {
    ControlRecord* record = findControl(list);
    if (record == nullptr || record->kind != ControlKind::ListView) {
        return;
    }
    bool changed = false;
    for (const ListCellChange& change : changes) {
        if (ListCell* cell = listCellAt(*record, change.row, change.column)) {
            cell->text = change.text;
            if (change.setColors) {
                cell->colors = CellColors{change.background, change.textColor};
            }
            changed = true;
        }
    }
    if (changed) {
        InvalidateRect(record->hwnd, nullptr, FALSE);
    }
}

void Win32Platform::listCellText(const ControlRecord& list, NMLVDISPINFOW* info) {
    if ((info->item.mask & LVIF_TEXT) == 0 || info->item.pszText == nullptr ||
        info->item.cchTextMax <= 0) {
        return;
    }
    const int row = info->item.iItem;
    const int column = info->item.iSubItem;
    std::wstring text;
    if (row >= 0 && row < rowCount(list.rows) && column >= 0) {
        const auto& cells = list.rows[static_cast<std::size_t>(row)];
        if (static_cast<std::size_t>(column) < cells.size()) {
            text = wide(cells[static_cast<std::size_t>(column)].text);
        }
    }
    const std::size_t room = static_cast<std::size_t>(info->item.cchTextMax) - 1;
    const std::size_t length = std::min(text.size(), room);
    if (length > 0) {
        std::wmemcpy(info->item.pszText, text.data(), length);
    }
    info->item.pszText[length] = L'\0';
}

// Typing a letter in the list moves to the next row whose first cell begins with what was
// typed, as a list view that holds its own rows does.
LRESULT Win32Platform::findListRow(const ControlRecord& list, const NMLVFINDITEMW* find) {
    if ((find->lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) == 0 || find->lvfi.psz == nullptr) {
        return -1;
    }
    const std::wstring wanted = find->lvfi.psz;
    const bool partial = (find->lvfi.flags & LVFI_PARTIAL) != 0;
    const int count = rowCount(list.rows);
    const int start = std::clamp(find->iStart, 0, std::max(count, 1) - 1);
    const int steps = (find->lvfi.flags & LVFI_WRAP) != 0 ? count : count - start;
    for (int step = 0; step < steps; ++step) {
        const int row = (start + step) % count;
        const auto& cells = list.rows[static_cast<std::size_t>(row)];
        const std::wstring first = cells.empty() ? std::wstring() : wide(cells[0].text);
        const bool found = partial
                               ? first.size() >= wanted.size() &&
                                     _wcsnicmp(first.c_str(), wanted.c_str(), wanted.size()) == 0
                               : _wcsicmp(first.c_str(), wanted.c_str()) == 0;
        if (found) {
            return row;
        }
    }
    return -1;
}

LRESULT Win32Platform::customDrawList(ControlRecord& list, NMLVCUSTOMDRAW* draw) {
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        // Every cell sets both colours, so that one cell's colours never carry over into the
        // cells drawn after it.
        draw->clrText = CLR_DEFAULT;
        draw->clrTextBk = CLR_DEFAULT;
        const auto row = static_cast<std::size_t>(draw->nmcd.dwItemSpec);
        const auto column = static_cast<std::size_t>(draw->iSubItem);
        if (row < list.rows.size() && column < list.rows[row].size()) {
            const CellColors& colors = list.rows[row][column].colors;
            if (colors.text) {
                draw->clrText = toColorRef(*colors.text);
            }
            if (colors.background) {
                draw->clrTextBk = toColorRef(*colors.background);
            }
        }
        return CDRF_NEWFONT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

LRESULT Win32Platform::listViewNotify(ControlRecord& list, LPARAM lParam) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->code == NM_CUSTOMDRAW) {
        return customDrawList(list, reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
    }
    if (header->code == LVN_GETDISPINFOW) {
        listCellText(list, reinterpret_cast<NMLVDISPINFOW*>(lParam));
        return 0;
    }
    if (header->code == LVN_ODFINDITEMW) {
        return findListRow(list, reinterpret_cast<const NMLVFINDITEMW*>(lParam));
    }
    if (header->code == NM_CLICK) {
        // A click counts even where it changes nothing (the selected row, the empty area).
        if (!list.clickReported) {
            pushControlEvent(list.hwnd, ControlEventType::Activated);
        }
        list.clickReported = true;
        list.reportedSelection = selectedListRow(controlIdByHwnd(list.hwnd));
    } else if (header->code == LVN_ITEMCHANGED) {
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
        if ((change->uChanged & LVIF_STATE) != 0 &&
            ((change->uOldState ^ change->uNewState) & LVIS_SELECTED) != 0) {
            listSelectionChanged(list);
        }
    }
    return 0;
}

void Win32Platform::listViewButtonDown(ControlRecord& list) {
    list.clickReported = false;
}

void Win32Platform::listSelectionChanged(ControlRecord& list) {
    if (list.selectionCheckPosted) {
        return;
    }
    list.selectionCheckPosted = PostMessageW(helper_, kCheckListSelectionMessage, 0,
                                             reinterpret_cast<LPARAM>(list.hwnd)) != FALSE;
}

void Win32Platform::checkListSelection(HWND hwnd) {
    ControlRecord* list = controlByHwnd(hwnd); // gone when its window closed meanwhile
    if (list == nullptr || list->kind != ControlKind::ListView) {
        return;
    }
    list->selectionCheckPosted = false;
    const int selection = selectedListRow(controlIdByHwnd(hwnd));
    if (selection == list->reportedSelection) {
        return;
    }
    list->reportedSelection = selection;
    list->clickReported = true;
    pushControlEvent(hwnd, ControlEventType::Activated);
}

// --- status bars

void Win32Platform::setStatusText(ControlId statusBar, int field, const std::string& text) {
    const ControlRecord* record = findControl(statusBar);
    if (record == nullptr || record->kind != ControlKind::StatusBar || field < 0 || field > 2) {
        return;
    }
    // The status bar itself understands the convention: one leading tab centres, two
    // right-align.
    const std::wstring converted = wide(text);
    SendMessageW(record->hwnd, SB_SETTEXTW, static_cast<WPARAM>(field),
                 reinterpret_cast<LPARAM>(converted.c_str()));
}

std::string Win32Platform::statusText(ControlId statusBar, int field) {
    const ControlRecord* record = findControl(statusBar);
    if (record == nullptr || record->kind != ControlKind::StatusBar || field < 0 || field > 2) {
        return {};
    }
    const auto length =
        LOWORD(SendMessageW(record->hwnd, SB_GETTEXTLENGTHW, static_cast<WPARAM>(field), 0));
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(record->hwnd, SB_GETTEXTW, static_cast<WPARAM>(field),
                 reinterpret_cast<LPARAM>(buffer.data()));
    buffer.resize(wcsnlen(buffer.c_str(), length));
    return narrow(buffer);
}

// --- events

void Win32Platform::pushEvent(const Event& event) {
    events_.push_back(event);
}

void Win32Platform::pushControlEvent(HWND control, ControlEventType type) {
    if (destroying_ > 0) {
        return;
    }
    const ControlId id = controlIdByHwnd(control);
    const ControlRecord* record = findControl(id);
    if (record == nullptr) {
        return;
    }
    Event event;
    event.kind = EventKind::Control;
    event.window = record->window;
    event.control = id;
    event.controlType = type;
    pushEvent(event);
}

bool Win32Platform::dispatchOneMessage() {
    MSG message{};
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        return false;
    }
    if (message.message == WM_QUIT) {
        // Not ours to end the loop; keep it for whoever asked for it.
        PostQuitMessage(static_cast<int>(message.wParam));
        return false;
    }
    if (message.hwnd != nullptr) {
        // Tab, Shift+Tab and the arrow keys move the focus inside every window of ours.
        HWND root = GetAncestor(message.hwnd, GA_ROOT);
        if (root != nullptr && windowByHwnd_.count(root) != 0 && IsDialogMessageW(root, &message)) {
            return true;
        }
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
    return true;
}

int Win32Platform::pumpPendingMessages() {
    int handled = 0;
    while (dispatchOneMessage()) {
        ++handled;
    }
    return handled;
}

std::optional<Event> Win32Platform::waitEvent(int timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(std::max(timeoutMs, 0));
    urgentEventHandled_ = false;
    for (;;) {
        while (events_.empty() && !urgentEventHandled_ && dispatchOneMessage()) {
        }
        if (urgentEventHandled_) {
            urgentEventHandled_ = false;
            return std::nullopt;
        }
        if (!events_.empty()) {
            Event event = events_.front();
            events_.pop_front();
            return event;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            return std::nullopt;
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
}

void Win32Platform::setUrgentEventHandler(std::function<void(const Event&)> handler) {
    urgentHandler_ = std::move(handler);
}

void Win32Platform::raiseUrgentEvent(const Event& event) {
    if (!urgentHandler_) {
        pushEvent(event);
        return;
    }
    // A copy: the handler may replace itself, and it may destroy the window whose procedure
    // is running.
    const std::function<void(const Event&)> handler = urgentHandler_;
    handler(event);
    urgentEventHandled_ = true;
}

LRESULT Win32Platform::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_QUERYENDSESSION:
        // Nothing needs asking: the lists are saved when the end comes. A question box would
        // be pointless, as the system does not wait for an answer.
        sessionEndRaised_ = false;
        return TRUE;
    case WM_ENDSESSION:
        // Handled before returning: the system may end the process right afterwards. FALSE
        // means another program refused, and the session goes on.
        if (wParam != FALSE && !sessionEndRaised_ && windowByHwnd(hwnd)) {
            sessionEndRaised_ = true;
            Event event;
            event.kind = EventKind::SessionEnd;
            raiseUrgentEvent(event);
        }
        return 0;
    case WM_CLOSE: {
        // The close box and the system menu only ask; the program decides.
        const WindowId id = windowByHwnd(hwnd);
        if (id) {
            Event event;
            event.kind = EventKind::CloseRequest;
            event.window = id;
            pushEvent(event);
        }
        return 0;
    }
    case WM_COMMAND: {
        if (lParam == 0) {
            const UINT command = LOWORD(wParam);
            const WindowId id = windowByHwnd(hwnd);
            if (HIWORD(wParam) == 0 && command >= kMenuCommandBase && id) {
                Event event;
                event.kind = EventKind::MenuCommand;
                event.window = id;
                event.menuItem = static_cast<int>(command - kMenuCommandBase);
                pushEvent(event);
            }
            return 0;
        }
        const ControlRecord* record = controlByHwnd(reinterpret_cast<HWND>(lParam));
        if (record == nullptr) {
            break;
        }
        controlCommand(*record, HIWORD(wParam));
        return 0;
    }
    case WM_NOTIFY: {
        ControlRecord* record = controlByHwnd(reinterpret_cast<const NMHDR*>(lParam)->hwndFrom);
        if (record == nullptr || record->kind != ControlKind::ListView) {
            break;
        }
        return listViewNotify(*record, lParam);
    }
    case WM_CTLCOLORSTATIC: {
        const ControlRecord* record = controlByHwnd(reinterpret_cast<HWND>(lParam));
        if (record != nullptr && record->kind == ControlKind::Label && record->labelColor) {
            return labelColors(*record, hwnd, wParam, lParam);
        }
        break;
    }
    case WM_ACTIVATE: {
        // Like a dialog: the control that had the focus gets it back when the window is
        // activated again.
        auto it = windowByHwnd_.find(hwnd);
        if (it == windowByHwnd_.end()) {
            break;
        }
        WindowRecord& record = windows_[it->second];
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus != nullptr && IsChild(hwnd, focus)) {
                record.savedFocus = focus;
            }
        } else if (HIWORD(wParam) == 0 && record.savedFocus != nullptr &&
                   IsWindow(record.savedFocus) && IsChild(hwnd, record.savedFocus)) {
            SetFocus(record.savedFocus);
            return 0;
        }
        break;
    }
    case kTrayMessage: {
        const WindowId id = windowByHwnd(hwnd);
        if (!id || !trayPresent_ || trayOwner_ != id) {
            return 0;
        }
        Event event;
        event.kind = EventKind::Tray;
        event.window = id;
        switch (LOWORD(lParam)) {
        case WM_LBUTTONUP:
            event.trayType = TrayEventType::LeftClick;
            break;
        case WM_RBUTTONUP:
            event.trayType = TrayEventType::RightClick;
            break;
        case WM_LBUTTONDBLCLK:
            event.trayType = TrayEventType::LeftDoubleClick;
            break;
        case WM_RBUTTONDBLCLK:
            event.trayType = TrayEventType::RightDoubleClick;
            break;
        case NIN_BALLOONUSERCLICK:
            event.trayType = TrayEventType::NotificationClick;
            break;
        default:
            return 0; // other mouse actions on the icon are of no interest
        }
        pushEvent(event);
        return 0;
    }
    default:
        if (message == taskbarCreatedMessage_ && message != 0) {
            // The shell restarted: the icon has to be added again.
            if (trayPresent_ && windowByHwnd(hwnd) == trayOwner_) {
                addTrayIconNow();
            }
            return 0;
        }
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT Win32Platform::controlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    ControlRecord* record = controlByHwnd(hwnd);
    switch (message) {
    case WM_KILLFOCUS:
        pushControlEvent(hwnd, ControlEventType::LostFocus);
        break;
    case WM_LBUTTONDOWN:
        if (record != nullptr && record->kind == ControlKind::ListView) {
            listViewButtonDown(*record);
        }
        break;
    case WM_CHAR:
        if (record != nullptr && record->kind == ControlKind::Edit &&
            editRefusesCharacter(*record, wParam)) {
            MessageBeep(MB_OK);
            return 0;
        }
        break;
    case WM_GETDLGCODE:
        if (record != nullptr && record->kind == ControlKind::TextArea) {
            return textAreaDialogCode(hwnd, message, wParam, lParam);
        }
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT Win32Platform::helperProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kRunTasksMessage:
        runTasks();
        return 0;
    case kShowPopupMessage:
        trackPendingPopup();
        return 0;
    case kCheckListSelectionMessage:
        checkListSelection(reinterpret_cast<HWND>(lParam));
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// --- tasks

void Win32Platform::postTask(std::function<void()> task) {
    if (!task) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(taskMutex_);
        tasks_.push_back(std::move(task));
    }
    if (!taskMessagePosted_.exchange(true)) {
        HWND target = taskTarget_.load();
        if (target == nullptr || !PostMessageW(target, kRunTasksMessage, 0, 0)) {
            taskMessagePosted_.store(false);
        }
    }
}

void Win32Platform::runTasks() {
    // Cleared first: a task posted while these run posts a new message.
    taskMessagePosted_.store(false);
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard<std::mutex> lock(taskMutex_);
            if (tasks_.empty()) {
                return;
            }
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        // One at a time: a task that opens a modal box lets later tasks run inside it, still
        // in posting order.
        task();
    }
}

bool Win32Platform::isUiThread() const {
    return GetCurrentThreadId() == uiThread_;
}

Clock& Win32Platform::clock() {
    return systemClock();
}

// --- modal dialogs

namespace {

// Modal to the program: every enabled window of ours is disabled while the box is open and
// enabled again afterwards.
class DisabledWindows {
  public:
    explicit DisabledWindows(std::vector<HWND> windows) {
        for (HWND hwnd : windows) {
            if (IsWindowEnabled(hwnd)) {
                EnableWindow(hwnd, FALSE);
                disabled_.push_back(hwnd);
            }
        }
    }
    ~DisabledWindows() {
        for (HWND hwnd : disabled_) {
            if (IsWindow(hwnd)) {
                EnableWindow(hwnd, TRUE);
            }
        }
    }
    DisabledWindows(const DisabledWindows&) = delete;
    DisabledWindows& operator=(const DisabledWindows&) = delete;

  private:
    std::vector<HWND> disabled_;
};

// A box owned by no window hands the activation to whatever window comes next when it
// closes; the window of ours that was active before gets it back instead.
class ActiveWindowKeeper {
  public:
    explicit ActiveWindowKeeper(const std::unordered_map<HWND, std::uint64_t>& ours)
        : active_(GetActiveWindow()) {
        if (active_ != nullptr && ours.count(active_) == 0) {
            active_ = nullptr;
        }
    }
    ~ActiveWindowKeeper() {
        if (active_ != nullptr && IsWindow(active_) && IsWindowVisible(active_) &&
            IsWindowEnabled(active_)) {
            SetForegroundWindow(active_);
            SetActiveWindow(active_);
        }
    }
    ActiveWindowKeeper(const ActiveWindowKeeper&) = delete;
    ActiveWindowKeeper& operator=(const ActiveWindowKeeper&) = delete;

  private:
    HWND active_;
};

} // namespace

MessageBoxAnswer Win32Platform::messageBox(const std::string& caption, const std::string& text,
                                           MessageBoxKind kind) {
    const UINT flags =
        MB_TASKMODAL | MB_SETFOREGROUND |
        (kind == MessageBoxKind::Question ? MB_YESNO | MB_ICONQUESTION : MB_OK | MB_ICONERROR);
    const ActiveWindowKeeper keeper(windowByHwnd_);
    const int answer = MessageBoxW(nullptr, wide(text).c_str(), wide(caption).c_str(), flags);
    if (kind == MessageBoxKind::Question) {
        return answer == IDYES ? MessageBoxAnswer::Yes : MessageBoxAnswer::No;
    }
    return MessageBoxAnswer::Ok;
}

std::string Win32Platform::inputBox(const std::string& caption, const std::string& prompt,
                                    const std::string& defaultText) {
    DialogTemplate dialog;
    dialog.header(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT |
                      DS_SETFOREGROUND,
                  4, 230, 78, L"MS Shell Dlg", 8);
    dialog.item(SS_LEFT | SS_NOPREFIX, 7, 7, 216, 24, kInputPromptId, 0x0082);
    dialog.item(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 36, 216, 13, kInputEditId, 0x0081);
    dialog.item(BS_DEFPUSHBUTTON | WS_TABSTOP, 116, 57, 50, 14, IDOK, 0x0080);
    dialog.item(BS_PUSHBUTTON | WS_TABSTOP, 173, 57, 50, 14, IDCANCEL, 0x0080);

    InputBoxState state;
    state.caption = wide(caption);
    state.prompt = wide(prompt);
    state.defaultText = wide(defaultText);

    std::vector<HWND> ours;
    for (const auto& [id, window] : windows_) {
        ours.push_back(window.hwnd);
    }
    INT_PTR result = -1;
    {
        const ActiveWindowKeeper keeper(windowByHwnd_);
        DisabledWindows modal(ours);
        result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.data(), nullptr,
                                         inputBoxProc, reinterpret_cast<LPARAM>(&state));
    }
    if (result != IDOK) {
        return {};
    }
    // The field edits through the wide API; what CP1252 cannot hold becomes "?".
    return narrow(state.result);
}

// --- clipboard

bool Win32Platform::setClipboardText(const std::string& text) {
    // Another program may hold the clipboard for a moment.
    bool opened = false;
    for (int attempt = 0; attempt < 5 && !opened; ++attempt) {
        opened = OpenClipboard(helper_) != FALSE;
        if (!opened) {
            Sleep(10);
        }
    }
    if (!opened) {
        return false;
    }
    EmptyClipboard();
    const std::wstring unicode = wide(text);
    bool ok = true;
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (unicode.size() + 1) * sizeof(wchar_t))) {
        if (void* target = GlobalLock(memory)) {
            std::memcpy(target, unicode.c_str(), (unicode.size() + 1) * sizeof(wchar_t));
            GlobalUnlock(memory);
            if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) {
                GlobalFree(memory);
                ok = false;
            }
        } else {
            GlobalFree(memory);
            ok = false;
        }
    } else {
        ok = false;
    }
    // The CP1252 bytes as well, so that programs reading CF_TEXT get them unchanged rather
    // than converted through whatever the machine's code page is.
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
        if (void* target = GlobalLock(memory)) {
            std::memcpy(target, text.c_str(), text.size() + 1);
            GlobalUnlock(memory);
            if (SetClipboardData(CF_TEXT, memory) == nullptr) {
                GlobalFree(memory);
            }
        } else {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
    return ok;
}

// --- tray icon and popup menu

bool Win32Platform::addTrayIconNow() {
    const WindowRecord* owner = findWindow(trayOwner_);
    if (owner == nullptr) {
        return false;
    }
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner->hwnd;
    data.uID = kTrayIconId;
    data.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    data.uCallbackMessage = kTrayMessage;
    data.hIcon = programIcon(GetSystemMetrics(SM_CXSMICON));
    const std::size_t length = std::min(trayTooltip_.size(), std::size(data.szTip) - 1);
    std::copy_n(trayTooltip_.c_str(), length, data.szTip);
    data.szTip[length] = L'\0';
    return Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
}

bool Win32Platform::addTrayIcon(WindowId owner, const std::string& tooltip) {
    if (findWindow(owner) == nullptr) {
        return false;
    }
    removeTrayIcon();
    trayOwner_ = owner;
    trayTooltip_ = wide(tooltip);
    trayPresent_ = addTrayIconNow();
    if (!trayPresent_) {
        trayOwner_ = WindowId{};
        trayTooltip_.clear();
    }
    return trayPresent_;
}

void Win32Platform::removeTrayIcon() {
    if (!trayPresent_) {
        return;
    }
    if (const WindowRecord* owner = findWindow(trayOwner_)) {
        NOTIFYICONDATAW data{};
        data.cbSize = sizeof data;
        data.hWnd = owner->hwnd;
        data.uID = kTrayIconId;
        Shell_NotifyIconW(NIM_DELETE, &data);
    }
    trayPresent_ = false;
    trayOwner_ = WindowId{};
    trayTooltip_.clear();
}

namespace {

// Cut to the field of the shell's record, which ends with a zero.
template <std::size_t Size> void copyCut(const std::wstring& text, wchar_t (&field)[Size]) {
    const std::size_t length = std::min(text.size(), Size - 1);
    std::copy_n(text.c_str(), length, field);
    field[length] = L'\0';
}

} // namespace

void Win32Platform::showTrayNotification(const TrayNotification& notification) {
    const WindowRecord* owner = trayPresent_ ? findWindow(trayOwner_) : nullptr;
    if (owner == nullptr) {
        return;
    }
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner->hwnd;
    data.uID = kTrayIconId;
    data.uFlags = NIF_INFO;
    copyCut(wide(notification.title), data.szInfoTitle);
    copyCut(wide(notification.text), data.szInfo);
    data.dwInfoFlags = NIIF_USER | NIIF_LARGE_ICON | (notification.sound ? 0 : NIIF_NOSOUND);
    data.hBalloonIcon = programIcon(GetSystemMetrics(SM_CXICON));
    if (Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE) {
        trayNotification_ = notification;
    }
}

MenuId Win32Platform::createPopupMenu(const std::vector<MenuItem>& items) {
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) {
        return {};
    }
    for (const MenuItem& item : items) {
        if (item.separator) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        } else {
            AppendMenuW(menu, MF_STRING, kMenuCommandBase + static_cast<UINT>(item.item),
                        wide(item.text).c_str());
        }
    }
    const MenuId id{nextHandle_++};
    menus_[id.value] = menu;
    return id;
}

void Win32Platform::destroyPopupMenu(MenuId menu) {
    auto it = menus_.find(menu.value);
    if (it == menus_.end()) {
        return;
    }
    if (popup_.menu == it->second) {
        popup_ = PendingPopup{};
    }
    DestroyMenu(it->second);
    menus_.erase(it);
}

void Win32Platform::showPopupMenu(MenuId menu, WindowId owner) {
    auto it = menus_.find(menu.value);
    if (it == menus_.end() || findWindow(owner) == nullptr || popup_.tracking) {
        return;
    }
    // The menu is tracked from the message loop, not from here: tracking is a modal loop of
    // its own, and the caller is usually an event handler that should return first.
    popup_.pending = true;
    popup_.menu = it->second;
    popup_.owner = owner;
    GetCursorPos(&popup_.at);
    PostMessageW(helper_, kShowPopupMessage, 0, 0);
}

void Win32Platform::trackPendingPopup() {
    if (!popup_.pending) {
        return;
    }
    const WindowRecord* owner = findWindow(popup_.owner);
    if (owner == nullptr) {
        popup_ = PendingPopup{};
        return;
    }
    popup_.pending = false;
    popup_.tracking = true;
    HWND ownerHwnd = owner->hwnd;
    // Without the foreground the menu would not close when the user clicks elsewhere, and
    // without the WM_NULL afterwards the next menu would close at once.
    SetForegroundWindow(ownerHwnd);
    TrackPopupMenuEx(popup_.menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, popup_.at.x, popup_.at.y,
                     ownerHwnd, nullptr);
    PostMessageW(ownerHwnd, WM_NULL, 0, 0);
    popup_ = PendingPopup{};
}

// --- text editor

void Win32Platform::openInTextEditor(const std::string& path) {
    const std::wstring file = wide(path);
    std::wstring commandLine = L"\"" + options_.editorProgram + L"\" \"" + file + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process)) {
        // Not waited for: the editor lives on its own.
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        editorLaunches_.push_back(path);
        return;
    }
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result > 32) {
        editorLaunches_.push_back(path);
    }
}

} // namespace reef::platform::win32
