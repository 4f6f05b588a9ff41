// The alert window "windowAlertMessage": a small undecorated window beside
// the main window showing the alert messages one at a time, with Up, Down,
// Acknowledge and Dismiss. Start-up creates, places and hides it; the alert
// check shows it whenever it raises an alert.
#pragma once

#include <gtk/gtk.h>

extern GtkWidget* mywindowAlertMessage;

// The new alert window, hidden.
GtkWidget* create_windowAlertMessage();

// Where the alert window goes: beside the main window's lower right corner.
void place_windowAlertMessage(GtkWidget* alertWindow, GtkWidget* mainWindow);

struct AlertMsgNode;
// Shows `node` in the window: its message ("No message!" for the list's
// head) and "index/count".
void show_alert_message(GtkWidget* alertWindow, AlertMsgNode* node);

// "Show Alert messages" on the Alert page: the window beside the main window.
void on_buttonShowAlertMessage_clicked(GtkButton* button, gpointer data);
// Dismiss hides the window; the messages stay.
void on_buttonDismiss_clicked(GtkButton* button, gpointer data);
// Down and Up step to the next and the previous message, if there is one.
void on_buttonDown_clicked(GtkButton* button, gpointer data);
void on_buttonUp_clicked(GtkButton* button, gpointer data);
// Acknowledge deletes the shown message and shows the next one, or the
// previous one when it was the last.
void on_buttonAcknowledge_clicked(GtkButton* button, gpointer data);
