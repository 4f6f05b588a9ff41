#include "alert/alert_window.h"

#include "gui/registry.h"

GtkWidget* mywindowAlertMessage = nullptr;

GtkWidget* create_windowAlertMessage() {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_POPUP);
    gtk_window_set_title(GTK_WINDOW(window), "Alert Messages");
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    register_toplevel(window, "windowAlertMessage");

    GtkWidget* vbox = register_sized(window, gtk_vbox_new(FALSE, 0), "vbox3", 320, 220);
    gtk_container_add(GTK_CONTAINER(window), vbox);
    GtkWidget* scrolled = register_sized(window, gtk_scrolled_window_new(nullptr, nullptr),
                                         "scrolledwindow2", -1, -1);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_AUTOMATIC,
                                   GTK_POLICY_AUTOMATIC);
    gtk_box_pack_start(GTK_BOX(vbox), scrolled, TRUE, TRUE, 0);
    GtkWidget* viewport =
        register_sized(window, gtk_viewport_new(nullptr, nullptr), "viewport7", -1, -1);
    gtk_container_add(GTK_CONTAINER(scrolled), viewport);
    GtkWidget* message = register_sized(window, gtk_label_new(""), "labelAlertMsg", -1, -1);
    gtk_label_set_justify(GTK_LABEL(message), GTK_JUSTIFY_LEFT);
    gtk_container_add(GTK_CONTAINER(viewport), message);

    GtkTable* table =
        GTK_TABLE(register_sized(window, gtk_table_new(2, 3, FALSE), "table9", 318, 76));
    gtk_box_pack_start(GTK_BOX(vbox), GTK_WIDGET(table), FALSE, TRUE, 0);
    GtkWidget* count = register_sized(window, gtk_label_new("0 / 0"), "labelIndexCount", 90, 30);
    gtk_label_set_justify(GTK_LABEL(count), GTK_JUSTIFY_CENTER);
    gtk_misc_set_alignment(GTK_MISC(count), 0.0f, 0.5f);
    gtk_table_attach(table, count, 1, 2, 0, 1, GtkAttachOptions(0), GtkAttachOptions(0), 8, 0);
    gtk_table_attach(
        table, register_sized(window, gtk_button_new_from_stock("gtk-go-up"), "buttonUp", 90, 30),
        2, 3, 0, 1, GTK_FILL, GtkAttachOptions(0), 8, 4);
    gtk_table_attach(table,
                     register_sized(window, gtk_button_new_with_label("Acknowledge"),
                                    "buttonAcknowledge", 90, 30),
                     0, 1, 1, 2, GTK_FILL, GtkAttachOptions(0), 8, 0);
    gtk_table_attach(
        table,
        register_sized(window, gtk_button_new_with_label("Dismiss"), "buttonDismiss", 90, 30), 1, 2,
        1, 2, GTK_FILL, GtkAttachOptions(0), 8, 0);
    gtk_table_attach(
        table,
        register_sized(window, gtk_button_new_from_stock("gtk-go-down"), "buttonDown", 90, 30), 2,
        3, 1, 2, GTK_FILL, GtkAttachOptions(0), 8, 4);

    gtk_widget_show_all(vbox);
    // The buttons' "clicked" handlers come with the alert check.
    return window;
}

void place_windowAlertMessage(GtkWidget* alertWindow, GtkWidget* mainWindow) {
    GtkAllocation main;
    gtk_widget_get_allocation(mainWindow, &main);
    gtk_window_move(GTK_WINDOW(alertWindow), main.x + main.width + 12, main.y + main.height - 200);
}
