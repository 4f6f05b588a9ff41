// The alert window "windowAlertMessage": a small undecorated window beside
// the main window listing the alert messages one at a time, with Up, Down,
// Acknowledge and Dismiss. Start-up creates, places and hides it; the alert
// check fills it and connects its buttons.
#pragma once

#include <gtk/gtk.h>

extern GtkWidget* mywindowAlertMessage;

// The new alert window, hidden.
GtkWidget* create_windowAlertMessage();

// Where the alert window goes: beside the main window's lower right corner.
void place_windowAlertMessage(GtkWidget* alertWindow, GtkWidget* mainWindow);
