#include "platform/gtk/gtk_ui_driver.h"

#include "platform/gtk/exact_layout.h"
#include "platform/gtk/utf8_text.h"

#include <cmath>
#include <csignal>
#include <unistd.h>

namespace reef::platform::gtk {

namespace {

constexpr const char* kAnsweredKey = "reef-driver-answered";

guint32 eventTime() {
    return static_cast<guint32>(g_get_monotonic_time() / 1000);
}

GdkDevice* pointerDevice(GdkDisplay* display) {
    return gdk_seat_get_pointer(gdk_display_get_default_seat(display));
}

GdkDevice* keyboardDevice(GdkDisplay* display) {
    return gdk_seat_get_keyboard(gdk_display_get_default_seat(display));
}

// Hands a made-up event to GTK exactly as one from the X server would be handed on.
void deliver(GdkEvent* event) {
    gtk_main_do_event(event);
    gdk_event_free(event);
}

// The innermost window under the point, the way the X server and GDK route a mouse event;
// x and y become relative to it.
GdkWindow* windowAt(GdkWindow* window, int& x, int& y) {
    for (;;) {
        GdkWindow* inner = nullptr;
        for (GList* child = gdk_window_peek_children(window); child != nullptr;
             child = child->next) {
            auto* candidate = GDK_WINDOW(child->data);
            if (!gdk_window_is_visible(candidate)) {
                continue;
            }
            int left = 0;
            int top = 0;
            gdk_window_get_position(candidate, &left, &top);
            if (x >= left && y >= top && x < left + gdk_window_get_width(candidate) &&
                y < top + gdk_window_get_height(candidate)) {
                inner = candidate;
                x -= left;
                y -= top;
                break;
            }
        }
        if (inner == nullptr) {
            return window;
        }
        window = inner;
    }
}

void sendButton(GdkWindow* target, int x, int y) {
    GdkDisplay* display = gdk_window_get_display(target);
    GdkDevice* pointer = pointerDevice(display);
    int rootX = 0;
    int rootY = 0;
    gdk_window_get_origin(target, &rootX, &rootY);

    GdkEvent* enter = gdk_event_new(GDK_ENTER_NOTIFY);
    enter->crossing.window = GDK_WINDOW(g_object_ref(target));
    enter->crossing.send_event = TRUE;
    enter->crossing.time = eventTime();
    enter->crossing.x = x;
    enter->crossing.y = y;
    enter->crossing.x_root = rootX + x;
    enter->crossing.y_root = rootY + y;
    enter->crossing.mode = GDK_CROSSING_NORMAL;
    enter->crossing.detail = GDK_NOTIFY_NONLINEAR;
    gdk_event_set_device(enter, pointer);
    gdk_event_set_source_device(enter, pointer);
    deliver(enter);

    for (const GdkEventType type : {GDK_BUTTON_PRESS, GDK_BUTTON_RELEASE}) {
        GdkEvent* event = gdk_event_new(type);
        event->button.window = GDK_WINDOW(g_object_ref(target));
        event->button.send_event = TRUE;
        event->button.time = eventTime();
        event->button.x = x;
        event->button.y = y;
        event->button.x_root = rootX + x;
        event->button.y_root = rootY + y;
        event->button.button = 1;
        event->button.state = type == GDK_BUTTON_RELEASE ? GDK_BUTTON1_MASK : 0;
        gdk_event_set_device(event, pointer);
        gdk_event_set_source_device(event, pointer);
        deliver(event);
    }
}

Color toColor(const GdkRGBA& rgba) {
    const auto channel = [](double value) {
        return static_cast<std::uint8_t>(std::lround(value * 255.0));
    };
    return Color{channel(rgba.red), channel(rgba.green), channel(rgba.blue)};
}

gboolean watchTimer(gpointer data) {
    static_cast<GtkUiDriver*>(data)->watchDialogs();
    return G_SOURCE_CONTINUE;
}

// How long the X server may take to give a window the keyboard focus: a count of polls
// would run out sooner on a loaded machine, where every poll waits longer for the server.
constexpr gint64 kActivationPatienceUs = 10 * G_USEC_PER_SEC;

bool isFocusable(ControlKind kind) {
    return kind == ControlKind::Button || kind == ControlKind::Edit ||
           kind == ControlKind::TextArea || kind == ControlKind::DropDown ||
           kind == ControlKind::ListView;
}

} // namespace

GtkUiDriver::GtkUiDriver(GtkPlatform& platform) : platform_(platform) {
    watcher_ = g_timeout_add(20, watchTimer, this);
}

GtkUiDriver::~GtkUiDriver() {
    g_source_remove(watcher_);
    if (elsewhere_ != nullptr) {
        gtk_widget_destroy(elsewhere_);
    }
}

void GtkUiDriver::settle() {
    GdkDisplay* display = gdk_display_get_default();
    for (int round = 0; round < 3; ++round) {
        gdk_display_sync(display);
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
    }
}

bool GtkUiDriver::acceptsInput(ControlId control) {
    GtkWidget* outer = platform_.controlWidget(control);
    const WindowId window = platform_.windowOfControl(control);
    return outer != nullptr && platform_.isVisible(window) && platform_.isWindowEnabled(window) &&
           gtk_widget_is_sensitive(outer);
}

// As a click on its title bar would: the window becomes the active one.
bool GtkUiDriver::activate(WindowId window) {
    GtkWindow* widget = platform_.windowWidget(window);
    if (widget == nullptr) {
        return false;
    }
    if (!gtk_window_is_active(widget)) {
        gtk_window_present(widget);
        const gint64 deadline = g_get_monotonic_time() + kActivationPatienceUs;
        while (!gtk_window_is_active(widget) && g_get_monotonic_time() < deadline) {
            settle();
            if (!gtk_window_is_active(widget)) {
                g_usleep(5000);
            }
        }
    }
    return gtk_window_is_active(widget);
}

void GtkUiDriver::sendKey(GtkWidget* toplevel, guint keyval, GdkModifierType state) {
    GdkWindow* window = gtk_widget_get_window(toplevel);
    if (window == nullptr) {
        return;
    }
    GdkDisplay* display = gdk_window_get_display(window);
    guint16 keycode = 0;
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keyval, &keys,
                                          &count)) {
        keycode = static_cast<guint16>(keys[0].keycode);
        g_free(keys);
    }
    for (const GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
        GdkEvent* event = gdk_event_new(type);
        event->key.window = GDK_WINDOW(g_object_ref(window));
        event->key.send_event = TRUE;
        event->key.time = eventTime();
        event->key.state = state;
        event->key.keyval = keyval;
        event->key.hardware_keycode = keycode;
        event->key.string = g_strdup("");
        gdk_event_set_device(event, keyboardDevice(display));
        deliver(event);
    }
}

