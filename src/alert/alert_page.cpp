#include "alert/alert_page.h"

#include "gui/registry.h"

namespace {

GtkWidget* entry(int max_length) {
    GtkWidget* widget = gtk_entry_new();
    if (max_length > 0) gtk_entry_set_max_length(GTK_ENTRY(widget), max_length);
    return widget;
}

}  // namespace

GtkWidget* create_alert_page(GtkWidget* app1) {
    GtkWidget* vbox = gtk_vbox_new(FALSE, 0);
    register_widget(app1, vbox, "vbox2");

    GtkBox* top = GTK_BOX(register_sized(app1, gtk_hbox_new(FALSE, 0), "hbox2", 600, 32));
    gtk_box_pack_start(GTK_BOX(vbox), GTK_WIDGET(top), FALSE, TRUE, 10);
    gtk_box_pack_start(top,
                       register_sized(app1, gtk_label_new("Name for this system:"),
                                      "labelNameForThisSystem", 150, 16),
                       FALSE, FALSE, 8);
    gtk_box_pack_start(top, register_sized(app1, entry(30), "entryMachineName", 220, 24), FALSE,
                       TRUE, 0);
    gtk_box_pack_start(top, register_sized(app1, gtk_label_new(""), "label5", 30, 26), FALSE, FALSE,
                       8);
    gtk_box_pack_start(
        top,
        register_sized(app1, gtk_button_new_with_label("E-mail Test"), "buttonMailTest", 100, 26),
        FALSE, FALSE, 4);
    gtk_box_pack_start(
        top, register_sized(app1, gtk_button_new_with_label("Save"), "buttonAlertSave", 60, 26),
        FALSE, FALSE, 4);

    gtk_box_pack_start(GTK_BOX(vbox),
                       register_sized(app1, gtk_hseparator_new(), "hseparator1", -1, -1), FALSE,
                       TRUE, 0);

    GtkTable* table = GTK_TABLE(register_sized(app1, gtk_table_new(3, 2, FALSE), "table8", -1, -1));
    gtk_box_pack_start(GTK_BOX(vbox), GTK_WIDGET(table), FALSE, TRUE, 10);
    gtk_table_attach(table,
                     register_sized(app1, gtk_check_button_new_with_label("E-mail Alert"),
                                    "checkbuttonMailAlert", 100, 20),
                     0, 1, 0, 1, GTK_FILL, GtkAttachOptions(0), 0, 0);
    gtk_table_attach(table,
                     register_sized(app1,
                                    gtk_label_new("* In order to send alerts by e-mail, this "
                                                  "system needs to be connected to a network."),
                                    "labelInOrderTo", 500, 20),
                     0, 2, 1, 2, GTK_FILL, GtkAttachOptions(0), 0, 0);
    GtkWidget* recipients = register_sized(app1, gtk_label_new("Recipients:"), "label7", 100, 16);
    gtk_label_set_justify(GTK_LABEL(recipients), GTK_JUSTIFY_RIGHT);
    gtk_misc_set_alignment(GTK_MISC(recipients), 1.0f, 0.5f);
    gtk_table_attach(table, recipients, 0, 1, 2, 3, GTK_FILL, GtkAttachOptions(0), 0, 0);
    gtk_table_attach(table, register_sized(app1, entry(0), "entryRecipientMailbox", 500, 24), 1, 2,
                     2, 3, GtkAttachOptions(GTK_EXPAND | GTK_FILL), GtkAttachOptions(0), 0, 0);

    gtk_box_pack_start(GTK_BOX(vbox),
                       register_sized(app1, gtk_hseparator_new(), "hseparator2", -1, -1), FALSE,
                       TRUE, 0);

    GtkBox* bottom = GTK_BOX(register_sized(app1, gtk_hbox_new(FALSE, 0), "hbox3", 198, 32));
    gtk_box_pack_start(GTK_BOX(vbox), GTK_WIDGET(bottom), FALSE, TRUE, 10);
    gtk_box_pack_start(bottom,
                       register_sized(app1, gtk_button_new_with_label("Show Alert messages"),
                                      "buttonShowAlertMessage", 150, 26),
                       FALSE, FALSE, 8);
    // The page's signals ("changed", "toggled", "clicked") are connected by
    // the alert check, which brings their handlers.
    return vbox;
}
