#include "platform/gtk/exact_layout.h"

namespace reef::platform::gtk {

namespace {

constexpr const char* kRectKey = "reef-exact-rect";

struct ExactLayout {
    GtkFixed parent;
    int width;
    int height;
};

struct ExactLayoutClass {
    GtkFixedClass parentClass;
};

GType exactLayoutType();

ExactLayout* asLayout(GtkWidget* widget) {
    return reinterpret_cast<ExactLayout*>(
        g_type_check_instance_cast(reinterpret_cast<GTypeInstance*>(widget), exactLayoutType()));
}

void preferredWidth(GtkWidget* widget, gint* minimum, gint* natural) {
    *minimum = *natural = asLayout(widget)->width;
}

void preferredHeight(GtkWidget* widget, gint* minimum, gint* natural) {
    *minimum = *natural = asLayout(widget)->height;
}

void allocateChild(GtkWidget* child, gpointer data) {
    const auto* outer = static_cast<const GtkAllocation*>(data);
    const auto* rect = static_cast<const Rect*>(g_object_get_data(G_OBJECT(child), kRectKey));
    if (rect == nullptr || !gtk_widget_get_visible(child)) {
        return;
    }
    // GTK wants every child measured before it is placed, even where the measure is not used.
    GtkRequisition minimum{};
    gtk_widget_get_preferred_size(child, &minimum, nullptr);
    GtkAllocation place{outer->x + rect->x, outer->y + rect->y, rect->width, rect->height};
    gtk_widget_size_allocate(child, &place);
}

void sizeAllocate(GtkWidget* widget, GtkAllocation* allocation) {
    gtk_widget_set_allocation(widget, allocation);
    gtk_container_forall(GTK_CONTAINER(widget), allocateChild, allocation);
}

void classInit(gpointer klass, gpointer) {
    auto* widgetClass = GTK_WIDGET_CLASS(klass);
    widgetClass->get_preferred_width = preferredWidth;
    widgetClass->get_preferred_height = preferredHeight;
    widgetClass->size_allocate = sizeAllocate;
}

GType exactLayoutType() {
    static GType type = 0; // registered once per process, as GObject types are
    if (type == 0) {
        GTypeInfo info{};
        info.class_size = sizeof(ExactLayoutClass);
        info.class_init = classInit;
        info.instance_size = sizeof(ExactLayout);
        type = g_type_register_static(GTK_TYPE_FIXED, "ReefExactLayout", &info, GTypeFlags{});
    }
    return type;
}

} // namespace

GtkWidget* newExactLayout(int width, int height) {
    auto* widget = GTK_WIDGET(g_object_new(exactLayoutType(), nullptr));
    ExactLayout* layout = asLayout(widget);
    layout->width = width;
    layout->height = height;
    return widget;
}

void putExactly(GtkWidget* layout, GtkWidget* child, Rect rect) {
    g_object_set_data_full(G_OBJECT(child), kRectKey, new Rect(rect),
                           [](gpointer data) { delete static_cast<Rect*>(data); });
    gtk_fixed_put(GTK_FIXED(layout), child, rect.x, rect.y);
}

void moveExactly(GtkWidget* child, Rect rect) {
    if (auto* stored = static_cast<Rect*>(g_object_get_data(G_OBJECT(child), kRectKey))) {
        *stored = rect;
        gtk_widget_queue_resize(child);
    }
}

Rect placedRect(GtkWidget* child) {
    GtkAllocation own{};
    gtk_widget_get_allocation(child, &own);
    GtkAllocation parent{};
    if (GtkWidget* layout = gtk_widget_get_parent(child)) {
        gtk_widget_get_allocation(layout, &parent);
    }
    return Rect{own.x - parent.x, own.y - parent.y, own.width, own.height};
}

Rect layoutSize(GtkWidget* layout) {
    const ExactLayout* exact = asLayout(layout);
    return Rect{0, 0, exact->width, exact->height};
}

} // namespace reef::platform::gtk
