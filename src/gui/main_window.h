// The main window "app1": menu bar, a notebook of six pages (Summary, Fan,
// Voltage, Thermal, Items, Alert) and the status bar, with the menu and
// destroy handlers. Every widget is registered under its name (registry.h).
#pragma once

#include <gtk/gtk.h>

extern GtkWidget* myapp1;

// The whole window with every widget shown except the window itself.
GtkWidget* create_app1();

// Notebook pages, in order; the View and Setup menus select them.
enum NotebookPage { kPageSummary, kPageFan, kPageVoltage, kPageThermal, kPageItems, kPageAlert };

void on_quit1_activate(GtkMenuItem* item, gpointer data);
void on_app1_destroy(GtkWidget* window, gpointer data);
void on_summary1_activate(GtkMenuItem* item, gpointer data);
void on_fan_speed_charts1_activate(GtkMenuItem* item, gpointer data);
void on_voltage_charts1_activate(GtkMenuItem* item, gpointer data);
void on_thermal_charts1_activate(GtkMenuItem* item, gpointer data);
void on_items1_activate(GtkMenuItem* item, gpointer data);
void on_alert1_activate(GtkMenuItem* item, gpointer data);