void GtkUiDriver::sendClick(GtkWidget* widget, int x, int y) {
    GtkWidget* toplevel = gtk_widget_get_toplevel(widget);
    int topX = 0;
    int topY = 0;
    if (!gtk_widget_translate_coordinates(widget, toplevel, x, y, &topX, &topY)) {
        return;
    }
    GdkWindow* target = windowAt(gtk_widget_get_window(toplevel), topX, topY);
    sendButton(target, topX, topY);
}

void GtkUiDriver::layOut(ControlId control) {
    if (GtkWindow* window = platform_.windowWidget(platform_.windowOfControl(control))) {
        gtk_container_check_resize(GTK_CONTAINER(window));
    }
}

// --- acting

void GtkUiDriver::focus(ControlId control) {
    const std::optional<ControlKind> kind = platform_.controlKind(control);
    if (!kind || !isFocusable(*kind) || !acceptsInput(control)) {
        return;
    }
    activate(platform_.windowOfControl(control));
    if (platform_.focusedControl() != control) {
        gtk_widget_grab_focus(platform_.inputWidget(control));
    }
    settle();
}

void GtkUiDriver::typeText(ControlId edit, const std::string& text) {
    if (!acceptsInput(edit)) {
        return;
    }
    focus(edit);
    // Typing goes on at the end, where a click behind the text puts the caret (focusing a
    // field selects its text).
    if (GtkWidget* input = platform_.inputWidget(edit); GTK_IS_EDITABLE(input)) {
        gtk_editable_set_position(GTK_EDITABLE(input), -1);
    }
    GtkWidget* toplevel = GTK_WIDGET(platform_.windowWidget(platform_.windowOfControl(edit)));
    for (const char character : text) {
        guint keyval = GDK_KEY_BackSpace;
        if (character != '\b') {
            const std::string converted = utf8(std::string(1, character));
            keyval = gdk_unicode_to_keyval(g_utf8_get_char(converted.c_str()));
        }
        sendKey(toplevel, keyval, GdkModifierType{});
    }
    settle();
}

