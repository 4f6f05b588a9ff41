#include "gui/main_window.h"

#include "alert/alert_page.h"
#include "gui/chart_pages.h"
#include "gui/dialogs.h"
#include "gui/items_page.h"
#include "gui/registry.h"
#include "gui/shell/app_bar.h"
#include "gui/shell/app_window.h"
#include "gui/summary_page.h"

GtkWidget* myapp1 = nullptr;

namespace {

void select_page(GtkMenuItem* item, int page) {
    gtk_notebook_set_current_page(GTK_NOTEBOOK(lookup_widget(GTK_WIDGET(item), "notebook1")), page);
}

constexpr MenuEntry kFileMenu[] = {menu_quit_item(on_quit1_activate, "quit1")};
constexpr MenuEntry kViewMenu[] = {
    menu_item("Summary", on_summary1_activate, "summary1"),
    menu_separator("separator4"),
    menu_item("_Fan Speed Charts", on_fan_speed_charts1_activate, "fan_speed_charts1"),
    menu_item("_Voltage Charts", on_voltage_charts1_activate, "voltage_charts1"),
    menu_item("_Thermal Charts", on_thermal_charts1_activate, "thermal_charts1"),
};
constexpr MenuEntry kSetupMenu[] = {
    menu_item("Ite_ms", on_items1_activate, "items1"),
    menu_item("_Alert", on_alert1_activate, "alert1"),
};
constexpr MenuEntry kHelpMenu[] = {menu_about_item(on_about1_activate, "about1")};
constexpr MenuEntry kMenuBar[] = {
    menu_file_tree(kFileMenu, "file1"),
    menu_view_tree(kViewMenu, "view1"),
    menu_subtree("_Setup", kSetupMenu, "setup1"),
    menu_help_tree(kHelpMenu, "help1"),
};

// One notebook page: a scrolled window holding a viewport holding the
// page's contents, and its tab label.
struct PageFrame {
    const char* tab_name;
    const char* tab_text;
    const char* scrolled_name;
    const char* viewport_name;
    GtkWidget* (*contents)(GtkWidget* app1);
    int viewport_width = -1;  // -1: the natural size
    int viewport_height = -1;
};

GtkWidget* fan_table(GtkWidget* app1) {
    return create_chart_table(app1, kChartFan);
}
GtkWidget* voltage_table(GtkWidget* app1) {
    return create_chart_table(app1, kChartVoltage);
}
GtkWidget* thermal_table(GtkWidget* app1) {
    return create_chart_table(app1, kChartThermal);
}

constexpr PageFrame kPages[] = {
    {"labelSummary", "Summary", "scrolledwindowSummary", "viewportSummary", create_summary_page},
    {"labelFan", "Fan", "scrolledwindowFan", "viewportFan", fan_table},
    {"labelVoltage", "Voltage", "scrolledwindowVoltage", "viewportVoltage", voltage_table},
    {"labelThermal", "Thermal", "scrolledwindowThermal", "viewport4", thermal_table},
    {"labelItems", "Items", "scrolledwindowItems", "viewport5", create_items_page, 500, 130},
    {"labelAlert", "Alert", "scrolledwindowAlert", "viewport6", create_alert_page},
};

void add_page(GtkWidget* app1, GtkWidget* notebook, const PageFrame& page) {
    GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_AUTOMATIC,
                                   GTK_POLICY_AUTOMATIC);
    register_widget(app1, scrolled, page.scrolled_name);
    GtkWidget* viewport = gtk_viewport_new(nullptr, nullptr);
    gtk_widget_set_size_request(viewport, page.viewport_width, page.viewport_height);
    register_widget(app1, viewport, page.viewport_name);
    gtk_container_add(GTK_CONTAINER(scrolled), viewport);
    gtk_container_add(GTK_CONTAINER(viewport), page.contents(app1));

    GtkWidget* tab = gtk_label_new(page.tab_text);
    gtk_widget_set_size_request(tab, 70, 16);
    register_widget(app1, tab, page.tab_name);
    gtk_notebook_append_page(GTK_NOTEBOOK(notebook), scrolled, tab);
}

void register_menu_item(GtkWidget* window, GtkWidget* item, const char* name) {
    register_widget(window, item, name);
}

}  // namespace

GtkWidget* create_app1() {
    GtkWidget* app1 = shell_app_new("Sensorvisor II", "Sensorvisor II");
    gtk_widget_set_size_request(app1, 640, 600);
    gtk_window_set_default_size(GTK_WINDOW(app1), 640, 560);
    gtk_window_set_resizable(GTK_WINDOW(app1), FALSE);
    register_toplevel(app1, "app1");
    register_widget(app1, shell_app_dock(app1), "bonobodock1");

    GtkWidget* menubar = shell_app_create_menus(app1, kMenuBar, register_menu_item);

    GtkWidget* notebook = gtk_notebook_new();
    register_widget(app1, notebook, "notebook1");
    for (const PageFrame& page : kPages) add_page(app1, notebook, page);
    shell_app_set_contents(app1, notebook);

    GtkWidget* appbar = shell_appbar_new(true, true);
    register_widget(app1, appbar, "appbar1");
    shell_app_set_statusbar(app1, appbar);
    shell_install_menu_hints(menubar, kMenuBar, appbar);

    gtk_widget_show_all(gtk_bin_get_child(GTK_BIN(app1)));

    // The connections come once the whole tree exists.
    g_signal_connect(app1, "destroy", G_CALLBACK(on_app1_destroy), nullptr);
    connect_summary_page(app1);
    connect_items_page(app1);
    connect_alert_page(app1);
    return app1;
}

void on_quit1_activate(GtkMenuItem*, gpointer) {
    gtk_main_quit();
}
void on_app1_destroy(GtkWidget*, gpointer) {
    gtk_main_quit();
}

void on_summary1_activate(GtkMenuItem* item, gpointer) {
    select_page(item, kPageSummary);
}
void on_fan_speed_charts1_activate(GtkMenuItem* item, gpointer) {
    select_page(item, kPageFan);
}
void on_voltage_charts1_activate(GtkMenuItem* item, gpointer) {
    select_page(item, kPageVoltage);
}
void on_thermal_charts1_activate(GtkMenuItem* item, gpointer) {
    select_page(item, kPageThermal);
}
void on_items1_activate(GtkMenuItem* item, gpointer) {
    select_page(item, kPageItems);
}
void on_alert1_activate(GtkMenuItem* item, gpointer) {
    select_page(item, kPageAlert);
}
