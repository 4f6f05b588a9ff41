// The widget registry: every named widget of a top-level window is kept on
// that window as object data under its name, and found again from any widget
// of the window with lookup_widget.
#pragma once

#include <gtk/gtk.h>

// Registers `widget` on `toplevel` under `name` (holding one reference,
// released with the window) and gives the widget that name.
void register_widget(GtkWidget* toplevel, GtkWidget* widget, const char* name);
// register_widget with a size request (-1: the natural size); returns `widget`.
GtkWidget* register_sized(GtkWidget* toplevel, GtkWidget* widget, const char* name, int width,
                          int height);
// The window itself, under its own name, without a reference.
void register_toplevel(GtkWidget* toplevel, const char* name);

// The widget registered under `name` on the top-level window that contains
// `widget`; nullptr, with the warning "Widget not found: NAME", when none is.
GtkWidget* lookup_widget(GtkWidget* widget, const char* name);

// A widget name made with a printf format ("labelFan%d"), for the widgets
// that come in groups and rows.
struct WidgetName {
    char text[48];
    operator const char*() const { return text; }
};
WidgetName widget_name(const char* format, ...) G_GNUC_PRINTF(1, 2);
