// The GTK backend: records, windows, controls and their events, focus, the event wait and
// the tasks. The list view lives in gtk_list_view.cpp, the modal dialogs in gtk_dialogs.cpp,
// clipboard, tray, popup menu, editor and the session's end in gtk_shell.cpp.

#include "platform/gtk/gtk_platform.h"

#include "platform/gtk/exact_layout.h"
#include "platform/gtk/utf8_text.h"

#include <algorithm>
#include <cstdio>

namespace reef::platform::gtk {

namespace {

// The look of the Windows build at 96 dpi: its 8-point dialog font and controls no taller
// than the layouts make them. Without this the theme pads every control beyond its place.
constexpr const char* kStyle = R"(
* { font-family: "Liberation Sans", "DejaVu Sans Condensed", Sans; font-size: 8pt; }
button { padding: 0 4px; min-height: 0; min-width: 0; }
entry { padding: 0 3px; min-height: 0; }
combobox button { padding: 0 4px; min-height: 0; }
combobox arrow { min-height: 0; min-width: 12px; }
treeview.view header button { padding: 1px 4px; min-height: 0; font-weight: normal; }
treeview.view { -GtkTreeView-vertical-separator: 0; }
frame > border { border-radius: 0; }
.reef-status-field { padding: 0 3px; }
entry.reef-read-only { background-color: @theme_bg_color; }
label.reef-label { background-color: @theme_bg_color; }
)";

// Height of the status bar along the bottom edge, as the Windows build draws it.
constexpr int kStatusBarHeight = 20;

bool isFocusable(ControlKind kind) {
    switch (kind) {
    case ControlKind::Button:
    case ControlKind::Edit:
    case ControlKind::TextArea:
    case ControlKind::DropDown:
    case ControlKind::ListView:
        return true;
    default:
        return false;
    }
}

GtkPlatform* self(gpointer data) {
    return static_cast<GtkPlatform*>(data);
}

gboolean deleteRequested(GtkWidget* window, GdkEvent*, gpointer data) {
    self(data)->onDeleteRequest(window);
    return TRUE; // the program decides
}

gboolean windowStateChanged(GtkWidget* window, GdkEventWindowState* state, gpointer data) {
    self(data)->onWindowState(window, state);
    return FALSE;
}

void activeChanged(GObject* window, GParamSpec*, gpointer data) {
    self(data)->onActiveChanged(GTK_WIDGET(window));
}

void focusSet(GtkWindow* window, GtkWidget* focus, gpointer data) {
    self(data)->onSetFocus(GTK_WIDGET(window), focus);
}

gboolean windowKey(GtkWidget* window, GdkEventKey* key, gpointer data) {
    return self(data)->onWindowKey(window, key) ? TRUE : FALSE;
}

void buttonClicked(GtkButton* button, gpointer data) {
    self(data)->onButtonClicked(GTK_WIDGET(button));
}

void editChanged(GtkEditable* edit, gpointer data) {
    self(data)->onEditChanged(GTK_WIDGET(edit));
}

gboolean editKey(GtkWidget* edit, GdkEventKey* key, gpointer data) {
    return self(data)->onEditKey(edit, key) ? TRUE : FALSE;
}

void dropDownChanged(GtkComboBox* combo, gpointer data) {
    self(data)->onDropDownChanged(GTK_WIDGET(combo));
}

void applyCss(GtkWidget* widget, const std::string& css) {
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(widget),
                                   GTK_STYLE_PROVIDER(provider),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
    g_object_unref(provider);
}

} // namespace

// Outside the unnamed namespace: the handler blocks itself by its address.
void editInserting(GtkEditable* edit, const gchar* text, gint length, gint* position,
                   gpointer data);
void editInserting(GtkEditable* edit, const gchar* text, gint length, gint* position,
                   gpointer data) {
    self(data)->onEditInsert(edit, text, length, position);
}

std::unique_ptr<GtkPlatform> GtkPlatform::create(GtkOptions options) {
    // A busy X server now and then resets a new connection at once; a few more tries cost
    // a moment where there is no display at all.
    constexpr int kAttempts = 5;
    bool opened = false;
    for (int attempt = 0; attempt < kAttempts && !opened; ++attempt) {
        if (attempt > 0) {
            g_usleep(50 * 1000);
        }
        opened = gtk_init_check(nullptr, nullptr);
    }
    if (!opened) {
        return nullptr;
    }
    return std::unique_ptr<GtkPlatform>(new GtkPlatform(std::move(options)));
}

GtkPlatform::GtkPlatform(GtkOptions options)
    : options_(std::move(options)), uiThread_(std::this_thread::get_id()),
      taskQueue_(std::make_shared<TaskQueue>()) {
    taskQueue_->owner = this;
    css_ = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css_, kStyle, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css_),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    setProgramIcon();
    if (options_.sessionSignals) {
        watchSessionSignals();
    }
}

