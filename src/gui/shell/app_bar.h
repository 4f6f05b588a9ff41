// The application's status bar: a progress bar and a status field that
// shows the top of a stack of texts (push/pop), or for a while a passing
// text such as a menu hint. Stands in for GNOME 2's application bar
// (GnomeAppBar) in its non-interactive form.
#pragma once

#include <gtk/gtk.h>

GtkWidget* shell_appbar_new(bool has_progress, bool has_status);
void shell_appbar_push(GtkWidget* appbar, const char* text);
void shell_appbar_pop(GtkWidget* appbar);
// Shows `text` until the next push, pop or refresh.
void shell_appbar_set_status(GtkWidget* appbar, const char* text);
// Shows the top of the stack again (empty when the stack is empty).
void shell_appbar_refresh(GtkWidget* appbar);
// What the status field shows now.
const char* shell_appbar_status(GtkWidget* appbar);
GtkWidget* shell_appbar_progress(GtkWidget* appbar);
