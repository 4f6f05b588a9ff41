// The main window and its dialogs as start-up leaves them: windows in their
// order and places, the registry, the menus, the about box's life.
#include <gtest/gtest.h>

#include "alert/alert_window.h"
#include "gui/dialogs.h"
#include "gui/main_window.h"
#include "gui/registry.h"
#include "gui/shell/app_bar.h"
#include "gui/window_fixture.h"

namespace {

using MainWindow = WindowTest;

TEST_F(MainWindow, StartupOpensTheWindowsInTheirPlaces) {
    EXPECT_TRUE(gtk_widget_get_visible(myapp1));
    gint x, y;
    gtk_window_get_position(GTK_WINDOW(myapp1), &x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    // Beside the main window's lower right corner (640 x 600). Start-up hides
    // it; the first alert check shows it again, as the demo board's
    // intrusion latch is set.
    EXPECT_TRUE(gtk_widget_get_visible(mywindowAlertMessage));
    gtk_window_get_position(GTK_WINDOW(mywindowAlertMessage), &x, &y);
    EXPECT_EQ(x, 640 + 12);
    EXPECT_EQ(y, 600 - 200);
    ASSERT_NE(myabout2, nullptr);
    EXPECT_FALSE(gtk_widget_get_visible(myabout2));
    EXPECT_EQ(std::string(shell_appbar_status(widget("appbar1"))), "Ready");

    GtkNotebook* notebook = GTK_NOTEBOOK(widget("notebook1"));
    const char* tabs[] = {"Summary", "Fan", "Voltage", "Thermal", "Items", "Alert"};
    ASSERT_EQ(gtk_notebook_get_n_pages(notebook), 6);
    for (int page = 0; page < 6; ++page)
        EXPECT_STREQ(
            gtk_notebook_get_tab_label_text(notebook, gtk_notebook_get_nth_page(notebook, page)),
            tabs[page]);
}

TEST_F(MainWindow, ViewAndSetupMenusSelectTheirPage) {
    struct Case {
        const char* item;
        int page;
    };
    const Case cases[] = {{"thermal_charts1", 3},   {"alert1", 5},
                          {"summary1", 0},          {"items1", 4},
                          {"fan_speed_charts1", 1}, {"voltage_charts1", 2}};
    for (const Case& c : cases) {
        gtk_menu_item_activate(GTK_MENU_ITEM(widget(c.item)));
        EXPECT_EQ(gtk_notebook_get_current_page(GTK_NOTEBOOK(widget("notebook1"))), c.page)
            << c.item;
    }
}

TEST_F(MainWindow, MenuHintsShowOnTheStatusBarWhileSelected) {
    GtkWidget* appbar = widget("appbar1");
    gtk_menu_item_select(GTK_MENU_ITEM(widget("quit1")));
    EXPECT_STREQ(shell_appbar_status(appbar), "Quit the application");
    gtk_menu_item_deselect(GTK_MENU_ITEM(widget("quit1")));
    EXPECT_STREQ(shell_appbar_status(appbar), "Ready");
    gtk_menu_item_select(GTK_MENU_ITEM(widget("items1")));  // no hint of its own
    EXPECT_STREQ(shell_appbar_status(appbar), "Ready");
}

TEST_F(MainWindow, AboutShowsOneBoxUntilItIsClosed) {
    GtkWidget* first = myabout2;
    EXPECT_NE(gtk_about_dialog_get_logo(GTK_ABOUT_DIALOG(first)), nullptr);  // from the sandbox
    gtk_menu_item_activate(GTK_MENU_ITEM(widget("about1")));
    gtk_menu_item_activate(GTK_MENU_ITEM(widget("about1")));
    EXPECT_EQ(myabout2, first);
    EXPECT_TRUE(gtk_widget_get_visible(first));

    g_object_add_weak_pointer(G_OBJECT(first), reinterpret_cast<gpointer*>(&first));
    gtk_dialog_response(GTK_DIALOG(myabout2), GTK_RESPONSE_CANCEL);
    EXPECT_EQ(myabout2, nullptr);
    EXPECT_EQ(first, nullptr);  // the closed box is gone

    gtk_menu_item_activate(GTK_MENU_ITEM(widget("about1")));
    ASSERT_NE(myabout2, nullptr);
    EXPECT_TRUE(gtk_widget_get_visible(myabout2));
}

TEST_F(MainWindow, QuitAndClosingTheWindowEndTheMainLoop) {
    EXPECT_TRUE(run_main_loop(
        [](gpointer) {
            gtk_menu_item_activate(GTK_MENU_ITEM(lookup_widget(myapp1, "quit1")));
            return gboolean(FALSE);
        },
        nullptr));
    EXPECT_TRUE(run_main_loop(
        [](gpointer) {
            gtk_widget_destroy(myapp1);
            myapp1 = nullptr;
            return gboolean(FALSE);
        },
        nullptr));
}

}  // namespace
