#pragma once
// A container that puts every child exactly at the rectangle it was given and asks for
// exactly the size it was made with: the windows' layouts are fixed pixel layouts, and a
// theme whose controls would like more room must not move or grow them.

#include "platform/handles.h"

#include <gtk/gtk.h>

namespace reef::platform::gtk {

GtkWidget* newExactLayout(int width, int height);
void putExactly(GtkWidget* layout, GtkWidget* child, Rect rect);
void moveExactly(GtkWidget* child, Rect rect);
// The child's place as the layout allocated it, relative to the layout.
Rect placedRect(GtkWidget* child);
// The size the layout was made with.
Rect layoutSize(GtkWidget* layout);

} // namespace reef::platform::gtk