void GtkUiDriver::pasteText(ControlId edit, const std::string& text) {
    if (!acceptsInput(edit)) {
        return;
    }
    focus(edit);
    GtkWidget* input = platform_.inputWidget(edit);
    if (GTK_IS_EDITABLE(input)) {
        gtk_editable_select_region(GTK_EDITABLE(input), 0, -1);
    }
    gtk_clipboard_set_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), utf8(text).c_str(), -1);
    // Ctrl+V: the clipboard's text arrives a moment later.
    sendKey(gtk_widget_get_toplevel(input), GDK_KEY_v, GDK_CONTROL_MASK);
    settle();
    g_usleep(10000);
    settle();
}

void GtkUiDriver::click(ControlId control) {
    const std::optional<ControlKind> kind = platform_.controlKind(control);
    if (!kind || !acceptsInput(control)) {
        return;
    }
    activate(platform_.windowOfControl(control));
    if (*kind == ControlKind::DropDown) {
        // A click would open the list; what it leaves behind once closed is the focus.
        focus(control);
        return;
    }
    layOut(control);
    GtkWidget* outer = platform_.controlWidget(control);
    sendClick(outer, gtk_widget_get_allocated_width(outer) / 2,
              gtk_widget_get_allocated_height(outer) / 2);
    settle();
}

void GtkUiDriver::selectDropDownItem(ControlId list, int index) {
    if (platform_.controlKind(list) != ControlKind::DropDown || !acceptsInput(list)) {
        return;
    }
    focus(list);
    // What choosing an item of the opened list does.
    gtk_combo_box_set_active(GTK_COMBO_BOX(platform_.inputWidget(list)), index);
    settle();
}

void GtkUiDriver::clickListRow(ControlId list, int row) {
    if (platform_.controlKind(list) != ControlKind::ListView || !acceptsInput(list) || row < 0 ||
        row >= platform_.listRowCount(list)) {
        return;
    }
    activate(platform_.windowOfControl(list));
    layOut(list);
    settle();
    GtkTreeView* tree = GTK_TREE_VIEW(platform_.inputWidget(list));
    GtkTreePath* path = gtk_tree_path_new_from_indices(row, -1);
    GdkRectangle cell{};
    gtk_tree_view_get_cell_area(tree, path, nullptr, &cell);
    gtk_tree_path_free(path);
    sendButton(gtk_tree_view_get_bin_window(tree), 5, cell.y + cell.height / 2);
    settle();
}

void GtkUiDriver::clickListEmptyArea(ControlId list) {
    if (platform_.controlKind(list) != ControlKind::ListView || !acceptsInput(list)) {
        return;
    }
    activate(platform_.windowOfControl(list));
    layOut(list);
    settle();
    GtkTreeView* tree = GTK_TREE_VIEW(platform_.inputWidget(list));
    GdkWindow* bin = gtk_tree_view_get_bin_window(tree);
    int below = 0;
    if (const int rows = platform_.listRowCount(list); rows > 0) {
        GtkTreePath* path = gtk_tree_path_new_from_indices(rows - 1, -1);
        GdkRectangle cell{};
        gtk_tree_view_get_background_area(tree, path, nullptr, &cell);
        gtk_tree_path_free(path);
        below = cell.y + cell.height;
    }
    sendButton(bin, 5, std::min(below + 4, gdk_window_get_height(bin) - 1));
    settle();
}

void GtkUiDriver::pressListKey(ControlId list, ListKey key) {
    if (platform_.controlKind(list) != ControlKind::ListView || !acceptsInput(list)) {
        return;
    }
    focus(list);
    sendKey(gtk_widget_get_toplevel(platform_.inputWidget(list)),
            key == ListKey::Up ? GDK_KEY_Up : GDK_KEY_Down, GdkModifierType{});
    settle();
}

