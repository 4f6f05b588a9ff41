#include "gui/window_fixture.h"

#include <regex>

#include "app/gui_mode.h"
#include "app/item_displays.h"
#include "app/startup.h"
#include "gui/gui_main.h"
#include "gui/items_page.h"
#include "gui/main_window.h"
#include "gui/registry.h"

namespace {

// The GUI branch without the main loop: the test drives the window.
const GuiMode kFilledWindow = {gui_open, [](ItemDisplay* disps, RunContext* context) {
                                   gui_fill(disps, context);
                                   return 0;
                               }};

}  // namespace

std::string WindowTest::board_json() {
    std::string board = read_whole_file(std::string(SV_SOURCE_BOARDS_DIR) + "/demo.json");
    return std::regex_replace(board, std::regex(R"("clock": \{"virtual": false\})"),
                              R"("clock": {"start": "2026-12-04 23:13:59", "virtual": true})");
}

void WindowTest::SetUp() {
    reset_app_state();
    sandbox = std::make_unique<Sandbox>(board_json(), true);
    install_gui_mode(&kFilledWindow);
    char name[] = "sensorvisor";
    char* argv[] = {name, nullptr};
    {
        OutputCapture quiet;  // the banner
        ASSERT_EQ(sensorvisor_main(1, argv), 0);
    }
    ctx = myspSenvis;
    sandbox->clear_trace();
}

void WindowTest::TearDown() {
    reset_gui_state();
    release_item_displays();
    install_gui_mode(nullptr);
    reset_app_state();
    sandbox.reset();
}

GtkWidget* WindowTest::widget(const char* name) {
    return lookup_widget(myapp1, name);
}

bool WindowTest::visible(const char* name) {
    return gtk_widget_get_visible(widget(name));
}

std::string WindowTest::text(const char* name) {
    GtkWidget* w = widget(name);
    return GTK_IS_BUTTON(w) ? gtk_button_get_label(GTK_BUTTON(w))
                            : gtk_label_get_text(GTK_LABEL(w));
}

std::vector<ListRow> WindowTest::rows() {
    std::vector<ListRow> result;
    GtkTreeModel* model = GTK_TREE_MODEL(list_store);
    GtkTreeIter row;
    for (gboolean ok = gtk_tree_model_get_iter_first(model, &row); ok;
         ok = gtk_tree_model_iter_next(model, &row)) {
        ListRow cells;
        for (int c = 0; c < 6; ++c) {
            gchar* cell = nullptr;
            gtk_tree_model_get(model, &row, c, &cell, -1);
            cells[c] = cell;
            g_free(cell);
        }
        result.push_back(cells);
    }
    return result;
}

namespace {

std::vector<GtkWidget*> shown_dialogs() {
    std::vector<GtkWidget*> dialogs;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w != nullptr; w = w->next) {
        GtkWidget* window = GTK_WIDGET(w->data);
        if (std::string(gtk_widget_get_name(window)) == "dialogInfo" &&
            gtk_widget_get_visible(window))
            dialogs.push_back(window);
    }
    g_list_free(windows);
    return dialogs;
}

}  // namespace

std::vector<std::string> WindowTest::dialog_texts() {
    std::vector<std::string> texts;
    for (GtkWidget* dialog : shown_dialogs())
        texts.push_back(gtk_label_get_text(GTK_LABEL(lookup_widget(dialog, "labelInfo"))));
    return texts;
}

void WindowTest::dismiss_dialogs() {
    for (GtkWidget* dialog : shown_dialogs())
        gtk_button_clicked(GTK_BUTTON(lookup_widget(dialog, "okbuttonInfo")));
}

bool WindowTest::run_main_loop(GSourceFunc action, gpointer data, int seconds) {
    bool timed_out = false;
    g_idle_add(action, data);
    guint guard = g_timeout_add_seconds(
        guint(seconds),
        [](gpointer flag) {
            *static_cast<bool*>(flag) = true;
            gtk_main_quit();
            return gboolean(FALSE);
        },
        &timed_out);
    gtk_main();
    if (!timed_out) g_source_remove(guard);
    return !timed_out;
}
