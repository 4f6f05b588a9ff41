// The Summary page: every monitored item at a glance, in four groups (fans,
// voltages, temperatures, statuses), a button with the reading above a label
// with the name; a group's alarm icon shows when one of its readings is
// abnormal. The first eight status buttons reset their intrusion items.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>

#include "items/item_display.h"

// The page's contents (vboxSummary), registered on `app1`.
GtkWidget* create_summary_page(GtkWidget* app1);
// The status buttons' "clicked" handlers.
void connect_summary_page(GtkWidget* app1);

void build_Summary(GtkWidget* mainWindow, ItemDisplay* displays, int32_t count);

// Resets the status item shown on status button n (0 to 7).
void on_buttonSummaryStatus_clicked(int n);