GtkPlatform::~GtkPlatform() {
    {
        std::lock_guard lock(taskQueue_->mutex);
        taskQueue_->owner = nullptr;
    }
    for (guint source : signalSources_) {
        g_source_remove(source);
    }
    removeTrayIcon();
    forgetNotificationBus();
    ++destroying_;
    for (auto& [id, window] : windows_) {
        gtk_widget_destroy(window.window);
    }
    windows_.clear();
    controls_.clear();
    windowByWidget_.clear();
    controlByWidget_.clear();
    --destroying_;
    for (auto& [id, menu] : menus_) {
        gtk_widget_destroy(menu.menu);
        g_object_unref(menu.menu);
    }
    menus_.clear();
    // What the program put on the clipboard outlives it where a clipboard manager runs.
    gtk_clipboard_store(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
    gtk_style_context_remove_provider_for_screen(gdk_screen_get_default(),
                                                 GTK_STYLE_PROVIDER(css_));
    g_object_unref(css_);
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
}

// --- records

GtkPlatform::WindowRecord* GtkPlatform::findWindow(WindowId window) {
    auto it = windows_.find(window.value);
    return it == windows_.end() ? nullptr : &it->second;
}

const GtkPlatform::WindowRecord* GtkPlatform::findWindow(WindowId window) const {
    auto it = windows_.find(window.value);
    return it == windows_.end() ? nullptr : &it->second;
}

GtkPlatform::ControlRecord* GtkPlatform::findControl(ControlId control) {
    auto it = controls_.find(control.value);
    return it == controls_.end() ? nullptr : &it->second;
}

const GtkPlatform::ControlRecord* GtkPlatform::findControl(ControlId control) const {
    auto it = controls_.find(control.value);
    return it == controls_.end() ? nullptr : &it->second;
}

GtkPlatform::ControlRecord* GtkPlatform::findControlOfKind(ControlId control, ControlKind kind) {
    ControlRecord* record = findControl(control);
    return record != nullptr && record->kind == kind ? record : nullptr;
}

const GtkPlatform::ControlRecord* GtkPlatform::findControlOfKind(ControlId control,
                                                                 ControlKind kind) const {
    const ControlRecord* record = findControl(control);
    return record != nullptr && record->kind == kind ? record : nullptr;
}

WindowId GtkPlatform::windowIdOf(GtkWidget* window) const {
    auto it = windowByWidget_.find(window);
    return it == windowByWidget_.end() ? WindowId{} : WindowId{it->second};
}

ControlId GtkPlatform::controlIdOf(GtkWidget* widget) const {
    for (; widget != nullptr; widget = gtk_widget_get_parent(widget)) {
        auto it = controlByWidget_.find(widget);
        if (it != controlByWidget_.end()) {
            return ControlId{it->second};
        }
    }
    return {};
}

GtkWindow* GtkPlatform::windowWidget(WindowId window) const {
    const WindowRecord* record = findWindow(window);
    return record ? GTK_WINDOW(record->window) : nullptr;
}

GtkWidget* GtkPlatform::controlWidget(ControlId control) const {
    const ControlRecord* record = findControl(control);
    return record ? record->outer : nullptr;
}

GtkWidget* GtkPlatform::inputWidget(ControlId control) const {
    const ControlRecord* record = findControl(control);
    return record ? record->inner : nullptr;
}

WindowId GtkPlatform::windowOfControl(ControlId control) const {
    const ControlRecord* record = findControl(control);
    return record ? record->window : WindowId{};
}

std::optional<ControlKind> GtkPlatform::controlKind(ControlId control) const {
    const ControlRecord* record = findControl(control);
    if (record == nullptr) {
        return std::nullopt;
    }
    return record->kind;
}

std::optional<Color> GtkPlatform::labelColor(ControlId label) const {
    const ControlRecord* record = findControlOfKind(label, ControlKind::Label);
    return record ? record->labelColor : std::nullopt;
}

bool GtkPlatform::isWindowActive(WindowId window) const {
    const WindowRecord* record = findWindow(window);
    return record != nullptr && gtk_window_is_active(GTK_WINDOW(record->window));
}

// --- windows

WindowId GtkPlatform::openWindow(const std::string& title, int clientWidth, int clientHeight) {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    if (window == nullptr) {
        return {};
    }
    gtk_window_set_title(GTK_WINDOW(window), utf8(title).c_str());
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
    GtkWidget* layout = newExactLayout(clientWidth, clientHeight);
    gtk_container_add(GTK_CONTAINER(window), layout);
    g_signal_connect(window, "delete-event", G_CALLBACK(deleteRequested), this);
    g_signal_connect(window, "window-state-event", G_CALLBACK(windowStateChanged), this);
    g_signal_connect(window, "notify::is-active", G_CALLBACK(activeChanged), this);
    g_signal_connect(window, "set-focus", G_CALLBACK(focusSet), this);
    g_signal_connect(window, "key-press-event", G_CALLBACK(windowKey), this);

    const WindowId id{nextHandle_++};
    WindowRecord record;
    record.window = window;
    record.layout = layout;
    windows_[id.value] = record;
    windowByWidget_[window] = id.value;
    gtk_widget_show_all(window);
    gtk_window_present(GTK_WINDOW(window));
    lastActive_ = id;
    return id;
}

void GtkPlatform::forgetWindow(std::map<std::uint64_t, WindowRecord>::iterator it) {
    const WindowId window{it->first};
    for (auto control = controls_.begin(); control != controls_.end();) {
        if (control->second.window == window) {
            controlByWidget_.erase(control->second.outer);
            controlByWidget_.erase(control->second.inner);
            control = controls_.erase(control);
        } else {
            ++control;
        }
    }
    windowByWidget_.erase(it->second.window);
    windows_.erase(it);
    // Events still queued for the window would name handles that no longer exist.
    events_.erase(std::remove_if(events_.begin(), events_.end(),
                                 [&](const Event& event) { return event.window == window; }),
                  events_.end());
}

void GtkPlatform::closeWindow(WindowId window) {
    auto it = windows_.find(window.value);
    if (it == windows_.end()) {
        return;
    }
    if (tray_ != nullptr && trayOwner_ == window) {
        removeTrayIcon(); // its clicks could no longer be delivered
    }
    if (menuOwner_ == window) {
        if (shownMenu_ != nullptr) {
            gtk_menu_popdown(GTK_MENU(shownMenu_));
        }
        menuOwner_ = WindowId{};
    }
    GtkWidget* widget = it->second.window;
    ++destroying_;
    gtk_widget_destroy(widget);
    --destroying_;
    forgetWindow(it);
}

void GtkPlatform::bringToFront(WindowId window) {
    showWindow(window);
}

void GtkPlatform::minimizeWindow(WindowId window) {
    if (WindowRecord* record = findWindow(window)) {
        // Without a window manager nothing reports the new state; the window keeps it anyway.
        record->minimized = true;
        gtk_window_iconify(GTK_WINDOW(record->window));
    }
}

void GtkPlatform::hideWindow(WindowId window) {
    WindowRecord* record = findWindow(window);
    if (record == nullptr) {
        return;
    }
    // The program hides its minimised main window into the tray icon; where no tray shows
    // the icon (a desktop without one), the window would be lost, so it stays minimised.
    if (window == trayOwner_ && !trayIconShown()) {
        return;
    }
    gtk_widget_hide(record->window);
}

void GtkPlatform::showWindow(WindowId window) {
    if (WindowRecord* record = findWindow(window)) {
        record->minimized = false;
        gtk_window_deiconify(GTK_WINDOW(record->window));
        gtk_widget_show(record->window);
        gtk_window_present(GTK_WINDOW(record->window));
        lastActive_ = window;
    }
}

bool GtkPlatform::isMinimized(WindowId window) {
    const WindowRecord* record = findWindow(window);
    return record != nullptr && record->minimized;
}

bool GtkPlatform::isVisible(WindowId window) {
    const WindowRecord* record = findWindow(window);
    return record != nullptr && gtk_widget_get_visible(record->window);
}

void GtkPlatform::setWindowEnabled(WindowId window, bool enabled) {
    if (WindowRecord* record = findWindow(window)) {
        record->enabled = enabled;
        gtk_widget_set_sensitive(record->layout, enabled ? TRUE : FALSE);
    }
}

bool GtkPlatform::isWindowEnabled(WindowId window) {
    const WindowRecord* record = findWindow(window);
    return record != nullptr && record->enabled;
}

void GtkPlatform::onDeleteRequest(GtkWidget* window) {
    const WindowId id = windowIdOf(window);
    const WindowRecord* record = findWindow(id);
    if (record == nullptr || !record->enabled) {
        return;
    }
    Event event;
    event.kind = EventKind::CloseRequest;
    event.window = id;
    pushEvent(event);
}

void GtkPlatform::onWindowState(GtkWidget* window, GdkEventWindowState* state) {
    WindowRecord* record = findWindow(windowIdOf(window));
    if (record != nullptr && (state->changed_mask & GDK_WINDOW_STATE_ICONIFIED) != 0) {
        record->minimized = (state->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
    }
}

// --- focus: its loss is reported for the control that had it, whether the focus moves
// inside the window or the window stops being the active one.

void GtkPlatform::onActiveChanged(GtkWidget* window) {
    WindowRecord* record = findWindow(windowIdOf(window));
    if (record == nullptr || destroying_ > 0) {
        return;
    }
    if (gtk_window_is_active(GTK_WINDOW(window))) {
        lastActive_ = windowIdOf(window);
    } else if (record->focus) {
        pushControlEvent(record->focus, ControlEventType::LostFocus);
    }
}

void GtkPlatform::onSetFocus(GtkWidget* window, GtkWidget* focus) {
    WindowRecord* record = findWindow(windowIdOf(window));
    if (record == nullptr) {
        return;
    }
    const ControlId next = focus != nullptr ? controlIdOf(focus) : ControlId{};
    if (record->focus && record->focus != next && destroying_ == 0 &&
        gtk_window_is_active(GTK_WINDOW(window))) {
        pushControlEvent(record->focus, ControlEventType::LostFocus);
    }
    record->focus = next;
}

void GtkPlatform::setFocus(ControlId control) {
    const ControlRecord* record = findControl(control);
    if (record == nullptr) {
        return;
    }
    GtkWidget* window = findWindow(record->window)->window;
    gtk_widget_grab_focus(record->inner);
    if (!gtk_window_is_active(GTK_WINDOW(window))) {
        gtk_window_present(GTK_WINDOW(window));
        lastActive_ = record->window;
    }
}

ControlId GtkPlatform::focusedControl() {
    for (const auto& [id, window] : windows_) {
        if (gtk_window_is_active(GTK_WINDOW(window.window))) {
            GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window.window));
            return focus != nullptr && gtk_widget_has_focus(focus) ? controlIdOf(focus)
                                                                   : ControlId{};
        }
    }
    return {};
}

