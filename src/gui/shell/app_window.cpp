#include "gui/shell/app_window.h"

namespace {

GtkWidget* part(GtkWidget* app, const char* key) {
    return GTK_WIDGET(g_object_get_data(G_OBJECT(app), key));
}

}  // namespace

GtkWidget* shell_app_new(const char* app_name, const char* title) {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), title);
    gtk_window_set_wmclass(GTK_WINDOW(window), app_name, app_name);
    GtkWidget* vbox = gtk_vbox_new(FALSE, 0);
    GtkWidget* dock = gtk_vbox_new(FALSE, 0);
    gtk_box_pack_start(GTK_BOX(vbox), dock, TRUE, TRUE, 0);
    gtk_container_add(GTK_CONTAINER(window), vbox);
    gtk_widget_show(dock);
    gtk_widget_show(vbox);
    g_object_set_data(G_OBJECT(window), "shell-vbox", vbox);
    g_object_set_data(G_OBJECT(window), "shell-dock", dock);
    return window;
}

GtkWidget* shell_app_dock(GtkWidget* app) {
    return part(app, "shell-dock");
}

GtkWidget* shell_app_create_menus(GtkWidget* app, std::span<const MenuEntry> entries,
                                  void (*made)(GtkWidget* window, GtkWidget* item,
                                               const char* name)) {
    GtkWidget* bar = shell_menu_bar_new(app, entries, made);
    gtk_box_pack_start(GTK_BOX(shell_app_dock(app)), bar, FALSE, FALSE, 0);
    gtk_box_reorder_child(GTK_BOX(shell_app_dock(app)), bar, 0);
    gtk_widget_show(bar);
    return bar;
}

void shell_app_set_contents(GtkWidget* app, GtkWidget* contents) {
    gtk_box_pack_start(GTK_BOX(shell_app_dock(app)), contents, TRUE, TRUE, 0);
}

void shell_app_set_statusbar(GtkWidget* app, GtkWidget* statusbar) {
    gtk_box_pack_end(GTK_BOX(part(app, "shell-vbox")), statusbar, FALSE, FALSE, 0);
}
