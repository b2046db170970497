// The list view: a tree view over a store that holds only row numbers; texts and colours of
// the cells stay in the control's record and are handed to the renderer as a row is drawn.
// A click or an arrow key is one user action and one Activated, whether or not it changes
// the selection; the program's own changes raise nothing.

#include "platform/gtk/gtk_platform.h"

#include "platform/gtk/utf8_text.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace reef::platform::gtk {

namespace {

constexpr const char* kListKey = "reef-list";
constexpr const char* kColumnKey = "reef-column";

GtkPlatform* self(gpointer data) {
    return static_cast<GtkPlatform*>(data);
}

gboolean listButton(GtkWidget* tree, GdkEventButton* button, gpointer data) {
    return self(data)->onListButton(tree, button) ? TRUE : FALSE;
}

gboolean listKey(GtkWidget* tree, GdkEventKey* key, gpointer data) {
    return self(data)->onListKey(tree, key) ? TRUE : FALSE;
}

void listSelectionChanged(GtkTreeSelection* selection, gpointer data) {
    self(data)->onListSelectionChanged(GTK_WIDGET(gtk_tree_selection_get_tree_view(selection)));
}

void listFocusing(GtkWidget* tree, gpointer data) {
    self(data)->onListFocusing(tree, false);
}

void listFocused(GtkWidget* tree, gpointer data) {
    self(data)->onListFocusing(tree, true);
}

void cellData(GtkTreeViewColumn* column, GtkCellRenderer* renderer, GtkTreeModel* model,
              GtkTreeIter* iter, gpointer data) {
    self(data)->listCellData(column, renderer, model, iter);
}

GdkRGBA toRgba(Color color) {
    return GdkRGBA{color.r / 255.0, color.g / 255.0, color.b / 255.0, 1.0};
}

int rowOf(GtkTreeModel* model, GtkTreeIter* iter) {
    gint row = -1;
    gtk_tree_model_get(model, iter, 0, &row, -1);
    return row;
}

} // namespace

ControlId GtkPlatform::createListView(WindowId window, Rect rect) {
    if (findWindow(window) == nullptr) {
        return {};
    }
    GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_AUTOMATIC,
                                   GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(scroller), FALSE);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroller), GTK_SHADOW_IN);
    GtkListStore* store = gtk_list_store_new(1, G_TYPE_INT);
    GtkWidget* tree = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
    gtk_tree_view_set_grid_lines(GTK_TREE_VIEW(tree), GTK_TREE_VIEW_GRID_LINES_BOTH);
    gtk_tree_view_set_enable_search(GTK_TREE_VIEW(tree), FALSE);
    // Every column has a fixed width and every row one line: the tree view then measures no
    // row before it draws, however many there are.
    gtk_tree_view_set_fixed_height_mode(GTK_TREE_VIEW(tree), TRUE);
    // Clickable headers look like the Windows ones; a click on them sorts nothing.
    gtk_tree_view_set_headers_clickable(GTK_TREE_VIEW(tree), TRUE);
    gtk_tree_selection_set_mode(gtk_tree_view_get_selection(GTK_TREE_VIEW(tree)),
                                GTK_SELECTION_SINGLE);
    g_signal_connect(tree, "button-press-event", G_CALLBACK(listButton), this);
    g_signal_connect(tree, "key-press-event", G_CALLBACK(listKey), this);
    g_signal_connect(tree, "grab-focus", G_CALLBACK(listFocusing), this);
    g_signal_connect_after(tree, "grab-focus", G_CALLBACK(listFocused), this);
    g_signal_connect(gtk_tree_view_get_selection(GTK_TREE_VIEW(tree)), "changed",
                     G_CALLBACK(listSelectionChanged), this);
    gtk_container_add(GTK_CONTAINER(scroller), tree);
    const ControlId id = addControl(window, ControlKind::ListView, rect, scroller, tree);
    if (ControlRecord* record = findControl(id)) {
        record->store = store; // owned by the tree view from here on
        g_object_unref(store);
    }
    return id;
}