// Tab and Shift+Tab walk the window's focusable controls in the order they were created,
// skipping disabled ones, and wrap around; the theme's geometric order is not the layouts'.
bool GtkPlatform::onWindowKey(GtkWidget* window, GdkEventKey* key) {
    const bool tab = key->keyval == GDK_KEY_Tab || key->keyval == GDK_KEY_KP_Tab;
    const bool backTab =
        key->keyval == GDK_KEY_ISO_Left_Tab || (tab && (key->state & GDK_SHIFT_MASK) != 0);
    if (!tab && !backTab) {
        return false;
    }
    WindowRecord* record = findWindow(windowIdOf(window));
    if (record == nullptr || !record->enabled) {
        return record != nullptr;
    }
    std::vector<ControlId> chain;
    for (ControlId control : record->controls) {
        const ControlRecord* candidate = findControl(control);
        if (candidate != nullptr && isFocusable(candidate->kind) &&
            gtk_widget_is_sensitive(candidate->outer) && gtk_widget_get_visible(candidate->outer)) {
            chain.push_back(control);
        }
    }
    if (chain.empty()) {
        return true;
    }
    const auto at = std::find(chain.begin(), chain.end(), record->focus);
    std::size_t next = 0;
    if (at == chain.end()) {
        next = backTab ? chain.size() - 1 : 0;
    } else {
        const auto index = static_cast<std::size_t>(at - chain.begin());
        next = backTab ? (index + chain.size() - 1) % chain.size() : (index + 1) % chain.size();
    }
    gtk_widget_grab_focus(findControl(chain[next])->inner);
    return true;
}

