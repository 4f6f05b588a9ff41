// Setting the texts the pages refresh every cycle. A text that has not
// changed is not set again: a new label text makes GTK measure the window
// anew, and a new button label rebuilds the button's child label, which for
// some 200 widgets a cycle is most of the window's cost.
#pragma once

#include <gtk/gtk.h>

void set_label_text(GtkWidget* label, const char* text);
// Through the button's "label" property.
void set_button_text(GtkWidget* button, const char* text);
