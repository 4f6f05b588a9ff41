#include "gui/refresh_cycle.h"

#include "alert/alert_check.h"
#include "alert/alert_list.h"
#include "alert/alert_window.h"
#include "app/item_displays.h"
#include "config/run_context.h"
#include "gui/chart_pages.h"
#include "gui/items_page.h"
#include "gui/main_window.h"
#include "gui/registry.h"
#include "gui/shell/app_bar.h"
#include "gui/summary_page.h"
#include "items/acquisition.h"

ItemDisplay* allItemDisps = nullptr;

namespace {

// 16 bits a channel.
constexpr GdkColor kLightBlue = {0, 0x0000, 0x8000, 0xFFFF};
constexpr GdkColor kOrange = {0, 0xFFFF, 0x8000, 0x0000};

constexpr const char* kGroupHeaders[] = {"labelSummaryFan", "labelSummaryVoltage",
                                         "labelSummaryThermal", "labelSummaryStatus"};
struct CurveSet {
    const char* format;
    int count;
};
constexpr CurveSet kCurves[] = {{"curveFan%d", kFanCharts},
                                {"curveVoltage%d", kVoltageCharts},
                                {"curveThermal%d", kThermalCharts}};

// Group headers in orange; the charts, which are insensitive, draw their
// curves in the insensitive state's foreground: light blue.
void apply_colours(GtkWidget* mainWindow) {
    GtkRcStyle* style = gtk_rc_style_new();
    style->fg[GTK_STATE_NORMAL] = kOrange;
    style->color_flags[GTK_STATE_NORMAL] =
        GtkRcFlags(style->color_flags[GTK_STATE_NORMAL] | GTK_RC_FG);
    style->fg[GTK_STATE_INSENSITIVE] = kLightBlue;
    style->color_flags[GTK_STATE_INSENSITIVE] =
        GtkRcFlags(style->color_flags[GTK_STATE_INSENSITIVE] | GTK_RC_FG);
    for (const char* header : kGroupHeaders)
        gtk_widget_modify_style(lookup_widget(mainWindow, header), style);
    for (const CurveSet& set : kCurves)
        for (int i = 0; i < set.count; ++i)
            gtk_widget_modify_style(lookup_widget(mainWindow, widget_name(set.format, i)), style);
    g_object_unref(style);
}

void build_pages(GtkWidget* mainWindow, ItemDisplay* displays, SystemRecord* system,
                 ItemRecord* items, int32_t itemCount, ParameterRecord* parameters,
                 int32_t parameterCount) {
    build_Summary(mainWindow, displays, itemCount);
    build_Fan(mainWindow, displays, itemCount);
    build_Voltage(mainWindow, displays, itemCount);
    build_Thermal(mainWindow, displays, itemCount);
    build_Items(mainWindow, displays, system, items, itemCount, parameters, parameterCount);
}

}  // namespace

void build_All(GtkWidget* mainWindow, ItemDisplay* displays, SystemRecord* system,
               ItemRecord* items, int32_t itemCount, ParameterRecord* parameters,
               int32_t parameterCount) {
    allItemDisps = displays;
    clear_chart_histories();
    apply_colours(mainWindow);
    build_pages(mainWindow, displays, system, items, itemCount, parameters, parameterCount);
    alert_msg_head = current_alert_msg_node = new_alert_msg_node();
    show_alert_message(mywindowAlertMessage, alert_msg_head);
    build_Alert(mainWindow, system, displays, itemCount);
    shell_appbar_push(lookup_widget(mainWindow, "appbar1"), "Ready");
}

gboolean updateAll(gpointer) {
    RunContext* ctx = myspSenvis;
    for (int32_t i = 0; i < ctx->itemCount; ++i) {
        ItemRecord* item = &ctx->items[i];
        if (item->monitor == 0) continue;
        ItemDisplay& disp = allItemDisps[i];
        int64_t value = 0;
        if (get_item_reading(ctx->system, ctx->items, ctx->itemCount, ctx->parameters,
                             ctx->parameterCount, item, &value) == 0)
            disp.reading = value;
        if (disp.hasThermalText != 0) refresh_thermal_text(&disp, ctx->system, item);
        // Limits stay as start-up read them.
    }
    build_pages(myapp1, allItemDisps, ctx->system, ctx->items, ctx->itemCount, ctx->parameters,
                ctx->parameterCount);
    build_Alert(myapp1, ctx->system, allItemDisps, ctx->itemCount);
    return TRUE;
}