// --- controls

ControlId GtkPlatform::addControl(WindowId window, ControlKind kind, Rect rect, GtkWidget* outer,
                                  GtkWidget* inner) {
    WindowRecord* parent = findWindow(window);
    if (parent == nullptr) {
        gtk_widget_destroy(outer);
        return {};
    }
    putExactly(parent->layout, outer, rect);
    gtk_widget_show_all(outer);
    const ControlId id{nextHandle_++};
    ControlRecord record;
    record.outer = outer;
    record.inner = inner;
    record.window = window;
    record.kind = kind;
    controls_[id.value] = std::move(record);
    controlByWidget_[outer] = id.value;
    controlByWidget_[inner] = id.value;
    parent->controls.push_back(id);
    return id;
}

bool GtkPlatform::acceptsUserInput(const ControlRecord& record) const {
    return gtk_widget_is_sensitive(record.outer) != FALSE;
}

ControlId GtkPlatform::createButton(WindowId window, Rect rect, const std::string& text) {
    if (findWindow(window) == nullptr) {
        return {};
    }
    GtkWidget* button = gtk_button_new_with_label(utf8(text).c_str());
    g_signal_connect(button, "clicked", G_CALLBACK(buttonClicked), this);
    return addControl(window, ControlKind::Button, rect, button, button);
}

