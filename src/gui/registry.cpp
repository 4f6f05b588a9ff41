#include "gui/registry.h"

#include <cstdarg>
#include <cstdio>

void register_widget(GtkWidget* toplevel, GtkWidget* widget, const char* name) {
    gtk_widget_set_name(widget, name);
    g_object_set_data_full(G_OBJECT(toplevel), name, g_object_ref(widget), g_object_unref);
}

GtkWidget* register_sized(GtkWidget* toplevel, GtkWidget* widget, const char* name, int width,
                          int height) {
    gtk_widget_set_size_request(widget, width, height);
    register_widget(toplevel, widget, name);
    return widget;
}

void register_toplevel(GtkWidget* toplevel, const char* name) {
    gtk_widget_set_name(toplevel, name);
    g_object_set_data(G_OBJECT(toplevel), name, toplevel);
}

GtkWidget* lookup_widget(GtkWidget* widget, const char* name) {
    // Up to the top: a menu's way up is the item it hangs from; a widget
    // without a parent may name one under "GladeParentKey".
    for (;;) {
        GtkWidget* parent = GTK_IS_MENU(widget) ? gtk_menu_get_attach_widget(GTK_MENU(widget))
                                                : gtk_widget_get_parent(widget);
        if (parent == nullptr)
            parent = GTK_WIDGET(g_object_get_data(G_OBJECT(widget), "GladeParentKey"));
        if (parent == nullptr) break;
        widget = parent;
    }
    auto* found = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(widget), name));
    if (found == nullptr) g_warning("Widget not found: %s", name);
    return found;
}

WidgetName widget_name(const char* format, ...) {
    WidgetName name{};
    va_list args;
    va_start(args, format);
    std::vsnprintf(name.text, sizeof name.text, format, args);
    va_end(args);
    return name;
}
