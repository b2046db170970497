// What only the real user interface can show: window styles and sizes, fonts, the common
// controls' own styles, CP1252 at the edge of the wide API, the clipboard formats, modal
// boxes that keep running posted tasks, and the editor's command line.

#include "platform/conformance/backend_under_test.h"
#include "platform/win32/test_paths.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_ui_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <thread>

namespace reef::platform::win32 {
namespace {

class Win32Native : public ::testing::Test {
  protected:
    void SetUp() override {
        backend_ = conformance::makeBackendUnderTest();
        platform_ = static_cast<Win32Platform*>(backend_.platform.get());
        driver_ = static_cast<Win32UiDriver*>(backend_.driver.get());
    }

    Win32Platform& ui() { return *platform_; }
    Win32UiDriver& driver() { return *driver_; }

    std::vector<Event> drain() {
        std::vector<Event> events;
        int quiet = 0;
        while (quiet < 3) {
            if (std::optional<Event> event = ui().waitEvent(20)) {
                events.push_back(*event);
                quiet = 0;
            } else {
                ++quiet;
            }
        }
        return events;
    }

    // Pumps until the condition holds; false after about ten seconds.
    bool pumpUntil(const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            ui().waitEvent(20);
        }
        return true;
    }

    LONG style(ControlId control) { return GetWindowLongW(ui().controlHandle(control), GWL_STYLE); }

    conformance::BackendUnderTest backend_;
    Win32Platform* platform_ = nullptr;
    Win32UiDriver* driver_ = nullptr;
};

// --- windows

TEST_F(Win32Native, WindowHasTitleBarSystemMenuMinimiseBoxAndNoSizing) {
    const WindowId window = ui().openWindow("Reef - Tools", 200, 210);
    HWND hwnd = ui().windowHandle(window);
    ASSERT_NE(hwnd, nullptr);
    const LONG windowStyle = GetWindowLongW(hwnd, GWL_STYLE);
    EXPECT_EQ(windowStyle & WS_CAPTION, WS_CAPTION);
    EXPECT_NE(windowStyle & WS_SYSMENU, 0);
    EXPECT_NE(windowStyle & WS_MINIMIZEBOX, 0);
    EXPECT_EQ(windowStyle & WS_MAXIMIZEBOX, 0);
    EXPECT_EQ(windowStyle & WS_THICKFRAME, 0);
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 200);
    EXPECT_EQ(client.bottom, 210);
}

TEST_F(Win32Native, WindowIsCentredOnTheWorkArea) {
    const WindowId window = ui().openWindow("Reef - Tools: ETA-Plan", 300, 400);
    RECT outer{};
    GetWindowRect(ui().windowHandle(window), &outer);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR((outer.left + outer.right) / 2.0, (work.left + work.right) / 2.0, 1.0);
    EXPECT_NEAR((outer.top + outer.bottom) / 2.0, (work.top + work.bottom) / 2.0, 1.0);
}

TEST_F(Win32Native, WindowCarriesTheProgramIcon) {
    const WindowId window = ui().openWindow("Reef - Tools", 200, 210);
    HWND hwnd = ui().windowHandle(window);
    const auto big = reinterpret_cast<HICON>(GetClassLongPtrW(hwnd, GCLP_HICON));
    ASSERT_NE(big, nullptr);
    if (HICON resource = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1))) {
        // Linked with the program's resources: that icon and no other.
        EXPECT_EQ(big, resource);
    }
}

// --- controls

TEST_F(Win32Native, EveryControlUsesTheDefaultGuiFont) {
    const WindowId window = ui().openWindow("Reef - Tools: Test", 640, 230);
    const HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    const std::vector<ControlId> controls = {
        ui().createButton(window, Rect{5, 5, 100, 25}, "Knopf"),
        ui().createLabel(window, Rect{5, 35, 100, 17}, "Text", {}),
        ui().createEdit(window, Rect{5, 55, 100, 17}, "", {}),
        ui().createTextArea(window, Rect{110, 5, 200, 80}, ""),
        ui().createDropDown(window, Rect{5, 75, 100, 20}, 80),
        ui().createFrame(window, Rect{320, 5, 100, 80}, "Rahmen"),
        ui().createListView(window, Rect{0, 100, 640, 80}),
        ui().createStatusBar(window, 200, 200, 300),
    };
    for (ControlId control : controls) {
        ASSERT_TRUE(control);
        EXPECT_EQ(
            reinterpret_cast<HFONT>(SendMessageW(ui().controlHandle(control), WM_GETFONT, 0, 0)),
            font);
    }
}

