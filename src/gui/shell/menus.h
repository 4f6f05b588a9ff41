// Menus from constexpr description tables, with hints for the status bar.
// Stands in for GNOME 2's menu descriptions (GnomeUIInfo) and their standard
// trees: the File, View and Help menus with the stock Quit and About items,
// labels with mnemonics, and each entry's hint shown on the status bar while
// the entry is selected.
#pragma once

#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>

#include <span>

enum class MenuKind { Item, Subtree, Separator };

using MenuHandler = void (*)(GtkMenuItem* item, gpointer data);

struct MenuEntry {
    MenuKind kind;
    const char* label;  // "_" marks the mnemonic
    const char* hint;   // nullptr: no hint
    MenuHandler handler;
    std::span<const MenuEntry> subtree;
    const char* stock_icon;  // nullptr: a plain item
    guint accel_key;         // 0: no accelerator
    GdkModifierType accel_mods;
    const char* widget_name;  // the name the item is registered under
};

constexpr MenuEntry menu_item(const char* label, MenuHandler handler, const char* name) {
    return {MenuKind::Item, label, nullptr, handler, {}, nullptr, 0, GdkModifierType(0), name};
}
constexpr MenuEntry menu_separator(const char* name) {
    return {MenuKind::Separator, nullptr, nullptr, nullptr, {}, nullptr, 0,
            GdkModifierType(0),  name};
}
constexpr MenuEntry menu_subtree(const char* label, std::span<const MenuEntry> tree,
                                 const char* name) {
    return {MenuKind::Subtree, label, nullptr, nullptr, tree, nullptr, 0, GdkModifierType(0), name};
}

// The standard trees and items.
constexpr MenuEntry menu_file_tree(std::span<const MenuEntry> tree, const char* name) {
    return menu_subtree("_File", tree, name);
}
constexpr MenuEntry menu_view_tree(std::span<const MenuEntry> tree, const char* name) {
    return menu_subtree("_View", tree, name);
}
constexpr MenuEntry menu_help_tree(std::span<const MenuEntry> tree, const char* name) {
    return menu_subtree("_Help", tree, name);
}
constexpr MenuEntry menu_quit_item(MenuHandler handler, const char* name) {
    return {MenuKind::Item, "_Quit", "Quit the application", handler, {},
            GTK_STOCK_QUIT, GDK_q,   GDK_CONTROL_MASK,       name};
}
constexpr MenuEntry menu_about_item(MenuHandler handler, const char* name) {
    return {MenuKind::Item,  "_About", "About this application", handler, {},
            GTK_STOCK_ABOUT, 0,        GdkModifierType(0),       name};
}

// Builds a menu bar of `entries` for `window` (whose accelerator group gets
// the entries' accelerators). `made` is called for every item built, with
// its widget name, so the caller can register it. Handlers are connected
// without user data.
GtkWidget* shell_menu_bar_new(GtkWidget* window, std::span<const MenuEntry> entries,
                              void (*made)(GtkWidget* window, GtkWidget* item, const char* name));

// Shows each entry's hint on `appbar` while the entry is selected.
void shell_install_menu_hints(GtkWidget* menubar, std::span<const MenuEntry> entries,
                              GtkWidget* appbar);
