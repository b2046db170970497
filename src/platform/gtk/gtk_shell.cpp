// Everything outside the windows: the program's icon, clipboard, tray icon, popup menu, the
// text editor and the end of the session.

#include "platform/gtk/gtk_platform.h"

#include "platform/gtk/program_icon.h"
#include "platform/gtk/utf8_text.h"

#include <glib-unix.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace reef::platform::gtk {

namespace {

constexpr const char* kMenuItemKey = "reef-menu-item";

GtkPlatform* self(gpointer data) {
    return static_cast<GtkPlatform*>(data);
}

gboolean trayButton(GtkStatusIcon*, GdkEventButton* button, gpointer data) {
    self(data)->onTrayButton(button);
    return TRUE;
}

void menuItemActivated(GtkMenuItem* item, gpointer data) {
    self(data)->onMenuItem(GTK_WIDGET(item));
}

void menuHidden(GtkWidget* menu, gpointer data) {
    self(data)->onMenuHidden(menu);
}

void trayEmbeddingChanged(GObject*, GParamSpec*, gpointer data) {
    self(data)->onTrayEmbeddingChanged();
}

gboolean sessionSignal(gpointer data) {
    self(data)->sessionEnds();
    return G_SOURCE_CONTINUE;
}

} // namespace

// --- the program's icon, for every window and the tray

void GtkPlatform::setProgramIcon() {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("ico", nullptr);
    if (loader == nullptr) {
        return;
    }
    if (gdk_pixbuf_loader_write(loader, kProgramIconBytes, kProgramIconSize, nullptr) &&
        gdk_pixbuf_loader_close(loader, nullptr)) {
        if (GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader)) {
            icon_ = GDK_PIXBUF(g_object_ref(pixbuf));
            gtk_window_set_default_icon(icon_);
        }
    } else {
        gdk_pixbuf_loader_close(loader, nullptr);
    }
    g_object_unref(loader);
}

// --- clipboard

// Other programs read the text as UTF-8 with its CR LF line ends, the same characters the
// Windows build puts on the clipboard.
bool GtkPlatform::setClipboardText(const std::string& text) {
    GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    if (clipboard == nullptr) {
        return false;
    }
    gtk_clipboard_set_text(clipboard, utf8(text).c_str(), -1);
    gtk_clipboard_set_can_store(clipboard, nullptr, 0);
    return true;
}

// --- tray icon. The icon exists from here on; the desktop shows it where it has a tray, and
// once one appears, as the Windows build re-adds its icon when the shell restarts.

G_GNUC_BEGIN_IGNORE_DEPRECATIONS

bool GtkPlatform::addTrayIcon(WindowId owner, const std::string& tooltip) {
    if (findWindow(owner) == nullptr) {
        return false;
    }
    removeTrayIcon();
    tray_ = icon_ != nullptr ? gtk_status_icon_new_from_pixbuf(icon_)
                             : gtk_status_icon_new_from_icon_name("applications-games");
    if (tray_ == nullptr) {
        return false;
    }
    trayOwner_ = owner;
    trayTooltip_ = tooltip;
    gtk_status_icon_set_tooltip_text(tray_, utf8(tooltip).c_str());
    gtk_status_icon_set_title(tray_, utf8(tooltip).c_str());
    g_signal_connect(tray_, "button-press-event", G_CALLBACK(trayButton), this);
    g_signal_connect(tray_, "button-release-event", G_CALLBACK(trayButton), this);
    g_signal_connect(tray_, "notify::embedded", G_CALLBACK(trayEmbeddingChanged), this);
    gtk_status_icon_set_visible(tray_, TRUE);
    return true;
}

void GtkPlatform::removeTrayIcon() {
    if (tray_ == nullptr) {
        return;
    }
    gtk_status_icon_set_visible(tray_, FALSE);
    g_signal_handlers_disconnect_by_data(tray_, this);
    g_object_unref(tray_);
    tray_ = nullptr;
    trayOwner_ = WindowId{};
    trayTooltip_.clear();
}

bool GtkPlatform::trayIconShown() const {
    return tray_ != nullptr && gtk_status_icon_is_embedded(tray_);
}

G_GNUC_END_IGNORE_DEPRECATIONS

// A tray that goes away (the panel ends) would leave a window hidden into it unreachable:
// it comes back minimised.
void GtkPlatform::onTrayEmbeddingChanged() {
    WindowRecord* owner = findWindow(trayOwner_);
    if (owner != nullptr && !trayIconShown() && !gtk_widget_get_visible(owner->window)) {
        gtk_widget_show(owner->window);
        gtk_window_iconify(GTK_WINDOW(owner->window));
        owner->minimized = true;
    }
}

