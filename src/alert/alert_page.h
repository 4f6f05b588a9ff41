// The Alert page of the main window: the name of this system, the
// recipients, the e-mail switch, the test and save buttons and the button
// that shows the alert window. Its handlers come with the alert check.
#pragma once

#include <gtk/gtk.h>

// The page's contents (vbox2), registered on `app1`.
GtkWidget* create_alert_page(GtkWidget* app1);
