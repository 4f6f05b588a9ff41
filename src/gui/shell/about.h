// The about box: GTK's own about dialog, closing itself once its "response"
// handlers have run. Stands in for GNOME 2's about box (GnomeAbout).
#pragma once

#include <gtk/gtk.h>

// `authors` ends with nullptr; `logo` may be nullptr (no logo).
GtkWidget* shell_about_new(const char* name, const char* version, const char* copyright,
                           const char* comments, const char* const* authors, GdkPixbuf* logo);
