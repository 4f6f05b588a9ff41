#include "gui/items_page.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/run_context.h"
#include "config/writer.h"
#include "gui/dialogs.h"
#include "gui/main_window.h"
#include "gui/refresh_cycle.h"
#include "gui/registry.h"
#include "gui/value_text.h"
#include "items/acquisition.h"

GtkListStore* list_store = nullptr;
GtkWidget* treeview1 = nullptr;
GtkTreeIter iter;
GtkCellRenderer* text_renderer = nullptr;
GtkTreeViewColumn* checked_column = nullptr;
GtkTreeViewColumn* monitored_item_column = nullptr;
GtkTreeViewColumn* high_limit_column = nullptr;
GtkTreeViewColumn* low_limit_column = nullptr;
GtkTreeViewColumn* status_column = nullptr;
GtkTreeViewColumn* warning_column = nullptr;
guint timer = 0;

namespace {

constexpr int kColumnCount = 6;
enum Column { kChecked, kName, kHighLimit, kLowLimit, kStatus, kWarning };

struct ListColumn {
    const char* title;
    GtkTreeViewColumn** global;
};
constexpr ListColumn kColumns[kColumnCount] = {
    {"Checked", &checked_column},       {"Monitored Item", &monitored_item_column},
    {"High Limit", &high_limit_column}, {"Low Limit", &low_limit_column},
    {"Status", &status_column},         {"Warning", &warning_column},
};

constexpr int kMaxPolling = 300;
constexpr const char* kPollingRule = "Please enter an integer between 1 and 300.";

// The row of the control strip above the list, left to right.
struct StripWidget {
    const char* name;
    enum { Label, Entry, Button } kind;
    const char* text;
    int width, height;
    gboolean fill;
    guint padding;
};
constexpr StripWidget kStrip[] = {
    {"label1", StripWidget::Label, "Polling Interval:", 110, 16, FALSE, 0},
    {"entryPolling", StripWidget::Entry, nullptr, 40, 24, TRUE, 0},
    {"label2", StripWidget::Label, "Seconds", 70, 16, FALSE, 0},
    {"label3", StripWidget::Label, "", 100, 16, FALSE, 0},
    {"buttonSelectAll", StripWidget::Button, "Select All", 90, 26, FALSE, 4},
    {"buttonUnselectAll", StripWidget::Button, "Unselect All", 90, 26, FALSE, 4},
    {"buttonItemsSave", StripWidget::Button, "Save", 60, 26, FALSE, 4},
};

struct Cells {
    char high[48] = {};
    char low[48] = {};
    char status[48] = {};
};

Cells cells_of(const ItemDisplay& d) {
    Cells c;
    switch (d.category) {
        case CAT_FAN:
            std::snprintf(c.low, sizeof c.low, "%d", low32(d.lowLimit));
            std::snprintf(c.status, sizeof c.status, "%d", low32(d.reading));
            break;
        case CAT_VOLTAGE:
            std::snprintf(c.high, sizeof c.high, "%.2f", volts_rounded_to_float(d.highLimit));
            std::snprintf(c.low, sizeof c.low, "%.2f", volts_rounded_to_float(d.lowLimit));
            std::snprintf(c.status, sizeof c.status, "%.2f", volts_rounded_to_float(d.reading));
            break;
        case CAT_TEMP:
            std::snprintf(c.high, sizeof c.high, "%d/%d", low32(d.highLimit),
                          fahrenheit(d.highLimit));
            if (low32(d.reading) == 0)
                std::snprintf(c.status, sizeof c.status, "N/A");
            else if (d.hasThermalText == 0)
                std::snprintf(c.status, sizeof c.status, "%d/%d", low32(d.reading),
                              fahrenheit(d.reading));
            else
                std::snprintf(c.status, sizeof c.status, "%s", d.thermalText);
            break;
        case CAT_SWITCH:
            std::snprintf(c.status, sizeof c.status, "%s", low32(d.reading) == 1 ? "Bad" : "Good");
            break;
        default:
            std::snprintf(c.high, sizeof c.high, "unknown");
            std::snprintf(c.low, sizeof c.low, "unknown");
            std::snprintf(c.status, sizeof c.status, "unknown");
            break;
    }
    return c;
}

void set_all_monitors(int32_t monitor) {
    RunContext* ctx = myspSenvis;
    for (int32_t i = 0; i < ctx->itemCount; ++i) {
        ctx->items[i].monitor = monitor;
        allItemDisps[i].monitor = monitor;
    }
    updateAll();
}

}  // namespace

