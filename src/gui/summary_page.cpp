#include "gui/summary_page.h"

#include <array>
#include <cstdio>
#include <utility>

#include "config/records.h"
#include "config/run_context.h"
#include "gui/refresh_cycle.h"
#include "gui/registry.h"
#include "gui/value_text.h"
#include "gui/widget_text.h"
#include "items/acquisition.h"
#include "items/intrusion.h"

namespace {

// The groups, in page order, with the slots their tables hold.
struct Group {
    const char* word;  // in the widget names
    int32_t category;
    const char* header;
    int slots;
    int rows;
    const char* overflow;
};

constexpr Group kGroups[] = {
    {"Fan", CAT_FAN, "FAN(S)", 16, 9, " build_Summary(): idxFan out of range. \n"},
    {"Voltage", CAT_VOLTAGE, "VOLTAGE(S)", 60, 31, " build_Summary(): idxVoltage out of range. \n"},
    {"Thermal", CAT_TEMP, "TEMPERATURE(S)", 16, 9, " build_Summary(): idxThermal out of range. \n"},
    {"Status", CAT_SWITCH, "STATUS(ES)", 16, 9, " build_Summary(): idxStatus out of range. \n"},
};
constexpr int kGroupCount = 4;
constexpr int kSlotsPerRow = 4;
// Only the first eight status buttons reset their items.
constexpr int kResettingButtons = 8;

// The names of a group's widgets: "labelSummaryFan", "buttonSummaryFan3".
WidgetName part(const char* kind, const Group& group) {
    return widget_name("%sSummary%s", kind, group.word);
}
WidgetName slot(const char* kind, const Group& group, int index) {
    return widget_name("%sSummary%s%d", kind, group.word, index);
}

GtkWidget* create_group_table(GtkWidget* app1, const Group& group) {
    GtkWidget* table = gtk_table_new(group.rows, 8, FALSE);
    register_widget(app1, table, part("table", group));

    GtkWidget* header = gtk_label_new(group.header);
    gtk_widget_set_size_request(header, 120, 32);
    register_widget(app1, header, part("label", group));
    gtk_table_attach(GTK_TABLE(table), header, 0, 1, 0, 1, GTK_FILL, GtkAttachOptions(0), 0, 0);

    GtkWidget* alarm = gtk_image_new_from_stock("gtk-dialog-error", GTK_ICON_SIZE_DND);
    gtk_widget_set_size_request(alarm, 32, 32);
    register_widget(app1, alarm, part("image", group));
    gtk_table_attach(GTK_TABLE(table), alarm, 7, 8, 0, 1, GtkAttachOptions(GTK_EXPAND | GTK_FILL),
                     GTK_FILL, 0, 0);

    for (int i = 0; i < group.slots; ++i) {
        guint column = 2 * (i % kSlotsPerRow);
        guint row = 1 + 2 * (i / kSlotsPerRow);
        guint xpad = (column == 0 && i < 16) ? 8 : 0;
        guint ypad = (column == 0 && i < 16) ? 2 : 0;

        GtkWidget* button = gtk_button_new_with_label("");
        gtk_widget_set_size_request(button, 120, 26);
        register_widget(app1, button, slot("button", group, i));
        gtk_table_attach(GTK_TABLE(table), button, column, column + 1, row, row + 1, GTK_FILL,
                         GtkAttachOptions(0), xpad, ypad);

        GtkWidget* label = gtk_label_new("");
        gtk_widget_set_size_request(label, 120, 16);
        gtk_label_set_justify(GTK_LABEL(label), GTK_JUSTIFY_LEFT);
        gtk_misc_set_alignment(GTK_MISC(label), 0.0f, 0.5f);
        register_widget(app1, label, slot("label", group, i));
        gtk_table_attach(GTK_TABLE(table), label, column, column + 1, row + 1, row + 2, GTK_FILL,
                         GtkAttachOptions(0), xpad, ypad);
    }
    return table;
}

// The button text of a reading, by group.
void reading_text(char (&text)[48], const ItemDisplay& disp) {
    int32_t reading = low32(disp.reading);
    switch (disp.category) {
        case CAT_FAN:
            std::snprintf(text, sizeof text, "%d RPM", reading);
            break;
        case CAT_VOLTAGE:
            if (reading == 0)
                std::snprintf(text, sizeof text, "%d", 0);
            else
                std::snprintf(text, sizeof text, "%.2f V", volts(disp.reading));
            break;
        case CAT_TEMP:
            if (reading == 0)
                std::snprintf(text, sizeof text, "N/A");
            else if (disp.hasThermalText != 0)
                std::snprintf(text, sizeof text, "%s", disp.thermalText);
            else
                std::snprintf(text, sizeof text, "%d'C / %d'F", reading, fahrenheit(reading));
            break;
        default:
            std::snprintf(text, sizeof text, "%s", reading == 1 ? "Bad" : "Good");
            break;
    }
}

int group_of(int32_t category) {
    for (int g = 0; g < kGroupCount; ++g)
        if (kGroups[g].category == category) return g;
    return -1;
}

template <int N>
void on_buttonSummaryStatusN_clicked(GtkButton* button, gpointer) {
    on_buttonSummaryStatus_clicked(N);
    gtk_widget_set_sensitive(GTK_WIDGET(button), FALSE);
}

template <int... N>
constexpr auto status_handlers(std::integer_sequence<int, N...>) {
    return std::array<void (*)(GtkButton*, gpointer), sizeof...(N)>{
        on_buttonSummaryStatusN_clicked<N>...};
}
constexpr auto kStatusHandlers =
    status_handlers(std::make_integer_sequence<int, kResettingButtons>());

}  // namespace