void GtkPlatform::onButtonClicked(GtkWidget* button) {
    pushControlEvent(controlIdOf(button), ControlEventType::Activated);
}

ControlId GtkPlatform::createLabel(WindowId window, Rect rect, const std::string& text,
                                   const LabelStyle& style) {
    if (findWindow(window) == nullptr) {
        return {};
    }
    GtkWidget* label = gtk_label_new(utf8(text).c_str());
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_yalign(GTK_LABEL(label), 0.0F);
    // Opaque, like a Windows label: one created later over another hides what it covers.
    gtk_style_context_add_class(gtk_widget_get_style_context(label), "reef-label");
    switch (style.align) {
    case TextAlign::Left:
        gtk_label_set_xalign(GTK_LABEL(label), 0.0F);
        gtk_label_set_justify(GTK_LABEL(label), GTK_JUSTIFY_LEFT);
        break;
    case TextAlign::Center:
        gtk_label_set_xalign(GTK_LABEL(label), 0.5F);
        gtk_label_set_justify(GTK_LABEL(label), GTK_JUSTIFY_CENTER);
        break;
    case TextAlign::Right:
        gtk_label_set_xalign(GTK_LABEL(label), 1.0F);
        gtk_label_set_justify(GTK_LABEL(label), GTK_JUSTIFY_RIGHT);
        break;
    }
    if (style.textColor) {
        char css[64];
        std::snprintf(css, sizeof css, "label { color: rgb(%d,%d,%d); }", style.textColor->r,
                      style.textColor->g, style.textColor->b);
        applyCss(label, css);
    }
    GtkWidget* outer = label;
    if (style.sunken) {
        outer = gtk_frame_new(nullptr);
        gtk_frame_set_shadow_type(GTK_FRAME(outer), GTK_SHADOW_IN);
        gtk_container_add(GTK_CONTAINER(outer), label);
    }
    const ControlId id = addControl(window, ControlKind::Label, rect, outer, label);
    if (ControlRecord* record = findControl(id)) {
        record->labelColor = style.textColor;
    }
    return id;
}

ControlId GtkPlatform::createEdit(WindowId window, Rect rect, const std::string& text,
                                  const EditStyle& style) {
    if (findWindow(window) == nullptr) {
        return {};
    }
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_width_chars(GTK_ENTRY(entry), 1);
    gtk_entry_set_text(GTK_ENTRY(entry), utf8(text).c_str());
    if (style.digitsOnly) {
        gtk_entry_set_input_purpose(GTK_ENTRY(entry), GTK_INPUT_PURPOSE_DIGITS);
    }
    if (style.readOnly) {
        gtk_editable_set_editable(GTK_EDITABLE(entry), FALSE);
        // Greyed like a read-only Windows field, so that it does not invite typing.
        gtk_style_context_add_class(gtk_widget_get_style_context(entry), "reef-read-only");
    }
    if (style.masked) {
        gtk_entry_set_visibility(GTK_ENTRY(entry), FALSE);
        gtk_entry_set_input_purpose(GTK_ENTRY(entry), GTK_INPUT_PURPOSE_PASSWORD);
    }
    g_signal_connect(entry, "changed", G_CALLBACK(editChanged), this);
    g_signal_connect(entry, "key-press-event", G_CALLBACK(editKey), this);
    g_signal_connect(entry, "insert-text", G_CALLBACK(editInserting), this);
    const ControlId id = addControl(window, ControlKind::Edit, rect, entry, entry);
    if (ControlRecord* record = findControl(id)) {
        record->edit = style;
    }
    return id;
}

void GtkPlatform::onEditChanged(GtkWidget* edit) {
    if (suppressEvents_ == 0) {
        pushControlEvent(controlIdOf(edit), ControlEventType::Changed);
    }
}

// Typed characters a field refuses never reach it: other than digits in a digits-only field,
// any once the field holds its most characters. Control keys (backspace, Ctrl+V) pass.
bool GtkPlatform::onEditKey(GtkWidget* edit, GdkEventKey* key) {
    const ControlRecord* record = findControl(controlIdOf(edit));
    if (record == nullptr || !gtk_editable_get_editable(GTK_EDITABLE(edit)) ||
        (key->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK)) != 0) {
        return false;
    }
    const gunichar character = gdk_keyval_to_unicode(key->keyval);
    if (character < 0x20 || character == 0x7F) {
        return false;
    }
    bool refused = record->edit.digitsOnly && (character < '0' || character > '9');
    if (!refused && record->edit.maxLength > 0) {
        int start = 0;
        int end = 0;
        gtk_editable_get_selection_bounds(GTK_EDITABLE(edit), &start, &end);
        const int kept = gtk_entry_get_text_length(GTK_ENTRY(edit)) - std::abs(end - start);
        refused = kept >= record->edit.maxLength;
    }
    if (refused) {
        gtk_widget_error_bell(edit);
    }
    return refused;
}

