// The smallest GTK+ 2 window: one label, the main loop. The yardstick of the
// window's memory figure (bench/gui-memory).
#include <gtk/gtk.h>

int main(int argc, char** argv) {
    gtk_init(&argc, &argv);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "minimal");
    gtk_container_add(GTK_CONTAINER(window), gtk_label_new("minimal GTK+ 2 window"));
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