GtkWidget* create_items_page(GtkWidget* app1) {
    GtkWidget* vbox = gtk_vbox_new(FALSE, 0);
    gtk_widget_set_size_request(vbox, 500, 130);
    register_widget(app1, vbox, "vbox1");

    GtkWidget* strip = gtk_hbox_new(FALSE, 0);
    gtk_widget_set_size_request(strip, 500, 32);
    register_widget(app1, strip, "hbox1");
    gtk_box_pack_start(GTK_BOX(vbox), strip, FALSE, TRUE, 10);
    for (const StripWidget& w : kStrip) {
        GtkWidget* widget;
        if (w.kind == StripWidget::Label) {
            widget = gtk_label_new(w.text);
        } else if (w.kind == StripWidget::Entry) {
            widget = gtk_entry_new();
            gtk_entry_set_max_length(GTK_ENTRY(widget), 3);
        } else {
            widget = gtk_button_new_with_label(w.text);
        }
        gtk_widget_set_size_request(widget, w.width, w.height);
        register_widget(app1, widget, w.name);
        gtk_box_pack_start(GTK_BOX(strip), widget, FALSE, w.fill, w.padding);
    }

    GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_widget_set_size_request(scrolled, 500, 400);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_AUTOMATIC,
                                   GTK_POLICY_AUTOMATIC);
    register_widget(app1, scrolled, "scrolledwindow1");
    gtk_box_pack_start(GTK_BOX(vbox), scrolled, TRUE, TRUE, 0);
    GtkWidget* tree = gtk_tree_view_new();
    gtk_tree_view_set_enable_search(GTK_TREE_VIEW(tree), FALSE);
    register_widget(app1, tree, "treeview1");
    gtk_container_add(GTK_CONTAINER(scrolled), tree);
    return vbox;
}

void connect_items_page(GtkWidget* app1) {
    g_signal_connect(lookup_widget(app1, "entryPolling"), "changed",
                     G_CALLBACK(on_entryPolling_changed), nullptr);
    g_signal_connect(lookup_widget(app1, "buttonSelectAll"), "clicked",
                     G_CALLBACK(on_buttonSelectAll_clicked), nullptr);
    g_signal_connect(lookup_widget(app1, "buttonUnselectAll"), "clicked",
                     G_CALLBACK(on_buttonUnselectAll_clicked), nullptr);
    g_signal_connect(lookup_widget(app1, "buttonItemsSave"), "clicked",
                     G_CALLBACK(on_buttonItemsSave_clicked), nullptr);
    g_signal_connect(lookup_widget(app1, "treeview1"), "row_activated",
                     G_CALLBACK(on_treeview1_row_activated), nullptr);
}

void create_items_list(GtkWidget* mainWindow) {
    list_store = gtk_list_store_new(kColumnCount, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_STRING,
                                    G_TYPE_STRING, G_TYPE_STRING, G_TYPE_STRING);
    treeview1 = lookup_widget(mainWindow, "treeview1");
    gtk_tree_view_set_model(GTK_TREE_VIEW(treeview1), GTK_TREE_MODEL(list_store));
    text_renderer = gtk_cell_renderer_text_new();
    for (int c = 0; c < kColumnCount; ++c) {
        *kColumns[c].global = gtk_tree_view_column_new_with_attributes(
            kColumns[c].title, text_renderer, "text", c, nullptr);
        gtk_tree_view_append_column(GTK_TREE_VIEW(treeview1), *kColumns[c].global);
    }
}

void arm_refresh_timer(uint32_t seconds) {
    if (timer != 0) g_source_remove(timer);
    // A configuration without POLLING holds 0: refresh every second rather
    // than back to back.
    timer = g_timeout_add((seconds == 0 ? 1 : seconds) * 1000, updateAll, nullptr);
}

