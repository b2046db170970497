// The modal message box and input requester. Both run a nested main loop, in which posted
// tasks keep running; the program's windows take no input meanwhile, and the window that
// was active before gets the activation back afterwards.

#include "platform/gtk/gtk_platform.h"

#include "platform/gtk/utf8_text.h"

namespace reef::platform::gtk {

namespace {

// The window of ours that was active when a box opened is active again when it closes.
class ActiveWindowKeeper {
  public:
    explicit ActiveWindowKeeper(GtkWindow* active) : active_(active) {
        if (active_ != nullptr) {
            g_object_add_weak_pointer(G_OBJECT(active_), reinterpret_cast<gpointer*>(&active_));
        }
    }
    ~ActiveWindowKeeper() {
        if (active_ != nullptr) {
            g_object_remove_weak_pointer(G_OBJECT(active_), reinterpret_cast<gpointer*>(&active_));
            if (gtk_widget_get_visible(GTK_WIDGET(active_))) {
                gtk_window_present(active_);
            }
        }
    }
    ActiveWindowKeeper(const ActiveWindowKeeper&) = delete;
    ActiveWindowKeeper& operator=(const ActiveWindowKeeper&) = delete;

  private:
    GtkWindow* active_ = nullptr;
};

} // namespace

// The activation of a window the program has just presented arrives from the X server a
// moment later; until then the window that is about to be active counts.
GtkWindow* GtkPlatform::lastActiveWindow() const {
    const WindowRecord* record = findWindow(lastActive_);
    if (record == nullptr || !gtk_widget_get_visible(record->window)) {
        return nullptr;
    }
    return GTK_WINDOW(record->window);
}

MessageBoxAnswer GtkPlatform::messageBox(const std::string& caption, const std::string& text,
                                         MessageBoxKind kind) {
    const bool question = kind == MessageBoxKind::Question;
    GtkWidget* box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL,
                                            question ? GTK_MESSAGE_QUESTION : GTK_MESSAGE_ERROR,
                                            GTK_BUTTONS_NONE, "%s", utf8(text).c_str());
    gtk_window_set_title(GTK_WINDOW(box), utf8(caption).c_str());
    gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
    gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
    // The question or error sign beside the text, as the Windows boxes show it.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    GtkWidget* sign = gtk_image_new_from_icon_name(question ? "dialog-question" : "dialog-error",
                                                   GTK_ICON_SIZE_DIALOG);
    gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(box), sign);
    gtk_widget_show(sign);
    G_GNUC_END_IGNORE_DEPRECATIONS
    if (question) {
        gtk_dialog_add_buttons(GTK_DIALOG(box), "_Ja", GTK_RESPONSE_YES, "_Nein", GTK_RESPONSE_NO,
                               nullptr);
        gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_YES);
    } else {
        gtk_dialog_add_button(GTK_DIALOG(box), "OK", GTK_RESPONSE_OK);
        gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
    }
    g_object_set_data(G_OBJECT(box), kMessageBoxKindKey,
                      GINT_TO_POINTER(static_cast<int>(kind) + 1));
    gint response = GTK_RESPONSE_NONE;
    {
        const ActiveWindowKeeper keeper(lastActiveWindow());
        response = gtk_dialog_run(GTK_DIALOG(box));
        gtk_widget_destroy(box);
    }
    if (question) {
        return response == GTK_RESPONSE_YES ? MessageBoxAnswer::Yes : MessageBoxAnswer::No;
    }
    return MessageBoxAnswer::Ok;
}

std::string GtkPlatform::inputBox(const std::string& caption, const std::string& prompt,
                                  const std::string& defaultText) {
    GtkWidget* box = gtk_dialog_new();
    gtk_window_set_title(GTK_WINDOW(box), utf8(caption).c_str());
    gtk_window_set_modal(GTK_WINDOW(box), TRUE);
    gtk_window_set_resizable(GTK_WINDOW(box), FALSE);
    gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
    gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
    gtk_dialog_add_buttons(GTK_DIALOG(box), "OK", GTK_RESPONSE_OK, "Abbrechen", GTK_RESPONSE_CANCEL,
                           nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_OK);

    GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(box));
    gtk_container_set_border_width(GTK_CONTAINER(content), 10);
    gtk_box_set_spacing(GTK_BOX(content), 8);
    GtkWidget* label = gtk_label_new(utf8(prompt).c_str());
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(label), 50);
    gtk_label_set_xalign(GTK_LABEL(label), 0.0F);
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_text(GTK_ENTRY(entry), utf8(defaultText).c_str());
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    gtk_widget_set_size_request(entry, 324, 22);
    gtk_box_pack_start(GTK_BOX(content), label, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(content), entry, FALSE, FALSE, 0);
    g_object_set_data(G_OBJECT(box), kInputBoxPromptKey, label);
    g_object_set_data(G_OBJECT(box), kInputBoxEntryKey, entry);
    gtk_widget_show_all(box);
    gtk_widget_grab_focus(entry);
    gtk_editable_select_region(GTK_EDITABLE(entry), 0, -1);

    gint response = GTK_RESPONSE_NONE;
    std::string result;
    {
        const ActiveWindowKeeper keeper(lastActiveWindow());
        response = gtk_dialog_run(GTK_DIALOG(box));
        if (response == GTK_RESPONSE_OK) {
            // The field edits in UTF-8; what CP1252 cannot hold becomes "?".
            result = cp1252(gtk_entry_get_text(GTK_ENTRY(entry)));
        }
        gtk_widget_destroy(box);
    }
    return result;
}

} // namespace reef::platform::gtk