void GtkUiDriver::moveFocusAway() {
    if (elsewhere_ == nullptr) {
        elsewhere_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_title(GTK_WINDOW(elsewhere_), "elsewhere");
        gtk_window_set_default_size(GTK_WINDOW(elsewhere_), 20, 20);
        gtk_window_move(GTK_WINDOW(elsewhere_), 0, 0);
        gtk_widget_show(elsewhere_);
    }
    gtk_window_present(GTK_WINDOW(elsewhere_));
    const gint64 deadline = g_get_monotonic_time() + kActivationPatienceUs;
    while (!gtk_window_is_active(GTK_WINDOW(elsewhere_)) && g_get_monotonic_time() < deadline) {
        settle();
        if (!gtk_window_is_active(GTK_WINDOW(elsewhere_))) {
            g_usleep(5000);
        }
    }
    settle();
}

void GtkUiDriver::pressTab(bool shift) {
    GList* toplevels = gtk_window_list_toplevels();
    GtkWidget* active = nullptr;
    for (GList* item = toplevels; item != nullptr; item = item->next) {
        if (gtk_window_is_active(GTK_WINDOW(item->data))) {
            active = GTK_WIDGET(item->data);
        }
    }
    g_list_free(toplevels);
    if (active == nullptr) {
        return;
    }
    sendKey(active, shift ? GDK_KEY_ISO_Left_Tab : GDK_KEY_Tab,
            shift ? GDK_SHIFT_MASK : GdkModifierType{});
    settle();
}

void GtkUiDriver::requestClose(WindowId window) {
    GtkWindow* widget = platform_.windowWidget(window);
    if (widget == nullptr || gtk_widget_get_window(GTK_WIDGET(widget)) == nullptr) {
        return;
    }
    GdkEvent* event = gdk_event_new(GDK_DELETE);
    event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(widget))));
    event->any.send_event = TRUE;
    deliver(event);
    settle();
}

void GtkUiDriver::minimize(WindowId window) {
    GtkWindow* widget = platform_.windowWidget(window);
    if (widget == nullptr || gtk_widget_get_window(GTK_WIDGET(widget)) == nullptr) {
        return;
    }
    // What the window manager reports once it has iconified the window.
    gtk_window_iconify(widget);
    GdkEvent* event = gdk_event_new(GDK_WINDOW_STATE);
    event->window_state.window =
        GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(widget))));
    event->window_state.send_event = TRUE;
    event->window_state.changed_mask = GDK_WINDOW_STATE_ICONIFIED;
    event->window_state.new_window_state = GDK_WINDOW_STATE_ICONIFIED;
    deliver(event);
    settle();
}

void GtkUiDriver::clickTray(TrayEventType type) {
    // A click on a notification comes from the desktop's notification service, over D-Bus.
    if (!hasTrayIcon() || type == TrayEventType::NotificationClick) {
        return;
    }
    const bool left = type == TrayEventType::LeftClick || type == TrayEventType::LeftDoubleClick;
    const bool twice =
        type == TrayEventType::LeftDoubleClick || type == TrayEventType::RightDoubleClick;
    std::vector<std::pair<GdkEventType, const char*>> sequence;
    if (twice) {
        sequence = {{GDK_2BUTTON_PRESS, "button-press-event"}};
    } else {
        sequence = {{GDK_BUTTON_PRESS, "button-press-event"},
                    {GDK_BUTTON_RELEASE, "button-release-event"}};
    }
    GdkDisplay* display = gdk_display_get_default();
    for (const auto& [eventType, signal] : sequence) {
        GdkEvent* event = gdk_event_new(eventType);
        event->button.window =
            GDK_WINDOW(g_object_ref(gdk_screen_get_root_window(gdk_screen_get_default())));
        event->button.send_event = TRUE;
        event->button.time = eventTime();
        event->button.button = left ? 1 : 3;
        gdk_event_set_device(event, pointerDevice(display));
        gboolean handled = FALSE;
        g_signal_emit_by_name(platform_.trayIcon(), signal, event, &handled);
        gdk_event_free(event);
    }
    settle();
}

