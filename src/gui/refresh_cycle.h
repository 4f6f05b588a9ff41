// The first fill of every page and the refresh cycle that the polling
// timeout runs: every monitored item read again, every page redrawn.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>

#include "config/records.h"
#include "items/item_display.h"

// The display records the pages show, one per item (set by build_All).
extern ItemDisplay* allItemDisps;

// The first fill, before the refresh timeout is armed: colours, histories,
// every page, "Ready" on the status bar.
void build_All(GtkWidget* mainWindow, ItemDisplay* displays, SystemRecord* system,
               ItemRecord* items, int32_t itemCount, ParameterRecord* parameters,
               int32_t parameterCount);

// One refresh cycle; the timeout callback (its argument is not used) and the
// Items page's handlers call it. TRUE keeps the timeout armed.
gboolean updateAll(gpointer unused = nullptr);