void GtkPlatform::addListColumn(ControlId list, const std::string& header, int width) {
    ControlRecord* record = findControlOfKind(list, ControlKind::ListView);
    if (record == nullptr) {
        return;
    }
    GtkCellRenderer* renderer = gtk_cell_renderer_text_new();
    g_object_set(renderer, "ellipsize", PANGO_ELLIPSIZE_END, "ypad", 0, nullptr);
    GtkTreeViewColumn* column = gtk_tree_view_column_new();
    gtk_tree_view_column_set_title(column, utf8(header).c_str());
    gtk_tree_view_column_set_sizing(column, GTK_TREE_VIEW_COLUMN_FIXED);
    gtk_tree_view_column_set_fixed_width(column, width);
    gtk_tree_view_column_set_resizable(column, TRUE);
    gtk_tree_view_column_pack_start(column, renderer, TRUE);
    g_object_set_data(G_OBJECT(column), kListKey,
                      reinterpret_cast<gpointer>(static_cast<std::uintptr_t>(list.value)));
    g_object_set_data(G_OBJECT(column), kColumnKey,
                      GINT_TO_POINTER(static_cast<gint>(record->columns.size())));
    gtk_tree_view_column_set_cell_data_func(column, renderer, cellData, this, nullptr);
    gtk_tree_view_append_column(GTK_TREE_VIEW(record->inner), column);
    record->columns.push_back(column);
    for (auto& row : record->rows) {
        row.resize(record->columns.size());
    }
}

void GtkPlatform::setListColumnWidth(ControlId list, int column, int width) {
    ControlRecord* record = findControlOfKind(list, ControlKind::ListView);
    if (record == nullptr || column < 0 || column >= static_cast<int>(record->columns.size())) {
        return;
    }
    gtk_tree_view_column_set_fixed_width(record->columns[static_cast<std::size_t>(column)], width);
}

int GtkPlatform::listColumnWidth(ControlId list, int column) {
    const ControlRecord* record = findControlOfKind(list, ControlKind::ListView);
    if (record == nullptr || column < 0 || column >= static_cast<int>(record->columns.size())) {
        return 0;
    }
    // Dragging a column's edge sets its fixed width, so this is also what the user made it.
    return gtk_tree_view_column_get_fixed_width(record->columns[static_cast<std::size_t>(column)]);
}

void GtkPlatform::clearListRows(ControlId list) {
    ControlRecord* record = findControlOfKind(list, ControlKind::ListView);
    if (record == nullptr) {
        return;
    }
    ++suppressEvents_;
    gtk_list_store_clear(record->store);
    --suppressEvents_;
    record->rows.clear();
    // The user's next selection, whichever row it is, is new again.
    record->reportedSelection = -1;
    record->caretRow = -1;
}

int GtkPlatform::addListRow(ControlId list) {
    ControlRecord* record = findControlOfKind(list, ControlKind::ListView);
    if (record == nullptr) {
        return -1;
    }
    const int index = static_cast<int>(record->rows.size());
    record->rows.emplace_back(record->columns.size());
    ++suppressEvents_;
    gtk_list_store_insert_with_values(record->store, nullptr, -1, 0, index, -1);
    --suppressEvents_;
    return index;
}

int GtkPlatform::listRowCount(ControlId list) {
    const ControlRecord* record = findControlOfKind(list, ControlKind::ListView);
    return record ? static_cast<int>(record->rows.size()) : 0;
}

