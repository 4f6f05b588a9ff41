// The Alert page of the main window: the name of this system, the
// recipients, the e-mail switch, the test and save buttons and the button
// that shows the alert window. What is typed takes effect in memory at once;
// Save writes it to the configuration file.
#pragma once

#include <gtk/gtk.h>

#include "config/records.h"

// The page's contents (vbox2), registered on `app1`.
GtkWidget* create_alert_page(GtkWidget* app1);
// The entries', switch's and buttons' handlers.
void connect_alert_page(GtkWidget* app1);
// The entries and the switch from the system record (every refresh).
void refresh_alert_page(GtkWidget* mainWindow, const SystemRecord& system);

void on_entryMachineName_changed(GtkEditable* entry, gpointer data);
void on_entryRecipientMailbox_changed(GtkEditable* entry, gpointer data);
// Switching e-mail alerts on needs the system's name and the recipients;
// without them the switch goes off again with a message.
void on_checkbuttonEmailAlert_toggled(GtkToggleButton* button, gpointer data);
// A test mail, whether or not e-mail alerts are on.
void on_buttonMailTest_clicked(GtkButton* button, gpointer data);
void on_buttonAlertSave_clicked(GtkButton* button, gpointer data);
