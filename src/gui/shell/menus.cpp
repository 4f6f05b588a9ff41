#include "gui/shell/menus.h"

#include "gui/shell/app_bar.h"

namespace {

GtkAccelGroup* accel_group_of(GtkWidget* window) {
    auto* group = static_cast<GtkAccelGroup*>(g_object_get_data(G_OBJECT(window), "shell-accel"));
    if (group == nullptr) {
        group = gtk_accel_group_new();
        gtk_window_add_accel_group(GTK_WINDOW(window), group);
        g_object_set_data_full(G_OBJECT(window), "shell-accel", group, g_object_unref);
    }
    return group;
}

GtkWidget* make_item(GtkWidget* window, const MenuEntry& entry) {
    if (entry.kind == MenuKind::Separator) return gtk_separator_menu_item_new();
    GtkWidget* item;
    if (entry.stock_icon != nullptr) {
        item = gtk_image_menu_item_new_with_mnemonic(entry.label);
        gtk_image_menu_item_set_image(
            GTK_IMAGE_MENU_ITEM(item),
            gtk_image_new_from_stock(entry.stock_icon, GTK_ICON_SIZE_MENU));
    } else {
        item = gtk_menu_item_new_with_mnemonic(entry.label);
    }
    if (entry.accel_key != 0)
        gtk_widget_add_accelerator(item, "activate", accel_group_of(window), entry.accel_key,
                                   entry.accel_mods, GTK_ACCEL_VISIBLE);
    return item;
}

void fill(GtkWidget* window, GtkWidget* shell, std::span<const MenuEntry> entries,
          void (*made)(GtkWidget*, GtkWidget*, const char*)) {
    for (const MenuEntry& entry : entries) {
        GtkWidget* item = make_item(window, entry);
        gtk_widget_show(item);
        gtk_menu_shell_append(GTK_MENU_SHELL(shell), item);
        if (entry.kind == MenuKind::Subtree) {
            GtkWidget* menu = gtk_menu_new();
            gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), menu);
            fill(window, menu, entry.subtree, made);
        }
        if (entry.handler != nullptr)
            g_signal_connect(item, "activate", G_CALLBACK(entry.handler), nullptr);
        if (made != nullptr && entry.widget_name != nullptr) made(window, item, entry.widget_name);
    }
}

void show_hint(GtkWidget* item, gpointer appbar) {
    auto* hint = static_cast<const char*>(g_object_get_data(G_OBJECT(item), "shell-hint"));
    shell_appbar_set_status(GTK_WIDGET(appbar), hint);
}

void clear_hint(GtkWidget*, gpointer appbar) {
    shell_appbar_refresh(GTK_WIDGET(appbar));
}

void install_hints(GtkWidget* shell, std::span<const MenuEntry> entries, GtkWidget* appbar) {
    GList* children = gtk_container_get_children(GTK_CONTAINER(shell));
    GList* child = children;
    for (const MenuEntry& entry : entries) {
        if (child == nullptr) break;
        auto* item = GTK_WIDGET(child->data);
        if (entry.hint != nullptr) {
            g_object_set_data(G_OBJECT(item), "shell-hint", const_cast<char*>(entry.hint));
            g_signal_connect(item, "select", G_CALLBACK(show_hint), appbar);
            g_signal_connect(item, "deselect", G_CALLBACK(clear_hint), appbar);
        }
        if (entry.kind == MenuKind::Subtree)
            install_hints(gtk_menu_item_get_submenu(GTK_MENU_ITEM(item)), entry.subtree, appbar);
        child = child->next;
    }
    g_list_free(children);
}

}  // namespace

GtkWidget* shell_menu_bar_new(GtkWidget* window, std::span<const MenuEntry> entries,
                              void (*made)(GtkWidget* window, GtkWidget* item, const char* name)) {
    GtkWidget* bar = gtk_menu_bar_new();
    fill(window, bar, entries, made);
    return bar;
}

void shell_install_menu_hints(GtkWidget* menubar, std::span<const MenuEntry> entries,
                              GtkWidget* appbar) {
    install_hints(menubar, entries, appbar);
}