TEST_F(Win32Native, ControlsCarryTheStylesOfTheirKind) {
    const WindowId window = ui().openWindow("Reef - Tools: Test", 640, 300);
    const ControlId digits =
        ui().createEdit(window, Rect{5, 5, 80, 18}, "", EditStyle{.digitsOnly = true});
    const ControlId readOnly =
        ui().createEdit(window, Rect{5, 25, 80, 18}, "", EditStyle{.readOnly = true});
    const ControlId masked =
        ui().createEdit(window, Rect{5, 45, 80, 18}, "", EditStyle{.masked = true});
    const ControlId area = ui().createTextArea(window, Rect{100, 5, 200, 80}, "");
    const ControlId centred = ui().createLabel(
        window, Rect{5, 70, 80, 18}, "Gesamt",
        LabelStyle{.align = TextAlign::Center, .sunken = true, .textColor = std::nullopt});
    const ControlId right = ui().createLabel(
        window, Rect{5, 90, 80, 18},
        "Ziel:", LabelStyle{.align = TextAlign::Right, .sunken = false, .textColor = std::nullopt});
    const ControlId list = ui().createListView(window, Rect{0, 120, 640, 153});

    EXPECT_NE(style(digits) & ES_NUMBER, 0);
    EXPECT_NE(style(readOnly) & ES_READONLY, 0);
    EXPECT_EQ(style(readOnly) & ES_NUMBER, 0);
    EXPECT_NE(style(masked) & ES_PASSWORD, 0);
    EXPECT_NE(style(area) & ES_MULTILINE, 0);
    EXPECT_NE(style(area) & ES_READONLY, 0);
    EXPECT_NE(style(area) & WS_VSCROLL, 0);
    EXPECT_NE(style(area) & WS_HSCROLL, 0);
    EXPECT_EQ(style(centred) & SS_TYPEMASK, SS_CENTER);
    EXPECT_NE(style(centred) & SS_SUNKEN, 0);
    EXPECT_EQ(style(right) & SS_TYPEMASK, SS_RIGHT);
    EXPECT_EQ(style(right) & SS_SUNKEN, 0);
    EXPECT_EQ(style(list) & LVS_TYPEMASK, LVS_REPORT);
    EXPECT_NE(style(list) & LVS_SINGLESEL, 0);
    EXPECT_NE(style(list) & LVS_SHOWSELALWAYS, 0);
    const auto extended =
        SendMessageW(ui().controlHandle(list), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    EXPECT_NE(extended & LVS_EX_GRIDLINES, 0);
    EXPECT_NE(extended & LVS_EX_FULLROWSELECT, 0);
}

TEST_F(Win32Native, StatusBarFieldsHaveTheGivenWidths) {
    const WindowId window = ui().openWindow("Reef - Tools: Test", 800, 230);
    const ControlId status = ui().createStatusBar(window, 200, 200, 300);
    int edges[4] = {};
    ASSERT_EQ(
        SendMessageW(ui().controlHandle(status), SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)),
        3);
    EXPECT_EQ(edges[0], 200);
    EXPECT_EQ(edges[1], 400);
    EXPECT_EQ(edges[2], 700);
}

TEST_F(Win32Native, LastStatusFieldEndsAtTheWindowEdgeWhenTheFieldsAreWider) {
    // 200 + 200 + 300 in a list window 640 wide: the right-aligned "Status: " text of the
    // last field must stay inside the window.
    const WindowId window = ui().openWindow("Reef - Tools: Verbündete Flotten", 640, 230);
    const ControlId status = ui().createStatusBar(window, 200, 200, 300);
    HWND hwnd = ui().controlHandle(status);
    int edges[4] = {};
    ASSERT_EQ(SendMessageW(hwnd, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)), 3);
    EXPECT_EQ(edges[0], 200);
    EXPECT_EQ(edges[1], 400);
    RECT field{};
    ASSERT_TRUE(SendMessageW(hwnd, SB_GETRECT, 2, reinterpret_cast<LPARAM>(&field)));
    RECT client{};
    GetClientRect(ui().windowHandle(window), &client);
    EXPECT_LE(field.right, client.right);
    EXPECT_GE(field.right, client.right - 4);
}

