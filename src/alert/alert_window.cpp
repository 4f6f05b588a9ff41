#include "alert/alert_window.h"

#include <cstdio>

#include "alert/alert_list.h"
#include "gui/main_window.h"
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

    struct Click {
        const char* button;
        void (*handler)(GtkButton*, gpointer);
    };
    constexpr Click kClicks[] = {{"buttonAcknowledge", on_buttonAcknowledge_clicked},
                                 {"buttonDismiss", on_buttonDismiss_clicked},
                                 {"buttonDown", on_buttonDown_clicked},
                                 {"buttonUp", on_buttonUp_clicked}};
    for (const Click& click : kClicks)
        g_signal_connect(lookup_widget(window, click.button), "clicked", G_CALLBACK(click.handler),
                         nullptr);
    return window;
}

void place_windowAlertMessage(GtkWidget* alertWindow, GtkWidget* mainWindow) {
    GtkAllocation main;
    gtk_widget_get_allocation(mainWindow, &main);
    gtk_window_move(GTK_WINDOW(alertWindow), main.x + main.width + 12, main.y + main.height - 200);
}

void show_alert_message(GtkWidget* alertWindow, AlertMsgNode* node) {
    gtk_label_set_text(GTK_LABEL(lookup_widget(alertWindow, "labelAlertMsg")),
                       node == alert_msg_head ? "No message!" : node->message);
    char position[32];
    std::snprintf(position, sizeof position, "%d/%d", get_alert_msg_node_index(node),
                  get_alert_msg_node_count(alert_msg_head));
    gtk_label_set_text(GTK_LABEL(lookup_widget(alertWindow, "labelIndexCount")), position);
}

void on_buttonShowAlertMessage_clicked(GtkButton*, gpointer) {
    if (mywindowAlertMessage == nullptr) mywindowAlertMessage = create_windowAlertMessage();
    place_windowAlertMessage(mywindowAlertMessage, myapp1);
    gtk_widget_show(mywindowAlertMessage);
}

void on_buttonDismiss_clicked(GtkButton* button, gpointer) {
    gtk_widget_hide(lookup_widget(GTK_WIDGET(button), "windowAlertMessage"));
}

void on_buttonDown_clicked(GtkButton* button, gpointer) {
    AlertMsgNode* next = get_next_alert_msg_node(current_alert_msg_node);
    if (next == nullptr) return;
    current_alert_msg_node = next;
    show_alert_message(GTK_WIDGET(button), next);
}

void on_buttonUp_clicked(GtkButton* button, gpointer) {
    AlertMsgNode* previous = get_prev_alert_msg_node(current_alert_msg_node);
    if (previous == nullptr || previous == alert_msg_head) return;
    current_alert_msg_node = previous;
    show_alert_message(GTK_WIDGET(button), previous);
}

void on_buttonAcknowledge_clicked(GtkButton* button, gpointer) {
    AlertMsgNode* acknowledged = current_alert_msg_node;
    // The head is no message: there is nothing to acknowledge, and the
    // list's sentinel is never deleted.
    if (acknowledged == nullptr || acknowledged == alert_msg_head) return;
    AlertMsgNode* next = get_next_alert_msg_node(acknowledged);
    current_alert_msg_node = next != nullptr ? next : get_prev_alert_msg_node(acknowledged);
    del_alert_msg_node(acknowledged);
    show_alert_message(GTK_WIDGET(button), current_alert_msg_node);
}
