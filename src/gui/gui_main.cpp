#include "gui/gui_main.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>

#include "alert/alert_check.h"
#include "alert/alert_list.h"
#include "alert/alert_window.h"
#include "config/writer.h"
#include "gui/dialogs.h"
#include "gui/items_page.h"
#include "gui/main_window.h"
#include "gui/refresh_cycle.h"
#include "gui/shell/program.h"

const GuiMode kWindowMode = {gui_open, gui_run};

namespace {

constexpr int kNoDisplay = 255;
// Where the about box's logo is looked for first (<datadir>/pixmaps/...).
constexpr const char* kAppDatadir = "/usr/local/share";

void say_no_display() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0')
        std::fprintf(stderr,
                     "Error: no X display for the window (DISPLAY is not set); "
                     "use -t for a text report.\n");
    else
        std::fprintf(stderr,
                     "Error: cannot open X display \"%s\" for the window; "
                     "use -t for a text report.\n",
                     display);
}

}  // namespace

int gui_open(int argc, char** argv) {
    if (!shell_program_init("sensorvisor", &argc, &argv, kAppDatadir)) {
        say_no_display();
        return kNoDisplay;
    }
    myapp1 = create_app1();
    mywindowAlertMessage = create_windowAlertMessage();
    myabout2 = create_about2();
    create_dialogInfo();

    gtk_window_move(GTK_WINDOW(myapp1), 0, 0);
    gtk_widget_show(myapp1);
    place_windowAlertMessage(mywindowAlertMessage, myapp1);
    gtk_widget_hide(mywindowAlertMessage);
    return 0;
}

void gui_fill(ItemDisplay* disps, RunContext* context) {
    create_items_list(myapp1);
    build_All(myapp1, disps, context->system, context->items, context->itemCount,
              context->parameters, context->parameterCount);
    arm_refresh_timer(context->system->polling);
    // A save that cannot write the file ends the program through the loop.
    set_save_failure_hook(gtk_main_quit);
}

int gui_run(ItemDisplay* disps, RunContext* context) {
    gui_fill(disps, context);
    gtk_main();
    return 0;
}

void reset_gui_state() {
    if (myapp1 != nullptr) {
        // Closing the window ends a main loop; here there is none.
        g_signal_handlers_disconnect_by_func(myapp1, reinterpret_cast<gpointer>(on_app1_destroy),
                                             nullptr);
    }
    // Destroying one window can destroy others (a menu's); each is held
    // until all are gone.
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w != nullptr; w = w->next) g_object_ref(w->data);
    for (GList* w = windows; w != nullptr; w = w->next) gtk_widget_destroy(GTK_WIDGET(w->data));
    g_list_free_full(windows, g_object_unref);
    myapp1 = mywindowAlertMessage = myabout2 = nullptr;
    if (timer != 0) g_source_remove(timer);
    timer = 0;
    if (list_store != nullptr) g_object_unref(list_store);
    list_store = nullptr;
    treeview1 = nullptr;
    allItemDisps = nullptr;
    reset_alert_list();
    reset_alert_check_state();
    set_save_failure_hook(nullptr);
}
