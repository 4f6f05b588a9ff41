#include "gui/shell/about.h"

GtkWidget* shell_about_new(const char* name, const char* version, const char* copyright,
                           const char* comments, const char* const* authors, GdkPixbuf* logo) {
    GtkWidget* box = gtk_about_dialog_new();
    GtkAboutDialog* about = GTK_ABOUT_DIALOG(box);
    gtk_about_dialog_set_program_name(about, name);
    gtk_about_dialog_set_version(about, version);
    gtk_about_dialog_set_copyright(about, copyright);
    gtk_about_dialog_set_comments(about, comments);
    gtk_about_dialog_set_authors(about, const_cast<const gchar**>(authors));
    if (logo != nullptr) gtk_about_dialog_set_logo(about, logo);
    // Any response closes the box, as the close button and the window
    // manager's close both do; the application's handlers run first.
    g_signal_connect_after(box, "response", G_CALLBACK(+[](GtkDialog* dialog, gint, gpointer) {
                               gtk_widget_destroy(GTK_WIDGET(dialog));
                           }),
                           nullptr);
    return box;
}