TEST_F(Win32Native, TextsCrossTheWideApiAsCodePage1252) {
    // Bytes 0x80 to 0x9F are where CP1252 differs from Latin-1 and from other code pages.
    const WindowId window = ui().openWindow("Reef - Tools: Flottenverhältnis", 300, 100);
    const ControlId edit = ui().createEdit(window, Rect{5, 5, 200, 20}, "", {});
    ui().setText(edit, "5 \x80 \x8A\x9F \xE4\xDF");
    wchar_t buffer[32] = {};
    GetWindowTextW(ui().controlHandle(edit), buffer, 32);
    EXPECT_EQ(std::wstring(buffer), L"5 \u20AC \u0160\u0178 \u00E4\u00DF");
    EXPECT_EQ(ui().text(edit), "5 \x80 \x8A\x9F \xE4\xDF");
    wchar_t title[64] = {};
    GetWindowTextW(ui().windowHandle(window), title, 64);
    EXPECT_EQ(std::wstring(title), L"Reef - Tools: Flottenverh\u00E4ltnis");
    // A character without a CP1252 form, typed by the user, reads back as "?".
    SetWindowTextW(ui().controlHandle(edit), L"\u0416");
    EXPECT_EQ(ui().text(edit), "?");
}

TEST_F(Win32Native, TheTrayIconsNotificationGoesToTheShellAndItsClickComesBack) {
    const WindowId owner = ui().openWindow("Reef - Tools", 200, 100);
    ui().showTrayNotification({"Titel", "ohne Symbol", true}); // no icon yet: nothing
    EXPECT_EQ(ui().trayState().notificationText, "");
    ASSERT_TRUE(ui().addTrayIcon(owner, "Reef-Tool"));
    // A text longer than the shell's field is cut, never overrun.
    ui().showTrayNotification({"Angriff auf dich!", std::string(300, 'x') + "\xE4", false});
    EXPECT_EQ(ui().trayState().notificationTitle, "Angriff auf dich!");
    EXPECT_EQ(ui().trayState().notificationText, std::string(300, 'x') + "\xE4");
    drain();
    driver().clickTray(TrayEventType::NotificationClick);
    const std::vector<Event> events = drain();
    EXPECT_TRUE(std::any_of(events.begin(), events.end(), [&](const Event& e) {
        return e.kind == EventKind::Tray && e.window == owner &&
               e.trayType == TrayEventType::NotificationClick;
    }));
    ui().removeTrayIcon();
}

TEST_F(Win32Native, ClipboardHoldsUnicodeTextAndTheCp1252Bytes) {
    ui().openWindow("Reef - Tools: ETA-Plan", 300, 100);
    const std::string text = "ETA-Plan \x80 Flottenverh\xE4ltnis\r\nZeile 2";
    ASSERT_TRUE(ui().setClipboardText(text));
    ASSERT_TRUE(OpenClipboard(nullptr));
    std::string ansi;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        ansi = static_cast<const char*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    std::wstring unicode;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        unicode = static_cast<const wchar_t*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    EXPECT_EQ(ansi, text);
    EXPECT_EQ(unicode, L"ETA-Plan \u20AC Flottenverh\u00E4ltnis\r\nZeile 2");
}

