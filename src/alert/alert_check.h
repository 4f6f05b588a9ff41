// The alert check that every refresh of the window ends with: each item's
// state (normal or failed) against the previous refresh; when any changed,
// one message naming the changes in configuration order, with the time, in
// the alert list and the alert window, and by mail when e-mail alerts are on.
#pragma once

#include <gtk/gtk.h>

#include <cstddef>
#include <cstdint>

#include "config/records.h"
#include "items/item_display.h"

// The longest message (header, changes and time) in characters. Changes
// that do not fit wait for the next refresh's message (docs/alerts.md).
inline constexpr size_t kAlertMessageLimit = 511;

// Refreshes the Alert page's fields from the system record and raises the
// alert of this refresh, if any.
void build_Alert(GtkWidget* mainWindow, SystemRecord* system, ItemDisplay* displays,
                 int32_t itemCount);

// Forgets the previous states: the next check starts as the first (tests).
void reset_alert_check_state();