bool GtkUiDriver::endSession() {
    const int before = platform_.sessionEndsRaised();
    kill(getpid(), SIGTERM);
    for (int attempt = 0; attempt < 400 && platform_.sessionEndsRaised() == before; ++attempt) {
        if (!g_main_context_iteration(nullptr, FALSE)) {
            g_usleep(5000);
        }
    }
    return true;
}

void GtkUiDriver::choosePopupItem(int item) {
    GtkMenu* menu = platform_.shownPopupMenu();
    if (menu == nullptr) {
        return;
    }
    GList* children = gtk_container_get_children(GTK_CONTAINER(menu));
    GtkWidget* chosen = nullptr;
    std::size_t index = 0;
    const std::vector<MenuItem> items = platform_.popupMenuItems(menu);
    for (GList* child = children; child != nullptr; child = child->next, ++index) {
        if (index < items.size() && !items[index].separator && items[index].item == item) {
            chosen = GTK_WIDGET(child->data);
        }
    }
    g_list_free(children);
    if (chosen != nullptr) {
        gtk_menu_shell_activate_item(GTK_MENU_SHELL(menu), chosen, TRUE);
    }
    settle();
}

// --- dialogs

void GtkUiDriver::queueMessageBoxAnswer(MessageBoxAnswer answer) {
    boxAnswers_.push_back(answer);
}

void GtkUiDriver::queueInputBoxAnswer(const std::string& text, bool cancel) {
    inputAnswers_.emplace_back(text, cancel);
}

void GtkUiDriver::watchDialogs() {
    if (hold_) {
        return;
    }
    GList* toplevels = gtk_window_list_toplevels();
    for (GList* item = toplevels; item != nullptr; item = item->next) {
        auto* window = GTK_WIDGET(item->data);
        if (!gtk_widget_get_visible(window) || g_object_get_data(G_OBJECT(window), kAnsweredKey)) {
            continue;
        }
        if (g_object_get_data(G_OBJECT(window), kMessageBoxKindKey) != nullptr) {
            answerMessageBox(window);
        } else if (g_object_get_data(G_OBJECT(window), kInputBoxEntryKey) != nullptr) {
            answerInputBox(window);
        }
    }
    g_list_free(toplevels);
}

int GtkUiDriver::openDialogCount() {
    int count = 0;
    GList* toplevels = gtk_window_list_toplevels();
    for (GList* item = toplevels; item != nullptr; item = item->next) {
        GObject* window = G_OBJECT(item->data);
        if (gtk_widget_get_visible(GTK_WIDGET(window)) &&
            g_object_get_data(window, kAnsweredKey) == nullptr &&
            (g_object_get_data(window, kMessageBoxKindKey) != nullptr ||
             g_object_get_data(window, kInputBoxEntryKey) != nullptr)) {
            ++count;
        }
    }
    g_list_free(toplevels);
    return count;
}

void GtkUiDriver::answerMessageBox(GtkWidget* box) {
    g_object_set_data(G_OBJECT(box), kAnsweredKey, GINT_TO_POINTER(1));
    const auto kind = static_cast<MessageBoxKind>(
        GPOINTER_TO_INT(g_object_get_data(G_OBJECT(box), kMessageBoxKindKey)) - 1);
    gchar* text = nullptr;
    g_object_get(box, "text", &text, nullptr);
    boxes_.push_back(
        ShownMessageBox{cp1252(gtk_window_get_title(GTK_WINDOW(box))), takeCp1252(text), kind});
    MessageBoxAnswer answer =
        kind == MessageBoxKind::Question ? MessageBoxAnswer::No : MessageBoxAnswer::Ok;
    if (!boxAnswers_.empty()) {
        if (kind == MessageBoxKind::Question) {
            answer = boxAnswers_.front() == MessageBoxAnswer::Yes ? MessageBoxAnswer::Yes
                                                                  : MessageBoxAnswer::No;
        }
        boxAnswers_.pop_front();
    }
    const gint response = answer == MessageBoxAnswer::Yes  ? GTK_RESPONSE_YES
                          : answer == MessageBoxAnswer::No ? GTK_RESPONSE_NO
                                                           : GTK_RESPONSE_OK;
    if (GtkWidget* button = gtk_dialog_get_widget_for_response(GTK_DIALOG(box), response)) {
        gtk_button_clicked(GTK_BUTTON(button));
    } else {
        gtk_dialog_response(GTK_DIALOG(box), response);
    }
}