namespace {

template <typename Record> auto* cellOf(Record& record, int row, int column) {
    using Cell = std::remove_reference_t<decltype(record.rows[0][0])>;
    if (row < 0 || column < 0 || row >= static_cast<int>(record.rows.size()) ||
        column >= static_cast<int>(record.columns.size())) {
        return static_cast<Cell*>(nullptr);
    }
    return &record.rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

} // namespace

void GtkPlatform::setListCell(ControlId list, int row, int column, const std::string& text) {
    ControlRecord* record = findControlOfKind(list, ControlKind::ListView);
    if (record == nullptr) {
        return;
    }
    if (ListCell* cell = cellOf(*record, row, column)) {
        cell->text = utf8(text);
        gtk_widget_queue_draw(record->inner);
    }
}

std::string GtkPlatform::listCell(ControlId list, int row, int column) {
    const ControlRecord* record = findControlOfKind(list, ControlKind::ListView);
    if (record == nullptr) {
        return {};
    }
    const ListCell* cell = cellOf(*record, row, column);
    return cell ? cp1252(cell->text.c_str()) : std::string();
}

void GtkPlatform::setListCellColors(ControlId list, int row, int column,
                                    std::optional<Color> background,
                                    std::optional<Color> textColor) {
    ControlRecord* record = findControlOfKind(list, ControlKind::ListView);
    if (record == nullptr) {
        return;
    }
    if (ListCell* cell = cellOf(*record, row, column)) {
        cell->colors = CellColors{background, textColor};
        gtk_widget_queue_draw(record->inner);
    }
}

void GtkPlatform::setListRows(ControlId list, std::vector<ListRowContent> rows) {
    ControlRecord* record = findControlOfKind(list, ControlKind::ListView);
    if (record == nullptr) {
        return;
    }
    const std::size_t columns = std::max<std::size_t>(record->columns.size(), 1);
    std::vector<std::vector<ListCell>> converted(rows.size());
    for (std::size_t row = 0; row < rows.size(); ++row) {
        auto& cells = converted[row];
        cells.resize(record->columns.size());
        for (std::size_t column = 0; column < rows[row].size() && column < columns; ++column) {
            const ListCellContent& content = rows[row][column];
            if (column >= cells.size()) {
                cells.resize(column + 1);
            }
            cells[column] =
                ListCell{utf8(content.text), CellColors{content.background, content.textColor}};
        }
    }
    // The store is filled while no tree view watches it, which then takes it in one piece;
    // the selection goes with the old rows.
    GtkTreeView* tree = GTK_TREE_VIEW(record->inner);
    ++suppressEvents_;
    g_object_ref(record->store);
    gtk_tree_view_set_model(tree, nullptr);
    gtk_list_store_clear(record->store);
    record->rows = std::move(converted);
    for (std::size_t row = 0; row < record->rows.size(); ++row) {
        gtk_list_store_insert_with_values(record->store, nullptr, -1, 0, static_cast<gint>(row),
                                          -1);
    }
    gtk_tree_view_set_model(tree, GTK_TREE_MODEL(record->store));
    g_object_unref(record->store);
    --suppressEvents_;
    record->reportedSelection = -1;
    record->caretRow = -1;
}

void GtkPlatform::changeListCells(ControlId list, const std::vector<ListCellChange>& changes) {
    ControlRecord* record = findControlOfKind(list, ControlKind::ListView);
    if (record == nullptr) {
        return;
    }
    for (const ListCellChange& change : changes) {
        if (ListCell* cell = cellOf(*record, change.row, change.column)) {
            cell->text = utf8(change.text);
            if (change.setColors) {
                cell->colors = CellColors{change.background, change.textColor};
            }
        }
    }
    gtk_widget_queue_draw(record->inner);
}

// Every cell sets both colours, so that one cell's colours never carry over into the cells
// drawn after it by the same renderer.
void GtkPlatform::listCellData(GtkTreeViewColumn* column, GtkCellRenderer* renderer,
                               GtkTreeModel* model, GtkTreeIter* iter) {
    const ControlId list{static_cast<std::uint64_t>(
        reinterpret_cast<std::uintptr_t>(g_object_get_data(G_OBJECT(column), kListKey)))};
    const int index = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(column), kColumnKey));
    const ControlRecord* record = findControlOfKind(list, ControlKind::ListView);
    const ListCell* cell = record ? cellOf(*record, rowOf(model, iter), index) : nullptr;
    if (cell == nullptr) {
        g_object_set(renderer, "text", "", "cell-background-set", FALSE, "foreground-set", FALSE,
                     nullptr);
        return;
    }
    g_object_set(renderer, "text", cell->text.c_str(), nullptr);
    if (cell->colors.background) {
        const GdkRGBA rgba = toRgba(*cell->colors.background);
        g_object_set(renderer, "cell-background-rgba", &rgba, "cell-background-set", TRUE, nullptr);
    } else {
        g_object_set(renderer, "cell-background-set", FALSE, nullptr);
    }
    if (cell->colors.text) {
        const GdkRGBA rgba = toRgba(*cell->colors.text);
        g_object_set(renderer, "foreground-rgba", &rgba, "foreground-set", TRUE, nullptr);
    } else {
        g_object_set(renderer, "foreground-set", FALSE, nullptr);
    }
}

std::optional<Color> GtkPlatform::cellColor(ControlId list, int row, int column,
                                            bool background) const {
    const ControlRecord* record = findControlOfKind(list, ControlKind::ListView);
    const ListCell* cell = record ? cellOf(*record, row, column) : nullptr;
    if (cell == nullptr) {
        return std::nullopt;
    }
    return background ? cell->colors.background : cell->colors.text;
}

int GtkPlatform::currentListSelection(const ControlRecord& list) const {
    GtkTreeModel* model = nullptr;
    GtkTreeIter iter;
    if (!gtk_tree_selection_get_selected(gtk_tree_view_get_selection(GTK_TREE_VIEW(list.inner)),
                                         &model, &iter)) {
        return -1;
    }
    return rowOf(model, &iter);
}