// A paste is cut to the field's limit; texts the program sets are not.
void GtkPlatform::onEditInsert(GtkEditable* edit, const char* text, int length, int* position) {
    const ControlRecord* record = findControl(controlIdOf(GTK_WIDGET(edit)));
    if (record == nullptr || suppressEvents_ > 0 || record->edit.maxLength <= 0) {
        return;
    }
    const int room = record->edit.maxLength - gtk_entry_get_text_length(GTK_ENTRY(edit));
    const glong characters = g_utf8_strlen(text, length);
    if (characters <= room) {
        return;
    }
    g_signal_stop_emission_by_name(edit, "insert-text");
    if (room <= 0) {
        return;
    }
    const char* cut = g_utf8_offset_to_pointer(text, room);
    g_signal_handlers_block_by_func(edit, reinterpret_cast<gpointer>(editInserting), this);
    gtk_editable_insert_text(edit, text, static_cast<gint>(cut - text), position);
    g_signal_handlers_unblock_by_func(edit, reinterpret_cast<gpointer>(editInserting), this);
}

ControlId GtkPlatform::createTextArea(WindowId window, Rect rect, const std::string& text) {
    if (findWindow(window) == nullptr) {
        return {};
    }
    GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_ALWAYS,
                                   GTK_POLICY_ALWAYS);
    gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(scroller), FALSE);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroller), GTK_SHADOW_IN);
    GtkWidget* view = gtk_text_view_new();
    gtk_text_view_set_editable(GTK_TEXT_VIEW(view), FALSE);
    gtk_text_view_set_cursor_visible(GTK_TEXT_VIEW(view), FALSE);
    gtk_text_view_set_accepts_tab(GTK_TEXT_VIEW(view), FALSE);
    gtk_text_view_set_left_margin(GTK_TEXT_VIEW(view), 2);
    gtk_container_add(GTK_CONTAINER(scroller), view);
    const ControlId id = addControl(window, ControlKind::TextArea, rect, scroller, view);
    setText(id, text);
    return id;
}

ControlId GtkPlatform::createDropDown(WindowId window, Rect rect, int) {
    if (findWindow(window) == nullptr) {
        return {};
    }
    // The opened list takes the room its items need; only the closed box has a place.
    GtkWidget* combo = gtk_combo_box_text_new();
    g_signal_connect(combo, "changed", G_CALLBACK(dropDownChanged), this);
    return addControl(window, ControlKind::DropDown, rect, combo, combo);
}

void GtkPlatform::onDropDownChanged(GtkWidget* combo) {
    if (suppressEvents_ == 0) {
        pushControlEvent(controlIdOf(combo), ControlEventType::Activated);
    }
}

void GtkPlatform::addDropDownItem(ControlId list, const std::string& text) {
    if (ControlRecord* record = findControlOfKind(list, ControlKind::DropDown)) {
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(record->inner), utf8(text).c_str());
    }
}

void GtkPlatform::setDropDownSelection(ControlId list, int index) {
    ControlRecord* record = findControlOfKind(list, ControlKind::DropDown);
    if (record == nullptr) {
        return;
    }
    GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(record->inner));
    const int count = gtk_tree_model_iter_n_children(model, nullptr);
    ++suppressEvents_;
    gtk_combo_box_set_active(GTK_COMBO_BOX(record->inner),
                             index >= 0 && index < count ? index : -1);
    --suppressEvents_;
}

int GtkPlatform::dropDownSelection(ControlId list) {
    const ControlRecord* record = findControlOfKind(list, ControlKind::DropDown);
    return record ? gtk_combo_box_get_active(GTK_COMBO_BOX(record->inner)) : -1;
}

ControlId GtkPlatform::createFrame(WindowId window, Rect rect, const std::string& caption) {
    if (findWindow(window) == nullptr) {
        return {};
    }
    GtkWidget* frame = gtk_frame_new(utf8(caption).c_str());
    gtk_frame_set_label_align(GTK_FRAME(frame), 0.02F, 0.5F);
    return addControl(window, ControlKind::Frame, rect, frame, frame);
}

ControlId GtkPlatform::createStatusBar(WindowId window, int width0, int width1, int width2) {
    const WindowRecord* parent = findWindow(window);
    if (parent == nullptr) {
        return {};
    }
    const Rect client = layoutSize(parent->layout);
    GtkWidget* bar = newExactLayout(client.width, kStatusBarHeight);
    const ControlId id = addControl(
        window, ControlKind::StatusBar,
        Rect{0, client.height - kStatusBarHeight, client.width, kStatusBarHeight}, bar, bar);
    if (ControlRecord* record = findControl(id)) {
        layoutStatusBar(*record, width0, width1, width2);
    }
    return id;
}