TEST_F(Win32Native, DialogKeysInAWindowAreNoMenuCommands) {
    // Enter and Escape make the window's dialog navigation send IDOK and IDCANCEL; they must
    // not look like the popup menu's items 1 and 2.
    const WindowId window = ui().openWindow("Reef - Tools", 200, 210);
    const ControlId edit = ui().createEdit(window, Rect{5, 5, 100, 20}, "", {});
    driver().focus(edit);
    drain();
    PostMessageW(ui().controlHandle(edit), WM_KEYDOWN, VK_RETURN, 0x001C0001);
    PostMessageW(ui().controlHandle(edit), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    for (const Event& event : drain()) {
        EXPECT_NE(event.kind, EventKind::MenuCommand) << event.menuItem;
    }
}

TEST_F(Win32Native, TabLeavesTheReadOnlyTextArea) {
    const WindowId window = ui().openWindow("Reef - Tools: ETA-Plan", 300, 400);
    const ControlId button = ui().createButton(window, Rect{5, 130, 145, 25}, "Plan erstellen");
    const ControlId area =
        ui().createTextArea(window, Rect{0, 160, 300, 240}, "keine Daten vorhanden");
    driver().focus(area);
    ASSERT_EQ(ui().focusedControl(), area);
    driver().pressTab();
    EXPECT_EQ(ui().focusedControl(), button);
    EXPECT_EQ(ui().text(area), "keine Daten vorhanden");
}

TEST_F(Win32Native, ClickOnADropDownFocusesItWithoutChoosing) {
    const WindowId window = ui().openWindow("Reef - Tools: Test", 445, 242);
    const ControlId edit = ui().createEdit(window, Rect{70, 25, 100, 17}, "", {});
    const ControlId drop = ui().createDropDown(window, Rect{70, 110, 100, 20}, 80);
    for (const char* item : {"n/a", "Verteidigen", "Angreifen"}) {
        ui().addDropDownItem(drop, item);
    }
    ui().setDropDownSelection(drop, 1);
    driver().focus(edit);
    drain();
    driver().click(drop);
    const std::vector<Event> events = drain();
    EXPECT_EQ(ui().focusedControl(), drop);
    EXPECT_EQ(ui().dropDownSelection(drop), 1);
    for (const Event& event : events) {
        EXPECT_FALSE(event.control == drop && event.controlType == ControlEventType::Activated);
    }
    EXPECT_EQ(GetCapture(), nullptr); // the list is closed again and holds no mouse capture
}

TEST_F(Win32Native, SlowClickOnAListRowIsStillOneEvent) {
    // A real click leaves time between pressing and releasing the button: the selection
    // change is reported before the list view's click notification arrives.
    const WindowId window = ui().openWindow("Reef - Tools: Liste", 640, 230);
    const ControlId list = ui().createListView(window, Rect{0, 0, 640, 153});
    ui().addListColumn(list, "Name", 100);
    for (int row = 0; row < 3; ++row) {
        ui().addListRow(list);
        ui().setListCell(list, row, 0, "Zeile " + std::to_string(row));
    }
    HWND hwnd = ui().controlHandle(list);
    RECT item{};
    item.left = LVIR_LABEL;
    ASSERT_TRUE(SendMessageW(hwnd, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item)));
    const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    drain();

    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    const std::vector<Event> pressed = drain();
    PostMessageW(hwnd, WM_LBUTTONUP, 0, at);
    const std::vector<Event> released = drain();

    const auto activations = [list](const std::vector<Event>& events) {
        return std::count_if(events.begin(), events.end(), [list](const Event& event) {
            return event.kind == EventKind::Control && event.control == list &&
                   event.controlType == ControlEventType::Activated;
        });
    };
    EXPECT_EQ(ui().selectedListRow(list), 1);
    EXPECT_EQ(activations(pressed) + activations(released), 1);
    EXPECT_EQ(activations(pressed), 1) << "the selection change is not held back for the click";
}