int GtkPlatform::selectedListRow(ControlId list) {
    const ControlRecord* record = findControlOfKind(list, ControlKind::ListView);
    return record ? currentListSelection(*record) : -1;
}

int GtkPlatform::listCaretRow(ControlId list) const {
    const ControlRecord* record = findControlOfKind(list, ControlKind::ListView);
    return record ? record->caretRow : -1;
}

// -1 clears the selection.
void GtkPlatform::selectListRow(ControlRecord& list, int row) {
    GtkTreeView* tree = GTK_TREE_VIEW(list.inner);
    ++suppressEvents_;
    if (row < 0) {
        gtk_tree_selection_unselect_all(gtk_tree_view_get_selection(tree));
    } else {
        GtkTreePath* path = gtk_tree_path_new_from_indices(row, -1);
        gtk_tree_view_set_cursor(tree, path, nullptr, FALSE);
        gtk_tree_view_scroll_to_cell(tree, path, nullptr, FALSE, 0.0F, 0.0F);
        gtk_tree_path_free(path);
    }
    --suppressEvents_;
    list.reportedSelection = row;
}

bool GtkPlatform::onListButton(GtkWidget* tree, GdkEventButton* button) {
    ControlRecord* record = findControl(controlIdOf(tree));
    // Clicks on the column headers (resizing a column) are the tree view's own.
    if (record == nullptr || button->type != GDK_BUTTON_PRESS ||
        button->window != gtk_tree_view_get_bin_window(GTK_TREE_VIEW(tree)) ||
        (button->button != 1 && button->button != 3)) {
        return false;
    }
    if (!gtk_widget_has_focus(tree)) {
        gtk_widget_grab_focus(tree);
    }
    GtkTreePath* path = nullptr;
    int row = -1;
    if (gtk_tree_view_get_path_at_pos(GTK_TREE_VIEW(tree), static_cast<gint>(button->x),
                                      static_cast<gint>(button->y), &path, nullptr, nullptr,
                                      nullptr)) {
        row = gtk_tree_path_get_indices(path)[0];
        gtk_tree_path_free(path);
    }
    // A click where no row is clears the selection; the keys still move from the row last
    // clicked.
    if (row >= 0) {
        record->caretRow = row;
    }
    selectListRow(*record, row);
    pushControlEvent(controlIdOf(tree), ControlEventType::Activated);
    return true;
}

bool GtkPlatform::onListKey(GtkWidget* tree, GdkEventKey* key) {
    int step = 0;
    if (key->keyval == GDK_KEY_Up || key->keyval == GDK_KEY_KP_Up) {
        step = -1;
    } else if (key->keyval == GDK_KEY_Down || key->keyval == GDK_KEY_KP_Down) {
        step = 1;
    }
    ControlRecord* record = findControl(controlIdOf(tree));
    if (step == 0 || record == nullptr) {
        return false;
    }
    // Down from no row goes to the first; Up from no row finds nothing above it.
    const int target = record->caretRow + step;
    if (target < 0 || target >= static_cast<int>(record->rows.size())) {
        return true;
    }
    record->caretRow = target;
    if (currentListSelection(*record) == target) {
        return true;
    }
    selectListRow(*record, target);
    pushControlEvent(controlIdOf(tree), ControlEventType::Activated);
    return true;
}

// Taking the focus, the tree view selects its first row when nothing is selected; the
// Windows list view selects nothing until the user does.
void GtkPlatform::onListFocusing(GtkWidget* tree, bool done) {
    ControlRecord* record = findControl(controlIdOf(tree));
    if (record == nullptr) {
        return;
    }
    if (!done) {
        ++suppressEvents_;
        record->selectionBeforeFocus = currentListSelection(*record);
        return;
    }
    if (currentListSelection(*record) != record->selectionBeforeFocus) {
        selectListRow(*record, record->selectionBeforeFocus);
    }
    --suppressEvents_;
}

// The keys the tree view handles itself (Home, End, the page keys) move the selection too.
void GtkPlatform::onListSelectionChanged(GtkWidget* tree) {
    ControlRecord* record = findControl(controlIdOf(tree));
    if (record == nullptr || suppressEvents_ > 0) {
        return;
    }
    const int selection = currentListSelection(*record);
    if (selection == record->reportedSelection) {
        return;
    }
    record->reportedSelection = selection;
    if (selection >= 0) {
        record->caretRow = selection;
    }
    pushControlEvent(controlIdOf(tree), ControlEventType::Activated);
}

} // namespace reef::platform::gtk
