// The about box "about2", the information dialog "dialogInfo" that carries
// the window's messages to the user, and the pixbufs they show.
#pragma once

#include <gtk/gtk.h>

// The about box; nullptr once the user has closed it.
extern GtkWidget* myabout2;

GtkWidget* create_about2();
// A new, hidden information dialog; each message gets its own. OK hides it.
GtkWidget* create_dialogInfo();
// Creates an information dialog with `text` in its label and shows it.
void show_info(const char* text);

// The application pixmap `filename` ("sensorvisor/idr_main.ico"), or nullptr
// with a warning when it is not found or cannot be loaded.
GdkPixbuf* create_pixbuf(const char* filename);

void on_about1_activate(GtkMenuItem* item, gpointer data);
void on_about2_response(GtkDialog* dialog, gint response, gpointer data);