// The list view asks for the cells it draws: scrolled into the middle of a long list, every
// row it shows is drawn in the colours of that row, not of the row that was there before.
TEST_F(Win32Native, ScrolledLongListDrawsEachRowInItsOwnColours) {
    const WindowId window = ui().openWindow("Reef - Tools: Test", 640, 230);
    const ControlId list = ui().createListView(window, Rect{0, 0, 640, 153});
    ui().addListColumn(list, "Hilfe-/ Status", 80);
    ui().addListColumn(list, "Name", 100);
    const auto colourOf = [](int row) {
        return rgb(255, static_cast<std::uint8_t>(row * 37 % 256),
                   static_cast<std::uint8_t>(row % 200));
    };
    std::vector<ListRowContent> rows(2000);
    for (int row = 0; row < 2000; ++row) {
        rows[row] = {{"Spieler_" + std::to_string(row)}, {"", colourOf(row)}};
    }
    ui().setListRows(list, std::move(rows));
    HWND hwnd = ui().controlHandle(list);
    SendMessageW(hwnd, LVM_ENSUREVISIBLE, 1000, FALSE);
    UpdateWindow(hwnd);
    drain();

    const int top = static_cast<int>(SendMessageW(hwnd, LVM_GETTOPINDEX, 0, 0));
    const int shown = static_cast<int>(SendMessageW(hwnd, LVM_GETCOUNTPERPAGE, 0, 0));
    ASSERT_GT(top, 900);
    ASSERT_GT(shown, 2);
    HDC dc = GetDC(hwnd);
    for (int row = top; row < top + shown; ++row) {
        RECT cell{};
        cell.top = 1; // the column
        cell.left = LVIR_BOUNDS;
        ASSERT_TRUE(SendMessageW(hwnd, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row),
                                 reinterpret_cast<LPARAM>(&cell)));
        const COLORREF drawn = GetPixel(dc, cell.right - 5, (cell.top + cell.bottom) / 2);
        const Color wanted = colourOf(row);
        EXPECT_EQ(drawn, RGB(wanted.r, wanted.g, wanted.b)) << "row " << row;
        EXPECT_EQ(ui().listCell(list, row, 0), "Spieler_" + std::to_string(row));
    }
    ReleaseDC(hwnd, dc);
}

TEST_F(Win32Native, SessionEndIsRaisedOnlyWhenTheSessionReallyEnds) {
    const WindowId window = ui().openWindow("Reef - Tools", 200, 210);
    HWND hwnd = ui().windowHandle(window);
    drain();
    int handled = 0;
    ui().setUrgentEventHandler([&](const Event&) { ++handled; });

    EXPECT_NE(SendMessageW(hwnd, WM_QUERYENDSESSION, 0, 0), 0) << "consent, without a question";
    EXPECT_EQ(handled, 0) << "asking is not ending: another program may still refuse";
    SendMessageW(hwnd, WM_ENDSESSION, FALSE, 0);
    EXPECT_EQ(handled, 0) << "the session goes on";

    SendMessageW(hwnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
    SendMessageW(hwnd, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_EQ(handled, 1);
    EXPECT_TRUE(drain().empty());
    ui().setUrgentEventHandler({});
}

TEST_F(Win32Native, SessionEndDuringTheWaitEndsTheWait) {
    // The system sends the messages from outside; they arrive while the program waits.
    const WindowId window = ui().openWindow("Reef - Tools", 200, 210);
    HWND hwnd = ui().windowHandle(window);
    drain();
    int handled = 0;
    ui().setUrgentEventHandler([&](const Event&) { ++handled; });
    std::thread system([hwnd] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        SendMessageW(hwnd, WM_QUERYENDSESSION, 0, 0);
        SendMessageW(hwnd, WM_ENDSESSION, TRUE, 0);
    });
    const auto start = std::chrono::steady_clock::now();
    const std::optional<Event> event = ui().waitEvent(20000);
    const auto waited = std::chrono::steady_clock::now() - start;
    system.join();
    EXPECT_FALSE(event);
    EXPECT_EQ(handled, 1);
    EXPECT_LT(waited, std::chrono::seconds(10)) << "the wait ends with the handled event";
    ui().setUrgentEventHandler({});
}

TEST_F(Win32Native, PopupMenuClosesAfterTheChoice) {
    const WindowId owner = ui().openWindow("Reef - Tools", 200, 210);
    const MenuId menu = ui().createPopupMenu(
        {{0, "ETA-Plan erstellen", false}, {-1, "", true}, {6, "Programm beenden", false}});
    ui().showPopupMenu(menu, owner);
    driver().choosePopupItem(6);
    std::vector<Event> events = drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, EventKind::MenuCommand);
    EXPECT_EQ(events[0].menuItem, 6);
    EXPECT_EQ(FindWindowW(L"#32768", nullptr) == nullptr ||
                  !IsWindowVisible(FindWindowW(L"#32768", nullptr)),
              true);
    EXPECT_FALSE(driver().isPopupMenuShown());
}