void build_Items(GtkWidget* mainWindow, ItemDisplay* displays, SystemRecord* system, ItemRecord*,
                 int32_t itemCount, ParameterRecord*, int32_t) {
    char polling[16];
    std::snprintf(polling, sizeof polling, "%d", static_cast<int>(system->polling));
    gtk_entry_set_text(GTK_ENTRY(lookup_widget(mainWindow, "entryPolling")), polling);

    // The rows are refilled in place while their number stays: a row whose
    // texts have not changed is left alone, so the list keeps its scroll
    // position and selection and only changed rows are drawn again.
    GtkTreeModel* model = GTK_TREE_MODEL(list_store);
    bool in_place = gtk_tree_model_iter_n_children(model, nullptr) == itemCount;
    if (in_place)
        gtk_tree_model_get_iter_first(model, &iter);
    else
        gtk_list_store_clear(list_store);
    for (int32_t i = 0; i < itemCount; ++i) {
        const ItemDisplay& d = displays[i];
        Cells c = cells_of(d);
        const char* texts[kColumnCount] = {
            d.monitor != 0 ? "*" : " ",           d.name, c.high, c.low, c.status,
            isNormalReading(&d) ? "" : "Warning!"};
        if (!in_place) gtk_list_store_append(list_store, &iter);
        for (int column = 0; column < kColumnCount; ++column) {
            gchar* shown = nullptr;
            if (in_place) gtk_tree_model_get(model, &iter, column, &shown, -1);
            if (shown == nullptr || std::strcmp(shown, texts[column]) != 0)
                gtk_list_store_set(list_store, &iter, column, texts[column], -1);
            g_free(shown);
        }
        if (in_place) gtk_tree_model_iter_next(model, &iter);
        gtk_widget_show(treeview1);
    }
}

void on_entryPolling_changed(GtkEditable* entry, gpointer) {
    const char* text = gtk_entry_get_text(GTK_ENTRY(entry));
    bool digits = std::strspn(text, "0123456789") == std::strlen(text);
    long value = digits ? std::strtol(text, nullptr, 10) : 0;
    if (digits && value <= kMaxPolling) {
        if (value == 0) return;  // the empty text too: nothing to do yet
        myspSenvis->system->polling = static_cast<uint32_t>(value);
        // Before start-up arms the timeout there is none to replace.
        if (timer != 0) arm_refresh_timer(myspSenvis->system->polling);
        return;
    }
    GtkWidget* dialog = create_dialogInfo();
    gtk_entry_set_text(GTK_ENTRY(entry), "0");  // runs this handler again, which ignores it
    gtk_widget_grab_focus(GTK_WIDGET(entry));
    gtk_label_set_text(GTK_LABEL(lookup_widget(dialog, "labelInfo")), kPollingRule);
    gtk_widget_show(dialog);
}

void on_buttonSelectAll_clicked(GtkButton*, gpointer) {
    set_all_monitors(1);
}
void on_buttonUnselectAll_clicked(GtkButton*, gpointer) {
    set_all_monitors(0);
}

void on_treeview1_row_activated(GtkTreeView* treeview, GtkTreePath*, GtkTreeViewColumn*, gpointer) {
    GtkTreeModel* model = nullptr;
    GtkTreeIter row;
    if (!gtk_tree_selection_get_selected(gtk_tree_view_get_selection(treeview), &model, &row))
        return;
    gchar* name = nullptr;
    gtk_tree_model_get(model, &row, kName, &name, -1);
    RunContext* ctx = myspSenvis;
    for (int32_t i = 0; i < ctx->itemCount; ++i) {
        ItemRecord& item = ctx->items[i];
        // Exact, case-sensitive: the first item of that name.
        if (std::strcmp(item.name, name) != 0) continue;
        item.monitor = item.monitor == 1 ? 0 : 1;
        allItemDisps[i].monitor = item.monitor;
        updateAll();
        break;
    }
    g_free(name);
}

void on_buttonItemsSave_clicked(GtkButton*, gpointer) {
    save_INI_File(1);
    // Shown whatever the save gave: a failed save has ended the main loop.
    show_info("Configuration has been saved.");
}