// Three sunken fields side by side. Fields wider than the window together would cut off the
// right-aligned text of the last one (the list windows' "Status: " texts); that field then
// ends at the window's right edge instead.
void GtkPlatform::layoutStatusBar(ControlRecord& bar, int width0, int width1, int width2) {
    const int total = layoutSize(bar.outer).width;
    const int starts[3] = {0, width0, width0 + width1};
    int widths[3] = {width0, width1, width2};
    if (starts[2] + widths[2] > total) {
        widths[2] = std::max(0, total - starts[2]);
    }
    for (int field = 0; field < 3; ++field) {
        GtkWidget* frame = gtk_frame_new(nullptr);
        gtk_frame_set_shadow_type(GTK_FRAME(frame), GTK_SHADOW_IN);
        GtkWidget* label = gtk_label_new("");
        gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_END);
        gtk_label_set_xalign(GTK_LABEL(label), 0.0F);
        gtk_style_context_add_class(gtk_widget_get_style_context(label), "reef-status-field");
        gtk_container_add(GTK_CONTAINER(frame), label);
        putExactly(bar.outer, frame, Rect{starts[field], 2, widths[field], kStatusBarHeight - 2});
        gtk_widget_show_all(frame);
        bar.fields.push_back(label);
        bar.fieldTexts.emplace_back();
    }
}

void GtkPlatform::setStatusText(ControlId statusBar, int field, const std::string& text) {
    ControlRecord* record = findControlOfKind(statusBar, ControlKind::StatusBar);
    if (record == nullptr || field < 0 || field > 2) {
        return;
    }
    const auto index = static_cast<std::size_t>(field);
    record->fieldTexts[index] = text;
    // One leading tab centres, two right-align; the tabs themselves are not shown.
    std::size_t tabs = 0;
    while (tabs < 2 && tabs < text.size() && text[tabs] == '\t') {
        ++tabs;
    }
    GtkLabel* label = GTK_LABEL(record->fields[index]);
    gtk_label_set_xalign(label, tabs == 0 ? 0.0F : (tabs == 1 ? 0.5F : 1.0F));
    gtk_label_set_text(label, utf8(text.substr(tabs)).c_str());
}

std::string GtkPlatform::statusText(ControlId statusBar, int field) {
    const ControlRecord* record = findControlOfKind(statusBar, ControlKind::StatusBar);
    if (record == nullptr || field < 0 || field > 2) {
        return {};
    }
    return record->fieldTexts[static_cast<std::size_t>(field)];
}

void GtkPlatform::setTooltip(ControlId control, const std::string& text) {
    if (ControlRecord* record = findControl(control)) {
        gtk_widget_set_tooltip_text(record->outer, utf8(text).c_str());
    }
}

void GtkPlatform::setText(ControlId control, const std::string& text) {
    ControlRecord* record = findControl(control);
    if (record == nullptr) {
        return;
    }
    const std::string converted = utf8(text);
    ++suppressEvents_;
    switch (record->kind) {
    case ControlKind::Button:
        gtk_button_set_label(GTK_BUTTON(record->inner), converted.c_str());
        break;
    case ControlKind::Label:
        gtk_label_set_text(GTK_LABEL(record->inner), converted.c_str());
        break;
    case ControlKind::Edit:
        gtk_entry_set_text(GTK_ENTRY(record->inner), converted.c_str());
        break;
    case ControlKind::TextArea:
        gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(record->inner)),
                                 converted.c_str(), -1);
        break;
    case ControlKind::Frame:
        gtk_frame_set_label(GTK_FRAME(record->inner), converted.c_str());
        break;
    case ControlKind::StatusBar:
        setStatusText(control, 0, text);
        break;
    case ControlKind::DropDown:
    case ControlKind::ListView:
        break;
    }
    --suppressEvents_;
}

std::string GtkPlatform::text(ControlId control) {
    const ControlRecord* record = findControl(control);
    if (record == nullptr) {
        return {};
    }
    switch (record->kind) {
    case ControlKind::Button:
        return cp1252(gtk_button_get_label(GTK_BUTTON(record->inner)));
    case ControlKind::Label:
        return cp1252(gtk_label_get_text(GTK_LABEL(record->inner)));
    case ControlKind::Edit:
        return cp1252(gtk_entry_get_text(GTK_ENTRY(record->inner)));
    case ControlKind::TextArea: {
        GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(record->inner));
        GtkTextIter start;
        GtkTextIter end;
        gtk_text_buffer_get_bounds(buffer, &start, &end);
        return takeCp1252(gtk_text_buffer_get_text(buffer, &start, &end, FALSE));
    }
    case ControlKind::Frame:
        return cp1252(gtk_frame_get_label(GTK_FRAME(record->inner)));
    case ControlKind::DropDown:
        return takeCp1252(gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(record->inner)));
    case ControlKind::StatusBar:
        return statusText(control, 0);
    case ControlKind::ListView:
        return {};
    }
    return {};
}