GtkWidget* create_summary_page(GtkWidget* app1) {
    GtkWidget* vbox = gtk_vbox_new(FALSE, 0);
    register_widget(app1, vbox, "vboxSummary");
    for (int g = 0; g < kGroupCount; ++g) {
        if (g > 0) {
            GtkWidget* separator = gtk_hseparator_new();
            register_widget(app1, separator, part("hseparator", kGroups[g - 1]));
            gtk_box_pack_start(GTK_BOX(vbox), separator, TRUE, TRUE, 8);
        }
        // The fan table keeps its height; the others share what is left.
        gtk_box_pack_start(GTK_BOX(vbox), create_group_table(app1, kGroups[g]), g > 0, TRUE, 0);
    }
    return vbox;
}

void connect_summary_page(GtkWidget* app1) {
    const Group& status = kGroups[3];
    for (int n = 0; n < kResettingButtons; ++n)
        g_signal_connect(lookup_widget(app1, slot("button", status, n)), "clicked",
                         G_CALLBACK(kStatusHandlers[n]), nullptr);
}

void build_Summary(GtkWidget* mainWindow, ItemDisplay* displays, int32_t count) {
    for (const Group& group : kGroups) {
        gtk_widget_hide(lookup_widget(mainWindow, part("label", group)));
        gtk_widget_hide(lookup_widget(mainWindow, part("image", group)));
    }
    for (int g = 0; g + 1 < kGroupCount; ++g)
        gtk_widget_hide(lookup_widget(mainWindow, part("hseparator", kGroups[g])));

    int shown[kGroupCount] = {};
    for (int32_t i = 0; i < count; ++i) {
        const ItemDisplay& disp = displays[i];
        int g = disp.monitor == 1 ? group_of(disp.category) : -1;
        if (g < 0) continue;
        const Group& group = kGroups[g];
        int& index = shown[g];
        if (index >= group.slots) {
            // The rest of the page stays as the previous cycle left it.
            std::printf("%s", group.overflow);
            return;
        }
        GtkWidget* label = lookup_widget(mainWindow, slot("label", group, index));
        set_label_text(label, disp.name);
        gtk_widget_show(label);

        char text[48];
        reading_text(text, disp);
        GtkWidget* button = lookup_widget(mainWindow, slot("button", group, index));
        set_button_text(button, text);
        if (disp.category == CAT_SWITCH) gtk_widget_set_sensitive(button, TRUE);
        gtk_widget_show(button);

        if (!isNormalReading(&disp))
            gtk_widget_show(lookup_widget(mainWindow, part("image", group)));
        ++index;
    }

    for (int g = 0; g < kGroupCount; ++g) {
        for (int index = shown[g]; index < kGroups[g].slots; ++index) {
            gtk_widget_hide(lookup_widget(mainWindow, slot("label", kGroups[g], index)));
            gtk_widget_hide(lookup_widget(mainWindow, slot("button", kGroups[g], index)));
        }
        if (shown[g] > 0) gtk_widget_show(lookup_widget(mainWindow, part("label", kGroups[g])));
    }
    // A group's separator shows when a later group is on the page too.
    bool fans = shown[0] > 0, voltages = shown[1] > 0, temps = shown[2] > 0,
         statuses = shown[3] > 0;
    if (fans && (voltages || temps || statuses))
        gtk_widget_show(lookup_widget(mainWindow, part("hseparator", kGroups[0])));
    if (voltages && (temps || statuses))
        gtk_widget_show(lookup_widget(mainWindow, part("hseparator", kGroups[1])));
    if (temps && statuses)
        gtk_widget_show(lookup_widget(mainWindow, part("hseparator", kGroups[2])));
}

void on_buttonSummaryStatus_clicked(int n) {
    RunContext* ctx = myspSenvis;
    int found = -1;
    for (int32_t i = 0; i < ctx->itemCount; ++i) {
        // The display record's flag decides what the page placed on the button.
        if (ctx->items[i].category == CAT_SWITCH && allItemDisps[i].monitor == 1 && ++found == n) {
            reset_Intrusion(ctx->system, ctx->items, ctx->itemCount, ctx->parameters,
                            ctx->parameterCount, &ctx->items[i]);
            return;
        }
    }
}