void GtkUiDriver::answerInputBox(GtkWidget* box) {
    g_object_set_data(G_OBJECT(box), kAnsweredKey, GINT_TO_POINTER(1));
    auto* entry = GTK_ENTRY(g_object_get_data(G_OBJECT(box), kInputBoxEntryKey));
    auto* prompt = GTK_LABEL(g_object_get_data(G_OBJECT(box), kInputBoxPromptKey));
    inputs_.push_back(ShownInputBox{cp1252(gtk_window_get_title(GTK_WINDOW(box))),
                                    cp1252(gtk_label_get_text(prompt)),
                                    cp1252(gtk_entry_get_text(entry))});
    bool cancel = true;
    if (!inputAnswers_.empty()) {
        cancel = inputAnswers_.front().second;
        if (!cancel) {
            gtk_entry_set_text(entry, utf8(inputAnswers_.front().first).c_str());
        }
        inputAnswers_.pop_front();
    }
    const gint response = cancel ? GTK_RESPONSE_CANCEL : GTK_RESPONSE_OK;
    if (GtkWidget* button = gtk_dialog_get_widget_for_response(GTK_DIALOG(box), response)) {
        gtk_button_clicked(GTK_BUTTON(button));
    } else {
        gtk_dialog_response(GTK_DIALOG(box), response);
    }
}

// --- reading what a user can see

std::vector<ShownMessageBox> GtkUiDriver::shownMessageBoxes() {
    return boxes_;
}

std::vector<ShownInputBox> GtkUiDriver::shownInputBoxes() {
    return inputs_;
}

// The bytes another program gets when it asks for the text (GTK's own text reading would
// turn CR LF into LF).
std::string GtkUiDriver::clipboardText() {
    GtkSelectionData* data = gtk_clipboard_wait_for_contents(
        gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), gdk_atom_intern_static_string("UTF8_STRING"));
    if (data == nullptr) {
        return {};
    }
    gint length = 0;
    const guchar* bytes = gtk_selection_data_get_data_with_length(data, &length);
    std::string text =
        bytes != nullptr && length > 0
            ? std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length))
            : std::string();
    gtk_selection_data_free(data);
    return reef::text::utf8ToCp1252(text);
}

std::vector<std::string> GtkUiDriver::filesOpenedInEditor() {
    return platform_.editorLaunches();
}

bool GtkUiDriver::hasTrayIcon() {
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    return platform_.trayIcon() != nullptr && gtk_status_icon_get_visible(platform_.trayIcon());
    G_GNUC_END_IGNORE_DEPRECATIONS
}

std::string GtkUiDriver::trayTooltip() {
    if (!hasTrayIcon()) {
        return {};
    }
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    return takeCp1252(gtk_status_icon_get_tooltip_text(platform_.trayIcon()));
    G_GNUC_END_IGNORE_DEPRECATIONS
}

bool GtkUiDriver::isPopupMenuShown() {
    GtkMenu* menu = platform_.shownPopupMenu();
    return menu != nullptr && gtk_widget_get_visible(GTK_WIDGET(menu));
}

std::vector<MenuItem> GtkUiDriver::shownPopupMenuItems() {
    GtkMenu* menu = platform_.shownPopupMenu();
    return menu != nullptr ? platform_.popupMenuItems(menu) : std::vector<MenuItem>{};
}

std::string GtkUiDriver::windowTitle(WindowId window) {
    GtkWindow* widget = platform_.windowWidget(window);
    return widget != nullptr ? cp1252(gtk_window_get_title(widget)) : std::string();
}

Rect GtkUiDriver::clientRect(WindowId window) {
    GtkWindow* widget = platform_.windowWidget(window);
    if (widget == nullptr) {
        return {};
    }
    gtk_container_check_resize(GTK_CONTAINER(widget));
    GtkWidget* layout = gtk_bin_get_child(GTK_BIN(widget));
    return Rect{0, 0, gtk_widget_get_allocated_width(layout),
                gtk_widget_get_allocated_height(layout)};
}

Rect GtkUiDriver::controlRect(ControlId control) {
    GtkWidget* outer = platform_.controlWidget(control);
    if (outer == nullptr) {
        return {};
    }
    layOut(control);
    return placedRect(outer);
}

