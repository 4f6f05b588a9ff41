#include "gui/widget_text.h"

#include <cstring>

void set_label_text(GtkWidget* label, const char* text) {
    if (std::strcmp(gtk_label_get_text(GTK_LABEL(label)), text) != 0)
        gtk_label_set_text(GTK_LABEL(label), text);
}

void set_button_text(GtkWidget* button, const char* text) {
    const char* shown = gtk_button_get_label(GTK_BUTTON(button));
    if (shown == nullptr || std::strcmp(shown, text) != 0)
        g_object_set(button, "label", text, nullptr);
}
