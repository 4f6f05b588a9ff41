// The Items page: every configured item in a six-column list, where the user
// switches items on and off, sets the polling interval and saves both.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>

#include "config/records.h"
#include "items/item_display.h"

// The list and its columns (made by start-up), the row being filled, and the
// refresh timeout's identifier (0: none armed).
extern GtkListStore* list_store;
extern GtkWidget* treeview1;
extern GtkTreeIter iter;
extern GtkCellRenderer* text_renderer;
extern GtkTreeViewColumn* checked_column;
extern GtkTreeViewColumn* monitored_item_column;
extern GtkTreeViewColumn* high_limit_column;
extern GtkTreeViewColumn* low_limit_column;
extern GtkTreeViewColumn* status_column;
extern GtkTreeViewColumn* warning_column;
extern guint timer;

// The page's contents (vbox1), registered on `app1`.
GtkWidget* create_items_page(GtkWidget* app1);
// The entry's, buttons' and list's handlers.
void connect_items_page(GtkWidget* app1);
// The list store of six text columns and the list's columns (start-up).
void create_items_list(GtkWidget* mainWindow);
// Arms the refresh timeout for `seconds` (replacing an armed one; 0 counts
// as 1).
void arm_refresh_timer(uint32_t seconds);

void build_Items(GtkWidget* mainWindow, ItemDisplay* displays, SystemRecord* system,
                 ItemRecord* items, int32_t itemCount, ParameterRecord* parameters,
                 int32_t parameterCount);

void on_entryPolling_changed(GtkEditable* entry, gpointer data);
void on_buttonSelectAll_clicked(GtkButton* button, gpointer data);
void on_buttonUnselectAll_clicked(GtkButton* button, gpointer data);
void on_treeview1_row_activated(GtkTreeView* treeview, GtkTreePath* path, GtkTreeViewColumn* column,
                                gpointer data);
void on_buttonItemsSave_clicked(GtkButton* button, gpointer data);
