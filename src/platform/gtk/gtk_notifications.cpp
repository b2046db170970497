// Notifications from the tray icon: the desktop's notification service
// (org.freedesktop.Notifications) over the session bus. Where no bus or no service runs,
// nothing is shown and nothing else happens.

#include "platform/gtk/gtk_platform.h"

#include "platform/gtk/utf8_text.h"

#include <glib/gstdio.h>

#include <cstdlib>
#include <string>

namespace reef::platform::gtk {

namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr const char* kDefaultAction = "default"; // a click on the notification itself

GtkPlatform* self(gpointer data) {
    return static_cast<GtkPlatform*>(data);
}

void notifyAnswered(GObject* bus, GAsyncResult* result, gpointer data) {
    GError* error = nullptr;
    GVariant* answer = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &error);
    if (answer == nullptr) {
        // Cancelled calls belong to a platform that is gone; every other error means no
        // service, which is no fault of the program's.
        g_error_free(error);
        return;
    }
    guint32 id = 0;
    g_variant_get(answer, "(u)", &id);
    g_variant_unref(answer);
    self(data)->onNotificationShown(id);
}

void actionInvoked(GDBusConnection*, const char*, const char*, const char*, const char*,
                   GVariant* parameters, gpointer data) {
    guint32 id = 0;
    const char* action = nullptr;
    g_variant_get(parameters, "(u&s)", &id, &action);
    self(data)->onNotificationAction(id, action);
}

// Only a bus the session names: GLib would otherwise start a bus of its own for the X
// display, which would outlive the program.
bool sessionBusKnown() {
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address) {
        return true;
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime != nullptr && *runtime &&
           g_file_test((std::string(runtime) + "/bus").c_str(), G_FILE_TEST_EXISTS);
}

// The program's icon as the "image-data" hint: width, height, row stride, alpha, bits per
// sample, channels, pixels.
GVariant* imageData(GdkPixbuf* icon) {
    GBytes* pixels = gdk_pixbuf_read_pixel_bytes(icon);
    GVariant* data =
        g_variant_new("(iiibii@ay)", gdk_pixbuf_get_width(icon), gdk_pixbuf_get_height(icon),
                      gdk_pixbuf_get_rowstride(icon), gdk_pixbuf_get_has_alpha(icon),
                      gdk_pixbuf_get_bits_per_sample(icon), gdk_pixbuf_get_n_channels(icon),
                      g_variant_new_from_bytes(G_VARIANT_TYPE_BYTESTRING, pixels, TRUE));
    g_bytes_unref(pixels);
    return data;
}

} // namespace

GDBusConnection* GtkPlatform::notificationBus() {
    if (notificationBusTried_) {
        return notificationBus_;
    }
    notificationBusTried_ = true;
    if (!sessionBusKnown()) {
        return nullptr;
    }
    notificationBus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (notificationBus_ == nullptr) {
        return nullptr;
    }
    // GLib would end the process when the bus goes away; the program only stops telling.
    g_dbus_connection_set_exit_on_close(notificationBus_, FALSE);
    notificationCalls_ = g_cancellable_new();
    notificationSignals_ = g_dbus_connection_signal_subscribe(
        notificationBus_, nullptr, kService, "ActionInvoked", kPath, nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, actionInvoked, this, nullptr);
    return notificationBus_;
}

void GtkPlatform::forgetNotificationBus() {
    if (notificationBus_ == nullptr) {
        return;
    }
    g_cancellable_cancel(notificationCalls_);
    g_object_unref(notificationCalls_);
    notificationCalls_ = nullptr;
    g_dbus_connection_signal_unsubscribe(notificationBus_, notificationSignals_);
    g_object_unref(notificationBus_);
    notificationBus_ = nullptr;
}

void GtkPlatform::showTrayNotification(const TrayNotification& notification) {
    if (tray_ == nullptr) {
        return;
    }
    GDBusConnection* bus = notificationBus();
    if (bus == nullptr) {
        return;
    }
    GVariantBuilder actions;
    g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
    g_variant_builder_add(&actions, "s", kDefaultAction);
    g_variant_builder_add(&actions, "s", utf8("Öffnen").c_str());
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&hints, "{sv}", "urgency", g_variant_new_byte(1));
    g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string("reef-tools"));
    if (icon_ != nullptr) {
        g_variant_builder_add(&hints, "{sv}", "image-data", imageData(icon_));
    }
    if (notification.sound) {
        g_variant_builder_add(&hints, "{sv}", "sound-name",
                              g_variant_new_string("message-new-instant"));
    } else {
        g_variant_builder_add(&hints, "{sv}", "suppress-sound", g_variant_new_boolean(TRUE));
    }
    // The service may read the body as markup; player names are plain text.
    gchar* body = g_markup_escape_text(utf8(notification.text).c_str(), -1);
    g_dbus_connection_call(bus, kService, kPath, kService, "Notify",
                           g_variant_new("(susssasa{sv}i)", "Reef - Tools", notificationId_, "",
                                         utf8(notification.title).c_str(), body, &actions, &hints,
                                         -1),
                           G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, notificationCalls_,
                           notifyAnswered, this);
    g_free(body);
}

void GtkPlatform::onNotificationShown(guint32 id) {
    notificationId_ = id;
}

void GtkPlatform::onNotificationAction(guint32 id, const char* action) {
    if (id == 0 || id != notificationId_ || action == nullptr ||
        std::string(action) != kDefaultAction || tray_ == nullptr) {
        return;
    }
    Event event;
    event.kind = EventKind::Tray;
    event.window = trayOwner_;
    event.trayType = TrayEventType::NotificationClick;
    pushEvent(event);
}

} // namespace reef::platform::gtk