// Single clicks count when the button comes up, double clicks at the second press, as the
// Windows shell reports them.
void GtkPlatform::onTrayButton(GdkEventButton* button) {
    if (tray_ == nullptr || findWindow(trayOwner_) == nullptr ||
        (button->button != 1 && button->button != 3)) {
        return;
    }
    const bool left = button->button == 1;
    Event event;
    event.kind = EventKind::Tray;
    event.window = trayOwner_;
    if (button->type == GDK_BUTTON_RELEASE) {
        event.trayType = left ? TrayEventType::LeftClick : TrayEventType::RightClick;
    } else if (button->type == GDK_2BUTTON_PRESS) {
        event.trayType = left ? TrayEventType::LeftDoubleClick : TrayEventType::RightDoubleClick;
    } else {
        return;
    }
    pushEvent(event);
}

// --- popup menu

MenuId GtkPlatform::createPopupMenu(const std::vector<MenuItem>& items) {
    GtkWidget* menu = gtk_menu_new();
    g_object_ref_sink(menu);
    for (const MenuItem& item : items) {
        GtkWidget* entry = item.separator ? gtk_separator_menu_item_new()
                                          : gtk_menu_item_new_with_label(utf8(item.text).c_str());
        if (!item.separator) {
            g_object_set_data(G_OBJECT(entry), kMenuItemKey, GINT_TO_POINTER(item.item));
            g_signal_connect(entry, "activate", G_CALLBACK(menuItemActivated), this);
        }
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), entry);
    }
    gtk_widget_show_all(menu);
    g_signal_connect(menu, "hide", G_CALLBACK(menuHidden), this);
    const MenuId id{nextHandle_++};
    menus_[id.value] = MenuRecord{menu, items};
    return id;
}

void GtkPlatform::destroyPopupMenu(MenuId menu) {
    auto it = menus_.find(menu.value);
    if (it == menus_.end()) {
        return;
    }
    if (shownMenu_ == it->second.menu) {
        gtk_menu_popdown(GTK_MENU(shownMenu_));
        shownMenu_ = nullptr;
    }
    gtk_widget_destroy(it->second.menu);
    g_object_unref(it->second.menu);
    menus_.erase(it);
}

void GtkPlatform::showPopupMenu(MenuId menu, WindowId owner) {
    auto it = menus_.find(menu.value);
    if (it == menus_.end() || findWindow(owner) == nullptr || shownMenu_ != nullptr) {
        return;
    }
    menuOwner_ = owner;
    shownMenu_ = it->second.menu;
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    // At the mouse position, which is where the tray icon was clicked.
    gtk_menu_popup(GTK_MENU(shownMenu_), nullptr, nullptr, nullptr, nullptr, 0,
                   gtk_get_current_event_time());
    G_GNUC_END_IGNORE_DEPRECATIONS
}

GtkMenu* GtkPlatform::shownPopupMenu() const {
    return shownMenu_ != nullptr ? GTK_MENU(shownMenu_) : nullptr;
}

std::vector<MenuItem> GtkPlatform::popupMenuItems(GtkMenu* menu) const {
    std::vector<MenuItem> items;
    GList* children = gtk_container_get_children(GTK_CONTAINER(menu));
    for (GList* child = children; child != nullptr; child = child->next) {
        auto* widget = GTK_WIDGET(child->data);
        if (GTK_IS_SEPARATOR_MENU_ITEM(widget)) {
            items.push_back(MenuItem{-1, "", true});
        } else {
            items.push_back(
                MenuItem{GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), kMenuItemKey)),
                         cp1252(gtk_menu_item_get_label(GTK_MENU_ITEM(widget))), false});
        }
    }
    g_list_free(children);
    return items;
}

void GtkPlatform::onMenuItem(GtkWidget* item) {
    if (findWindow(menuOwner_) == nullptr) {
        return;
    }
    Event event;
    event.kind = EventKind::MenuCommand;
    event.window = menuOwner_;
    event.menuItem = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), kMenuItemKey));
    pushEvent(event);
}

void GtkPlatform::onMenuHidden(GtkWidget* menu) {
    if (shownMenu_ == menu) {
        shownMenu_ = nullptr;
    }
}

// --- text editor

void GtkPlatform::openInTextEditor(const std::string& path) {
    // File names are bytes on Linux; the program's are those it writes itself.
    gchar* argv[] = {const_cast<gchar*>(options_.editorProgram.c_str()),
                     const_cast<gchar*>(path.c_str()), nullptr};
    if (g_spawn_async(nullptr, argv, nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr,
                      nullptr)) {
        editorLaunches_.push_back(path);
    }
}

// --- the end of the session: the desktop ends its programs with SIGTERM, a closed
// terminal with SIGHUP.

void GtkPlatform::watchSessionSignals() {
    signalSources_.push_back(g_unix_signal_add(SIGTERM, sessionSignal, this));
    signalSources_.push_back(g_unix_signal_add(SIGHUP, sessionSignal, this));
}

void GtkPlatform::sessionEnds() {
    ++sessionEndsRaised_;
    if (sessionEndsRaised_ > 1) {
        return; // the program hears it once
    }
    Event event;
    event.kind = EventKind::SessionEnd;
    const bool handledAtOnce = static_cast<bool>(urgentHandler_);
    raiseUrgentEvent(event);
    if (handledAtOnce && options_.endProcessWithSession) {
        std::fflush(nullptr);
        std::_Exit(0);
    }
}

} // namespace reef::platform::gtk
