// What only the real GTK user interface shows: the clipboard as another program reads it,
// the window on the X screen, the signals that end the session, the status bar's field
// alignment and the program's icon.

#include "platform/conformance/conformance_fixture.h"
#include "platform/gtk/exact_layout.h"
#include "platform/gtk/gtk_platform.h"
#include "platform/gtk/gtk_ui_driver.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <unistd.h>

namespace reef::platform::conformance {
namespace {

class GtkNative : public ConformanceTest {
  protected:
    gtk::GtkPlatform& gtkPlatform() { return static_cast<gtk::GtkPlatform&>(platform()); }
    gtk::GtkUiDriver& gtkDriver() { return static_cast<gtk::GtkUiDriver&>(driver()); }

    // Runs the command while the main loop keeps serving the clipboard; its output.
    std::string runWhileServing(const std::string& command) {
        auto output = std::async(std::launch::async, [command] {
            std::string text;
            if (FILE* pipe = popen(command.c_str(), "r")) {
                char buffer[256];
                for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
                    text.append(buffer, got);
                }
                pclose(pipe);
            }
            return text;
        });
        pumpUntil(
            [&] { return output.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
        return output.get();
    }
};

TEST_F(GtkNative, AnotherProgramReadsTheClipboardAsUtf8WithItsCrLf) {
    if (system("command -v xclip >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "xclip is not installed";
    }
    ASSERT_TRUE(platform().setClipboardText("ETA-Plan\r\nZiel: Rückkehr €5"));
    EXPECT_EQ(runWhileServing("xclip -selection clipboard -o -target UTF8_STRING"),
              "ETA-Plan\r\nZiel: R\xC3\xBC"
              "ckkehr \xE2\x82\xAC"
              "5");
}

TEST_F(GtkNative, TheWindowOnTheScreenHasTheClientSize) {
    const WindowId window = openTestWindow("Reef - Tools: Flottenverteilung", 650, 95);
    gtkDriver().settle();
    GdkWindow* onScreen = gtk_widget_get_window(GTK_WIDGET(gtkPlatform().windowWidget(window)));
    ASSERT_NE(onScreen, nullptr);
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    gdk_window_get_geometry(onScreen, &x, &y, &width, &height);
    EXPECT_EQ(width, 650);
    EXPECT_EQ(height, 95);
}

TEST_F(GtkNative, HangupAndTerminationEndTheSessionOnce) {
    openTestWindow("Reef - Tools");
    drainEvents();
    for (const int signal : {SIGHUP, SIGTERM}) {
        kill(getpid(), signal);
    }
    const std::vector<Event> events = drainEvents();
    EXPECT_EQ(countMatching(events,
                            [](const Event& event) { return event.kind == EventKind::SessionEnd; }),
              1);
}

// As the system ends the process after the end of a Windows session: once the program has
// handled it, also from inside a modal box that nobody answers.
TEST(GtkSessionEnd, TheProcessEndsOnceTheProgramHasHandledTheEnd) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            auto ui = gtk::GtkPlatform::create(gtk::GtkOptions{.endProcessWithSession = true});
            if (!ui) {
                std::_Exit(3);
            }
            ui->setUrgentEventHandler([](const Event&) { std::fputs("saved\n", stderr); });
            ui->postTask([] { kill(getpid(), SIGTERM); });
            ui->messageBox("Reef - Tools", "Programm wirklich beenden?", MessageBoxKind::Question);
            std::_Exit(4); // the box was answered: the end never came
        },
        ::testing::ExitedWithCode(0), "saved");
}

TEST_F(GtkNative, StatusFieldsAlignByTheirLeadingTabs) {
    const WindowId window = openTestWindow("Reef - Tools: Test", 640, 230);
    const ControlId status = platform().createStatusBar(window, 200, 200, 300);
    platform().setStatusText(status, 0, "links");
    platform().setStatusText(status, 1, "\tMitte");
    platform().setStatusText(status, 2, "\t\tStatus: Fertig!");
    driver().controlRect(status); // laid out as on the screen
    std::vector<std::pair<std::string, float>> shown;
    std::vector<Rect> places;
    GList* frames = gtk_container_get_children(GTK_CONTAINER(gtkPlatform().controlWidget(status)));
    for (GList* frame = frames; frame != nullptr; frame = frame->next) {
        auto* label = GTK_LABEL(gtk_bin_get_child(GTK_BIN(frame->data)));
        shown.emplace_back(gtk_label_get_text(label), gtk_label_get_xalign(label));
        places.push_back(gtk::placedRect(GTK_WIDGET(frame->data)));
    }
    g_list_free(frames);
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0], (std::pair<std::string, float>{"links", 0.0F}));
    EXPECT_EQ(shown[1], (std::pair<std::string, float>{"Mitte", 0.5F}));
    EXPECT_EQ(shown[2], (std::pair<std::string, float>{"Status: Fertig!", 1.0F}));
    // The last field would pass the window's edge and ends there instead.
    ASSERT_EQ(places.size(), 3u);
    EXPECT_EQ(places[1].x, 200);
    EXPECT_EQ(places[2].x, 400);
    EXPECT_EQ(places[2].x + places[2].width, 640);
}

