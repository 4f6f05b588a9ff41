#include "gui/shell/app_bar.h"

#include <string>
#include <vector>

namespace {

struct AppBar {
    GtkWidget* progress = nullptr;
    GtkWidget* status = nullptr;  // a label: the bar is never interactive
    std::vector<std::string> stack;
};

AppBar* bar_of(GtkWidget* appbar) {
    return static_cast<AppBar*>(g_object_get_data(G_OBJECT(appbar), "shell-appbar"));
}

void show(AppBar* bar, const char* text) {
    if (bar->status != nullptr) gtk_label_set_text(GTK_LABEL(bar->status), text);
}

}  // namespace

GtkWidget* shell_appbar_new(bool has_progress, bool has_status) {
    GtkWidget* box = gtk_hbox_new(FALSE, 4);
    auto* bar = new AppBar;
    g_object_set_data_full(G_OBJECT(box), "shell-appbar", bar,
                           [](gpointer data) { delete static_cast<AppBar*>(data); });
    if (has_progress) {
        bar->progress = gtk_progress_bar_new();
        gtk_widget_set_size_request(bar->progress, 100, -1);
        gtk_box_pack_start(GTK_BOX(box), bar->progress, FALSE, FALSE, 0);
        gtk_widget_show(bar->progress);
    }
    if (has_status) {
        GtkWidget* frame = gtk_frame_new(nullptr);
        gtk_frame_set_shadow_type(GTK_FRAME(frame), GTK_SHADOW_IN);
        bar->status = gtk_label_new("");
        gtk_misc_set_alignment(GTK_MISC(bar->status), 0.0f, 0.5f);
        gtk_misc_set_padding(GTK_MISC(bar->status), 4, 0);
        gtk_container_add(GTK_CONTAINER(frame), bar->status);
        gtk_box_pack_start(GTK_BOX(box), frame, TRUE, TRUE, 0);
        gtk_widget_show(bar->status);
        gtk_widget_show(frame);
    }
    return box;
}

void shell_appbar_push(GtkWidget* appbar, const char* text) {
    AppBar* bar = bar_of(appbar);
    bar->stack.emplace_back(text);
    show(bar, text);
}

void shell_appbar_pop(GtkWidget* appbar) {
    AppBar* bar = bar_of(appbar);
    if (!bar->stack.empty()) bar->stack.pop_back();
    shell_appbar_refresh(appbar);
}

void shell_appbar_set_status(GtkWidget* appbar, const char* text) {
    show(bar_of(appbar), text);
}

void shell_appbar_refresh(GtkWidget* appbar) {
    AppBar* bar = bar_of(appbar);
    show(bar, bar->stack.empty() ? "" : bar->stack.back().c_str());
}

const char* shell_appbar_status(GtkWidget* appbar) {
    AppBar* bar = bar_of(appbar);
    return bar->status != nullptr ? gtk_label_get_text(GTK_LABEL(bar->status)) : "";
}

GtkWidget* shell_appbar_progress(GtkWidget* appbar) {
    return bar_of(appbar)->progress;
}
