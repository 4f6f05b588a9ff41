// The application window: a top-level window holding a dock with the menu
// bar above the contents, and a status bar at the bottom. Stands in for
// GNOME 2's application window (GnomeApp), whose dock the window's widget
// registry knows as "bonobodock1".
#pragma once

#include <gtk/gtk.h>

#include <span>

#include "gui/shell/menus.h"

GtkWidget* shell_app_new(const char* app_name, const char* title);
// The dock holding the menu bar and the contents.
GtkWidget* shell_app_dock(GtkWidget* app);
// Builds the menu bar from `entries` into the dock; `made` as for
// shell_menu_bar_new. Returns the menu bar.
GtkWidget* shell_app_create_menus(GtkWidget* app, std::span<const MenuEntry> entries,
                                  void (*made)(GtkWidget* window, GtkWidget* item,
                                               const char* name));
void shell_app_set_contents(GtkWidget* app, GtkWidget* contents);
void shell_app_set_statusbar(GtkWidget* app, GtkWidget* statusbar);