// The tree view asks for the cells it draws: scrolled into the middle of a long list, every
// row it shows is drawn in the colours of that row, not of the row that was there before.
TEST_F(GtkNative, ScrolledLongListDrawsEachRowInItsOwnColours) {
    const WindowId window = openTestWindow("Reef - Tools: Test", 640, 230);
    const ControlId list = platform().createListView(window, Rect{0, 0, 640, 153});
    platform().addListColumn(list, "Hilfe-/ Status", 80);
    platform().addListColumn(list, "Name", 100);
    const auto colourOf = [](int row) {
        return rgb(255, static_cast<std::uint8_t>(row * 37 % 256),
                   static_cast<std::uint8_t>(row % 200));
    };
    std::vector<ListRowContent> rows(2000);
    for (int row = 0; row < 2000; ++row) {
        rows[row] = {{"Spieler_" + std::to_string(row)}, {"", colourOf(row)}};
    }
    platform().setListRows(list, std::move(rows));
    GtkTreeView* tree = GTK_TREE_VIEW(gtkPlatform().inputWidget(list));
    gtkDriver().settle();
    GtkTreePath* middle = gtk_tree_path_new_from_indices(1000, -1);
    gtk_tree_view_scroll_to_cell(tree, middle, nullptr, TRUE, 0.5F, 0.0F);
    gtk_tree_path_free(middle);
    // Drawing waits for the next frames of the frame clock.
    for (int frame = 0; frame < 20; ++frame) {
        gtkDriver().settle();
        g_usleep(20000);
    }

    GtkTreePath* first = nullptr;
    GtkTreePath* last = nullptr;
    ASSERT_TRUE(gtk_tree_view_get_visible_range(tree, &first, &last));
    const int top = gtk_tree_path_get_indices(first)[0];
    const int bottom = gtk_tree_path_get_indices(last)[0];
    gtk_tree_path_free(first);
    gtk_tree_path_free(last);
    ASSERT_GT(top, 900);
    ASSERT_GT(bottom, top + 1);
    // The pixels as the X server shows them.
    GdkWindow* bin = gtk_tree_view_get_bin_window(tree);
    const int binHeight = gdk_window_get_height(bin);
    int checked = 0;
    for (int row = top; row <= bottom; ++row) {
        GtkTreePath* path = gtk_tree_path_new_from_indices(row, -1);
        GdkRectangle cell{};
        gtk_tree_view_get_background_area(tree, path, gtk_tree_view_get_column(tree, 1), &cell);
        gtk_tree_path_free(path);
        const int y = cell.y + cell.height / 2;
        if (y < 0 || y >= binHeight) {
            continue; // a row only partly in view
        }
        GdkPixbuf* pixel = gdk_pixbuf_get_from_window(bin, cell.x + cell.width - 5, y, 1, 1);
        ASSERT_NE(pixel, nullptr);
        const guchar* bytes = gdk_pixbuf_read_pixels(pixel);
        const Color drawn = rgb(bytes[0], bytes[1], bytes[2]);
        g_object_unref(pixel);
        EXPECT_EQ(drawn, colourOf(row)) << "row " << row;
        EXPECT_EQ(platform().listCell(list, row, 0), "Spieler_" + std::to_string(row));
        ++checked;
    }
    EXPECT_GT(checked, 2);
}

TEST_F(GtkNative, WithoutATrayTheOwnerIsNotHiddenIntoIt) {
    // Xvfb runs no panel, so no tray shows the icon.
    const WindowId owner = openTestWindow("Reef - Tools");
    const WindowId other = openTestWindow("Reef - Tools: Attgrenze");
    ASSERT_TRUE(platform().addTrayIcon(owner, "Reef - Tools"));
    ASSERT_FALSE(gtkPlatform().trayIconShown());
    for (const WindowId window : {owner, other}) {
        platform().minimizeWindow(window);
        platform().hideWindow(window);
    }
    drainEvents();
    EXPECT_TRUE(platform().isVisible(owner)) << "it could never come back";
    EXPECT_TRUE(platform().isMinimized(owner));
    EXPECT_FALSE(platform().isVisible(other));
    // Without the tray icon it is hidden as asked.
    platform().removeTrayIcon();
    platform().hideWindow(owner);
    EXPECT_FALSE(platform().isVisible(owner));
}

TEST_F(GtkNative, TasksRunWhileAModalBoxWaitsForTheUser) {
    gtkDriver().holdDialogs(true);
    bool ranWhileOpen = false;
    bool boxReturned = false;
    platform().postTask([&] {
        platform().postTask([&] {
            ranWhileOpen = gtkDriver().openDialogCount() == 1;
            gtkDriver().holdDialogs(false); // now the user answers
        });
        platform().messageBox("Reef - Tools", "Weiter?", MessageBoxKind::Question);
        boxReturned = true;
    });
    ASSERT_TRUE(pumpUntil([&] { return boxReturned; }));
    EXPECT_TRUE(ranWhileOpen);
}

TEST_F(GtkNative, WindowsCarryTheProgramsIcon) {
    GList* icons = gtk_window_get_default_icon_list();
    ASSERT_NE(icons, nullptr);
    EXPECT_GE(gdk_pixbuf_get_width(GDK_PIXBUF(icons->data)), 16);
    g_list_free(icons);
}

} // namespace
} // namespace reef::platform::conformance