void GtkPlatform::setEnabled(ControlId control, bool enabled) {
    if (ControlRecord* record = findControl(control)) {
        gtk_widget_set_sensitive(record->outer, enabled ? TRUE : FALSE);
    }
}

bool GtkPlatform::isEnabled(ControlId control) {
    const ControlRecord* record = findControl(control);
    return record != nullptr && gtk_widget_get_sensitive(record->outer);
}

// --- events

void GtkPlatform::pushEvent(const Event& event) {
    events_.push_back(event);
}

void GtkPlatform::pushControlEvent(ControlId control, ControlEventType type) {
    if (destroying_ > 0) {
        return;
    }
    const ControlRecord* record = findControl(control);
    if (record == nullptr) {
        return;
    }
    Event event;
    event.kind = EventKind::Control;
    event.window = record->window;
    event.control = control;
    event.controlType = type;
    pushEvent(event);
}

void GtkPlatform::raiseUrgentEvent(const Event& event) {
    if (!urgentHandler_) {
        pushEvent(event);
        return;
    }
    // A copy: the handler may replace itself.
    const std::function<void(const Event&)> handler = urgentHandler_;
    handler(event);
    urgentEventHandled_ = true;
}

void GtkPlatform::setUrgentEventHandler(std::function<void(const Event&)> handler) {
    urgentHandler_ = std::move(handler);
}

std::optional<Event> GtkPlatform::waitEvent(int timeoutMs) {
    const gint64 deadline = g_get_monotonic_time() + std::max(timeoutMs, 0) * gint64{1000};
    urgentEventHandled_ = false;
    for (;;) {
        while (events_.empty() && !urgentEventHandled_ &&
               g_main_context_iteration(nullptr, FALSE)) {
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
        const gint64 now = g_get_monotonic_time();
        if (now >= deadline) {
            return std::nullopt;
        }
        // Sleeps until something arrives or the time is up.
        bool expired = false;
        const auto remainingMs = static_cast<guint>((deadline - now + 999) / 1000);
        const guint timer = g_timeout_add_full(
            G_PRIORITY_DEFAULT, remainingMs,
            [](gpointer flag) -> gboolean {
                *static_cast<bool*>(flag) = true;
                return G_SOURCE_REMOVE;
            },
            &expired, nullptr);
        g_main_context_iteration(nullptr, TRUE);
        if (!expired) {
            g_source_remove(timer);
        }
    }
}

// --- tasks

gboolean runTaskSource(gpointer data) {
    const auto& queue = *static_cast<std::shared_ptr<GtkPlatform::TaskQueue>*>(data);
    GtkPlatform* owner = nullptr;
    {
        std::lock_guard lock(queue->mutex);
        owner = queue->owner;
    }
    if (owner != nullptr) {
        owner->runOneTask();
    }
    return G_SOURCE_REMOVE;
}

void GtkPlatform::scheduleTaskRun() {
    // Called with the queue's mutex held; the main context is safe to use from any thread.
    g_idle_add_full(G_PRIORITY_DEFAULT, runTaskSource, new std::shared_ptr<TaskQueue>(taskQueue_),
                    [](gpointer data) { delete static_cast<std::shared_ptr<TaskQueue>*>(data); });
}

void GtkPlatform::postTask(std::function<void()> task) {
    if (!task) {
        return;
    }
    std::lock_guard lock(taskQueue_->mutex);
    taskQueue_->tasks.push_back(std::move(task));
    if (!taskQueue_->scheduled) {
        taskQueue_->scheduled = true;
        scheduleTaskRun();
    }
}

void GtkPlatform::runOneTask() {
    std::function<void()> task;
    {
        std::lock_guard lock(taskQueue_->mutex);
        if (taskQueue_->tasks.empty()) {
            taskQueue_->scheduled = false;
            return;
        }
        task = std::move(taskQueue_->tasks.front());
        taskQueue_->tasks.pop_front();
        // The next one is scheduled before this one runs, so that it runs even while this
        // one waits in a modal box.
        if (taskQueue_->tasks.empty()) {
            taskQueue_->scheduled = false;
        } else {
            scheduleTaskRun();
        }
    }
    task();
}

bool GtkPlatform::isUiThread() const {
    return std::this_thread::get_id() == uiThread_;
}

Clock& GtkPlatform::clock() {
    return systemClock();
}

} // namespace reef::platform::gtk
