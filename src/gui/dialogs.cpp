#include "gui/dialogs.h"

#include <cstdio>
#include <string>

#include "app/command_line.h"
#include "gui/registry.h"
#include "gui/shell/about.h"
#include "gui/shell/program.h"

GtkWidget* myabout2 = nullptr;

namespace {

constexpr const char* kIconFile = "sensorvisor/idr_main.ico";
constexpr const char* kCopyright = "Copyright (C) 2012 Kelvorante";
constexpr const char* kAuthors[] = {"Kelvorante server board team",
                                    "The Sensorvisor developers <sensorvisor@localhost>", nullptr};

}  // namespace

GtkWidget* create_about2() {
    GdkPixbuf* logo = create_pixbuf(kIconFile);
    GtkWidget* about2 =
        shell_about_new("Sensorvisor II", kProgramVersion, kCopyright, "", kAuthors, logo);
    if (logo != nullptr) g_object_unref(logo);
    register_toplevel(about2, "about2");
    if (GdkPixbuf* icon = create_pixbuf(kIconFile)) {
        gtk_window_set_icon(GTK_WINDOW(about2), icon);
        g_object_unref(icon);
    }
    g_signal_connect(about2, "response", G_CALLBACK(on_about2_response), nullptr);
    return about2;
}

GtkWidget* create_dialogInfo() {
    GtkWidget* dialog = gtk_dialog_new();
    gtk_window_set_title(GTK_WINDOW(dialog), "Information / Warning");
    register_toplevel(dialog, "dialogInfo");

    GtkWidget* vbox = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    gtk_widget_set_size_request(vbox, 260, 80);
    register_widget(dialog, vbox, "dialog_vboxInfo");
    GtkWidget* label = gtk_label_new("Information / Warning");
    gtk_label_set_justify(GTK_LABEL(label), GTK_JUSTIFY_LEFT);
    gtk_box_pack_start(GTK_BOX(vbox), label, FALSE, FALSE, 8);
    register_widget(dialog, label, "labelInfo");

    GtkWidget* actions = gtk_dialog_get_action_area(GTK_DIALOG(dialog));
    gtk_button_box_set_layout(GTK_BUTTON_BOX(actions), GTK_BUTTONBOX_END);
    register_widget(dialog, actions, "dialog_action_areaInfo");
    GtkWidget* ok = gtk_button_new_from_stock("gtk-ok");
    gtk_widget_set_can_default(ok, TRUE);
    gtk_dialog_add_action_widget(GTK_DIALOG(dialog), ok, GTK_RESPONSE_OK);
    register_widget(dialog, ok, "okbuttonInfo");

    gtk_widget_show_all(vbox);
    gtk_widget_show_all(actions);
    g_signal_connect_swapped(
        ok, "clicked", G_CALLBACK(+[](GtkWidget* shown, GtkButton*) { gtk_widget_hide(shown); }),
        dialog);
    return dialog;
}

void show_info(const char* text) {
    GtkWidget* dialog = create_dialogInfo();
    gtk_label_set_text(GTK_LABEL(lookup_widget(dialog, "labelInfo")), text);
    gtk_widget_show(dialog);
}

GdkPixbuf* create_pixbuf(const char* filename) {
    if (filename == nullptr || filename[0] == '\0') return nullptr;
    std::string path = shell_locate_app_pixmap(filename);
    if (path.empty()) {
        g_warning("Couldn't find pixmap file: %s", filename);
        return nullptr;
    }
    GError* error = nullptr;
    GdkPixbuf* pixbuf = shell_load_pixbuf(path, &error);
    if (pixbuf == nullptr) {
        std::fprintf(stderr, "Failed to load pixbuf file: %s: %s\n", path.c_str(), error->message);
        g_error_free(error);
    }
    return pixbuf;
}

void on_about1_activate(GtkMenuItem*, gpointer) {
    if (myabout2 == nullptr) myabout2 = create_about2();
    gtk_widget_show(myabout2);
}

void on_about2_response(GtkDialog*, gint response, gpointer) {
    // A negative response closes the box; the next About makes a new one.
    if (response < 0) myabout2 = nullptr;
}