// --- modal boxes and posted tasks

TEST_F(Win32Native, TasksRunWhileAMessageBoxIsOpenAndTheWindowsAreDisabled) {
    const WindowId window = ui().openWindow("Reef - Tools", 200, 210);
    HWND hwnd = ui().windowHandle(window);
    driver().holdDialogs(true);
    std::atomic<bool> ranInsideBox{false};
    std::atomic<bool> windowWasDisabled{false};
    std::atomic<bool> gaveUp{false};
    std::thread worker([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (driver().openDialogCount() == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                gaveUp = true;
                driver().holdDialogs(false);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::atomic<bool> ran{false};
        ui().postTask([&] {
            ranInsideBox = driver().openDialogCount() > 0;
            windowWasDisabled = !IsWindowEnabled(hwnd);
            ran = true;
        });
        while (!ran && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        driver().holdDialogs(false);
    });
    const MessageBoxAnswer answer = ui().messageBox(
        "Error: Reef - Tools", "Konnte Daten für Proxy nicht laden!", MessageBoxKind::Error);
    worker.join();
    ASSERT_FALSE(gaveUp.load());
    EXPECT_EQ(answer, MessageBoxAnswer::Ok);
    EXPECT_TRUE(ranInsideBox.load());
    EXPECT_TRUE(windowWasDisabled.load());
    EXPECT_TRUE(IsWindowEnabled(hwnd)); // enabled again afterwards
}

TEST_F(Win32Native, TasksRunWhileTheInputRequesterIsOpen) {
    const WindowId window = ui().openWindow("Reef - Tools: Verbündete Flotten", 640, 230);
    const WindowId disabledBefore = ui().openWindow("Reef - Tools: Attgrenze", 200, 80);
    ui().setWindowEnabled(disabledBefore, false);
    HWND hwnd = ui().windowHandle(window);
    driver().queueInputBoxAnswer("Passwort1");
    driver().holdDialogs(true);
    std::atomic<bool> ranInsideBox{false};
    std::atomic<bool> windowWasDisabled{false};
    std::wstring okText;     // written by the task, read after the join
    std::wstring cancelText; // likewise
    std::thread worker([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (driver().openDialogCount() == 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::atomic<bool> ran{false};
        ui().postTask([&] {
            ranInsideBox = driver().openDialogCount() > 0;
            windowWasDisabled = !IsWindowEnabled(hwnd);
            if (HWND box = FindWindowW(L"#32770", L"Reef - Tools")) {
                wchar_t text[32] = {};
                GetDlgItemTextW(box, IDOK, text, 32);
                okText = text;
                GetDlgItemTextW(box, IDCANCEL, text, 32);
                cancelText = text;
            }
            ran = true;
        });
        while (!ran && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        driver().holdDialogs(false);
    });
    const std::string answer =
        ui().inputBox("Reef - Tools", "Bitte Passwort angeben (siehe Forum):", "");
    worker.join();
    EXPECT_EQ(answer, "Passwort1");
    EXPECT_EQ(okText, L"OK");
    EXPECT_EQ(cancelText, L"Abbrechen");
    EXPECT_TRUE(ranInsideBox.load());
    EXPECT_TRUE(windowWasDisabled.load());
    EXPECT_TRUE(IsWindowEnabled(hwnd));
    // A window the program had disabled stays disabled.
    EXPECT_FALSE(ui().isWindowEnabled(disabledBefore));
}

TEST_F(Win32Native, TheActiveWindowIsActiveAgainAfterABox) {
    const WindowId first = ui().openWindow("Reef - Tools", 200, 210);
    const WindowId second = ui().openWindow("Reef - Tools: Attgrenze", 200, 80);
    const ControlId points = ui().createEdit(second, Rect{85, 28, 110, 18}, "", {});
    driver().typeText(points, "12");
    drain();
    ASSERT_EQ(GetActiveWindow(), ui().windowHandle(second));
    driver().queueMessageBoxAnswer(MessageBoxAnswer::No);
    ui().messageBox("Reef - Tools", "Programm wirklich beenden?", MessageBoxKind::Question);
    drain();
    EXPECT_EQ(GetActiveWindow(), ui().windowHandle(second));
    EXPECT_EQ(ui().focusedControl(), points);
    ui().inputBox("Reef - Tools", "Bitte Passwort angeben:", "");
    drain();
    EXPECT_EQ(GetActiveWindow(), ui().windowHandle(second));
    EXPECT_TRUE(ui().isWindowEnabled(first));
}

// --- text editor

TEST_F(Win32Native, EditorGetsTheFileNameAsOneArgument) {
    std::remove("editor_probe.log");
    ui().openInTextEditor("Hilfe mit Leerzeichen.txt");
    ASSERT_EQ(driver().filesOpenedInEditor(),
              (std::vector<std::string>{"Hilfe mit Leerzeichen.txt"}));
    // The editor runs on its own; wait for it to have written its argument.
    std::string logged;
    const bool arrived = pumpUntil([&] {
        std::ifstream log("editor_probe.log", std::ios::binary);
        std::stringstream content;
        content << log.rdbuf();
        logged = content.str();
        return !logged.empty();
    });
    ASSERT_TRUE(arrived);
    EXPECT_EQ(logged, "Hilfe mit Leerzeichen.txt\n");
    std::remove("editor_probe.log");
}

namespace {

struct FoundWindow {
    std::wstring titleStart;
    HWND hwnd = nullptr;
};

BOOL CALLBACK findByTitleStart(HWND hwnd, LPARAM data) {
    auto* found = reinterpret_cast<FoundWindow*>(data);
    wchar_t title[256] = {};
    GetWindowTextW(hwnd, title, 256);
    if (IsWindowVisible(hwnd) && std::wstring(title).rfind(found->titleStart, 0) == 0) {
        found->hwnd = hwnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

TEST(Win32Editor, WithoutTheEditorTheShellOpensTheFile) {
    // No editor program: the shell's "open" action for the file takes over (under Wine and
    // on a plain Windows that is the system's text editor, which is closed again here).
    Win32Options options;
    options.editorProgram = L"reef_no_such_editor.exe";
    Win32Platform ui(options);
    const std::string file = "shell_fallback_probe.txt";
    {
        std::ofstream out(file, std::ios::binary);
        out << "Hilfe\r\n";
    }
    ui.openInTextEditor(file);
    EXPECT_EQ(ui.editorLaunches(), (std::vector<std::string>{file}));
    FoundWindow found{L"shell_fallback_probe", nullptr};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (found.hwnd == nullptr && std::chrono::steady_clock::now() < deadline) {
        ui.waitEvent(50);
        EnumWindows(findByTitleStart, reinterpret_cast<LPARAM>(&found));
    }
    EXPECT_NE(found.hwnd, nullptr) << "no window shows the file";
    if (found.hwnd != nullptr) {
        DWORD process = 0;
        GetWindowThreadProcessId(found.hwnd, &process);
        PostMessageW(found.hwnd, WM_CLOSE, 0, 0);
        if (HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, process)) {
            WaitForSingleObject(handle, 10000);
            CloseHandle(handle);
        }
    }
    std::remove(file.c_str());
}

TEST(Win32Clock, LocalNowIsTheLocalCalendarTimeWithoutZoneShift) {
    // Read independently through the C runtime: the local broken-down time, taken as if it
    // were UTC.
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ASSERT_EQ(localtime_s(&local, &now), 0);
    const std::int64_t expected = _mkgmtime(&local);
    EXPECT_NEAR(static_cast<double>(systemClock().localNow()), static_cast<double>(expected), 2.0);
}

TEST(Win32Clock, SleepLetsTheTickCountAdvance) {
    Clock& clock = systemClock();
    const std::int64_t before = clock.tickCountMs();
    clock.sleepMs(50); // longer than the tick counter's own step of about 16 ms
    EXPECT_GT(clock.tickCountMs(), before);
}

} // namespace
} // namespace reef::platform::win32