bool GtkUiDriver::isWindowOpen(WindowId window) {
    return platform_.windowWidget(window) != nullptr;
}

bool GtkUiDriver::controlExists(ControlId control) {
    return platform_.controlWidget(control) != nullptr;
}

std::string GtkUiDriver::tooltip(ControlId control) {
    GtkWidget* outer = platform_.controlWidget(control);
    return outer != nullptr ? takeCp1252(gtk_widget_get_tooltip_text(outer)) : std::string();
}

std::optional<Color> GtkUiDriver::labelTextColor(ControlId label) {
    if (!platform_.labelColor(label)) {
        return std::nullopt;
    }
    // The colour the theme actually draws the text with.
    GtkStyleContext* style = gtk_widget_get_style_context(platform_.inputWidget(label));
    GdkRGBA rgba{};
    gtk_style_context_get_color(style, gtk_style_context_get_state(style), &rgba);
    return toColor(rgba);
}

std::vector<std::string> GtkUiDriver::dropDownItems(ControlId list) {
    std::vector<std::string> items;
    if (platform_.controlKind(list) != ControlKind::DropDown) {
        return items;
    }
    GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(platform_.inputWidget(list)));
    GtkTreeIter iter;
    for (gboolean more = gtk_tree_model_get_iter_first(model, &iter); more;
         more = gtk_tree_model_iter_next(model, &iter)) {
        gchar* text = nullptr;
        gtk_tree_model_get(model, &iter, 0, &text, -1);
        items.push_back(takeCp1252(text));
    }
    return items;
}

std::string GtkUiDriver::listColumnHeader(ControlId list, int column) {
    if (platform_.controlKind(list) != ControlKind::ListView) {
        return {};
    }
    GtkTreeViewColumn* header =
        gtk_tree_view_get_column(GTK_TREE_VIEW(platform_.inputWidget(list)), column);
    return header != nullptr ? cp1252(gtk_tree_view_column_get_title(header)) : std::string();
}

int GtkUiDriver::listColumnCount(ControlId list) {
    if (platform_.controlKind(list) != ControlKind::ListView) {
        return 0;
    }
    return static_cast<int>(
        gtk_tree_view_get_n_columns(GTK_TREE_VIEW(platform_.inputWidget(list))));
}

// The colour the cell's renderer is set up with when the row is drawn.
std::optional<Color> GtkUiDriver::rendererColor(ControlId list, int row, int column,
                                                bool background) {
    if (platform_.controlKind(list) != ControlKind::ListView) {
        return std::nullopt;
    }
    GtkTreeView* tree = GTK_TREE_VIEW(platform_.inputWidget(list));
    GtkTreeViewColumn* viewColumn = gtk_tree_view_get_column(tree, column);
    GtkTreeModel* model = gtk_tree_view_get_model(tree);
    GtkTreeIter iter;
    if (viewColumn == nullptr || row < 0 ||
        !gtk_tree_model_iter_nth_child(model, &iter, nullptr, row)) {
        return std::nullopt;
    }
    gtk_tree_view_column_cell_set_cell_data(viewColumn, model, &iter, FALSE, FALSE);
    GList* cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(viewColumn));
    GObject* renderer = cells != nullptr ? G_OBJECT(cells->data) : nullptr;
    g_list_free(cells);
    if (renderer == nullptr) {
        return std::nullopt;
    }
    gboolean set = FALSE;
    GdkRGBA* rgba = nullptr;
    g_object_get(renderer, background ? "cell-background-set" : "foreground-set", &set,
                 background ? "cell-background-rgba" : "foreground-rgba", &rgba, nullptr);
    std::optional<Color> color;
    if (set && rgba != nullptr) {
        color = toColor(*rgba);
    }
    if (rgba != nullptr) {
        gdk_rgba_free(rgba);
    }
    return color;
}

std::optional<Color> GtkUiDriver::listCellBackground(ControlId list, int row, int column) {
    return rendererColor(list, row, column, true);
}

std::optional<Color> GtkUiDriver::listCellTextColor(ControlId list, int row, int column) {
    return rendererColor(list, row, column, false);
}

} // namespace reef::platform::gtk
