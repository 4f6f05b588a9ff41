#include "alert/alert_page.h"

#include <string>

#include "alert/alert_window.h"
#include "alert/mail_script.h"
#include "common/fixed_text.h"
#include "config/run_context.h"
#include "config/writer.h"
#include "gui/dialogs.h"
#include "gui/registry.h"

namespace {

// The recipients entry takes no more than the system record keeps.
constexpr int kRecipientsLength = int(sizeof(SystemRecord::mailbox) - 1);

// The dialog text for the first setting e-mail needs that is empty (the
// name before the recipients); nullptr when both are set.
const char* missing_mail_setting(const SystemRecord& system) {
    if (system.machineName[0] == '\0') return "'Name for this system' must be filled!";
    if (system.mailbox[0] == '\0') return "'Recipients' must be filled!";
    return nullptr;
}

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
    gtk_table_attach(
        table, register_sized(app1, entry(kRecipientsLength), "entryRecipientMailbox", 500, 24), 1,
        2, 2, 3, GtkAttachOptions(GTK_EXPAND | GTK_FILL), GtkAttachOptions(0), 0, 0);

    gtk_box_pack_start(GTK_BOX(vbox),
                       register_sized(app1, gtk_hseparator_new(), "hseparator2", -1, -1), FALSE,
                       TRUE, 0);

    GtkBox* bottom = GTK_BOX(register_sized(app1, gtk_hbox_new(FALSE, 0), "hbox3", 198, 32));
    gtk_box_pack_start(GTK_BOX(vbox), GTK_WIDGET(bottom), FALSE, TRUE, 10);
    gtk_box_pack_start(bottom,
                       register_sized(app1, gtk_button_new_with_label("Show Alert messages"),
                                      "buttonShowAlertMessage", 150, 26),
                       FALSE, FALSE, 8);
    return vbox;
}

void connect_alert_page(GtkWidget* app1) {
    struct Connection {
        const char* widget;
        const char* signal;
        GCallback handler;
    };
    const Connection connections[] = {
        {"entryMachineName", "changed", G_CALLBACK(on_entryMachineName_changed)},
        {"buttonMailTest", "clicked", G_CALLBACK(on_buttonMailTest_clicked)},
        {"buttonAlertSave", "clicked", G_CALLBACK(on_buttonAlertSave_clicked)},
        {"checkbuttonMailAlert", "toggled", G_CALLBACK(on_checkbuttonEmailAlert_toggled)},
        {"entryRecipientMailbox", "changed", G_CALLBACK(on_entryRecipientMailbox_changed)},
        {"buttonShowAlertMessage", "clicked", G_CALLBACK(on_buttonShowAlertMessage_clicked)},
    };
    for (const Connection& c : connections)
        g_signal_connect(lookup_widget(app1, c.widget), c.signal, c.handler, nullptr);
}

// Setting an entry to the text it holds changes nothing (GTK emits no
// "changed"), so a refresh never disturbs typing; the handlers have already
// written what was typed into the record.
void refresh_alert_page(GtkWidget* mainWindow, const SystemRecord& system) {
    gtk_entry_set_text(GTK_ENTRY(lookup_widget(mainWindow, "entryMachineName")),
                       system.machineName);
    gtk_entry_set_text(GTK_ENTRY(lookup_widget(mainWindow, "entryRecipientMailbox")),
                       system.mailbox);
    gtk_toggle_button_set_active(
        GTK_TOGGLE_BUTTON(lookup_widget(mainWindow, "checkbuttonMailAlert")),
        system.mailAlert != 0);
}

void on_entryMachineName_changed(GtkEditable* entry, gpointer) {
    copy_text(myspSenvis->system->machineName, gtk_entry_get_text(GTK_ENTRY(entry)));
}

void on_entryRecipientMailbox_changed(GtkEditable* entry, gpointer) {
    copy_text(myspSenvis->system->mailbox, gtk_entry_get_text(GTK_ENTRY(entry)));
}

void on_checkbuttonEmailAlert_toggled(GtkToggleButton* button, gpointer) {
    SystemRecord& system = *myspSenvis->system;
    if (!gtk_toggle_button_get_active(button)) {
        system.mailAlert = 0;
        return;
    }
    if (const char* missing = missing_mail_setting(system)) {
        gtk_toggle_button_set_active(button, FALSE);  // runs this handler again: mailAlert = 0
        show_info(missing);
        gtk_widget_grab_focus(GTK_WIDGET(button));
        return;
    }
    system.mailAlert = 1;
}

void on_buttonMailTest_clicked(GtkButton*, gpointer) {
    const SystemRecord& system = *myspSenvis->system;
    if (const char* missing = missing_mail_setting(system)) {
        show_info(missing);
        return;
    }
    std::string body = "E-mail Test!\n" + time_line();
    switch (send_mail_script(kTestSubject, system.mailbox, system.machineName, body)) {
        case MailOutcome::sent:
            show_info("Send an alert through E-mail successfully.");
            break;
        case MailOutcome::refused:
            show_info(kRecipientsRefused);
            break;
        case MailOutcome::not_written:
        case MailOutcome::not_run:
            break;  // said on the console where it happened, if at all
    }
}

void on_buttonAlertSave_clicked(GtkButton*, gpointer) {
    // The name, the recipients and the switch (with the pager keys) of
    // [System]; nothing is checked here.
    save_INI_File(2);
    show_info("Configuration has been saved.");
}
